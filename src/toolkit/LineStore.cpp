#include "toolkit/LineStore.h"

#include <algorithm>
#include <utility>

namespace {
const std::size_t kBreakLength = 2;  // CR LF
}

void TLineStore::Add(const std::string& line)
{
    lines_.push_back(line);  // the starts known so far stay right
}

void TLineStore::Put(int index, const std::string& line)
{
    lines_[static_cast<std::size_t>(index)] = line;
    Invalidate(index + 1);
}

void TLineStore::Insert(int index, const std::string& line)
{
    lines_.insert(lines_.begin() + index, line);
    Invalidate(index);
}

void TLineStore::Delete(int index)
{
    lines_.erase(lines_.begin() + index);
    Invalidate(index);
}

void TLineStore::Assign(std::vector<std::string> lines)
{
    lines_ = std::move(lines);
    Invalidate(0);
}

void TLineStore::Invalidate(int fromLine)
{
    starts_.resize(std::min(starts_.size(), static_cast<std::size_t>(std::max(0, fromLine))));
}

std::size_t TLineStore::LineIndex(int line) const
{
    const auto wanted = static_cast<std::size_t>(line);
    if (starts_.empty())
        starts_.push_back(0);
    while (starts_.size() <= wanted) {
        const std::size_t previous = starts_.size() - 1;
        starts_.push_back(starts_.back() + lines_[previous].size() + kBreakLength);
    }
    return starts_[wanted];
}

std::size_t TLineStore::TextLength() const
{
    if (lines_.empty())
        return 0;
    return LineIndex(Count() - 1) + lines_.back().size();
}

int TLineStore::LineFromChar(std::size_t position) const
{
    if (lines_.empty())
        return 0;
    LineIndex(Count() - 1);
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), position);
    return static_cast<int>(after - starts_.begin()) - 1;
}

std::string TLineStore::JoinedText(std::size_t size) const
{
    std::string text;
    text.reserve(std::min(size, TextLength()));
    for (std::size_t i = 0; i < lines_.size() && text.size() < size; ++i) {
        if (i > 0)
            text += "\r\n";
        text += lines_[i];
    }
    text.resize(std::min(size, text.size()));
    return text;
}

std::string ExpandTabs(const std::string& line, std::size_t tabSize)
{
    if (line.find('\t') == std::string::npos)
        return line;
    std::string shown;
    for (char c : line) {
        if (c == '\t')
            shown.append(tabSize - shown.size() % tabSize, ' ');
        else
            shown += c;
    }
    return shown;
}

int ShownWidth(const std::string& line, const TCharWidths& widths, std::size_t tabSize)
{
    int width = 0;
    std::size_t column = 0;
    for (char c : line) {
        const std::size_t count = c == '\t' ? tabSize - column % tabSize : 1;
        const auto shown = static_cast<unsigned char>(c == '\t' ? ' ' : c);
        width += static_cast<int>(count) * widths[shown];
        column += count;
    }
    return width;
}
