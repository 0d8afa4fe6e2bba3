// A line the runner hands over in pieces, held until it is complete.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "toolkit/OutputType.h"

// The runner delivers a line still being written as a beginning of a line, and each later piece
// of it repeats the whole line so far; the line is complete once it arrives as an entire line,
// or when the output ends without completing it.
class TUnfinishedLine {
public:
    // The whole line this piece completes (the piece itself); nothing while it is unfinished.
    std::optional<std::string_view> Piece(std::string_view text, TOutputType kind);
    // The output has ended: the line it left unfinished, if any.
    std::optional<std::string> Ended();

private:
    std::string held_;
};
