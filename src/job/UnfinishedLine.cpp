#include "UnfinishedLine.h"

#include <utility>

std::optional<std::string_view> TUnfinishedLine::Piece(std::string_view text, TOutputType kind)
{
    if (kind == otBeginningOfLine) {
        // The next piece of this line starts with the same text, so the latest is all.
        held_.assign(text);
        return std::nullopt;
    }
    held_.clear();
    return text;
}

std::optional<std::string> TUnfinishedLine::Ended()
{
    if (held_.empty())
        return std::nullopt;
    return std::exchange(held_, {});
}
