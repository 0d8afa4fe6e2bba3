// The platform's floor for many computers at a time: a launcher that does nothing but the
// fan-out. One detached copy of the tool per computer, its output and errors on one pipe read to
// the end by a thread of its own, at most N at once, the next started as soon as one ends.
//
//   bare_fleet <tool> <list file> <at a time> <command line, {computer} standing for each name>
//
// Prints its wall time, the most copies it had running at once and whether every copy reported
// success, in one line that fleet_bench reads.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/CpuTimeWin32.h"
#include "support/FileBytesWin32.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/Strings.h"

namespace {

constexpr const char* kPlaceholder = "{computer}";
constexpr const char* kSuccessReport = "PsExec exited with error code 0.";

std::string CommandFor(std::string form, const std::string& computer)
{
    const std::size_t at = form.find(kPlaceholder);
    if (at != std::string::npos)
        form.replace(at, std::string(kPlaceholder).size(), computer);
    return form;
}

// One running copy: its process and the thread that reads its pipe until the pipe closes.
struct TCopy {
    UniqueHandle process;
    std::string output;
    std::thread reader;

    bool ReportedSuccess() const { return output.find(kSuccessReport) != std::string::npos; }
};

void ReadToTheEnd(HANDLE pipe, std::string& output)
{
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count > 0)
        output.append(buffer, count);
    CloseHandle(pipe);
}

// Starts the tool on the write end of a fresh pipe; only that end is inherited, so no copy keeps
// another's pipe open. Null when the start failed.
std::unique_ptr<TCopy> StartCopy(const std::string& tool, std::string commandLine)
{
    SECURITY_ATTRIBUTES plain{sizeof plain, nullptr, FALSE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &plain, 0))
        return nullptr;
    UniqueHandle read(readEnd);
    UniqueHandle write(writeEnd);
    SetHandleInformation(write.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    HANDLE inherited[] = {write.Get()};
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size))
        return nullptr;
    UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited, nullptr,
                              nullptr);
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdOutput = write.Get();
    startup.StartupInfo.hStdError = write.Get();
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION started{};
    const BOOL ran = CreateProcessA(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                    DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                    &startup.StartupInfo, &started);
    const DWORD error = GetLastError();
    DeleteProcThreadAttributeList(attributes);
    if (!ran) {
        SetLastError(error);
        return nullptr;
    }
    CloseHandle(started.hThread);
    auto copy = std::make_unique<TCopy>();
    copy->process.Reset(started.hProcess);
    copy->reader = std::thread(ReadToTheEnd, read.Release(), std::ref(copy->output));
    return copy;
}

struct TFanOut {
    int mostAtOnce = 0;
    int succeeded = 0;
    int failedToStart = 0;
    std::string startErrors;  // the system's code of each failed start
};

TFanOut RunAll(const std::string& tool, const std::vector<std::string>& computers, std::size_t atATime,
               const std::string& form)
{
    TFanOut result;
    std::vector<std::unique_ptr<TCopy>> running;
    std::size_t next = 0;
    while (next < computers.size() || !running.empty()) {
        while (running.size() < atATime && next < computers.size()) {
            if (auto copy = StartCopy(tool, CommandFor(form, computers[next++])))
                running.push_back(std::move(copy));
            else {
                ++result.failedToStart;
                result.startErrors += " " + std::to_string(GetLastError());
            }
        }
        result.mostAtOnce = std::max(result.mostAtOnce, static_cast<int>(running.size()));
        if (running.empty())
            continue;
        std::vector<HANDLE> processes;
        for (const auto& copy : running)
            processes.push_back(copy->process.Get());
        const DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), FALSE,
                                                  INFINITE);
        const std::size_t ended = woke - WAIT_OBJECT_0;
        if (ended >= running.size())
            break;
        running[ended]->reader.join();
        result.succeeded += running[ended]->ReportedSuccess() ? 1 : 0;
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(ended));
    }
    return result;
}

std::vector<std::string> ListedComputers(const std::string& listFile)
{
    std::vector<std::string> computers;
    for (const std::string& line : SplitLines(ReadFileBytes(listFile)))
        if (!line.empty())
            computers.push_back(line);
    return computers;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bare_fleet <tool> <list file> <at a time> <command line with %s>\n",
                     kPlaceholder);
        return 2;
    }
    const std::vector<std::string> computers = ListedComputers(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    const auto atATime = static_cast<std::size_t>(std::max(1, std::atoi(argv[3])));
    const TFanOut fanOut = RunAll(argv[1], computers, atATime, argv[4]);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("bare: %.3f s; cpu %.3f s; most at once %d; succeeded %d of %zu; not started %d%s\n", seconds,
                CpuSeconds(), fanOut.mostAtOnce, fanOut.succeeded, computers.size(), fanOut.failedToStart,
                fanOut.startErrors.empty() ? "" : (" (errors" + fanOut.startErrors + ")").c_str());
    return fanOut.succeeded == static_cast<int>(computers.size()) ? 0 : 1;
}
