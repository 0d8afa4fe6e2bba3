// The computers of a run, read once from a list file's text.
#pragma once

#include "toolkit/HostNames.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Computer names of a list file: lines split at CR LF, LF or CR, a UTF-8 byte-order mark before
// the first name ignored, blanks and tabs around a name dropped, lines without a name (empty, or
// only backslashes) skipped. Names keep the file's spelling otherwise.
std::vector<std::string> ComputerNames(std::string_view listText);

// What makes two spellings one computer: letter case, blanks around it, a leading "\\" and a
// UTF-8 byte-order mark do not count. Empty for a text that names no computer.
std::string ComputerKey(std::string_view name);

// The list's computers each once (the first spelling), in the file's order.
std::vector<std::string> DistinctComputerNames(std::string_view listText);

// A run's computers, each once (the first spelling), in the file's order, with what makes each
// one computer: read once, and handed to whatever needs the run's computers.
class TComputerList {
public:
    TComputerList() = default;
    explicit TComputerList(std::string_view listText);

    const std::vector<std::string>& Names() const { return names_; }
    std::size_t Size() const { return names_.size(); }
    bool Empty() const { return names_.empty(); }
    // Where the computer a spelling names stands in Names(); none for a text that names no
    // computer of the list. Costs the spelling's length, not the list's.
    std::optional<std::size_t> IndexOf(std::string_view name) const;

private:
    std::vector<std::string> names_;
    std::unordered_map<std::string, std::size_t> byKey_;  // ComputerKey -> index in names_
};

// The list's names that are not one computer each, as the file spells them, in its order.
std::vector<std::string> NamesNotOneComputer(const TComputerList& computers);

// The names for a message, one per line, each quoted, after a line break; at most twenty, then
// how many more there are.
std::string NameLines(const std::vector<std::string>& names);

