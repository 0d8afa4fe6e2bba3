// The runner with the Windows backend and the message-window user-interface thread, against real
// child processes. Sized for Wine, where every hand-off costs a fraction of a millisecond.
#include "../runner/RunnerHarness.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/UiThreadWin32.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The message-window user-interface thread with a loop of the test's own.
class TWinUi : public IUiThread {
public:
    TWinUi()
        : ui_([this](std::exception_ptr error) {
              std::lock_guard lock(mutex_);
              errors_.push_back(error);
          })
    {
    }

    void Invoke(const std::function<void()>& fn) override { ui_.Invoke(fn); }
    void Post(std::function<void()> fn) override { ui_.Post(std::move(fn)); }
    std::unique_ptr<IPeriodicTimer> CreateTimer(std::function<void()> onTick) override
    {
        return ui_.CreateTimer(std::move(onTick));
    }

    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return done();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        return true;
    }

    std::vector<std::exception_ptr> TakePostedErrors()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(errors_, {});
    }

    TUiThreadWin32& Inner() { return ui_; }

private:
    std::mutex mutex_;
    std::vector<std::exception_ptr> errors_;
    TUiThreadWin32 ui_;
};

using TWinHarness = TRunnerHarnessOf<TWinUi>;

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

std::string Child(const std::string& arguments)
{
    std::string path = "Z:" + std::string(VANTREL_TEST_CHILD);
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return Quoted(path) + " " + arguments;
}

std::string SelfPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

int CountOwnThreads()
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    return count;
}

class WineChild : public ::testing::Test {
protected:
    WineChild() : h(DefaultProcessBackend()) {}

    void Run(const std::string& commandLine, std::chrono::milliseconds timeout = 60s)
    {
        h.terminations = 0;
        h.pieces.clear();
        h.output.Clear();
        h.runner->CommandLine = commandLine;
        h.runner->Execute();
        ASSERT_TRUE(h.RunToEnd(timeout)) << commandLine;
    }

    void Pump(std::chrono::milliseconds time)
    {
        h.ui.RunUntil([] { return false; }, time);
    }

    TWinHarness h;
};

TEST_F(WineChild, OutputArrivesAsTheConsoleShowsIt)
{
    Run(Child("partial"));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"first", "second", "no break at the end"}));
    EXPECT_EQ(h.pieces.back(), (TPiece{"no break at the end", otBeginningOfLine}));
    EXPECT_EQ(h.runner->EndStatus(), 8);

    Run(Child("breaks"));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"crlf", "lf", "cr", "mixed", "", "after", "", "end"}));

    Run(Child("nul"));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"abc", "d"}));

    Run(Child("split-crlf"));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"one", "two"}));
}

TEST_F(WineChild, ManyLinesWithAnUnterminatedLastOneArriveWhole)
{
    for (int repeat = 0; repeat < 2; ++repeat) {
        Run(Child("lines 10240"));
        const auto& lines = h.output.Lines();
        ASSERT_EQ(lines.size(), 10241u);
        for (int i = 0; i < 10240; ++i)
            ASSERT_EQ(lines[static_cast<std::size_t>(i)], "line " + std::to_string(i));
        ASSERT_EQ(lines.back(), "tail without break");
    }
}

TEST_F(WineChild, AFloodArrivesWholeAndInOrder)
{
    h.runner->SetOutputLines(nullptr);
    long long expected = 0;
    bool inOrder = true;
    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        if (type == otBeginningOfLine)
            return;
        inOrder = inOrder && line.rfind(std::to_string(expected) + ".", 0) == 0 && line.size() == 999;
        ++expected;
    };
    Run(Child("flood 4000000 999"));
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, 4000);
}

TEST_F(WineChild, ExitCodesAreReportedExactly)
{
    for (uint32_t code : {0u, 1u, 259u, 0xC0000005u, 0xFFFFFFFFu}) {
        Run(Child("exit " + std::to_string(code)));
        EXPECT_EQ(h.runner->EndStatus(), 8) << code;
        EXPECT_EQ(h.runner->ExitCode(), code);
        EXPECT_EQ(h.terminatedCode, code);
    }
}

