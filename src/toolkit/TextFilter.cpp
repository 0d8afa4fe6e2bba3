#include "toolkit/TextFilter.h"

#include <algorithm>

std::string KeepAccepted(const std::string& text, const TCharFilter& accepts)
{
    std::string kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept), accepts);
    return kept;
}

TFilteredText FilterInsertion(const std::string& before, const std::string& after, const TCharFilter& accepts,
                              std::size_t limit)
{
    // The unchanged ends; the suffix never overlaps the prefix in either text.
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;

    std::string inserted = KeepAccepted(after.substr(prefix, after.size() - prefix - suffix), accepts);
    const std::size_t kept = prefix + suffix;
    if (limit > 0)
        inserted.resize(std::min(inserted.size(), limit > kept ? limit - kept : 0));
    TFilteredText result;
    result.Text = before.substr(0, prefix) + inserted + before.substr(before.size() - suffix);
    result.Caret = prefix + inserted.size();
    return result;
}
