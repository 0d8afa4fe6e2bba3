#include "toolkit/Paths.h"

namespace {
std::size_t NameStart(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\:");
    return separator == std::string::npos ? 0 : separator + 1;
}
}  // namespace

std::string ExtractFileName(const std::string& path)
{
    return path.substr(NameStart(path));
}

std::string ExtractFileDir(const std::string& path)
{
    std::size_t end = NameStart(path);
    if (end > 0 && path[end - 1] == '\\') {
        const bool keepRoot = end == 1 || (end >= 2 && path[end - 2] == ':');
        if (!keepRoot)
            --end;
    }
    return path.substr(0, end);
}

bool IsValidFileName(const std::string& path)
{
    if (path.empty() || path.find_first_of("<>\"|*?/") != std::string::npos)
        return false;
    return !path.empty() && path.back() != '\\';
}
