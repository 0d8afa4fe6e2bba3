// Scenarios with real child processes, shared by the native tests (POSIX backend) and the Wine
// tests (Win32 backend). TPlatform supplies:
//   using Harness                      the runner harness with the platform's user-interface thread
//   static std::string Child(args)     the command line that starts the test child
//   Repeats, FloodBytes, Runs          sizes fitting the platform's speed
//   static std::vector<uint32_t> ExitCodes()
//   static int CountHandles(), CountThreads()
//   static bool LeftBehindGone(line)   whether what the child named ("pid N", "group N") is gone
#pragma once

#include "RunnerHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

template <typename TPlatform>
class RealChild : public ::testing::Test {
protected:
    RealChild() : h(DefaultProcessBackend()) {}

    static std::string Child(const std::string& arguments) { return TPlatform::Child(arguments); }

    void Run(const std::string& commandLine, std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        h.terminations = 0;
        h.pieces.clear();
        h.output.Clear();
        h.runner->CommandLine = commandLine;
        h.runner->Execute();
        ASSERT_TRUE(h.RunToEnd(timeout)) << commandLine;
    }

    // Runs the test child with these arguments; how the run ended.
    uint8_t EndOfChild(const std::string& arguments, std::chrono::milliseconds timeout)
    {
        Run(Child(arguments), timeout);
        return h.runner->EndStatus();
    }

    void Pump(std::chrono::milliseconds time)
    {
        h.ui.RunUntil([] { return false; }, time);
    }

    typename TPlatform::Harness h;
};

TYPED_TEST_SUITE_P(RealChild);

TYPED_TEST_P(RealChild, OutputArrivesAsTheConsoleShowsIt)
{
    auto& h = this->h;
    this->Run(this->Child("partial"));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"first", "second", "no break at the end"}));
    EXPECT_EQ(h.pieces.back(), (TPiece{"no break at the end", otBeginningOfLine}));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);

    this->Run(this->Child("breaks"));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"crlf", "lf", "cr", "mixed", "", "after", "", "end"}));

    this->Run(this->Child("nul"));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"abc", "d"}));

    this->Run(this->Child("split-crlf"));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"one", "two"}));

    this->Run(this->Child("flood 3000000 1000000")); // lines of a megabyte grow the buffer
    ASSERT_EQ(h.output.Count(), 3) << "status " << int(h.runner->EndStatus()) << " pieces " << h.pieces.size()
                                   << " code " << h.runner->ExitCode();
    EXPECT_EQ(h.output.Get(2).size(), 1'000'000u);
    EXPECT_EQ(h.output.Get(2).substr(0, 2), "2.");
}

TYPED_TEST_P(RealChild, ManyLinesWithAnUnterminatedLastOneArriveWholeEveryTime)
{
    for (int repeat = 0; repeat < TypeParam::Repeats; ++repeat) {
        this->Run(this->Child("lines 10240"));
        const auto& lines = this->h.output.Lines();
        ASSERT_EQ(lines.size(), 10241u) << "repeat " << repeat;
        for (int i = 0; i < 10240; ++i)
            ASSERT_EQ(lines[static_cast<std::size_t>(i)], "line " + std::to_string(i));
        ASSERT_EQ(lines.back(), "tail without break");
        ASSERT_EQ(this->h.runner->EndStatus(), esChildEnded);
    }
}

TYPED_TEST_P(RealChild, AFloodArrivesWholeAndInOrder)
{
    auto& h = this->h;
    h.runner->SetOutputLines(nullptr); // the handler checks each line instead
    long long expected = 0;
    bool inOrder = true;
    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        if (type == otBeginningOfLine)
            return;
        inOrder = inOrder && line.rfind(std::to_string(expected) + ".", 0) == 0 && line.size() == 999;
        ++expected;
    };
    this->Run(this->Child("flood " + std::to_string(TypeParam::FloodBytes) + " 999"), std::chrono::seconds(250));
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, (TypeParam::FloodBytes + 999) / 1000);
}

TYPED_TEST_P(RealChild, ExitCodesAreReportedExactly)
{
    for (uint32_t code : TypeParam::ExitCodes()) {
        this->Run(this->Child("exit " + std::to_string(code)));
        EXPECT_EQ(this->h.runner->EndStatus(), esChildEnded) << code;
        EXPECT_EQ(this->h.runner->ExitCode(), code);
        EXPECT_EQ(this->h.terminatedCode.load(), code);
    }
}

