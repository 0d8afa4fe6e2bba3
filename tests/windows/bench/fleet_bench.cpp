// Prints how long the real main window takes to reach many computers at a time, against the
// ideal (computers / N, rounded up, times the time per computer), how many copies of the tool
// ran at once, and the process's handle count and private memory before and after the runs.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "support/TestText.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Scenario {
    int computers;
    int delayMs;
    int atATime;
};

// Each figure says where it came from: some Wine versions answer 0 to the platform's queries,
// so those are only trusted when they answer, and counted or read another way otherwise.
struct Footprint {
    DWORD handles = 0;
    const char* handlesSource = "";
    double privateMb = 0;
    const char* memorySource = "";
};

// Far above what this process ever holds; handle values are multiples of 4.
constexpr ULONG_PTR kHighestHandleProbed = 0x40000;

DWORD CountOpenHandles()
{
    DWORD count = 0;
    for (ULONG_PTR value = 4; value <= kHighestHandleProbed; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

// The value in kB of one "Name:   123 kB" line of /proc/self/status, or -1.
long long StatusKb(const std::string& status, const std::string& name)
{
    for (const std::string& line : SplitLines(status))
        if (line.rfind(name + ":", 0) == 0)
            return std::atoll(line.c_str() + name.size() + 1);
    return -1;
}

void MeasureHandles(Footprint& footprint)
{
    DWORD reported = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported > 0) {
        footprint.handles = reported;
        footprint.handlesSource = "GetProcessHandleCount";
        return;
    }
    footprint.handles = CountOpenHandles();
    footprint.handlesSource = "handle values GetHandleInformation accepts";
}

void MeasurePrivateMemory(Footprint& footprint)
{
    constexpr double kBytesPerMb = 1024.0 * 1024.0;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) &&
        memory.PrivateUsage > 0) {
        footprint.privateMb = static_cast<double>(memory.PrivateUsage) / kBytesPerMb;
        footprint.memorySource = "GetProcessMemoryInfo PrivateUsage";
        return;
    }
    // Under Wine the process is a Linux process, and Z: is the Linux root.
    // Files under /proc report a size of 0; the reader reads until the end rather than by size.
    const std::string status = ReadFileBytes("Z:\\proc\\self\\status");
    const struct {
        const char* field;
        const char* source;
    } fields[] = {{"RssAnon", "/proc/self/status RssAnon"}, {"VmData", "/proc/self/status VmData"}};
    for (const auto& field : fields) {
        const long long kb = StatusKb(status, field.field);
        if (kb > 0) {
            footprint.privateMb = kb * 1024.0 / kBytesPerMb;
            footprint.memorySource = field.source;
            return;
        }
    }
    footprint.memorySource = "no source answered";
}

Footprint TakeFootprint()
{
    Footprint footprint;
    MeasureHandles(footprint);
    MeasurePrivateMemory(footprint);
    return footprint;
}

class TFleetBench {
public:
    TFleetBench()
    {
        WriteFileBytes(kShare + "\\install.msi", "package");
        SetEnvironmentVariableA("VANTREL_STANDIN_JOURNAL", Journal().c_str());
    }

    // Runs one scenario and leaves the window as Clear leaves it.
    void Run(const Scenario& scenario, bool print)
    {
        TForm1& form = app_->Form1();
        folder_.Write("fleet.txt", ComputerList("PC-FLEET-", 1000, scenario.computers));
        DeleteFileA(Journal().c_str());
        SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", std::to_string(scenario.delayMs).c_str());
        form.edt1->SetText(folder_.File("fleet.txt"));
        form.edt2->SetText(kShare + "\\install.msi");
        form.edt7->SetText(std::to_string(scenario.atATime));
        const auto start = Clock::now();
        Click(*form.sbtbtn1);
        PumpUntil(app_->Application(), [&] { return !form.RunActive(); }, std::chrono::minutes(30));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const int rounds = (scenario.computers + scenario.atATime - 1) / scenario.atATime;
        const double ideal = rounds * scenario.delayMs / 1000.0;
        const std::vector<std::string> lines = ConsoleLines(form);
        const bool succeeded = std::find(lines.begin(), lines.end(), "Vantrel: Process completed successfully") != lines.end();
        if (print)
            std::printf("%d computers x %.1f s, %d at a time: %.2f s, ideal %.2f s, ratio %.2f; most at once %d; "
                        "every computer succeeded: %s\n",
                        scenario.computers, scenario.delayMs / 1000.0, scenario.atATime, seconds, ideal, seconds / ideal,
                        ReadJournal(Journal()).MostAtOnce, succeeded ? "yes" : "NO");
        Click(*form.sbtbtn4);
        app_->Application().ProcessMessages();
    }

    // Waits until every copy of the tool has ended and the window has handled what that posted.
    void Settle()
    {
        PumpUntil(app_->Application(), [&] { return ReadJournal(Journal()).StillRunning == 0; },
                  std::chrono::minutes(1));
        PumpFor(app_->Application(), kSettleTime);
    }

private:
    static constexpr std::chrono::milliseconds kSettleTime{2000};

    std::string Journal() const { return folder_.File("journal.txt"); }

    TScratchFolder folder_{"fleet-bench"};
    TScriptedDialogs dialogs_;
    TWindowInToolFolder window_{folder_, dialogs_};
    std::unique_ptr<TVantrelApp>& app_ = window_.App;
};

} // namespace

// With no arguments, the four standard scenarios; with "computers milliseconds at-a-time", that
// one alone.
std::vector<Scenario> ChosenScenarios(int argc, char** argv)
{
    if (argc == 4)
        return {{std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3])}};
    return {{64, 1000, 1}, {64, 1000, 8}, {64, 1000, 32}, {1000, 200, 32}};
}

int main(int argc, char** argv)
{
    const std::vector<Scenario> scenarios = ChosenScenarios(argc, argv);
    TFleetBench bench;
    // A first run as wide as the widest scenario creates what every later run reuses (fonts,
    // timers, the tool's first start, the heap's room for that many runs at once).
    const int widest = std::max_element(scenarios.begin(), scenarios.end(), [](const Scenario& a, const Scenario& b) {
                           return a.atATime < b.atATime;
                       })->atATime;
    bench.Run({2 * widest, 500, widest}, false);
    bench.Settle();
    const Footprint before = TakeFootprint();
    for (const Scenario& scenario : scenarios)
        bench.Run(scenario, true);
    bench.Settle();
    const Footprint after = TakeFootprint();
    std::printf("handles (%s): %lu before, %lu after (%+.1f%%)\n", before.handlesSource, before.handles, after.handles,
                100.0 * (double(after.handles) - before.handles) / before.handles);
    std::printf("private memory (%s): %.1f MB before, %.1f MB after (%+.1f%%)\n", before.memorySource, before.privateMb,
                after.privateMb, 100.0 * (after.privateMb - before.privateMb) / before.privateMb);
    return 0;
}
