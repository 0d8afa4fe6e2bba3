#include "toolkit/VersionWin32.h"

#include <windows.h>

#include <vector>

#include "toolkit/FileVersion.h"

std::string ReadFileVersionText(const std::string& fileName)
{
    DWORD unusedHandle = 0;
    const DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &unusedHandle);
    if (size == 0)
        return {};
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoA(fileName.c_str(), 0, size, block.data()))
        return {};
    void* record = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &record, &length))
        return {};
    return FileVersionFromRecord(block.data(), block.size(), record, length);
}
