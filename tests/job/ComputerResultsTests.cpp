#include "job/ComputerResults.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;
constexpr auto Entire = otEntireLine;
constexpr auto Beginning = otBeginningOfLine;

std::string NoSystemMessage(std::int64_t)
{
    return {};
}

// Feeds whole lines, as the runner delivers a tool that ends each line.
TResultTracker Track(std::string_view list, const Lines& output, bool uninstall = false)
{
    TResultTracker tracker(list, uninstall);
    for (const auto& line : output)
        tracker.PieceDelivered(line, Entire);
    tracker.RunEnded();
    return tracker;
}

TComputerResult ResultOf(const TResultTracker& tracker, const std::string& name)
{
    for (const auto& computer : tracker.Computers())
        if (computer.Name == name)
            return computer.Result;
    ADD_FAILURE() << name << " is not in the list";
    return TComputerResult::crNoResult;
}

const Lines kBanner = {"Stand-in PsExec: banner"};

} // namespace

TEST(ComputerResults, EveryKindOfReportIsClassifiedForItsComputer)
{
    const std::string list = "PC-OK\r\nPC-REBOOT\r\nPC-RESTARTED\r\nPC-BUSY\r\nPC-FAIL\r\nPC-ODD\r\nPC-OFF\r\n"
                             "PC-DENIED\r\nPC-KEY\r\nPC-NOSTART\r\nPC-QUIET\r\n";
    const auto tracker = Track(list,
        {"Stand-in PsExec", "msiexec exited on PC-OK with error code 0.  ", "msiexec exited on PC-REBOOT with error code 3010.",
            "msiexec exited on PC-RESTARTED with error code 1641.", "msiexec exited on PC-BUSY with error code 1618.",
            "msiexec exited on PC-FAIL with error code 1603.", "msiexec exited on PC-ODD with error code -5.",
            "Couldn't access PC-OFF:", "The network path was not found.", "", "Couldn't access PC-DENIED:",
            "Access is denied.", "Error creating key file on PC-KEY:", "  The RPC server is unavailable. ",
            "PsExec could not start msiexec on PC-NOSTART:", "The system cannot find the file specified.",
            "PsExec exited with error code 1603."});
    const std::vector<TComputerResult> expected = {TComputerResult::crDone, TComputerResult::crRestartRequired,
        TComputerResult::crRestartStarted, TComputerResult::crBusy, TComputerResult::crFailed, TComputerResult::crFailed,
        TComputerResult::crNotReached, TComputerResult::crNotReached, TComputerResult::crNotReached,
        TComputerResult::crNotReached, TComputerResult::crNoResult};
    ASSERT_EQ(tracker.Computers().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(tracker.Computers()[i].Result, expected[i]) << tracker.Computers()[i].Name;
    EXPECT_EQ(tracker.Computers()[5].Code, -5);
    EXPECT_EQ(tracker.Computers()[6].Detail, "The network path was not found.");
    EXPECT_EQ(tracker.Computers()[7].Detail, "Access is denied.");
    EXPECT_EQ(tracker.Computers()[8].Detail, "The RPC server is unavailable.");
    EXPECT_EQ(tracker.Computers()[9].Detail, "The system cannot find the file specified.");
}

TEST(ComputerResults, UninstallReadsNotInstalledAndNoWaitReadsStarted)
{
    const Lines output = {"msiexec exited on A with error code 1605.", "msiexec started on B with process ID 4242."};
    const auto uninstall = Track("A\nB\n", output, true);
    EXPECT_EQ(ResultOf(uninstall, "A"), TComputerResult::crNotInstalled);
    EXPECT_EQ(ResultOf(uninstall, "B"), TComputerResult::crStarted);
    EXPECT_EQ(uninstall.Computers()[1].Code, 4242);
    // On an install the same code is a failure.
    EXPECT_EQ(ResultOf(Track("A\nB\n", output), "A"), TComputerResult::crFailed);
}

TEST(ComputerResults, NamesMatchWholeAndInAnyLetterCase)
{
    const auto tracker = Track("pc1\nPC10\n\\\\Pc2\npc2\n",
        {"msiexec exited on PC1 with error code 1603.", "msiexec exited on pc10 with error code 0.",
            "Couldn't access \\\\PC2:", "Access is denied."});
    ASSERT_EQ(tracker.Computers().size(), 3u) << "\\\\Pc2 and pc2 are one computer";
    EXPECT_EQ(ResultOf(tracker, "pc1"), TComputerResult::crFailed) << "PC1 is not taken for PC10";
    EXPECT_EQ(ResultOf(tracker, "PC10"), TComputerResult::crDone);
    EXPECT_EQ(ResultOf(tracker, "\\\\Pc2"), TComputerResult::crNotReached) << "the list's first spelling is kept";
}

TEST(ComputerResults, UnknownAndLookAlikeLinesChangeNothing)
{
    const auto tracker = Track("PC1\nPC2\n",
        {"Connecting to PC1...", "Starting msiexec on PC1...", "msiexec exited on PC9 with error code 1603.",
            "msiexec exited on PC1 with error code 1603", "msiexec exited on PC1 with error code x.",
            "PsExec exited with error code 0.", "\\\\PC1:", "Installing on PC2: now", "PC2:", "Couldn't access PC9:",
            "Access is denied."});
    EXPECT_EQ(ResultOf(tracker, "PC1"), TComputerResult::crNoResult);
    EXPECT_EQ(ResultOf(tracker, "PC2"), TComputerResult::crNoResult);
}

TEST(ComputerResults, LinesInPiecesAreReadOnceWhole)
{
    TResultTracker tracker("PC1\nPC2\nPC3\n", false);
    // The runner delivers the beginning so far, then the whole line.
    tracker.PieceDelivered("msiexec exited on PC1 with error code 3", Beginning);
    tracker.PieceDelivered("msiexec exited on PC1 with error code 30", Beginning);
    tracker.PieceDelivered("msiexec exited on PC1 with error code 3010.", Entire);
    // A colon line, then its error text in pieces.
    tracker.PieceDelivered("Couldn't access PC2:", Entire);
    tracker.PieceDelivered("The network", Beginning);
    tracker.PieceDelivered("The network path was not found.", Entire);
    // The run's last line never ends: it is delivered again in part at the end.
    tracker.PieceDelivered("msiexec exited on PC3 with error code 0.", Beginning);
    EXPECT_EQ(ResultOf(tracker, "PC3"), TComputerResult::crNoResult);
    tracker.PieceDelivered("msiexec exited on PC3 with error code 0.", Beginning);
    tracker.RunEnded();
    EXPECT_EQ(ResultOf(tracker, "PC1"), TComputerResult::crRestartRequired);
    EXPECT_EQ(tracker.Computers()[1].Detail, "The network path was not found.");
    EXPECT_EQ(ResultOf(tracker, "PC3"), TComputerResult::crDone);
    tracker.PieceDelivered("msiexec exited on PC3 with error code 1603.", Entire);
    EXPECT_EQ(ResultOf(tracker, "PC3"), TComputerResult::crDone) << "nothing counts after the end";
}

TEST(ComputerResults, AComputerListedTwiceIsOneComputerWithItsLatestReport)
{
    const auto tracker = Track("PC1\npc1\nPC2\n",
        {"Couldn't access PC1:", "msiexec exited on pc1 with error code 0.", "Access is denied."});
    ASSERT_EQ(tracker.Computers().size(), 2u);
    EXPECT_EQ(tracker.Computers()[0].Name, "PC1");
    EXPECT_EQ(ResultOf(tracker, "PC1"), TComputerResult::crDone);
    EXPECT_EQ(tracker.Computers()[0].Detail, "") << "the error text belongs to the superseded report";
    EXPECT_EQ(tracker.SummaryLines(NoSystemMessage).front(), "Vantrel: Results for 2 computers: 1 done, 1 no result");
}

TEST(ComputerResults, SummaryCountsThenNamesEveryComputerNotPlainlyDone)
{
    const auto tracker = Track("ok\nReboot\nfail\noff\nbusy\nquiet\nweird\n",
        {"msiexec exited on OK with error code 0.", "msiexec exited on reboot with error code 3010.",
            "msiexec exited on fail with error code 1603.", "Couldn't access off:", "The network path was not found.",
            "msiexec exited on busy with error code 1618.", "msiexec exited on weird with error code 112."});
    const auto systemMessage = [](std::int64_t code) {
        return code == 112 ? std::string("There is not enough space on the disk.\r\n") : std::string();
    };
    EXPECT_EQ(tracker.SummaryLines(systemMessage),
        (Lines{"Vantrel: Results for 7 computers: 1 done, 1 restart required, 1 try later, 2 failed, 1 not reached, "
               "1 no result",
            "Vantrel: Reboot: done, restart required (code 3010)",
            "Vantrel: fail: failed (code 1603: Fatal error during installation.)",
            "Vantrel: off: not reached (The network path was not found.)",
            "Vantrel: busy: another installation in progress, try later (code 1618)",
            "Vantrel: quiet: no result",
            "Vantrel: weird: failed (code 112: There is not enough space on the disk.)"}));
    EXPECT_EQ(tracker.RetryList(false), (Lines{"fail", "off", "busy", "quiet", "weird"}));
    EXPECT_EQ(tracker.RetryList(true), (Lines{"Reboot", "fail", "off", "busy", "quiet", "weird"}));
}

TEST(ComputerResults, NoSummaryForARunThatNeverStartedOrAnEmptyList)
{
    TResultTracker neverStarted("PC1\n", false);
    neverStarted.RunEnded();
    EXPECT_TRUE(neverStarted.SummaryLines(NoSystemMessage).empty());
    EXPECT_EQ(neverStarted.RetryList(false), Lines{"PC1"});
    EXPECT_TRUE(Track("\r\n  \r\n", kBanner).SummaryLines(NoSystemMessage).empty());
    EXPECT_EQ(Track("one", kBanner).SummaryLines(NoSystemMessage),
        (Lines{"Vantrel: Results for 1 computer: 1 no result", "Vantrel: one: no result"}));
}

TEST(ComputerResults, SummaryLinesNeverCarryTheSuccessReport)
{
    const auto tracker = Track("PC1\nPC2\n",
        {"Couldn't access PC1:", "PsExec exited with error code 0.", "msiexec exited on PC2 with error code 7."});
    const auto lines = tracker.SummaryLines([](std::int64_t) { return std::string("PsExec exited with error code 0."); });
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& line : lines) {
        EXPECT_EQ(line.rfind("Vantrel: ", 0), 0u) << line;
        EXPECT_EQ(line.find(RunText::SuccessReport), std::string::npos) << line;
    }
}

