// The worker's cycle-by-cycle rules, played against a scripted child.
#include "RunnerHarness.h"
#include "support/ScriptedProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <thread>

namespace {

using Mode = TQueueUiThread::TTimerMode;

// A script whose platform call of this step fails with the error code.
TScript FailingAt(bool TScript::*step, uint32_t errorCode = TScript{}.errorCode)
{
    TScript script;
    script.*step = true;
    script.errorCode = errorCode;
    return script;
}

class ScriptedRunner : public ::testing::Test {
protected:
    ScriptedRunner() : scripted(std::make_shared<TScriptedBackend>()), h(scripted, Mode::Manual) {}

    void Play(std::vector<TScriptCycle> cycles, TScript script = {})
    {
        h.terminations = 0;
        h.pieces.clear();
        script.cycles = std::move(cycles);
        scripted->AddScript(std::move(script));
        h.runner->Execute();
        ASSERT_TRUE(h.RunToEnd());
    }

    // A cycle that lets one second pass in the user-interface thread before the end test.
    TScriptCycle Tick(std::string bytes = {})
    {
        TScriptCycle cycle = Output(std::move(bytes));
        cycle.before = [this] { h.ui.Invoke([this] { h.ui.FireTimers(); }); };
        return cycle;
    }

    // A cycle whose end test comes after a Stop, with bytes to read.
    TScriptCycle StopWith(std::string bytes)
    {
        TScriptCycle cycle = Output(std::move(bytes));
        cycle.before = [this] { h.ui.Invoke([this] { h.runner->Stop(); }); };
        return cycle;
    }

    // Serves the user-interface thread for a while, whatever happens meanwhile.
    void Pump(std::chrono::milliseconds time)
    {
        h.ui.RunUntil([] { return false; }, time);
    }

    std::vector<std::string> Log(std::size_t run = 0) const { return scripted->LogOfRun(run)->Entries(); }

    std::size_t Count(const std::string& prefix, std::size_t run = 0) const
    {
        const auto log = Log(run);
        return static_cast<std::size_t>(
            std::count_if(log.begin(), log.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
    }

    std::shared_ptr<TScriptedBackend> scripted;
    TRunnerHarness h;
};

const TPiece Entire(std::string text)
{
    return {std::move(text), otEntireLine};
}

const TPiece Beginning(std::string text)
{
    return {std::move(text), otBeginningOfLine};
}

TEST_F(ScriptedRunner, OneReadSplitsAtEveryKindOfBreakAndKeepsThePartialTail)
{
    Play({Output("a\r\nb\nc\rd"), Exit(0)});
    EXPECT_EQ(h.pieces, (std::vector<TPiece>{Entire("a"), Entire("b"), Entire("c"), Beginning("d"), Beginning("d")}));
    EXPECT_EQ(h.returnCodes[0], rcCRLF);
    EXPECT_EQ(h.returnCodes[1], rcLF);
    EXPECT_EQ(h.returnCodes[2], rcLF);
    // The repeated tail replaces itself in the caller's list and is recorded twice.
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(h.runner->Lines().Snapshot(), (std::vector<std::string>{"a", "b", "c", "d", "d"}));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
}

TEST_F(ScriptedRunner, LinesContinueAcrossReadsAndCrLfSplitAcrossReadsIsOneBreak)
{
    Play({Output("abc"), Output("def\r\n"), Output("ghi\r"), Output("\njkl\n"), Output("\r"), Output("\nx\n"),
          Exit(0)});
    EXPECT_EQ(h.pieces, (std::vector<TPiece>{Beginning("abc"), Entire("abcdef"), Entire("ghi"), Entire("jkl"),
                                             Entire(""), Entire("x")}));
    EXPECT_EQ(h.returnCodes[2], rcLF); // the CR of a pair split across reads
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"abcdef", "ghi", "jkl", "", "x"}));
}

TEST_F(ScriptedRunner, NulBytesAreDroppedAndEmptyLinesAreDelivered)
{
    Play({Output(std::string("a\0b\r\n", 5)), Output("\r\n\r\n"), Output("\n\r"), Output("x\r\r\n"), Exit(0)});
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"ab", "", "", "", "", "x", ""}));
    EXPECT_EQ(h.returnCodes.back(), rcCRLF);
    EXPECT_EQ(h.returnCodes[h.returnCodes.size() - 2], rcLF);
}

