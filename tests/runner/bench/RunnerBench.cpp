// Prints the runner's figures: lines per second end to end against the bare hand-off to the
// user-interface thread, whether the cost per line stays flat, the CPU time of the polling while
// the child is silent, and (natively) the peak memory while a flood passes.
//
//   runner_bench [lines N] [rounds R] [silent SECONDS] [flood MEGABYTES]   (default: all three)
#include "runner/ConsoleRunner.h"
#include "support/BenchFigures.h"
#include "support/QueueUiThread.h"
#include "support/TestText.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "toolkit/UiThreadWin32.h"
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
// The message window with a loop of our own.
class TBenchUi : public IUiThread {
public:
    void Invoke(const std::function<void()>& fn) override { ui_.Invoke(fn); }
    void Post(std::function<void()> fn) override { ui_.Post(std::move(fn)); }
    std::unique_ptr<IPeriodicTimer> CreateTimer(std::function<void()> onTick) override
    {
        return ui_.CreateTimer(std::move(onTick));
    }
    void RunUntil(const std::function<bool()>& done)
    {
        while (!done()) {
            // Idle like a real message loop: the end of a run posts a message, so a long wait is safe.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
    }

private:
    TUiThreadWin32 ui_;
};

const char* const kHandOff = "SendMessage to the message window";

std::string Child(const std::string& arguments)
{
    return "\"" + WinPath(VANTREL_TEST_CHILD) + "\" " + arguments;
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}
#else
class TBenchUi : public TQueueUiThread {
public:
    // The end of a run posts a task, so the loop may sleep long between tasks, as a real one does.
    void RunUntil(const std::function<bool()>& done)
    {
        TQueueUiThread::RunUntil(done, std::chrono::hours(1), std::chrono::milliseconds(100));
    }
};

const char* const kHandOff = "condition-variable round trip";

std::string Child(const std::string& arguments)
{
    return std::string(VANTREL_TEST_CHILD) + " " + arguments;
}

double ProcessCpuSeconds()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
#endif

// Runs one command line to its end; onLine sees every entire line in the user-interface thread.
void RunToEnd(TBenchUi& ui, TConsoleRunner& runner, const std::string& commandLine)
{
    std::atomic<bool> ended{false};
    runner.OnTerminated = [&](TObject*, uint32_t) { ended = true; };
    runner.CommandLine = commandLine;
    runner.Execute();
    ui.RunUntil([&] { return ended.load(); });
}

struct TTiming {
    double total = 0;      // seconds
    double firstLine = 0;  // seconds per line over the first tenth
    double lastLine = 0;   // seconds per line over the last tenth
};

// Notes the time at the start and the end of the first and the last tenth of count events.
class TTenths {
public:
    explicit TTenths(long count) : count_(count), window_(count / 10) {}
    void Note()
    {
        ++seen_;
        if (seen_ == 1)
            marks_[0] = Clock::now();
        else if (seen_ == window_ + 1)
            marks_[1] = Clock::now();
        else if (seen_ == count_ - window_)
            marks_[2] = Clock::now();
        else if (seen_ == count_)
            marks_[3] = Clock::now();
    }
    long Seen() const { return seen_; }
    long Window() const { return window_; }
    double First() const { return Seconds(marks_[1] - marks_[0]) / static_cast<double>(window_); }
    double Last() const { return Seconds(marks_[3] - marks_[2]) / static_cast<double>(window_); }

private:
    long count_;
    long window_;
    long seen_ = 0;
    Clock::time_point marks_[4];
};

TTiming BareHandOff(TBenchUi& ui, long count)
{
    std::atomic<bool> done{false};
    TTenths tenths(count);
    const auto start = Clock::now();
    std::thread worker([&] {
        for (long i = 0; i < count; ++i)
            ui.Invoke([&] { tenths.Note(); });
        done = true;
    });
    ui.RunUntil([&] { return done.load(); });
    worker.join();
    return {Seconds(Clock::now() - start), tenths.First(), tenths.Last()};
}

TTiming RunnerEndToEnd(TBenchUi& ui, long lines, long& delivered)
{
    TConsoleRunner runner(nullptr, ui);
    TStringList console;
    runner.SetOutputLines(&console);
    TTenths tenths(lines);
    runner.OnNewLine = [&](TObject*, const std::string&, TOutputType type) {
        if (type == otEntireLine)
            tenths.Note();
    };
    const auto start = Clock::now();
    // Lines of 80 characters; the child's flood writes the number and fills with dots.
    RunToEnd(ui, runner, Child("flood " + std::to_string(lines * 81) + " 80"));
    delivered = tenths.Seen();
    return {Seconds(Clock::now() - start), tenths.First(), tenths.Last()};
}

// On a shared machine other loads only ever add time, so the fastest of a few alternating
// rounds is the figure that belongs to our own code.
void Throughput(long lines, int rounds)
{
    TBenchUi ui;
    TTiming bare{1e300, 0, 0};
    TTiming runner{1e300, 0, 0};
    long delivered = 0;
    for (int round = 0; round < rounds; ++round) {
        const TTiming bareRound = BareHandOff(ui, lines);
        if (bareRound.total < bare.total)
            bare = bareRound;
        const TTiming runnerRound = RunnerEndToEnd(ui, lines, delivered);
        if (runnerRound.total < runner.total)
            runner = runnerRound;
    }

    std::printf("throughput: %ld lines of 80 characters, %ld delivered whole, fastest of %d rounds\n", lines,
                delivered, rounds);
    std::printf("  runner end to end: %.3f s, %.0f lines/s\n", runner.total,
                static_cast<double>(lines) / runner.total);
    std::printf("  bare hand-off (%s): %.3f s, %.0f/s\n", kHandOff, bare.total,
                static_cast<double>(lines) / bare.total);
    std::printf("  runner / bare hand-off: %.2f (target at most 1.30)\n", runner.total / bare.total);
    std::printf("  runner per line, first tenth: %.1f us, last tenth: %.1f us, ratio %.2f (target at most 1.20)\n",
                runner.firstLine * 1e6, runner.lastLine * 1e6, runner.lastLine / runner.firstLine);
    std::printf("  bare hand-off per call, first tenth: %.1f us, last tenth: %.1f us, ratio %.2f\n",
                bare.firstLine * 1e6, bare.lastLine * 1e6, bare.lastLine / bare.firstLine);
}

// Three runs, and their median: one run can meet a burst of other work on a shared machine.
void SilentChild(int seconds)
{
    TBenchUi ui;
    std::vector<double> shares;
    for (int run = 1; run <= 3; ++run) {
        TConsoleRunner runner(nullptr, ui);
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = Clock::now();
        RunToEnd(ui, runner, Child("sleep " + std::to_string(seconds * 1000)));
        const double wall = Seconds(Clock::now() - start);
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        shares.push_back(100.0 * cpu / wall);
        std::printf("silent child for %d s, run %d of 3: %.3f s CPU in %.3f s, %.2f%% of one core\n", seconds, run,
                    cpu, wall, shares.back());
    }
    std::sort(shares.begin(), shares.end());
    std::printf("silent child: median %.2f%% of one core (target under 5%%)\n", shares[1]);
}

#ifndef _WIN32
long PeakResidentKilobytes()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Flood(long megabytes)
{
    TBenchUi ui;
    TConsoleRunner runner(nullptr, ui);
    const long before = PeakResidentKilobytes();
    const auto start = Clock::now();
    RunToEnd(ui, runner, Child("flood " + std::to_string(megabytes * 1000000) + " 79"));
    const double wall = Seconds(Clock::now() - start);
    std::printf("flood of %ld MB in lines of 80: %.2f s, %.1f MB/s; peak resident %.1f MB (%.1f MB before); "
                "Lines keeps all %d pieces of the run\n",
                megabytes, wall, static_cast<double>(megabytes) / wall, PeakResidentKilobytes() / 1024.0,
                before / 1024.0, runner.Lines().Count());
}
#endif

} // namespace

int main(int argc, char** argv)
{
    long lines = 100000;
    int silent = 10;
    long flood = 100;
    int rounds = 3;
    const bool all = argc < 2;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const long value = std::strtol(argv[i + 1], nullptr, 10);
        if (name == "lines")
            lines = value;
        else if (name == "silent")
            silent = static_cast<int>(value);
        else if (name == "flood")
            flood = value;
        else if (name == "rounds")
            rounds = static_cast<int>(value);
    }
    auto wanted = [&](const char* name) {
        if (all)
            return true;
        for (int i = 1; i < argc; i += 2)
            if (std::string(argv[i]) == name)
                return true;
        return false;
    };
    if (wanted("lines"))
        Throughput(lines, rounds);
    if (wanted("silent"))
        SilentChild(silent);
#ifndef _WIN32
    if (wanted("flood"))
        Flood(flood);
#else
    (void)flood;
#endif
    std::fflush(stdout);
    return 0;
}
