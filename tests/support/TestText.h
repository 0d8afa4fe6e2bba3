// Text helpers the tests and benchmarks share.
#pragma once

#include <string>

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A Linux path as Wine's Z: drive shows it.
inline std::string WinPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// A list file of count computers, one name a line: prefix and a number counting up from first.
inline std::string ComputerList(const std::string& prefix, int first, int count)
{
    std::string list;
    for (int i = 0; i < count; ++i)
        list += prefix + std::to_string(first + i) + "\r\n";
    return list;
}