TEST_F(ScriptedRunner, TheBufferGrowsToAllThatWaitsAndOneReadTakesIt)
{
    const std::string big(5000, 'x');
    Play({Output(big + "\n"), Output("y\n"), Exit(0)});
    const auto log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "Peek:1024:5001"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Read:5001:5001"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Peek:5001:2"), log.end()); // it never shrinks
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{big, "y"}));
}

TEST_F(ScriptedRunner, OutputThatIsThereWhenTheEndIsSeenIsStillRead)
{
    Play({Exit(7, "last words\n")});
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"last words"}));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(h.runner->ExitCode(), 7u);
    EXPECT_EQ(h.terminatedCode, 7u);
}

TEST_F(ScriptedRunner, AShortReadAfterTheEndReadsOnUntilNothingIsLeft)
{
    TScriptCycle cycle = Exit(0, "0123456789\nabcdefghij\n");
    cycle.readLimit = 6;
    Play({cycle});
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"0123456789", "abcdefghij"}));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
}

TEST_F(ScriptedRunner, OutputThatShowsUpJustAfterTheEndIsStillRead)
{
    Play({Exit(0), Output(""), Output("late\n")});
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"late"}));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
}

TEST_F(ScriptedRunner, AChildThatReallyExitsWith259EndsTheRunNormally)
{
    Play({Output("x\n"), Exit(259)});
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(h.runner->ExitCode(), 259u);
    EXPECT_EQ(Count("Terminate"), 0u);
}

TEST_F(ScriptedRunner, CleanUpRunsInReverseOrderAndAnEndedChildIsNeverTerminated)
{
    TScriptCycle end = Exit(3);
    end.before = [this] { h.ui.Invoke([this] { h.runner->Stop(); }); }; // stop and exit in one cycle
    Play({Output("x\n"), end});
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(h.runner->ExitCode(), 3u);
    const auto log = Log();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3),
              (std::vector<std::string>{"CreateInputPipe", "CreateOutputPipe", "Start:child:0:48"}));
    EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
              (std::vector<std::string>{"CloseProcess", "ClosePipes"}));
    EXPECT_EQ(Count("Terminate"), 0u);
}

TEST_F(ScriptedRunner, StopTerminatesARunningChildAndReportsStillActive)
{
    TScriptCycle stop = Output("partial");
    stop.before = [this] { h.ui.Invoke([this] { h.runner->Stop(); }); };
    Play({Output("x\n"), stop});
    EXPECT_EQ(h.runner->EndStatus(), esStopped);
    EXPECT_EQ(h.terminatedCode, 259u);
    EXPECT_EQ(h.runner->ExitCode(), 0u); // untouched by a stop
    const auto log = Log();
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
              (std::vector<std::string>{"Terminate", "CloseProcess", "ClosePipes"}));
}

TEST_F(ScriptedRunner, ShowWindowAndCreationFlagReachTheChildAsPlatformValues)
{
    h.runner->ShowWindow = swSHOWMAXIMIZED;
    h.runner->CreationFlag = fDETACHED_PROCESS;
    Play({Exit(0)});
    EXPECT_TRUE(scripted->LogOfRun(0)->Find("Start:child:3:40"));
    EXPECT_EQ(ShowWindowValues[swMAXIMIZE], ShowWindowValues[swSHOWMAXIMIZED]);
}

TEST_F(ScriptedRunner, TheOverallLimitEndsTheRunAtTheTickAfterIt)
{
    h.runner->MaxTimeAfterBeginning = 2;
    Play({Tick("a\n"), Tick(), Tick(), Tick(), Exit(0)});
    EXPECT_EQ(h.runner->EndStatus(), esTimedOut);
    EXPECT_EQ(h.terminatedCode, 259u);
    EXPECT_EQ(Count("Peek"), 3u); // ended in the cycle of the third tick
    EXPECT_EQ(Count("Terminate"), 1u);
    EXPECT_EQ(h.runner->Timer()->TimeAfterBeginning, 3);
}

TEST_F(ScriptedRunner, EveryPieceRestartsTheSilenceLimit)
{
    h.runner->MaxTimeAfterLastOutput = 1;
    Play({Tick(), Tick("x\n"), Tick(), Tick("y"), Tick(), Tick(), Tick(), Exit(0)});
    EXPECT_EQ(h.runner->EndStatus(), esTimedOut);
    EXPECT_EQ(Count("Peek"), 6u);
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"x", "y", "y"}));
}