// Stop against a busy child, a child blocked reading its input, a worker blocked writing to a
// child that reads nothing, and a child blocked on a full pipe behind a slow user interface.
TYPED_TEST_P(RealChild, StopTakesEffectWhateverTheChildDoes)
{
    using namespace std::chrono_literals;
    auto& h = this->h;
    for (const char* scenario : {"busy", "echo", "sleep 30000"}) {
        h.terminations = 0;
        h.runner->CommandLine = this->Child(scenario);
        h.runner->Execute();
        h.runner->InputLines().Add(std::string(4'000'000, 'x') + "\r\n");
        this->Pump(200ms);
        h.runner->Stop();
        ASSERT_TRUE(h.RunToEnd(5s)) << scenario;
        EXPECT_EQ(h.runner->EndStatus(), esStopped);
        EXPECT_EQ(h.terminatedCode, 259u);
    }

    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        std::this_thread::sleep_for(5ms); // the child fills the pipe meanwhile
        if (h.pieces.size() == 20)
            h.runner->Stop();
    };
    this->Run(this->Child("flood 10000000 79"), 20s);
    EXPECT_EQ(h.runner->EndStatus(), esStopped);
    EXPECT_EQ(h.pieces.size(), 20u);
}

TYPED_TEST_P(RealChild, ASlowUserInterfaceLosesNothing)
{
    auto& h = this->h;
    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };
    this->Run(this->Child("lines 20"));
    EXPECT_EQ(h.output.Count(), 21);
    EXPECT_EQ(h.output.Get(19), "line 19");
}

TYPED_TEST_P(RealChild, InputReachesTheChildAndIsEchoed)
{
    auto& h = this->h;
    h.runner->InputToOutput = true;
    h.runner->CommandLine = this->Child("echo");
    h.runner->Execute();
    h.runner->InputLines().Add("hello\r\n");
    h.runner->InputLines().Add("quit\r\n");
    ASSERT_TRUE(h.RunToEnd(std::chrono::seconds(10)));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"hello\r\n", "quit\r\n", "got:hello"}));
}

TYPED_TEST_P(RealChild, ExecuteDuringARunAndDestructionDuringOutput)
{
    using namespace std::chrono_literals;
    auto& h = this->h;
    h.runner->CommandLine = this->Child("sleep 30000");
    h.runner->Execute();
    this->Pump(100ms);
    h.runner->CommandLine = this->Child("exit 4");
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.terminations == 2 && h.backend->live == 0; }, 10s));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(h.runner->ExitCode(), 4u);

    h.terminations = 0;
    h.runner->CommandLine = this->Child("flood 100000000 79");
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.pieces.size() > 100; }, 10s));
    h.runner.reset();
    EXPECT_TRUE(h.WaitForWorkers(5s));
    EXPECT_EQ(h.terminations, 0);
}

TYPED_TEST_P(RealChild, DestroyingTheRunnerInsideTheLineHandler)
{
    auto& h = this->h;
    h.runner->OnNewLine = [&](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        h.runner.reset();
    };
    h.runner->CommandLine = this->Child("lines 100");
    h.runner->Execute();
    ASSERT_TRUE(h.WaitForWorkers(std::chrono::seconds(10)));
    EXPECT_EQ(h.pieces.size(), 1u);
}

TYPED_TEST_P(RealChild, AProgramThatDoesNotExistFailsToStartAndTheRunnerStartsAgain)
{
    auto& h = this->h;
    this->Run("no_such_program_of_vantrel.exe /x", std::chrono::seconds(10));
    EXPECT_EQ(h.runner->EndStatus(), esFailedStartingChild);
    EXPECT_EQ(h.runner->ExitCode(), 2u); // file not found, on either system
    this->Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(OnePostedStartFailure(h.ui.TakePostedErrors()), "no_such_program_of_vantrel.exe /x doesn't exist.");
    this->Run(this->Child("exit 0"));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
}