TEST_F(WineChild, StopEndsABusyChildABlockedReaderAndABlockedWriter)
{
    for (const char* scenario : {"busy", "echo"}) {
        h.terminations = 0;
        h.runner->CommandLine = Child(scenario);
        h.runner->Execute();
        Pump(300ms);
        h.runner->Stop();
        ASSERT_TRUE(h.RunToEnd(5s)) << scenario;
        EXPECT_EQ(h.runner->EndStatus(), 9);
        EXPECT_EQ(h.terminatedCode, 259u);
    }

    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        std::this_thread::sleep_for(5ms); // the child fills the pipe meanwhile
        if (h.pieces.size() == 20)
            h.runner->Stop();
    };
    Run(Child("flood 10000000 79"), 20s);
    EXPECT_EQ(h.runner->EndStatus(), 9);
    EXPECT_EQ(h.pieces.size(), 20u);
}

TEST_F(WineChild, StopReachesAWorkerWritingToAChildThatReadsNothing)
{
    h.runner->CommandLine = Child("sleep 30000");
    h.runner->Execute();
    h.runner->InputLines().Add(std::string(4'000'000, 'x') + "\r\n");
    Pump(300ms);
    h.runner->Stop();
    ASSERT_TRUE(h.RunToEnd(5s));
    EXPECT_EQ(h.runner->EndStatus(), 9);
}

TEST_F(WineChild, InputReachesTheChildAndIsEchoed)
{
    h.runner->InputToOutput = true;
    h.runner->CommandLine = Child("echo");
    h.runner->Execute();
    h.runner->InputLines().Add("hello\r\n");
    h.runner->InputLines().Add("quit\r\n");
    ASSERT_TRUE(h.RunToEnd(10s));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"hello\r\n", "quit\r\n", "got:hello"}));
}

TEST_F(WineChild, ExecuteDuringARunAndDestructionDuringOutput)
{
    h.runner->CommandLine = Child("sleep 30000");
    h.runner->Execute();
    Pump(200ms);
    h.runner->CommandLine = Child("exit 4");
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.terminations == 2 && h.backend->live == 0; }, 10s));
    EXPECT_EQ(h.runner->EndStatus(), 8);
    EXPECT_EQ(h.runner->ExitCode(), 4u);

    h.terminations = 0;
    h.runner->CommandLine = Child("flood 100000000 79");
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.pieces.size() > 100; }, 10s));
    h.runner.reset();
    EXPECT_TRUE(h.WaitForWorkers(5s));
    EXPECT_EQ(h.terminations, 0);
}

TEST_F(WineChild, DestroyingTheRunnerInsideTheLineHandler)
{
    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        h.runner.reset();
    };
    h.runner->CommandLine = Child("lines 100");
    h.runner->Execute();
    ASSERT_TRUE(h.WaitForWorkers(10s));
    EXPECT_EQ(h.pieces.size(), 1u);
}

TEST_F(WineChild, AProgramThatDoesNotExistFailsToStartAndTheRunnerStartsAgain)
{
    Run("no_such_program_of_vantrel.exe /x", 10s);
    EXPECT_EQ(h.runner->EndStatus(), 5);
    EXPECT_EQ(h.runner->ExitCode(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    Pump(50ms);
    const auto errors = h.ui.TakePostedErrors();
    ASSERT_EQ(errors.size(), 1u);
    try {
        std::rethrow_exception(errors[0]);
    } catch (const TCreateProcessError& error) {
        EXPECT_STREQ(error.what(), "no_such_program_of_vantrel.exe /x doesn't exist.");
    }
    Run(Child("exit 0"));
    EXPECT_EQ(h.runner->EndStatus(), 8);
}

TEST_F(WineChild, BothTimeLimitsEndASilentChild)
{
    h.runner->MaxTimeAfterBeginning = 1;
    Run(Child("sleep 30000"), 10s);
    EXPECT_EQ(h.runner->EndStatus(), 10);
    EXPECT_EQ(h.terminatedCode, 259u);

    h.runner->MaxTimeAfterBeginning = 0;
    h.runner->MaxTimeAfterLastOutput = 1;
    Run(Child("pid-sleep 30000"), 10s);
    EXPECT_EQ(h.runner->EndStatus(), 10);
}

TEST_F(WineChild, TheChildInheritsNothingButItsPipes)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    UniqueHandle event(CreateEventA(&inheritable, TRUE, FALSE, nullptr));
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, &inheritable, 0));
    UniqueHandle readEnd(read), writeEnd(write);

    TWinHarness other(DefaultProcessBackend());
    other.runner->CommandLine = Child("sleep 3000");
    other.runner->Execute();

    auto value = [](const UniqueHandle& handle) { return std::to_string(reinterpret_cast<uintptr_t>(handle.Get())); };
    Run(Child("inherited " + value(event) + " " + value(readEnd) + " " + value(writeEnd)));
    EXPECT_EQ(h.output.Lines().back(), "unexpected handles: 0") << h.output.Text();
    other.runner->Stop();
    EXPECT_TRUE(other.RunToEnd());
}

