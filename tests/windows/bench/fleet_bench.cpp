// Prints how long the real main window takes to reach many computers at a time, against the
// ideal (computers / N, rounded up, times the time per computer), how many copies of the tool
// ran at once, and the process's handle count and private memory before and after the runs.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "WindowTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Scenario {
    int computers;
    int delayMs;
    int atATime;
};

struct Footprint {
    DWORD handles = 0;
    double privateMb = 0;
};

Footprint TakeFootprint()
{
    Footprint footprint;
    GetProcessHandleCount(GetCurrentProcess(), &footprint.handles);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    footprint.privateMb = static_cast<double>(memory.PrivateUsage) / (1024.0 * 1024.0);
    return footprint;
}

std::string ComputerList(int count)
{
    std::string list;
    for (int i = 0; i < count; ++i)
        list += "PC-FLEET-" + std::to_string(1000 + i) + "\r\n";
    return list;
}

// The most copies of the tool that the journal shows running together.
int MostAtOnce(const std::string& journal)
{
    int running = 0, most = 0;
    for (const std::string& line : SplitLines(journal)) {
        if (line.empty())
            continue;
        running += line[0] == '+' ? 1 : -1;
        most = std::max(most, running);
    }
    return most;
}

class TFleetBench {
public:
    TFleetBench() : folder_("fleet-bench")
    {
        CopyFileA(WinPath(VANTREL_STANDIN_EXE).c_str(), folder_.File("Psexec.exe").c_str(), FALSE);
        SetCurrentDirectoryA(folder_.Path().c_str());
        WriteFileBytes(kShare + "\\install.msi", "package");
        SetEnvironmentVariableA("VANTREL_STANDIN_JOURNAL", Journal().c_str());
        app_ = std::make_unique<TVantrelApp>(dialogs_, nullptr);
        app_->Form1().Show();
        app_->Application().ProcessMessages();
    }
    ~TFleetBench()
    {
        app_.reset();
        SetCurrentDirectoryA("C:\\");
    }
    TFleetBench(const TFleetBench&) = delete;
    TFleetBench& operator=(const TFleetBench&) = delete;

    // Runs one scenario and leaves the window as Clear leaves it.
    void Run(const Scenario& scenario, bool print)
    {
        TForm1& form = app_->Form1();
        folder_.Write("fleet.txt", ComputerList(scenario.computers));
        DeleteFileA(Journal().c_str());
        SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", std::to_string(scenario.delayMs).c_str());
        form.edt1->SetText(folder_.File("fleet.txt"));
        form.edt2->SetText(kShare + "\\install.msi");
        form.edt7->SetText(std::to_string(scenario.atATime));
        const auto start = Clock::now();
        SendMessageA(form.sbtbtn1->Handle(), BM_CLICK, 0, 0);
        PumpUntil(app_->Application(), [&] { return !form.RunActive(); }, std::chrono::minutes(30));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const int rounds = (scenario.computers + scenario.atATime - 1) / scenario.atATime;
        const double ideal = rounds * scenario.delayMs / 1000.0;
        const std::vector<std::string> lines = ConsoleLines();
        const bool succeeded = std::find(lines.begin(), lines.end(), "Vantrel: Process completed successfully") != lines.end();
        if (print)
            std::printf("%d computers x %.1f s, %d at a time: %.2f s, ideal %.2f s, ratio %.2f; most at once %d; "
                        "every computer succeeded: %s\n",
                        scenario.computers, scenario.delayMs / 1000.0, scenario.atATime, seconds, ideal, seconds / ideal,
                        MostAtOnce(ReadFileBytes(Journal())), succeeded ? "yes" : "NO");
        SendMessageA(form.sbtbtn4->Handle(), BM_CLICK, 0, 0);
        app_->Application().ProcessMessages();
    }

private:
    std::string Journal() const { return folder_.File("journal.txt"); }
    std::vector<std::string> ConsoleLines()
    {
        std::vector<std::string> lines;
        TMemoLines& view = app_->Form1().mmo2->Lines();
        for (int i = 0; i < view.Count(); ++i)
            lines.push_back(view.Get(i));
        return lines;
    }

    TScratchFolder folder_;
    TScriptedDialogs dialogs_;
    std::unique_ptr<TVantrelApp> app_;
};

} // namespace

int main()
{
    const Scenario scenarios[] = {{64, 1000, 1}, {64, 1000, 8}, {64, 1000, 32}, {1000, 200, 32}};
    TFleetBench bench;
    // A first small run creates what every later run reuses (fonts, timers, the tool's first start).
    bench.Run({16, 0, 8}, false);
    const Footprint before = TakeFootprint();
    for (const Scenario& scenario : scenarios)
        bench.Run(scenario, true);
    const Footprint after = TakeFootprint();
    std::printf("handles: %lu before, %lu after (%+.1f%%); private memory: %.1f MB before, %.1f MB after (%+.1f%%)\n",
                before.handles, after.handles, 100.0 * (double(after.handles) - before.handles) / before.handles,
                before.privateMb, after.privateMb, 100.0 * (after.privateMb - before.privateMb) / before.privateMb);
    return 0;
}