TEST_F(ScriptedRunner, QueuedInputIsWrittenOnlyInSilentCyclesAndEchoedWithItsOwnBreak)
{
    h.runner->InputToOutput = true;
    TScriptCycle queue = Output("out\n");
    queue.before = [this] {
        auto& input = h.runner->InputLines();
        input.Add("dir\r\n");
        input.Add("");
        input.Add("abc");
    };
    Play({queue, Output(""), Output("def\n"), Exit(0)});
    const auto log = Log();
    const auto firstWrite = std::find_if(log.begin(), log.end(), [](auto& e) { return e.rfind("Write:", 0) == 0; });
    ASSERT_NE(firstWrite, log.end());
    EXPECT_EQ(*firstWrite, "Write:dir\r\n");
    EXPECT_EQ(*(firstWrite + 1), "Write:abc"); // the empty item writes nothing
    EXPECT_EQ(std::count(log.begin(), firstWrite, std::string("Peek:1024:0")), 1); // not in the cycle with output
    EXPECT_EQ(h.pieces,
              (std::vector<TPiece>{Entire("out"), Entire("dir\r\n"), Beginning(""), Beginning("abc"), Entire("abcdef")}));
    EXPECT_EQ(h.runner->InputLines().Count(), 0);
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"out", "dir\r\n", "abcdef"}));
}

TEST_F(ScriptedRunner, InputLongerThanTheBufferGrowsIt)
{
    const std::string item(3000, 'i');
    TScriptCycle queue;
    queue.before = [&] { h.runner->InputLines().Add(item); };
    Play({queue, Output("a\n"), Exit(0)});
    EXPECT_EQ(Count("Write:" + item), 1u);
    EXPECT_TRUE(scripted->LogOfRun(0)->Find("Peek:3000:2"));
}

TEST_F(ScriptedRunner, ItemsQueuedBeforeExecuteAreDiscarded)
{
    h.runner->InputLines().Add("stale\n");
    Play({Output(""), Exit(0)});
    EXPECT_EQ(Count("Write:"), 0u);
}

TEST_F(ScriptedRunner, ABeginningIntoAnEmptyListSetsItsTextAndTheHandlersOwnLineGetsReplaced)
{
    h.runner->InputToOutput = true;
    h.runner->OnNewLine = [this](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        if (line == "a\r\nb")
            h.output.Add("handler's own");
    };
    TScriptCycle queue;
    queue.before = [this] { h.runner->InputLines().Add("a\r\nb"); };
    Play({queue, Output("c\n"), Exit(0)});
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"a", "b", "a\r\nbc"}));
}

TEST_F(ScriptedRunner, WithoutOutputLinesPiecesReachOnlyLinesAndTheHandler)
{
    h.runner->SetOutputLines(nullptr);
    h.runner->OnNewLine = [this](TObject* sender, const std::string& line, TOutputType type) {
        EXPECT_EQ(sender, h.runner.get());
        h.pieces.push_back({line, type});
        h.runner->SetOutputLines(&h.output); // as the main window does
    };
    Play({Output("abc"), Output("def\n"), Output("g\n"), Exit(0)});
    // The first piece set the list; the second completes a line the list never saw.
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"abcdef", "g"}));
    EXPECT_EQ(h.pieces.size(), 3u);
}

TEST_F(ScriptedRunner, AnExceptionInTheLineHandlerDoesNotEndTheRun)
{
    h.runner->OnNewLine = [this](TObject*, const std::string& line, TOutputType type) {
        h.pieces.push_back({line, type});
        throw std::runtime_error("handler fault");
    };
    Play({Output("abc"), Output("def\n"), Output("g\n"), Exit(0)});
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"abc", "abcdef", "g"}));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"abcdef", "g"}));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
}

TEST_F(ScriptedRunner, TheStatusFollowsEveryStage)
{
    std::vector<int> seen; // the status as each call is made
    TScript script;
    script.onCall = [&](const std::string&) { seen.push_back(h.runner->EndStatus()); };
    Play({Exit(0)}, script);
    EXPECT_EQ(Log(), (std::vector<std::string>{"CreateInputPipe", "CreateOutputPipe", "Start:child:0:48",
                                               "Peek:1024:0", "CloseProcess", "ClosePipes"}));
    EXPECT_EQ(seen, (std::vector<int>{esCreatingPipes, esCreatingPipes, esStartingChild, esChildRunning, esChildEnded,
                                     esChildEnded}));

    Play({}, FailingAt(&TScript::failAllocation));
    EXPECT_EQ(h.runner->EndStatus(), esFailedBeforeBuffers);
}

