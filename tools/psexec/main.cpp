// Win32 entry of the stand-in PsExec: the real command line, files, pipes and pauses.
#include "Standin.h"

#include "toolkit/CommandLineArgs.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/ErrorsWin32.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

void WriteAll(HANDLE out, const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

class Win32Host : public IStandinHost {
public:
    std::optional<std::string> ReadFile(const std::string& path) override
    {
        std::ifstream file(path, std::ios::binary);
        if (!file)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    // Unbuffered writes, so a reader sees each line and each progress message at once.
    void Write(const std::string& text) override { WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), text); }
    void WriteError(const std::string& text) override { WriteAll(GetStdHandle(STD_ERROR_HANDLE), text); }
    void Pause(int milliseconds) override
    {
        if (milliseconds > 0)
            Sleep(static_cast<DWORD>(milliseconds));
    }

    std::string LocalComputerName() override
    {
        char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = sizeof name;
        return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
    }

    // The command inherits our output and error, so whatever it prints reaches our reader as is.
    LocalRun RunLocally(const std::string& commandLine, bool wait) override
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION info{};
        std::string mutableLine = commandLine;
        if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
            const DWORD error = GetLastError();
            return LocalRun{false, static_cast<std::int64_t>(error), SystemErrorText(error)};
        }
        UniqueHandle process(info.hProcess);
        UniqueHandle thread(info.hThread);
        if (!wait)
            return LocalRun{true, static_cast<std::int64_t>(info.dwProcessId), {}};
        WaitForSingleObject(process.Get(), INFINITE);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.Get(), &exitCode);
        return LocalRun{true, static_cast<std::int64_t>(exitCode), {}};
    }
};

// Lets end-to-end tests compare what arrived with what Vantrel composed, byte for byte.
void RecordCommandLine(const char* commandLine)
{
    const char* path = std::getenv("VANTREL_STANDIN_RECORD");
    if (path == nullptr || *path == '\0')
        return;
    std::ofstream record(path, std::ios::binary | std::ios::trunc);
    record << commandLine;
}

// Lets tests and the benchmark see how many copies ran at once and for which computers: each
// copy adds "+ <process ID> <command line>" when it starts and "- ..." when it ends by itself.
// The copies take turns through a mutex of their own name, so no two lines mix.
class Journal {
public:
    explicit Journal(const char* commandLine) : path_(std::getenv("VANTREL_STANDIN_JOURNAL")), commandLine_(commandLine)
    {
        if (Active())
            Add('+');
    }
    ~Journal()
    {
        if (Active())
            Add('-');
    }
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

private:
    bool Active() const { return path_ != nullptr && *path_ != '\0'; }

    void Add(char mark)
    {
        const std::string line =
            std::string(1, mark) + " " + std::to_string(GetCurrentProcessId()) + " " + commandLine_ + "\r\n";
        UniqueHandle turn(CreateMutexA(nullptr, FALSE, "VantrelStandinJournal"));
        if (!turn.Valid() || WaitForSingleObject(turn.Get(), 10000) == WAIT_TIMEOUT)
            return;
        UniqueHandle file(CreateFileA(path_, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Valid())
            WriteAll(file.Get(), line);
        ReleaseMutex(turn.Get());
    }

    const char* path_;
    std::string commandLine_;
};

} // namespace

int main()
{
    const char* commandLine = GetCommandLineA();
    RecordCommandLine(commandLine);
    const Journal journal(commandLine);
    Win32Host host;
    // Copies started in the same millisecond still draw different times from a range.
    const auto seed = static_cast<std::uint32_t>(GetCurrentProcessId()) * 2654435761u ^ GetTickCount();
    const DelayRange delay = DelayFromEnvironment(std::getenv("VANTREL_STANDIN_DELAY_MS"));
    const int timeout = TimeoutFromEnvironment(std::getenv("VANTREL_STANDIN_TIMEOUT_MS"));
    return RunStandin(SplitCommandLine(commandLine), host, delay, timeout, seed);
}
