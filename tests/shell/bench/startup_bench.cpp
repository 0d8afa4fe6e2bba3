// Prints how long vantrel.exe takes from its process start to a visible main window that answers
// its messages, against a minimal Win32 window program and a window of the same platform controls
// and nothing else, started alternately on the same display.
//   startup_bench [rounds R]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "support/BenchFigures.h"

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

}  // namespace

struct Program {
    const char* name;
    std::string path;
    const char* caption;
    std::vector<double> times;
};

int main(int argc, char** argv)
{
    int rounds = 5;
    if (argc > 2 && std::string(argv[1]) == "rounds")
        rounds = std::max(1, std::atoi(argv[2]));
    TScratchFolder folder("startup");
    CopyFileA(WinPath(VANTREL_STANDIN_EXE).c_str(), folder.File("Psexec.exe").c_str(), FALSE);
    std::vector<Program> programs = {
        {"vantrel.exe", WinPath(VANTREL_EXE), "Vantrel 1.0", {}},
        {"minimal window", WinPath(VANTREL_MINIMAL_EXE), "Minimal window", {}},
        {"same controls", WinPath(VANTREL_CONTROLS_EXE), "Controls window", {}},
    };

    // One start of each first, unmeasured: the first start of a program pays for loading it.
    for (Program& program : programs)
        TimeToWindow(program.path, folder.Path(), program.caption);
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d:", round);
        for (Program& program : programs) {
            program.times.push_back(TimeToWindow(program.path, folder.Path(), program.caption));
            std::printf(" %s %.0f ms%s", program.name, program.times.back(), &program == &programs.back() ? "\n" : ",");
        }
    }
    auto median = [](const Program& p) { return Median(p.times); };
    auto fastest = [](const Program& p) { return *std::min_element(p.times.begin(), p.times.end()); };
    const Program& vantrel = programs[0];
    const Program& minimal = programs[1];
    const Program& controls = programs[2];
    std::printf("median: vantrel.exe %.0f ms, minimal window %.0f ms, same controls %.0f ms\n", median(vantrel),
                median(minimal), median(controls));
    std::printf("fastest: vantrel.exe %.0f ms, minimal window %.0f ms, same controls %.0f ms\n", fastest(vantrel),
                fastest(minimal), fastest(controls));
    std::printf("vantrel.exe / minimal window: median %.2f, fastest %.2f (target at most 1.50)\n",
                median(vantrel) / median(minimal), fastest(vantrel) / fastest(minimal));
    std::printf("vantrel.exe / the same controls alone: median %.2f, fastest %.2f (what Vantrel adds)\n",
                median(vantrel) / median(controls), fastest(vantrel) / fastest(controls));
    std::printf("the same controls alone / minimal window: median %.2f, fastest %.2f (what the controls cost)\n",
                median(controls) / median(minimal), fastest(controls) / fastest(minimal));
    return 0;
}
