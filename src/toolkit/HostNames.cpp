#include "HostNames.h"

#include <algorithm>
#include <cctype>

namespace {

// The longest host name and label that DNS allows.
constexpr std::size_t kMaxHostNameLength = 253;
constexpr std::size_t kMaxLabelLength = 63;

bool IsHostNameByte(unsigned char c)
{
    return std::isalnum(c) || c == '-' || c == '_' || c >= 0x80;
}

bool IsHostName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxHostNameLength)
        return false;
    std::size_t labelLength = 0;
    for (const char c : name) {
        if (c == '.') {
            if (labelLength == 0)
                return false;
            labelLength = 0;
        } else if (!IsHostNameByte(static_cast<unsigned char>(c)) || ++labelLength > kMaxLabelLength) {
            return false;
        }
    }
    return labelLength > 0;
}

bool IsIpv6Address(std::string_view name)
{
    return name.size() >= 2 && std::count(name.begin(), name.end(), ':') >= 2 &&
           std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isxdigit(c) || c == ':'; });
}

} // namespace

std::string_view TrimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view HostNameOf(std::string_view name)
{
    name = TrimBlanks(name);
    if (name.starts_with("\\\\"))
        name.remove_prefix(2);
    // A fully qualified name may end in the root's dot.
    if (name.ends_with('.'))
        name.remove_suffix(1);
    return name;
}

bool IsOneComputerName(std::string_view name)
{
    name = HostNameOf(name);
    return IsHostName(name) || IsIpv6Address(name);
}