TEST_F(ScriptedRunner, PipeFailuresEndWithStatusThreeAndReachTheErrorBox)
{
    Play({}, FailingAt(&TScript::failInputPipe, 1450));
    EXPECT_EQ(h.runner->EndStatus(), esFailedCreatingPipes);
    EXPECT_EQ(h.runner->ExitCode(), 1450u);
    EXPECT_EQ(Log(), (std::vector<std::string>{"CreateInputPipe"}));

    Play({}, FailingAt(&TScript::failOutputPipe, 8));
    EXPECT_EQ(h.runner->EndStatus(), esFailedCreatingPipes);
    EXPECT_EQ(Log(1), (std::vector<std::string>{"CreateInputPipe", "CreateOutputPipe", "CloseInputPipe"}));

    Pump(std::chrono::milliseconds(20));
    const auto errors = h.ui.TakePostedErrors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_THROW(std::rethrow_exception(errors[0]), TCreatePipeError);
}

TEST_F(ScriptedRunner, AStartFailureIsReportedAfterTheTerminationHandlerAndTheRunnerStartsAgain)
{
    std::atomic<bool> errorBeforeTermination{false};
    h.runner->CommandLine = "missing.exe /x";
    h.runner->OnTerminated = [this, &errorBeforeTermination](TObject*, uint32_t code) {
        if (h.terminations == 0) {
            errorBeforeTermination = !h.ui.TakePostedErrors().empty();
            EXPECT_EQ(h.runner->EndStatus(), esStartingChild); // the failure code comes after the handler
        }
        h.terminatedCode = code;
        ++h.terminations;
    };
    Play({}, FailingAt(&TScript::failStart, 2));
    EXPECT_EQ(h.runner->EndStatus(), esFailedStartingChild);
    EXPECT_EQ(h.runner->ExitCode(), 2u);
    EXPECT_EQ(h.terminatedCode, 2u);
    EXPECT_FALSE(errorBeforeTermination);
    Pump(std::chrono::milliseconds(20));
    EXPECT_EQ(OnePostedStartFailure(h.ui.TakePostedErrors()), "missing.exe /x doesn't exist.");
    EXPECT_EQ(Count("Terminate"), 0u);

    scripted->AddScript(Script({Exit(0)}));
    h.runner->Execute();
    EXPECT_TRUE(h.ui.RunUntil([this] { return h.terminations == 2 && h.backend->live == 0; },
                              std::chrono::seconds(20)));

    // A caller that takes start failures itself hears of them before the end, and no box comes.
    std::vector<std::string> handed;
    int terminationsBefore = -1;
    uint32_t code = 0;
    h.runner->OnStartFailed = [&](TObject*, const std::exception_ptr& failure, uint32_t systemCode) {
        terminationsBefore = h.terminations;
        code = systemCode;
        handed.push_back(OnePostedStartFailure({failure}));
    };
    Play({}, FailingAt(&TScript::failStart, 2));
    Pump(std::chrono::milliseconds(20));
    EXPECT_EQ(terminationsBefore + 1, h.terminations) << "heard before the end is reported";
    EXPECT_EQ(code, 2u);
    EXPECT_EQ(handed, (std::vector<std::string>{"missing.exe /x doesn't exist."}));
    EXPECT_TRUE(h.ui.TakePostedErrors().empty());
}

TEST_F(ScriptedRunner, AFailureInsideThePollingLoopEndsWithStatusSevenAndStillCleansUp)
{
    TScriptCycle fault = Output("x\n");
    fault.before = [] { throw std::bad_alloc(); };
    Play({Output("a\n"), fault});
    EXPECT_EQ(h.runner->EndStatus(), esFailedWhileRunning);
    EXPECT_EQ(h.terminations, 1);
    EXPECT_EQ(h.terminatedCode, 259u);
    const auto log = Log();
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
              (std::vector<std::string>{"Terminate", "CloseProcess", "ClosePipes"}));
    Pump(std::chrono::milliseconds(20));
    EXPECT_TRUE(h.ui.TakePostedErrors().empty()); // not shown
}

// ---- the end of a run whose output pipe something else keeps open

