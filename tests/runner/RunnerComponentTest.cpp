// The component's own rules: settings, Execute and Stop, overlapping runs and destruction.
#include "RunnerHarness.h"
#include "support/ScriptedProcess.h"

#include <gtest/gtest.h>

namespace {

using Mode = TQueueUiThread::TTimerMode;
using namespace std::chrono_literals;

TEST(RunnerComponent, StartsIdleWithTheStoredDefaults)
{
    TQueueUiThread ui;
    TConsoleRunner runner(nullptr, ui, std::make_shared<TScriptedBackend>());
    EXPECT_TRUE(runner.CommandLine.empty());
    EXPECT_EQ(runner.MaxTimeAfterBeginning, 0);
    EXPECT_EQ(runner.MaxTimeAfterLastOutput, 0);
    EXPECT_EQ(runner.ShowWindow, swHIDE);
    EXPECT_EQ(runner.CreationFlag, fCREATE_NEW_CONSOLE);
    EXPECT_EQ(runner.ReturnCode, rcCRLF);
    EXPECT_EQ(runner.OutputReturnCode(), rcCRLF);
    EXPECT_FALSE(runner.InputToOutput);
    EXPECT_EQ(runner.PriorityClass, 32u);
    EXPECT_EQ(runner.EndStatus(), esBegun);
    EXPECT_EQ(runner.ExitCode(), 0u);
    EXPECT_EQ(runner.Lines().Count(), 0);
    EXPECT_EQ(runner.InputLines().Count(), 0);
    EXPECT_EQ(runner.Timer(), nullptr);
    EXPECT_EQ(runner.OutputLines(), nullptr);
    EXPECT_FALSE(runner.Running());
}

TEST(RunnerComponent, ExecuteWithoutACommandLineChangesNothingAndLeavesTheRunGoing)
{
    auto scripted = std::make_shared<TScriptedBackend>();
    TRunnerHarness h(scripted, Mode::Manual);
    h.runner->Execute(); // a run that only a stop ends
    ASSERT_TRUE(h.ui.RunUntil([&] { return scripted->Runs() == 1; }, 10s));
    h.runner->InputLines().Add("kept");
    h.runner->CommandLine.clear();
    h.runner->Execute();
    EXPECT_TRUE(h.runner->Running());
    EXPECT_EQ(h.runner->InputLines().Count(), 1);
    EXPECT_EQ(scripted->Runs(), 1u);
    h.runner->Stop();
    h.runner->Stop(); // a second stop does nothing
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(h.terminations, 1);
    EXPECT_EQ(h.runner->EndStatus(), esStopped);
}

TEST(RunnerComponent, AssigningTheSameOutputListAgainKeepsIt)
{
    TQueueUiThread ui;
    TConsoleRunner runner(nullptr, ui, std::make_shared<TScriptedBackend>());
    TStringList list;
    runner.SetOutputLines(&list);
    runner.SetOutputLines(&list);
    EXPECT_EQ(runner.OutputLines(), &list);
    runner.Stop(); // no worker: nothing happens
    EXPECT_EQ(runner.EndStatus(), esBegun);
}

TEST(RunnerComponent, AWorkerStoppedBeforeItsThreadBeganDoesNothing)
{
    auto scripted = std::make_shared<TScriptedBackend>(true);
    TRunnerHarness h(scripted, Mode::Manual);
    h.runner->Execute();
    h.runner->Stop();
    scripted->ReleaseThreads();
    ASSERT_TRUE(h.WaitForWorkers());
    EXPECT_EQ(scripted->Runs(), 0u);
    EXPECT_EQ(h.terminations, 0);
    EXPECT_TRUE(h.pieces.empty());
}

// The earlier run keeps going until it sees its stop flag, which here happens only after the
// newer run has begun: it must leave the newer run's results and time limits alone.
TEST(RunnerComponent, ASupersededRunReportsItsOwnEndButWritesNothingOfTheNewerRun)
{
    auto scripted = std::make_shared<TScriptedBackend>(true);
    TRunnerHarness h(scripted, Mode::Manual);
    std::atomic<int> firstRunTerminations{0};
    h.runner->OnTerminated = [&](TObject*, uint32_t code) {
        EXPECT_EQ(code, 259u);
        ++firstRunTerminations;
    };
    h.runner->MaxTimeAfterLastOutput = 1;

    std::atomic<bool> secondRunGoing{false};
    TScriptCycle supersede;
    supersede.before = [&] {
        h.ui.Invoke([&] { h.runner->Execute(); }); // supersedes this run from inside it
        while (!secondRunGoing)
            std::this_thread::yield();
    };
    scripted->AddScript(Script({Output("first\npartial"), supersede}));
    // The newer run: going and silent, so that only its silence limit can end it.
    TScriptCycle going;
    going.before = [&] { secondRunGoing = true; };
    scripted->AddScript(Script({going}));

    h.runner->Execute();
    h.Bind(*h.runner); // the newer run gets the recording handlers
    scripted->ReleaseThreads();
    ASSERT_TRUE(h.ui.RunUntil([&] { return firstRunTerminations == 1 && h.backend->live == 1; }, 10s));
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.runner->Timer()->Enabled(); }, 10s));

    EXPECT_EQ(h.runner->EndStatus(), esChildRunning); // the newer run's, not the old run's 9
    EXPECT_TRUE(h.runner->Lines().Snapshot().empty());
    EXPECT_TRUE(h.runner->Timer()->Enabled());
    // Once superseded, the old run delivers nothing more: not even its last partial piece again.
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"first", "partial"}));
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"first", "partial"}));

    h.ui.FireTimers();
    h.ui.FireTimers();
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(h.runner->EndStatus(), esTimedOut);
    EXPECT_EQ(h.terminations, 1);
}