TYPED_TEST_P(RealChild, BothTimeLimitsEndASilentChild)
{
    auto& h = this->h;
    h.runner->MaxTimeAfterBeginning = 1;
    EXPECT_EQ(this->EndOfChild("sleep 30000", std::chrono::seconds(10)), esTimedOut);
    EXPECT_EQ(h.terminatedCode, 259u);

    h.runner->MaxTimeAfterBeginning = 0;
    h.runner->MaxTimeAfterLastOutput = 1;
    // never silent for two ticks
    EXPECT_EQ(this->EndOfChild("tick 4 700", std::chrono::seconds(10)), esChildEnded);
    EXPECT_EQ(this->EndOfChild("sleep 30000", std::chrono::seconds(10)), esTimedOut);
}

// The run ends with the child, a short read-on later, however long what it left behind lives.
TYPED_TEST_P(RealChild, AChildWhoseOwnChildKeepsThePipeOpenEndsTheRunInTime)
{
    auto& h = this->h;
    h.runner->MaxTimeAfterLastOutput = 1;
    EXPECT_EQ(this->EndOfChild("orphan 5", std::chrono::seconds(5)), esChildEnded);
    EXPECT_EQ(h.runner->ExitCode(), 5u);
    EXPECT_EQ(h.terminatedCode, 5u);
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"leaving a process behind"}));
}

// Something the child left behind keeps writing: the run still ends a short read-on after the
// child, and what was left behind ends with it.
TYPED_TEST_P(RealChild, WhatTheChildLeftWritingEndsWithTheRun)
{
    auto& h = this->h;
    this->Run(this->Child("orphan-chatter 6"), std::chrono::seconds(6));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(h.runner->ExitCode(), 6u);
    ASSERT_GT(h.output.Count(), 1);
    EXPECT_TRUE(TypeParam::LeftBehindGone(h.output.Get(0))) << h.output.Get(0);
}

// A time limit ends a write that the child never reads; only what it took is echoed, and the
// rest stays queued.
TYPED_TEST_P(RealChild, ATimeLimitEndsAWriteThatTheChildNeverReads)
{
    auto& h = this->h;
    h.runner->MaxTimeAfterBeginning = 1;
    h.runner->InputToOutput = true;
    h.runner->CommandLine = this->Child("sleep 30000");
    h.runner->Execute();
    const std::string item = std::string(1'000'000, 'x') + "\n";
    h.runner->InputLines().Add(item);
    ASSERT_TRUE(h.RunToEnd(std::chrono::seconds(6)));
    EXPECT_EQ(h.runner->EndStatus(), esTimedOut);
    const std::string echoed = h.pieces.empty() ? "" : h.pieces.back().text;
    ASSERT_EQ(h.runner->InputLines().Count(), 1);
    const std::string rest = h.runner->InputLines().Get(0);
    EXPECT_FALSE(rest.empty());
    EXPECT_TRUE(echoed + rest == item) << echoed.size() << " echoed, " << rest.size() << " left";
}

TYPED_TEST_P(RealChild, RunsBackToBackLeaveNoHandlesOrThreads)
{
    this->Run(this->Child("exit 0"));
    const int handles = TypeParam::CountHandles();
    const int threads = TypeParam::CountThreads();
    for (int i = 0; i < TypeParam::Runs; ++i)
        this->Run(this->Child("exit 0"));
    EXPECT_LE(TypeParam::CountHandles(), handles + 2); // the system may open a little on its own
    // A worker counts as gone when its body has returned; its thread takes a moment longer.
    this->h.ui.RunUntil([&] { return TypeParam::CountThreads() <= threads; }, std::chrono::seconds(2));
    EXPECT_LE(TypeParam::CountThreads(), threads);
}

REGISTER_TYPED_TEST_SUITE_P(RealChild, OutputArrivesAsTheConsoleShowsIt,
                            ManyLinesWithAnUnterminatedLastOneArriveWholeEveryTime, AFloodArrivesWholeAndInOrder,
                            ExitCodesAreReportedExactly, StopTakesEffectWhateverTheChildDoes,
                            ASlowUserInterfaceLosesNothing, InputReachesTheChildAndIsEchoed,
                            ExecuteDuringARunAndDestructionDuringOutput, DestroyingTheRunnerInsideTheLineHandler,
                            AProgramThatDoesNotExistFailsToStartAndTheRunnerStartsAgain,
                            BothTimeLimitsEndASilentChild, AChildWhoseOwnChildKeepsThePipeOpenEndsTheRunInTime,
                            WhatTheChildLeftWritingEndsWithTheRun, ATimeLimitEndsAWriteThatTheChildNeverReads,
                            RunsBackToBackLeaveNoHandlesOrThreads);
