// The console view as the main window fills it: the real runner puts each piece of a run's
// output into the view (the next piece of an unfinished line replaces the view's last line), and
// TRunConsole places the runs' own lines beside them, run by scripted children.
#include "job/RunConsole.h"
#include "runner/RunnerHarness.h"
#include "support/ScriptedProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

const std::string Report(RunText::SuccessReport);
const std::string Success(RunText::SuccessLine);
const std::string Finished(RunText::ExecutionFinished);

TScriptCycle WaitFor(const std::atomic<bool>& flag, std::atomic<bool>* reached = nullptr)
{
    TScriptCycle cycle;
    cycle.before = [&flag, reached] {
        if (reached)
            *reached = true;
        while (!flag)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    return cycle;
}

class RunConsole : public ::testing::Test {
protected:
    RunConsole() : scripted(std::make_shared<TScriptedBackend>()), h(scripted, TQueueUiThread::TTimerMode::Manual) {}

    // Starts the next scripted run, wired as the main window wires each run: every run keeps its
    // own monitor, and its end reaches the view through the user-interface thread.
    void Start()
    {
        auto run = std::make_shared<TRun>();
        run->id = ++lastRunId;
        h.runner->OnNewLine = [this, run](TObject*, const std::string& line, TOutputType type) {
            h.runner->SetOutputLines(&h.output);
            console.PieceDelivered(run->id, run->monitor, line, type);
        };
        h.runner->OnTerminated = [this, run](TObject*, uint32_t) {
            h.ui.Post([this, run] {
                console.RunEnded(run->id, run->monitor, {});
                ++ended;
            });
        };
        h.runner->Execute();
    }

    void Play(std::vector<TScriptCycle> cycles)
    {
        scripted->AddScript(Script(std::move(cycles)));
        const int before = ended;
        Start();
        ASSERT_TRUE(h.ui.RunUntil([&] { return ended == before + 1 && h.backend->live == 0; },
                                  std::chrono::seconds(20)));
    }

    void Clear()
    {
        h.output.Clear();
        console.Cleared();
    }

    Lines View() const { return h.output.Lines(); }

    struct TRun {
        TRunConsole::TRunId id = 0;
        TRunMonitor monitor;
    };

    std::shared_ptr<TScriptedBackend> scripted;
    TRunnerHarness h;
    TRunConsole console{h.output};
    TRunConsole::TRunId lastRunId = 0;
    std::atomic<int> ended{0};
};

TEST_F(RunConsole, SuccessLineFollowsTheCompletedReportOnce)
{
    Play({Output("PC01: installing\n"), Output(Report + "\n"), Output("trailing chatter\n"), Output(Report + "\n"),
          Exit(0)});
    EXPECT_EQ(View(), (Lines{"PC01: installing", Report, Success, "trailing chatter", Report, Finished}));
}

TEST_F(RunConsole, ReportArrivingInPiecesIsNeverDuplicated)
{
    // Pieces of one line, completed: the success line comes after the completed line.
    Play({Output("PsExec exited"), Output(" with error code 0."), Output(" bye\n"), Output("next\n"), Exit(0)});
    EXPECT_EQ(View(), (Lines{Report + " bye", Success, "next", Finished}));

    // Never completed: the runner delivers the last beginning again at the end; the success line
    // goes just before "Execution Finished".
    Clear();
    Play({Output("line\n"), Output(Report), Exit(0)});
    EXPECT_EQ(View(), (Lines{"line", Report, Success, Finished}));
}

TEST_F(RunConsole, OnlyTheExactReportCounts)
{
    for (const std::string text : {"psexec exited with error code 0.", "PsExec exited with error code 1.",
             "PsExec exited with error code 0", "PsExec exited with error code 10."}) {
        Clear();
        Play({Output(text + "\n"), Exit(0)});
        EXPECT_EQ(View(), (Lines{text, Finished})) << text;
    }
    Clear();
    Play({Output("x " + Report + " y\n"), Exit(0)});
    EXPECT_EQ(View(), (Lines{"x " + Report + " y", Success, Finished}));
}

TEST_F(RunConsole, EachRunIsJudgedByItsOwnOutput)
{
    // Several runs, no Clear between them.
    Play({Output(Report + "\n"), Exit(0)});
    Play({Output("PsExec exited with error code 1603.\n"), Exit(0)});
    Play({Output("a\n"), Output(Report), Exit(0)});
    EXPECT_EQ(View(), (Lines{Report, Success, Finished, "PsExec exited with error code 1603.", Finished, "a", Report,
                             Success, Finished}));
}

// Two runs that each leave an unfinished line: the older is superseded while its line is
// unfinished, the newer has begun a line of its own when the older's end arrives, and completes
// it afterwards. clearFirst: Clear empties the view once the newer run has begun its line.
class OverlappingRuns : public RunConsole {
protected:
    void PlayOverlap(bool clearFirst)
    {
        std::atomic<bool> newerMidLine{false}, olderEnded{false};
        TScriptCycle supersede;
        supersede.before = [&] {
            h.ui.Invoke([this] { Start(); });
            while (!newerMidLine)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (clearFirst)
                h.ui.Invoke([this] { Clear(); });
        };
        TScript older;
        older.cycles = {Output("old"), supersede};
        TScript newer;
        newer.cycles = {Output("new"), WaitFor(olderEnded, &newerMidLine), Output(" line\n"), Exit(0)};
        scripted->AddScript(older);
        scripted->AddScript(newer);
        Start();
        ASSERT_TRUE(h.ui.RunUntil(
            [&] {
                if (ended >= 1)
                    olderEnded = true;
                return ended == 2 && h.backend->live == 0;
            },
            std::chrono::seconds(20)));
    }
};

TEST_F(OverlappingRuns, TheOlderRunsEndGoesBeforeTheNewerRunsUnfinishedLine)
{
    PlayOverlap(false);
    EXPECT_EQ(View(), (Lines{"old", Finished, "new line", Finished}));
}

TEST_F(OverlappingRuns, AClearedViewLosesNoLineOfEitherRun)
{
    PlayOverlap(true);
    // The newer run's completed line takes the place that its cleared beginning had.
    EXPECT_EQ(View(), (Lines{Finished, "new line", Finished}));
}

} // namespace
