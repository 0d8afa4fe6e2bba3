// A job on many computers at a time, below the window: each computer's own copy of the tool is a
// scripted child, picked by the computer its command line names.
#include "session/RunSession.h"
#include "support/FakeNetwork.h"
#include "support/QueueUiThread.h"
#include "support/ScriptedProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

struct TCountingListener : IRunListener {
    void MarkedRunStarted() override {}
    void MarksChanged() override { ++marksChanged; }
    void ConsoleGrew() override {}
    void StatusChanged() override { ++statusChanged; }
    bool FitsConsole(std::string_view) override { return true; }
    int marksChanged = 0;
    int statusChanged = 0;
};

TScriptCycle Signal(std::atomic<bool>& flag)
{
    TScriptCycle cycle;
    cycle.before = [&flag] { flag = true; };
    return cycle;
}

TScriptCycle WaitFor(const std::atomic<bool>& flag)
{
    TScriptCycle cycle;
    cycle.before = [&flag] {
        while (!flag)
            std::this_thread::sleep_for(1ms);
    };
    return cycle;
}

class RunSession : public ::testing::Test {
protected:
    RunSession()
        : ui(TQueueUiThread::TTimerMode::Manual),
          children(std::make_shared<TScriptedBackend>()),
          listRunner(nullptr, ui, std::make_shared<TScriptedBackend>())
    {
        children->ChooseScriptsBy([this](const std::string& commandLine) {
            for (const auto& [computer, script] : scripts) {
                if (commandLine.find("\\\\" + computer + " ") == std::string::npos)
                    continue;
                std::lock_guard lock(refusalsMutex);
                if (refusals[computer] > 0) {
                    --refusals[computer];
                    TScript refused;
                    refused.failStart = true;
                    refused.errorCode = kInternalError;
                    return refused;
                }
                return script;
            }
            ADD_FAILURE() << "no script for " << commandLine;
            return TScript{};
        });
        TRunSessionArgs args;
        args.ListRunner = [this]() -> TConsoleRunner& { return listRunner; };
        args.Console = &console;
        args.Listener = &listener;
        args.SystemMessage = [](std::int64_t) { return std::string(); };
        args.ChildBackend = children;
        args.Network = [this] { return network; };
        session = std::make_unique<TRunSession>(ui, std::move(args));
    }

    ~RunSession() override
    {
        session->Stop();
        ui.RunUntil([this] { return !session->Active(); }, 10s);
    }

    void Start(const std::string& list, int atATime, bool skipNotAnswering = false)
    {
        TJob job;
        job.Computers = TComputerList(list);
        job.AtATime = atATime;
        job.SkipNotAnswering = skipNotAnswering;
        job.Timeout = "1";
        TJobVariables vars;
        vars.PackageArg = "\"\\\\srv\\share\\p.msi\"";
        session->Start(job, vars);
    }

    std::string Tails() const
    {
        std::string text;
        for (std::size_t run = 0; run < children->Runs(); ++run) {
            const auto entries = children->LogOfRun(run)->Entries();
            text += "\nrun " + std::to_string(run) + ": " + entries.at(2) + " ... " + entries.back();
        }
        return text;
    }

