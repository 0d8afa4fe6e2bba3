#include "ComputerList.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view WithoutByteOrderMark(std::string_view text)
{
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

std::string_view WithoutLeadingBackslashes(std::string_view name)
{
    while (!name.empty() && name.front() == '\\')
        name.remove_prefix(1);
    return name;
}

} // namespace

std::vector<std::string> ComputerNames(std::string_view listText)
{
    listText = WithoutByteOrderMark(listText);
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= listText.size()) {
        std::size_t end = listText.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = listText.size();
        const auto name = TrimBlanks(listText.substr(start, end - start));
        if (!WithoutLeadingBackslashes(name).empty())
            names.emplace_back(name);
        if (end < listText.size() && listText[end] == '\r' && end + 1 < listText.size() && listText[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return names;
}

std::string ComputerKey(std::string_view name)
{
    return Lower(WithoutLeadingBackslashes(TrimBlanks(WithoutByteOrderMark(TrimBlanks(name)))));
}

std::vector<std::string> DistinctComputerNames(std::string_view listText)
{
    return TComputerList(listText).Names();
}

TComputerList::TComputerList(std::string_view listText)
{
    for (std::string& name : ComputerNames(listText)) {
        // A computer listed twice is one computer, whatever the spelling.
        if (byKey_.emplace(ComputerKey(name), names_.size()).second)
            names_.push_back(std::move(name));
    }
}

std::optional<std::size_t> TComputerList::IndexOf(std::string_view name) const
{
    const std::string key = ComputerKey(name);
    if (key.empty())
        return std::nullopt;
    const auto found = byKey_.find(key);
    if (found == byKey_.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::string> NamesNotOneComputer(const TComputerList& computers)
{
    std::vector<std::string> refused;
    for (const std::string& name : computers.Names())
        if (!IsOneComputerName(name))
            refused.push_back(name);
    return refused;
}

std::string NameLines(const std::vector<std::string>& names)
{
    // A message box taller than the screen shows neither its end nor its button.
    constexpr std::size_t kMostNamed = 20;
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < kMostNamed; ++i)
        text += "\n\"" + names[i] + "\"";
    if (names.size() > kMostNamed)
        text += "\nand " + std::to_string(names.size() - kMostNamed) + " more";
    return text;
}
