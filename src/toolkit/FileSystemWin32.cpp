#include "toolkit/FileSystemWin32.h"

#include <optional>
#include <utility>

#include <windows.h>

#include "toolkit/ErrorsWin32.h"
#include "toolkit/FileReading.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/Paths.h"

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

// A failure to open, write or replace a file: the file named, then the system's reason.
[[noreturn]] void Fail(const char* what, const std::string& path, DWORD error)
{
    ThrowSystemError(std::string(what) + " \"" + path + "\"", error);
}

// A temporary file beside its target, removed again unless it replaced the target.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const std::string& target) : target_(target)
    {
        std::string folder = ExtractFileDir(target);
        if (folder.empty())
            folder = ".";
        char name[MAX_PATH] = {};
        if (GetTempFileNameA(folder.c_str(), "vtl", 0, name) == 0)
            Fail("Cannot create file", target, GetLastError());
        path_ = name;
    }
    TTemporaryFile(TTemporaryFile&& other) noexcept
        : target_(std::move(other.target_)), path_(std::exchange(other.path_, std::string()))
    {
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    ~TTemporaryFile()
    {
        if (!path_.empty())
            DeleteFileA(path_.c_str());
    }

    void Write(const std::string& bytes) const
    {
        UniqueHandle file(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid())
            Fail("Cannot create file", target_, GetLastError());
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !FlushFileBuffers(file.Get()))
            Fail("Cannot write file", target_, GetLastError());
    }

    // A folder or a read-only file of that name is never replaced; found before anything is.
    void CheckTargetReplaceable() const
    {
        const DWORD attributes = GetFileAttributesA(target_.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
            Fail("Cannot replace file", target_, ERROR_ACCESS_DENIED);
    }

    void ReplaceTarget()
    {
        if (!MoveFileExA(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            Fail("Cannot replace file", target_, GetLastError());
        path_.clear();
    }

private:
    std::string target_;
    std::string path_;
};

}  // namespace

// Reads a whole file as 8-bit text. Writers are refused while it is read, so a file that another
// program is still writing is reported instead of shown half-written.
std::string ReadWholeFile(const std::string& path)
{
    UniqueHandle file(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();  // before the path query can change it
        Fail("Cannot open file", FullPathName(path), error);
    }
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
        Fail("Cannot open file", FullPathName(path), readError);
    return *content;
}

void WriteFilesWhole(const std::vector<TFileToWrite>& files)
{
    std::vector<TTemporaryFile> written;
    written.reserve(files.size());
    for (const TFileToWrite& file : files) {
        written.emplace_back(file.Path);
        written.back().Write(file.Bytes);
    }
    for (const TTemporaryFile& file : written)
        file.CheckTargetReplaceable();
    for (TTemporaryFile& file : written)
        file.ReplaceTarget();
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    WriteFilesWhole({TFileToWrite{path, bytes}});
}