TEST(ComputerResults, CodesTheInstallerDoesNotDefineTakeTheSystemsMessage)
{
    EXPECT_EQ(CodeMeaning(91, [](std::int64_t) { return std::string("Odd.\r\n"); }), "Odd.");
    EXPECT_EQ(CodeMeaning(91, NoSystemMessage), "no description of this code");
    EXPECT_EQ(CodeMeaning(1603, [](std::int64_t) { return std::string("other"); }), "Fatal error during installation.");
}

TEST(ComputerResults, ListFileTakesEveryLineEndAndSkipsEmptyLines)
{
    EXPECT_EQ(ComputerNames("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(ComputerNames("\r\n\r\n  pc1 \t\r\n\t\n\r\rpc2\r\n"), (Lines{"pc1", "pc2"}));
    EXPECT_EQ(ComputerNames(""), Lines{});
}

TEST(ComputerResults, ListFileIgnoresAByteOrderMarkAndNamelessLinesAndRunsEachComputerOnce)
{
    EXPECT_EQ(ComputerNames("\xEF\xBB\xBFPC01 \r\n\\\\\r\n\\\\PC02\r\n"), (Lines{"PC01", "\\\\PC02"}));
    EXPECT_EQ(DistinctComputerNames("pc01\nPC02\n\\\\PC01\n  pc02\t\nPC03"), (Lines{"pc01", "PC02", "PC03"}));
    EXPECT_EQ(ComputerKey(" \\\\Pc01\t"), "pc01");
}
