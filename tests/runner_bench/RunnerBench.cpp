// Prints the runner's figures: lines per second end to end against the bare hand-off to the
// user-interface thread, whether the cost per line stays flat, the CPU time of the polling while
// the child is silent, and (natively) the peak memory while a flood passes.
//
//   runner_bench [lines N] [silent SECONDS] [flood MEGABYTES]   (default: all three)
#include "runner/ConsoleRunner.h"
#include "runner/QueueUiThread.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#ifdef _WIN32
#include "toolkit/UiThreadWin32.h"
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

#ifdef _WIN32
// The message window with a loop of our own.
class TBenchUi : public IUiThread {
public:
    TBenchUi() : ui_([](std::exception_ptr) {}) {}
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
    std::string path = "Z:" + std::string(VANTREL_TEST_CHILD);
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "\"" + path + "\" " + arguments;
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

double BareHandOffSeconds(TBenchUi& ui, long count)
{
    std::atomic<bool> done{false};
    long served = 0;
    const auto start = Clock::now();
    std::thread worker([&] {
        for (long i = 0; i < count; ++i)
            ui.Invoke([&] { ++served; });
        done = true;
    });
    ui.RunUntil([&] { return done.load(); });
    worker.join();
    return Seconds(Clock::now() - start);
}

void Throughput(long lines)
{
    TBenchUi ui;
    const double bare = BareHandOffSeconds(ui, lines);

    TConsoleRunner runner(nullptr, ui);
    TStringList console;
    runner.SetOutputLines(&console);
    long entire = 0;
    Clock::time_point marks[4];
    const long window = lines / 10;
    runner.OnNewLine = [&](TObject*, const std::string&, TOutputType type) {
        if (type != otEntireLine)
            return;
        ++entire;
        if (entire == 1)
            marks[0] = Clock::now();
        else if (entire == window + 1)
            marks[1] = Clock::now();
        else if (entire == lines - window)
            marks[2] = Clock::now();
        else if (entire == lines)
            marks[3] = Clock::now();
    };
    const auto start = Clock::now();
    // Lines of 80 characters; the child's flood writes the number and fills with dots.
    RunToEnd(ui, runner, Child("flood " + std::to_string(lines * 81) + " 80"));
    const double total = Seconds(Clock::now() - start);
    const double first = Seconds(marks[1] - marks[0]) / static_cast<double>(window);
    const double last = Seconds(marks[3] - marks[2]) / static_cast<double>(window);

    std::printf("throughput: %ld lines of 80 characters, %ld delivered whole\n", lines, entire);
    std::printf("  runner end to end: %.3f s, %.0f lines/s\n", total, static_cast<double>(lines) / total);
    std::printf("  bare hand-off (%s): %.3f s, %.0f/s\n", kHandOff, bare, static_cast<double>(lines) / bare);
    std::printf("  runner / bare hand-off: %.2f (target at most 1.30)\n", total / bare);
    std::printf("  per line, first %ld: %.1f us, last %ld: %.1f us, ratio %.2f (target at most 1.20)\n", window,
                first * 1e6, window, last * 1e6, last / first);
}

void SilentChild(int seconds)
{
    TBenchUi ui;
    TConsoleRunner runner(nullptr, ui);
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = Clock::now();
    RunToEnd(ui, runner, Child("sleep " + std::to_string(seconds * 1000)));
    const double wall = Seconds(Clock::now() - start);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    std::printf("silent child for %d s: %.3f s CPU in %.3f s, %.2f%% of one core (target under 5%%)\n", seconds,
                cpu, wall, 100.0 * cpu / wall);
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
        Throughput(lines);
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