TEST_F(ScriptedRunner, AChildThatEndedEndsTheRunAsEndedWhateverTheLimitsSayWhileReadingOn)
{
    h.runner->MaxTimeAfterBeginning = 1;
    h.runner->MaxTimeAfterLastOutput = 1;
    TScript held;
    held.pipeHeldOpen = true;
    Play({Output("a\n"), Exit(5, "b\n"), Tick(), Tick(), Tick()}, held);
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(h.runner->ExitCode(), 5u);
    EXPECT_EQ(h.terminatedCode, 5u);
    EXPECT_EQ(Count("Terminate"), 0u);
    EXPECT_GT(h.runner->Timer()->TimeAfterBeginning, h.runner->MaxTimeAfterBeginning)
        << "the limits did run out while the worker read on";
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(ScriptedRunner, AStopWhileReadingOnEndsTheRunAtOnceAndHandsTheTailOverTwice)
{
    TScript held;
    held.pipeHeldOpen = true;
    TScriptCycle stop;
    stop.before = [this] { h.ui.Invoke([this] { h.runner->Stop(); }); };
    Play({Output("x\n"), Exit(3, "tail"), Output(""), stop, Output(""), Output("")}, held);
    EXPECT_EQ(h.pieces, (std::vector<TPiece>{Entire("x"), Beginning("tail"), Beginning("tail")}));
    EXPECT_EQ(h.runner->Lines().Snapshot(), (std::vector<std::string>{"x", "tail", "tail"}));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded) << "the child had ended by itself";
    EXPECT_EQ(h.runner->ExitCode(), 3u);
    EXPECT_EQ(Count("Peek"), 4u) << "ended in the cycle of the stop";
    EXPECT_EQ(Count("Terminate"), 0u);
}

TEST_F(ScriptedRunner, ReadingOnLastsUntilEnoughQuietCyclesInARow)
{
    TScript held;
    held.pipeHeldOpen = true;
    std::vector<TScriptCycle> cycles = {Exit(0)};
    for (const char* late : {"x\n", "y\n"}) {
        cycles.insert(cycles.end(), 30, Output(""));
        cycles.push_back(Output(late));
    }
    Play(cycles, held);
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"x", "y"})) << "more than 50 cycles after the end, none quiet for long";
    EXPECT_EQ(Count("Peek"), cycles.size() + 51) << "then 51 quiet cycles";
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
}

