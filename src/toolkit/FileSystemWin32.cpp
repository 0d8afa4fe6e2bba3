#include "toolkit/FileSystemWin32.h"

#include <optional>
#include <stdexcept>

#include <windows.h>

#include "toolkit/ErrorsWin32.h"
#include "toolkit/FileReading.h"
#include "toolkit/HandlesWin32.h"

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string FullPathName(const std::string& path)
{
    char full[MAX_PATH * 4] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

bool DirectoryExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

std::runtime_error CannotOpen(const std::string& path, DWORD error)
{
    return std::runtime_error("Cannot open file \"" + FullPathName(path) + "\". " + SystemErrorText(error));
}

}  // namespace

// Reads a whole file as 8-bit text. Writers are refused while it is read, so a file that another
// program is still writing is reported instead of shown half-written.
std::string ReadWholeFile(const std::string& path)
{
    UniqueHandle file(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        throw CannotOpen(path, GetLastError());
    DWORD readError = ERROR_SUCCESS;
    std::optional<std::string> content = ReadAllChunks([&](char* buffer, std::size_t size, std::size_t& read) {
        DWORD got = 0;
        const bool ok = ReadFile(file.Get(), buffer, static_cast<DWORD>(size), &got, nullptr) != FALSE;
        if (!ok)
            readError = GetLastError();
        read = got;
        return ok;
    });
    if (!content)
        throw CannotOpen(path, readError);
    return *content;
}

// Writes a whole file as 8-bit text, replacing any earlier content.
void WriteWholeFile(const std::string& path, const std::string& text)
{
    UniqueHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        throw std::runtime_error("Cannot create file \"" + path + "\". " + SystemErrorText(GetLastError()));
    DWORD written = 0;
    const BOOL ok = WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (!ok || written != text.size())
        throw std::runtime_error("Stream write error");
}