    bool ConsoleHas(const std::string& line) const
    {
        const Lines lines = console.Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    TQueueUiThread ui;
    std::shared_ptr<TScriptedBackend> children;
    TConsoleRunner listRunner;
    TStringList console;
    TCountingListener listener;
    std::map<std::string, TScript> scripts;
    std::shared_ptr<TFakeNetwork> network = std::make_shared<TFakeNetwork>();
    // How many of a computer's starts the platform refuses for a passing reason.
    static constexpr uint32_t kInternalError = 1359;
    std::mutex refusalsMutex;
    std::map<std::string, int> refusals;
    std::unique_ptr<TRunSession> session;
};

TEST_F(RunSession, EachComputersReasonStaysItsOwnAndAStopTellsInterruptedFromNotStarted)
{
    // PC-B's whole failure comes between PC-A's failure and PC-A's reason.
    std::atomic<bool> aFailed{false}, bSaid{false};
    scripts["PC-A"] = Script({Output("Could not start PSEXESVC service on PC-A:\r\n"), Signal(aFailed), WaitFor(bSaid),
                              Exit(5, "Access is denied.\r\n")});
    scripts["PC-B"] = Script({WaitFor(aFailed), Output("Couldn't access PC-B:\r\nThe network path was not found.\r\n"),
                              Signal(bSaid), Exit(53)});
    // Started, then running on until stopped.
    scripts["PC-C"] = Script({Output("Connecting to PC-C...\r\nStarting msiexec on PC-C...\r\n")});
    scripts["PC-D"] = Script({});
    Start("PC-A\r\nPC-B\r\nPC-C\r\nPC-D\r\nPC-E\r\n", 2);
    ASSERT_TRUE(ui.RunUntil([this] { return ConsoleHas("PC-C> Starting msiexec on PC-C...") &&
                                            session->ProgressText() == "Running: 2 of 5 done, 2 running, 1 waiting"; },
                            20s));
    // Without a tick of the refresh, the many lines and ends were told once.
    EXPECT_EQ(listener.marksChanged, 1);
    EXPECT_EQ(listener.statusChanged, 0);
    ui.FireTimers();
    EXPECT_EQ(listener.marksChanged, 2);
    EXPECT_EQ(listener.statusChanged, 1);

    session->Stop();
    ASSERT_TRUE(ui.RunUntil([this] { return !session->Active(); }, 20s)) << session->ProgressText().value_or("-") << "\n" << ::testing::PrintToString(console.Lines()) << Tails();
    const Lines lines = console.Lines();
    const auto summary = std::find(lines.begin(), lines.end(), "Vantrel: The run was stopped.");
    ASSERT_NE(summary, lines.end());
    EXPECT_EQ(Lines(summary + 1, lines.end()),
        (Lines{"Vantrel: Results for 5 computers:", "Vantrel:   2 not reached", "Vantrel:   1 interrupted",
            "Vantrel:   2 not started", "Vantrel: PC-A: not reached (Access is denied.)",
            "Vantrel: PC-B: not reached (The network path was not found.)",
            "Vantrel: PC-C: interrupted: msiexec may still be running there", "Vantrel: PC-D: not started",
            "Vantrel: PC-E: not started", "Execution Finished"}));
    EXPECT_EQ(session->RetryList(false), (Lines{"PC-A", "PC-B", "PC-C", "PC-D", "PC-E"}));
}

TEST_F(RunSession, AToolThatCannotBeStartedMidJobIsToldOnceAndTheRestAreNotStarted)
{
    std::atomic<bool> told{false};
    scripts["PC-A"] = Script({WaitFor(told), Exit(0, "msiexec exited on PC-A with error code 0.\r\n")});
    scripts["PC-B"].failStart = true;
    scripts["PC-C"] = Script({Exit(0)});
    Start("PC-A\r\nPC-B\r\nPC-C\r\n", 2);
    const std::string toolLost = "Vantrel: The tool could not be started for PC-B: ";
    ASSERT_TRUE(ui.RunUntil([&] {
        const Lines lines = console.Lines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(toolLost); });
    }, 20s));
    told = true;
    ASSERT_TRUE(ui.RunUntil([this] { return !session->Active(); }, 20s));
    EXPECT_EQ(ui.TakePostedErrors().size(), 1u) << "one box, not one per computer";
    EXPECT_EQ(children->Runs(), 2u) << "PC-C never started";
    EXPECT_TRUE(ConsoleHas("Vantrel: PC-B: not started"));
    EXPECT_TRUE(ConsoleHas("Vantrel: PC-C: not started"));
    EXPECT_FALSE(ConsoleHas("Vantrel: PC-A: not started"));
}

} // namespace