// Nothing of the earlier run may still show once a new run was asked for.
TEST(RunnerComponent, ARunStoppedBeforeItsWorkerBeganEndsWithItsOwnStatus)
{
    auto scripted = std::make_shared<TScriptedBackend>();
    TRunnerHarness h(scripted, Mode::Manual);
    scripted->AddScript(Script({Exit(7, "x\n")}));
    h.runner->Execute();
    ASSERT_TRUE(h.RunToEnd());
    ASSERT_EQ(h.runner->ExitCode(), 7u);

    scripted->HoldThreads();
    h.runner->Execute();
    h.runner->Stop();
    scripted->ReleaseThreads();
    ASSERT_TRUE(h.WaitForWorkers());
    EXPECT_EQ(h.runner->EndStatus(), esStopped);
    EXPECT_EQ(h.runner->ExitCode(), 0u);
    EXPECT_EQ(h.runner->Lines().Count(), 0);
    EXPECT_EQ(h.terminations, 1) << "a run that never began raises no event";
}

// The older run hands its unfinished piece over once more after a tick of the newer run.
TEST(RunnerComponent, ASupersededRunLeavesTheNewerRunsSilenceCountAlone)
{
    auto scripted = std::make_shared<TScriptedBackend>();
    TRunnerHarness h(scripted, Mode::Manual);
    std::atomic<bool> newerGoing{false};
    TScriptCycle supersede;
    supersede.before = [&] {
        h.ui.Invoke([&] { h.runner->Execute(); });
        while (!newerGoing)
            std::this_thread::yield();
        h.ui.Invoke([&] { h.ui.FireTimers(); });
    };
    scripted->AddScript(Script({Output("partial"), supersede}));
    TScriptCycle going;
    going.before = [&] { newerGoing = true; };
    scripted->AddScript(Script({going}));
    std::atomic<int> olderEnded{0};
    h.runner->OnTerminated = [&](TObject*, uint32_t) { ++olderEnded; };
    h.runner->Execute();
    h.Bind(*h.runner);
    ASSERT_TRUE(h.ui.RunUntil([&] { return olderEnded == 1 && h.backend->live == 1; }, 10s));
    EXPECT_EQ(h.runner->Timer()->TimeAfterLastOutput, 1);
    h.runner->Stop();
    ASSERT_TRUE(h.RunToEnd());
}

// Runs the cycles with a line handler that destroys the runner at the first piece it is given.
void ExecuteDestroyingTheRunnerAtItsFirstPiece(TRunnerHarness& h, TScriptedBackend& scripted,
                                               std::vector<TScriptCycle> cycles)
{
    h.runner->OnNewLine = [&h](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        h.runner.reset();
    };
    scripted.AddScript(Script(std::move(cycles)));
    h.runner->Execute();
}

// Destroyed inside a hand-off, after which the user-interface thread serves nothing more: the
// worker's last piece must not wait for it.
TEST(RunnerComponent, AWorkerWhoseRunnerIsGoneNeverWaitsForTheUserInterfaceThread)
{
    auto scripted = std::make_shared<TScriptedBackend>();
    TRunnerHarness h(scripted, Mode::Manual);
    ExecuteDestroyingTheRunnerAtItsFirstPiece(h, *scripted, {Output("partial"), Output("more")});
    ASSERT_TRUE(h.ui.RunUntil([&] { return !h.pieces.empty(); }, 10s));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (h.backend->live > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(h.backend->live, 0);
    EXPECT_EQ(h.pieces.size(), 1u);
}

TEST(RunnerComponent, DestroyingTheRunnerDuringARunStopsItAndRaisesNothingMore)
{
    auto scripted = std::make_shared<TScriptedBackend>();
    TRunnerHarness h(scripted, Mode::Manual);
    std::vector<TScriptCycle> endless;
    for (int i = 0; i < 200; ++i)
        endless.push_back(Output("line\n"));
    scripted->AddScript(Script(endless));
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.pieces.size() >= 3; }, 10s));
    h.runner.reset();
    const auto seen = h.pieces.size();
    ASSERT_TRUE(h.WaitForWorkers());
    EXPECT_EQ(h.pieces.size(), seen);
    EXPECT_EQ(h.terminations, 0);
    const auto log = scripted->LogOfRun(0)->Entries();
    EXPECT_EQ(log[log.size() - 3], "Terminate");
}

TEST(RunnerComponent, DestroyingTheRunnerInsideTheLineHandlerIsSafe)
{
    auto scripted = std::make_shared<TScriptedBackend>();
    TRunnerHarness h(scripted, Mode::Manual);
    ExecuteDestroyingTheRunnerAtItsFirstPiece(h, *scripted, {Output("a\nb\nc\n"), Output("d\n")});
    ASSERT_TRUE(h.WaitForWorkers());
    EXPECT_EQ(h.pieces.size(), 1u);
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"a"}));
}

TEST(RunnerComponent, ExecuteClearsLinesAndInputOfThePreviousRun)
{
    auto scripted = std::make_shared<TScriptedBackend>();
    TRunnerHarness h(scripted, Mode::Manual);
    scripted->AddScript(Script({Exit(0, "x\n")}));
    h.runner->Execute();
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(h.runner->Lines().Count(), 1);
    h.runner->InputLines().Add("left over");
    scripted->AddScript(Script({Exit(0, "x\n")}));
    h.terminations = 0;
    h.runner->Execute();
    EXPECT_EQ(h.runner->InputLines().Count(), 0);
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(h.runner->Lines().Snapshot(), (std::vector<std::string>{"x"}));
}

} // namespace
