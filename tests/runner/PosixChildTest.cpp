// Real child processes through the POSIX backend.
#include "RunnerHarness.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>

#include <thread>

namespace {

using namespace std::chrono_literals;

#if defined(__SANITIZE_THREAD__)
constexpr long long kFloodBytes = 20'000'000; // the thread checker slows every access tenfold
constexpr int kRepeats = 20;
#else
constexpr long long kFloodBytes = 100'000'000;
constexpr int kRepeats = 100;
#endif

std::string Child(const std::string& arguments)
{
    return std::string(VANTREL_TEST_CHILD) + " " + arguments;
}

int CountEntries(const char* folder)
{
    int count = 0;
    if (DIR* directory = opendir(folder)) {
        while (dirent* entry = readdir(directory))
            count += entry->d_name[0] != '.';
        closedir(directory);
    }
    return count;
}

// Descriptors this test process passes on to every child of its own, whoever starts it.
std::string DescriptorsPassedOn()
{
    std::string list;
    if (DIR* directory = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(directory)) {
            const int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] != '.' && fd > 2 && fd != dirfd(directory) && !(fcntl(fd, F_GETFD) & FD_CLOEXEC))
                list += " " + std::to_string(fd);
        }
        closedir(directory);
    }
    return list;
}

class PosixChild : public ::testing::Test {
protected:
    PosixChild() : h(DefaultProcessBackend()) {}

    void Run(const std::string& arguments, std::chrono::milliseconds timeout = 60s)
    {
        h.terminations = 0;
        h.pieces.clear();
        h.output.Clear();
        h.runner->CommandLine = Child(arguments);
        h.runner->Execute();
        ASSERT_TRUE(h.RunToEnd(timeout)) << arguments;
    }

    TRunnerHarness h;
};

TEST_F(PosixChild, OutputArrivesAsTheConsoleShowsIt)
{
    Run("partial");
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"first", "second", "no break at the end"}));
    EXPECT_EQ(h.pieces.back(), (TPiece{"no break at the end", otBeginningOfLine}));
    EXPECT_EQ(h.runner->EndStatus(), 8);

    Run("breaks");
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"crlf", "lf", "cr", "mixed", "", "after", "", "end"}));

    Run("nul");
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"abc", "d"}));

    Run("split-crlf");
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"one", "two"}));
}

TEST_F(PosixChild, ManyLinesWithAnUnterminatedLastOneArriveWholeEveryTime)
{
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        Run("lines 10240");
        const auto& lines = h.output.Lines();
        ASSERT_EQ(lines.size(), 10241u) << "repeat " << repeat;
        for (int i = 0; i < 10240; ++i)
            ASSERT_EQ(lines[static_cast<std::size_t>(i)], "line " + std::to_string(i));
        ASSERT_EQ(lines.back(), "tail without break");
        ASSERT_EQ(h.runner->EndStatus(), 8);
    }
}

TEST_F(PosixChild, AFloodArrivesWholeAndInOrder)
{
    h.runner->SetOutputLines(nullptr); // the handler checks each line instead
    long long expected = 0;
    long long bytes = 0;
    bool inOrder = true;
    std::string partial;
    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        if (type == otBeginningOfLine)
            return;
        bytes += static_cast<long long>(line.size()) + 1;
        inOrder = inOrder && line.rfind(std::to_string(expected) + ".", 0) == 0 && line.size() == 999;
        ++expected;
    };
    Run("flood " + std::to_string(kFloodBytes) + " 999", 300s);
    EXPECT_TRUE(inOrder);
    EXPECT_GE(bytes, kFloodBytes);
    EXPECT_EQ(expected, (kFloodBytes + 999) / 1000);
}

TEST_F(PosixChild, ALineOfAMegabyteGrowsTheBuffer)
{
    Run("flood 3000000 1000000");
    ASSERT_EQ(h.output.Count(), 3);
    EXPECT_EQ(h.output.Get(2).size(), 1'000'000u);
    EXPECT_EQ(h.output.Get(2).substr(0, 2), "2.");
}

TEST_F(PosixChild, ExitCodesAreReportedExactly)
{
    for (uint32_t code : {0u, 1u, 3u, 255u}) {
        Run("exit " + std::to_string(code));
        EXPECT_EQ(h.runner->EndStatus(), 8);
        EXPECT_EQ(h.runner->ExitCode(), code);
        EXPECT_EQ(h.terminatedCode, code);
    }
}

TEST_F(PosixChild, StopEndsABusyChildAndAChildBlockedOnItsInput)
{
    for (const char* scenario : {"busy", "echo"}) {
        h.terminations = 0;
        h.runner->CommandLine = Child(scenario);
        h.runner->Execute();
        h.ui.RunUntil([] { return false; }, 100ms);
        h.runner->Stop();
        ASSERT_TRUE(h.RunToEnd(5s)) << scenario;
        EXPECT_EQ(h.runner->EndStatus(), 9);
        EXPECT_EQ(h.terminatedCode, 259u);
    }
}