// A quiet child is polled less and less often, up to the runner's limit; output brings the
// pause back, and the reading on after the end keeps its 1 ms cycles. At the default limit every
// pause is 1 ms.
TEST_F(ScriptedRunner, QuietCyclesLengthenThePauseUpToTheLimit)
{
    const std::vector<TScriptCycle> cycles = {Output("a\n"), Output(""), Output(""), Output(""), Output(""),
                                              Output("b\n"), Output(""), Exit(0), Output(""), Output("")};
    TScript held;
    held.pipeHeldOpen = true;
    const auto pauses = [this](std::size_t run) {
        std::vector<std::string> seen;
        for (const std::string& entry : Log(run))
            if (entry.rfind("Pause:", 0) == 0)
                seen.push_back(entry.substr(6));
        return seen;
    };
    Play(cycles, held);
    EXPECT_TRUE(pauses(0).empty());
    h.runner->QuietPauseLimit = 8;
    Play(cycles, held);
    EXPECT_EQ(pauses(1), (std::vector<std::string>{"2", "4", "8", "8", "2"}));
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(ScriptedRunner, APipeThatClosesWithTheChildEndsTheRunInTheSameCycle)
{
    Play({Output("a\n"), Exit(9, "b\n")});
    EXPECT_EQ(Count("Peek"), 2u);
    EXPECT_EQ(h.runner->ExitCode(), 9u);
}

// However often what the child left behind writes, the read-on ends at the second tick after
// the child's end.
TEST_F(ScriptedRunner, ReadingOnEndsAtTheSecondTickAfterTheEndHoweverOftenOutputComes)
{
    TScript held;
    held.pipeHeldOpen = true;
    Play({Tick("a\n"), Exit(0, "b\n"), Output("c\n"), Tick("d\n"), Output("e\n"), Tick("f\n"), Output("g\n"),
          Output("h\n")},
         held);
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(Count("Peek"), 6u);
}

// ---- the unfinished last piece: handed over after its read and once more at the end, twice in
// every kind of end, also when the last cycle's read examined nothing or added nothing

TEST_F(ScriptedRunner, TheUnfinishedLastPieceIsHandedOverTwiceInEveryKindOfEnd)
{
    const std::vector<TPiece> twice = {Entire("x"), Beginning("tail"), Beginning("tail")};
    Play({Output("x\n"), Output("tail"), StopWith("more")});
    EXPECT_EQ(h.runner->EndStatus(), esStopped);
    EXPECT_EQ(h.pieces, twice) << "a stop while the child runs";

    TScript held;
    held.pipeHeldOpen = true;
    Play({Output("x\n"), Exit(3, "tail"), Output(""), StopWith("more")}, held);
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(h.pieces, twice) << "a stop while reading on after the child's end";
    EXPECT_EQ(h.runner->Lines().Snapshot(), (std::vector<std::string>{"x", "tail", "tail"}));

    Play({Output("x\n"), Output("tail"), Output(std::string("\0\0", 2)), Exit(0)});
    EXPECT_EQ(h.pieces, twice) << "a read of nothing but NULs";

    TScriptCycle fault = Output("more");
    fault.before = [] { throw std::bad_alloc(); };
    Play({Output("x\n"), Output("tail"), fault});
    EXPECT_EQ(h.runner->EndStatus(), esFailedWhileRunning);
    EXPECT_EQ(h.pieces, twice) << "a failure while the child runs";
}

// ---- a write that blocks because the child reads nothing

class BlockedWrite : public ScriptedRunner {
protected:
    // The child takes four bytes of the item and no more; whileBlocked runs as the write waits.
    void PlayBlocked(std::function<void()> whileBlocked)
    {
        h.runner->InputToOutput = true;
        TScriptCycle queue;
        queue.before = [this] { h.runner->InputLines().Add("abcdefgh\r\n"); };
        TScript script;
        script.inputCapacity = 4;
        script.onBlockedWrite = std::move(whileBlocked);
        Play({queue}, script);
    }

    // Only what the child took is echoed; the rest stays queued, first.
    void ExpectOnlyTheWrittenPartEchoed()
    {
        EXPECT_TRUE(scripted->LogOfRun(scripted->Runs() - 1)->Find("Write:abcd"));
        EXPECT_EQ(h.pieces, (std::vector<TPiece>{Beginning("abcd"), Beginning("abcd")}));
        EXPECT_EQ(h.runner->InputLines().Snapshot(), (std::vector<std::string>{"efgh\r\n"}));
    }
};

TEST_F(BlockedWrite, EitherTimeLimitEndsIt)
{
    h.runner->MaxTimeAfterBeginning = 1;
    PlayBlocked([this] { h.ui.Invoke([this] { h.ui.FireTimers(), h.ui.FireTimers(); }); });
    EXPECT_EQ(h.runner->EndStatus(), esTimedOut);
    ExpectOnlyTheWrittenPartEchoed();

    h.runner->MaxTimeAfterBeginning = 0;
    h.runner->MaxTimeAfterLastOutput = 1;
    PlayBlocked([this] { h.ui.Invoke([this] { h.ui.FireTimers(), h.ui.FireTimers(); }); });
    EXPECT_EQ(h.runner->EndStatus(), esTimedOut);
    ExpectOnlyTheWrittenPartEchoed();
}

TEST_F(BlockedWrite, StopEndsIt)
{
    PlayBlocked([this] { h.ui.Invoke([this] { h.runner->Stop(); }); });
    EXPECT_EQ(h.runner->EndStatus(), esStopped);
    EXPECT_EQ(h.terminatedCode, 259u);
    ExpectOnlyTheWrittenPartEchoed();
}

// ---- the tick source

TEST_F(ScriptedRunner, TheTickSourceRunsWhileTheChildRunsAndStopsWhenItEnds)
{
    bool ticking = false;
    TScriptCycle look;
    look.before = [&] { h.ui.Invoke([&] { ticking = h.runner->Timer()->Enabled(); }); };
    Play({Output("a\n"), look, Exit(0)});
    Pump(std::chrono::milliseconds(20));
    EXPECT_TRUE(ticking);
    EXPECT_FALSE(h.runner->Timer()->Enabled());
}

// ---- overlapping runs

// A user who replaced a run must never see it reach a computer, nor hear of its failure.
TEST_F(ScriptedRunner, ARunReplacedOrStoppedWhileItsPipesAreCreatedStartsNoChildAndShowsNoError)
{
    TScript older;
    older.failStart = true;
    older.onCall = [this](const std::string& call) {
        if (call == "CreateOutputPipe")
            h.ui.Invoke([this] { h.runner->Execute(); });
    };
    TScript newer;
    newer.cycles = {Exit(0)};
    scripted->AddScript(older);
    scripted->AddScript(newer);
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.terminations == 2 && h.backend->live == 0; }, std::chrono::seconds(20)));
    EXPECT_FALSE(scripted->LogOfRun(0)->Find("Start"));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded) << "the newer run's outcome";
    Pump(std::chrono::milliseconds(20));
    EXPECT_TRUE(h.ui.TakePostedErrors().empty());

    TScript stopped;
    stopped.failStart = true;
    stopped.onCall = [this](const std::string& call) {
        if (call == "CreateOutputPipe")
            h.ui.Invoke([this] { h.runner->Stop(); });
    };
    Play({}, stopped);
    EXPECT_FALSE(scripted->LogOfRun(2)->Find("Start"));
    EXPECT_EQ(h.runner->EndStatus(), esStopped);
    EXPECT_EQ(h.terminations, 1);
    Pump(std::chrono::milliseconds(20));
    EXPECT_TRUE(h.ui.TakePostedErrors().empty());
}

