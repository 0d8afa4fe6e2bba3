#include "Strings.h"

#include <stdexcept>

std::string TStrings::Text() const
{
    std::string text;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        text += Get(i);
        text += "\r\n";
    }
    return text;
}

void TStrings::SetText(const std::string& text)
{
    BeginUpdate();
    try {
        Clear();
        for (const auto& line : SplitLines(text))
            Add(line);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(text, start, i - start);
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size())
        lines.emplace_back(text, start, text.size() - start);
    return lines;
}

void CheckListIndex(int index, int count)
{
    if (index < 0 || index >= count)
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

std::string TStringList::Get(int index) const
{
    CheckListIndex(index, Count());
    return lines_[static_cast<std::size_t>(index)];
}

void TStringList::Put(int index, const std::string& line)
{
    CheckListIndex(index, Count());
    lines_[static_cast<std::size_t>(index)] = line;
}

void TStringList::Insert(int index, const std::string& line)
{
    if (index != Count())
        CheckListIndex(index, Count());
    lines_.insert(lines_.begin() + index, line);
}

void TStringList::Delete(int index)
{
    CheckListIndex(index, Count());
    lines_.erase(lines_.begin() + index);
}