TEST_F(WineChild, FiftyRunsLeaveNoHandlesOrThreads)
{
    Run(Child("exit 0"));
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    const int threads = CountOwnThreads();
    for (int i = 0; i < 50; ++i)
        Run(Child("exit 0"));
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handles + 2); // the loader may open a little on its own
    EXPECT_EQ(CountOwnThreads(), threads);
}

// The program ends during a run without a word to the runner: the child must not survive it.
TEST_F(WineChild, NoChildOutlivesTheProgram)
{
    Run(Quoted(SelfPath()) + " --host", 20s);
    DWORD childId = 0;
    for (const auto& line : h.output.Lines())
        if (line.rfind("pid ", 0) == 0)
            childId = static_cast<DWORD>(std::stoul(line.substr(4)));
    ASSERT_NE(childId, 0u) << h.output.Text();
    UniqueHandle child(OpenProcess(SYNCHRONIZE, FALSE, childId));
    if (child.Valid()) {
        EXPECT_EQ(WaitForSingleObject(child.Get(), 1000), WAIT_OBJECT_0);
    }
}

TEST(UiThreadWin32, PostedErrorsReachTheHandlerAndTimersTick)
{
    TWinUi ui;
    ui.Post([] { throw std::runtime_error("posted fault"); });
    int ticks = 0;
    auto timer = ui.CreateTimer([&] { ++ticks; });
    timer->SetInterval(20);
    timer->SetEnabled(true);
    EXPECT_TRUE(ui.RunUntil([&] { return ticks >= 3; }, 5s));
    timer->SetEnabled(false);
    const auto errors = ui.TakePostedErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THROW(std::rethrow_exception(errors[0]), std::runtime_error);
}

TEST(UiThreadWin32, InvokeRunsInTheUserInterfaceThreadAndPassesExceptionsBack)
{
    TWinUi ui;
    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<bool> done{false};
    DWORD ranIn = 0;
    bool rethrown = false;
    std::thread worker([&] {
        ui.Invoke([&] { ranIn = GetCurrentThreadId(); });
        try {
            ui.Invoke([] { throw std::logic_error("in handler"); });
        } catch (const std::logic_error&) {
            rethrown = true;
        }
        done = true;
    });
    EXPECT_TRUE(ui.RunUntil([&] { return done.load(); }, 5s));
    worker.join();
    EXPECT_EQ(ranIn, uiThread);
    EXPECT_TRUE(rethrown);
}

// A worker that hands off while the user-interface thread shuts down is released with an error,
// never left waiting.
TEST(UiThreadWin32, AHandOffWaitingAtShutdownIsRefused)
{
    auto ui = std::make_unique<TWinUi>();
    std::atomic<bool> sent{false};
    std::atomic<bool> refused{false};
    std::thread worker([&] {
        sent = true;
        try {
            ui->Invoke([] {});
        } catch (const std::runtime_error&) {
            refused = true;
        }
    });
    while (!sent)
        std::this_thread::yield();
    std::this_thread::sleep_for(50ms); // the worker is now waiting in its hand-off
    ui->Inner().Shutdown();
    worker.join();
    EXPECT_TRUE(refused);
    EXPECT_THROW(ui->Invoke([] {}), std::runtime_error);
}

// Started by NoChildOutlivesTheProgram: runs a child and ends the process in the middle.
int HostAndQuitDuringARun()
{
    TWinUi ui;
    TConsoleRunner runner(nullptr, ui);
    runner.CommandLine = Child("pid-sleep 60000");
    runner.OnNewLine = [](TObject*, const std::string& line, TOutputType) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        if (line.rfind("pid ", 0) == 0)
            ExitProcess(0);
    };
    runner.Execute();
    ui.RunUntil([] { return false; }, 20s);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--host")
        return HostAndQuitDuringARun();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