TEST_F(PosixChild, StopReachesAWorkerWritingToAChildThatReadsNothing)
{
    h.runner->CommandLine = Child("sleep 30000");
    h.runner->Execute();
    h.runner->InputLines().Add(std::string(4'000'000, 'x') + "\n");
    h.ui.RunUntil([] { return false; }, 200ms);
    h.runner->Stop();
    ASSERT_TRUE(h.RunToEnd(5s));
    EXPECT_EQ(h.runner->EndStatus(), 9);
}

TEST_F(PosixChild, InputReachesTheChildAndIsEchoed)
{
    h.runner->InputToOutput = true;
    h.runner->CommandLine = Child("echo");
    h.runner->Execute();
    h.runner->InputLines().Add("hello\n");
    h.runner->InputLines().Add("quit\n");
    ASSERT_TRUE(h.RunToEnd(10s));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"hello\n", "quit\n", "got:hello"}));
}

// A slow user-interface thread fills the pipe, so the child waits on its writes; nothing is lost
// and a stop still takes effect.
TEST_F(PosixChild, ASlowUserInterfaceLosesNothingAndCanStillStop)
{
    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        std::this_thread::sleep_for(50ms);
    };
    Run("lines 20");
    EXPECT_EQ(h.output.Count(), 21);

    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        std::this_thread::sleep_for(5ms);
        if (h.pieces.size() == 50)
            h.runner->Stop();
    };
    h.pieces.clear();
    Run("flood 10000000 79", 20s);
    EXPECT_EQ(h.runner->EndStatus(), 9);
    EXPECT_EQ(h.pieces.size(), 50u);
}

TEST_F(PosixChild, ExecuteDuringARunStartsTheNewRunAndTheOldOneStillEnds)
{
    h.runner->CommandLine = Child("sleep 30000");
    h.runner->Execute();
    h.ui.RunUntil([] { return false; }, 100ms);
    h.runner->CommandLine = Child("exit 4");
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.terminations == 2 && h.backend->live == 0; }, 10s));
    EXPECT_EQ(h.runner->EndStatus(), 8);
    EXPECT_EQ(h.runner->ExitCode(), 4u);
}

TEST_F(PosixChild, DestroyingTheRunnerDuringOutputEndsTheChild)
{
    h.runner->CommandLine = Child("flood 100000000 79");
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.pieces.size() > 100; }, 10s));
    h.runner.reset();
    EXPECT_TRUE(h.WaitForWorkers(5s));
    EXPECT_EQ(h.terminations, 0);
}

TEST_F(PosixChild, AProgramThatDoesNotExistFailsToStart)
{
    Run("x");
    h.runner->CommandLine = "/no/such/program --flag";
    h.terminations = 0;
    h.runner->Execute();
    ASSERT_TRUE(h.RunToEnd(5s));
    EXPECT_EQ(h.runner->EndStatus(), 5);
    EXPECT_EQ(h.runner->ExitCode(), 2u); // ENOENT
    h.ui.RunUntil([] { return false; }, 20ms);
    const auto errors = h.ui.TakePostedErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THROW(std::rethrow_exception(errors[0]), TCreateProcessError);
}

TEST_F(PosixChild, BothTimeLimitsEndASilentChild)
{
    h.runner->MaxTimeAfterBeginning = 1;
    Run("sleep 30000", 10s);
    EXPECT_EQ(h.runner->EndStatus(), 10);
    EXPECT_EQ(h.terminatedCode, 259u);

    h.runner->MaxTimeAfterBeginning = 0;
    h.runner->MaxTimeAfterLastOutput = 1;
    Run("tick 2 100", 10s); // output, then silence until the limit
    EXPECT_EQ(h.runner->EndStatus(), 8);
    Run("sleep 30000", 10s);
    EXPECT_EQ(h.runner->EndStatus(), 10);
}

TEST_F(PosixChild, NoRunPassesAnyDescriptorButTheStandardOnes)
{
    TRunnerHarness other(DefaultProcessBackend());
    other.runner->CommandLine = Child("sleep 2000");
    other.runner->Execute(); // its pipes are open while this run's child starts
    Run("inherited" + DescriptorsPassedOn());
    EXPECT_EQ(h.output.Lines().back(), "unexpected handles: 0") << h.output.Text();
    other.runner->Stop();
    EXPECT_TRUE(other.RunToEnd());
}

TEST_F(PosixChild, AThousandRunsLeaveNoDescriptorsThreadsOrChildren)
{
    Run("exit 0");
    const int descriptors = CountEntries("/proc/self/fd");
    const int threads = CountEntries("/proc/self/task");
    for (int i = 0; i < 1000 / (kRepeats == 100 ? 1 : 10); ++i)
        Run("exit 0");
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
}

} // namespace