TEST_F(RunSession, AStartRefusedForAPassingReasonIsMadeAgainAndAtTheLastTryCountedNotStarted)
{
    const std::string success = "msiexec exited on PC-X with error code 0.\r\nPsExec exited with error code 0.\r\n";
    for (const char* computer : {"PC-A", "PC-B", "PC-C"}) {
        std::string output = success;
        output.replace(output.find("PC-X"), 4, computer);
        scripts[computer] = Script({Exit(0, output)});
    }
    refusals = {{"PC-A", 2}, {"PC-B", 3}};
    Start("PC-A\r\nPC-B\r\nPC-C\r\n", 2);
    ASSERT_TRUE(ui.RunUntil([this] { return !session->Active(); }, 20s));
    EXPECT_TRUE(ui.TakePostedErrors().empty()) << "no box for a start made again";
    EXPECT_EQ(children->Runs(), 7u) << "PC-A refused twice then run, PC-B refused three times, PC-C once";
    const Lines lines = console.Lines();
    const auto summary = std::find(lines.begin(), lines.end(), "Vantrel: Results for 3 computers:");
    ASSERT_NE(summary, lines.end());
    EXPECT_EQ(Lines(summary, lines.end()),
        (Lines{"Vantrel: Results for 3 computers:", "Vantrel:   2 done", "Vantrel:   1 not started",
            "Vantrel: PC-B: not started (the system could not start the tool, code 1359)", "Execution Finished"}));
}

TEST_F(RunSession, SkippingStartsOnlyTheComputersThatAnswerAndAStopDuringTheCheckStartsNothing)
{
    for (const char* computer : {"PC-A", "PC-C"})
        scripts[computer] = Script({Exit(0, "msiexec exited on " + std::string(computer) + " with error code 0.\r\n")});
    Start("PC-A\r\nclosed-1\r\nPC-C\r\nmissing-1\r\nsilent-1\r\nbad name\r\n", 1, true);
    ASSERT_EQ(session->ProgressText().value_or(""), "Checking which computers answer: 0 of 6");
    ASSERT_TRUE(ui.RunUntil([this] { return !session->Active(); }, 20s));
    EXPECT_EQ(children->Runs(), 2u) << "only the two that answered, one after another";
    EXPECT_EQ(network->open, 0);
    const Lines lines = console.Lines();
    const auto summary = std::find(lines.begin(), lines.end(), "Vantrel: Results for 6 computers:");
    ASSERT_NE(summary, lines.end()) << ::testing::PrintToString(lines);
    EXPECT_EQ(Lines(summary, lines.end()),
        (Lines{"Vantrel: Results for 6 computers:", "Vantrel:   2 done", "Vantrel:   4 not reached",
            "Vantrel: closed-1: not reached (connection refused on port 445)",
            "Vantrel: missing-1: not reached (name not found)",
            "Vantrel: silent-1: not reached (no answer on port 445 within 1 s)",
            "Vantrel: bad name: not reached (not a valid computer name)", "Execution Finished"}));
    EXPECT_EQ(session->RetryList(false), (Lines{"closed-1", "missing-1", "silent-1", "bad name"}));

    // A lookup that hangs keeps the check going until Stop, which ends the run at once.
    console.Clear();
    session->ConsoleCleared();
    Start("stuck-1\r\nclosed-2\r\nPC-A\r\n", 2, true);
    // closed-2 and PC-A are known, stuck-1 is not.
    ASSERT_TRUE(ui.RunUntil(
        [this] { return session->ProgressText() == "Checking which computers answer: 2 of 3"; }, 20s));
    EXPECT_EQ(session->MarkOfLine("closed-2"), TComputerMark::cmNotReached) << "marked as soon as known";
    session->Stop();
    EXPECT_FALSE(session->Active());
    EXPECT_EQ(network->open, 0) << "nothing left open";
    EXPECT_EQ(children->Runs(), 2u) << "nothing started";
    EXPECT_EQ(Lines(std::find(console.Lines().begin(), console.Lines().end(), "Vantrel: The run was stopped."),
                    console.Lines().end()),
        (Lines{"Vantrel: The run was stopped.", "Vantrel: Results for 3 computers:", "Vantrel:   1 not reached",
            "Vantrel:   2 not started", "Vantrel: stuck-1: not started",
            "Vantrel: closed-2: not reached (connection refused on port 445)", "Vantrel: PC-A: not started",
            "Execution Finished"}));
    network->Release();
}

