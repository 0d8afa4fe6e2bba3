// Prints how long vantrel.exe takes from its process start to a visible main window that answers
// its messages, against a minimal Win32 window program, started alternately on the same display.
//   startup_bench [rounds R]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "WindowTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Search {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindShownWindow(HWND hwnd, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char caption[64] = {};
    if (owner != search->processId || !IsWindowVisible(hwnd))
        return TRUE;
    GetWindowTextA(hwnd, caption, sizeof caption);
    if (std::string(caption) != search->caption)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

// Milliseconds from CreateProcess to a visible window with the caption that answers a message;
// then closes the program and waits for its end.
double TimeToWindow(const std::string& program, const std::string& folder, const char* caption)
{
    std::string command = "\"" + program + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const auto start = Clock::now();
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        std::printf("cannot start %s\n", program.c_str());
        return -1;
    }
    Search search{process.dwProcessId, caption, nullptr};
    double elapsed = -1;
    while (Clock::now() - start < std::chrono::seconds(30)) {
        EnumWindows(FindShownWindow, reinterpret_cast<LPARAM>(&search));
        DWORD_PTR ignored = 0;
        if (search.found && SendMessageTimeoutA(search.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored)) {
            elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        Sleep(1);
    }
    if (search.found)
        PostMessageA(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = 5;
    if (argc > 2 && std::string(argv[1]) == "rounds")
        rounds = std::max(1, std::atoi(argv[2]));
    TScratchFolder folder("startup");
    CopyFileA(WinPath(VANTREL_STANDIN_EXE).c_str(), folder.File("Psexec.exe").c_str(), FALSE);
    const std::string vantrel = WinPath(VANTREL_EXE);
    const std::string minimal = WinPath(VANTREL_MINIMAL_EXE);

    // One start of each first, unmeasured: the first start of a program pays for loading it.
    TimeToWindow(vantrel, folder.Path(), "Vantrel 1.0");
    TimeToWindow(minimal, folder.Path(), "Minimal window");
    std::vector<double> vantrelTimes, minimalTimes;
    for (int round = 1; round <= rounds; ++round) {
        vantrelTimes.push_back(TimeToWindow(vantrel, folder.Path(), "Vantrel 1.0"));
        minimalTimes.push_back(TimeToWindow(minimal, folder.Path(), "Minimal window"));
        std::printf("round %d: vantrel.exe %.0f ms, minimal window %.0f ms\n", round, vantrelTimes.back(),
                    minimalTimes.back());
    }
    const double vantrelMedian = Median(vantrelTimes), minimalMedian = Median(minimalTimes);
    const double vantrelFastest = *std::min_element(vantrelTimes.begin(), vantrelTimes.end());
    const double minimalFastest = *std::min_element(minimalTimes.begin(), minimalTimes.end());
    std::printf("median: vantrel.exe %.0f ms, minimal window %.0f ms, ratio %.2f\n", vantrelMedian, minimalMedian,
                vantrelMedian / minimalMedian);
    std::printf("fastest: vantrel.exe %.0f ms, minimal window %.0f ms, ratio %.2f (target at most 1.50)\n",
                vantrelFastest, minimalFastest, vantrelFastest / minimalFastest);
    return 0;
}