// ---- overlapping runs

TEST_F(ScriptedRunner, AnOlderRunNeverReplacesOrAddsToTheNewerRunsLines)
{
    std::atomic<bool> newerEnded{false};
    TScriptCycle supersede;
    supersede.before = [&] {
        h.ui.Invoke([this] { h.runner->Execute(); });
        while (!newerEnded) // the older run goes on only once the newer one has ended
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    TScript older;
    older.cycles = {Output("old"), supersede, Output("more old\n"), Output("")};
    TScript newer;
    newer.cycles = {Output("new"), Exit(0)};
    scripted->AddScript(older);
    scripted->AddScript(newer);
    h.runner->OnTerminated = [&](TObject*, uint32_t) {
        if (++h.terminations == 1)
            newerEnded = true;
    };
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.terminations == 2 && h.backend->live == 0; }, std::chrono::seconds(20)));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"old", "new"}));
    EXPECT_EQ(h.pieces, (std::vector<TPiece>{Beginning("old"), Beginning("new"), Beginning("new")}))
        << "what the older run still had was dropped";
    EXPECT_EQ(h.runner->Lines().Snapshot(), (std::vector<std::string>{"new", "new"}));
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded) << "the newer run's outcome stays";
}

TEST_F(ScriptedRunner, TheTickSourceStopsWhenASupersedingRunCannotStart)
{
    bool tickingDuringFirstRun = false;
    TScriptCycle supersede;
    supersede.before = [&] {
        h.ui.Invoke([&] {
            tickingDuringFirstRun = h.runner->Timer()->Enabled();
            h.runner->Execute();
        });
    };
    TScript first;
    first.cycles = {Output("a\n"), supersede};
    scripted->AddScript(first);
    scripted->AddScript(FailingAt(&TScript::failStart));
    h.runner->Execute();
    ASSERT_TRUE(h.ui.RunUntil([&] { return h.terminations == 2 && h.backend->live == 0; }, std::chrono::seconds(20)));
    Pump(std::chrono::milliseconds(20));
    EXPECT_TRUE(tickingDuringFirstRun);
    EXPECT_FALSE(h.runner->Timer()->Enabled());
    EXPECT_EQ(h.runner->EndStatus(), esFailedStartingChild);
}

TEST_F(ScriptedRunner, AnEchoContinuesAnUnfinishedOutputLine)
{
    h.runner->InputToOutput = true;
    TScriptCycle queue;
    queue.before = [this] { h.runner->InputLines().Add("def\r\n"); };
    Play({Output("abc"), queue, Output("ghi\n"), Exit(0)});
    EXPECT_EQ(h.pieces, (std::vector<TPiece>{Beginning("abc"), Entire("abcdef\r\n"), Entire("ghi")}));
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"abcdef\r\n", "ghi"}));
}

TEST_F(ScriptedRunner, AProgramFileGivenIsStartedWithTheCommandLineAsItIs)
{
    Play({Exit(0)});
    h.runner->ApplicationName = "C:\\Tools\\Psexec.exe";
    Play({Exit(0)});
    EXPECT_EQ(Log(0)[2], "Start:child:0:48") << "without one the system looks the program up";
    EXPECT_EQ(Log(1)[2], "Start:child:0:48:C:\\Tools\\Psexec.exe");
}

} // namespace
