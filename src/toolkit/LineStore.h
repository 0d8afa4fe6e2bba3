// The lines of a text view, and the character positions that the standard text queries speak
// in: the lines joined by CR LF, with no break after the last, as the platform's multi-line edit
// control counts them.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

class TLineStore {
public:
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& Line(int index) const { return lines_[static_cast<std::size_t>(index)]; }

    void Add(const std::string& line);
    void Put(int index, const std::string& line);
    void Insert(int index, const std::string& line);
    void Delete(int index);
    void Assign(std::vector<std::string> lines);

    // The length of the joined text.
    std::size_t TextLength() const;
    // Up to size characters of the joined text from its start.
    std::string JoinedText(std::size_t size) const;
    // Where a line starts in the joined text. The positions are kept from one query to the next
    // and counted again only from the first changed line on, so adding a line costs the same
    // however many there are.
    std::size_t LineIndex(int line) const;
    // The line that holds a position of the joined text (a line break belongs to the line it
    // ends; past the end: the last line).
    int LineFromChar(std::size_t position) const;

private:
    void Invalidate(int fromLine);
    std::vector<std::string> lines_;
    mutable std::vector<std::size_t> starts_;  // the known line starts, from line 0 on
};

// A line as shown: every tab expanded with blanks to the next multiple of tabSize characters.
std::string ExpandTabs(const std::string& line, std::size_t tabSize = 8);

// The advance width of each 8-bit character in a font.
using TCharWidths = std::array<int, 256>;

// The width of a line as shown (tabs expanded as above) in a font without kerning, which is the
// sum of its characters' advance widths: no call into the system for each line.
int ShownWidth(const std::string& line, const TCharWidths& widths, std::size_t tabSize = 8);
