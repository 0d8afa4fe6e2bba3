#include "job/ResultTexts.h"
#include "job/RunMonitor.h"

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
    TResultTracker tracker(TComputerList(list), uninstall);
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
        TComputerResult::crNotStarted, TComputerResult::crNoResult};
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
    TResultTracker tracker(TComputerList("PC1\nPC2\nPC3\n"), false);
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
    EXPECT_EQ(tracker.SummaryLines(NoSystemMessage),
              (Lines{"Vantrel: Results for 2 computers:", "Vantrel:   1 done", "Vantrel:   1 no result",
                     "Vantrel: PC2: no result"}));
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
        (Lines{"Vantrel: Results for 7 computers:", "Vantrel:   1 done", "Vantrel:   1 restart required",
            "Vantrel:   1 try later", "Vantrel:   2 failed", "Vantrel:   1 not reached", "Vantrel:   1 no result",
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
    TResultTracker neverStarted(TComputerList("PC1\n"), false);
    neverStarted.RunEnded();
    EXPECT_TRUE(neverStarted.SummaryLines(NoSystemMessage).empty());
    EXPECT_EQ(neverStarted.RetryList(false), Lines{"PC1"});
    EXPECT_TRUE(Track("\r\n  \r\n", kBanner).SummaryLines(NoSystemMessage).empty());
    EXPECT_EQ(Track("one", kBanner).SummaryLines(NoSystemMessage),
        (Lines{"Vantrel: Results for 1 computer:", "Vantrel:   1 no result", "Vantrel: one: no result"}));
}

TEST(ComputerResults, SummaryLinesNeverCarryTheSuccessReport)
{
    const auto tracker = Track("PC1\nPC2\n",
        {"Couldn't access PC1:", "PsExec exited with error code 0.", "msiexec exited on PC2 with error code 7."});
    const auto lines = tracker.SummaryLines([](std::int64_t) { return std::string("PsExec exited with error code 0."); });
    ASSERT_EQ(lines.size(), 5u);
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

// Every form the tool reports a computer's end in, with the lines that follow it as the tool
// writes them, and what the tracker must make of it.
struct FormCase {
    const char* form;
    Lines output;  // about PC01 of the list "PC01\nPC02\n"
    TComputerResult result;
    std::int64_t code;
    const char* detail;
    TComputerMark mark;
};

const FormCase kForms[] = {
    {"exited with 0", {"Connecting to PC01...", "Starting PSEXESVC service on PC01...",
         "Connecting with PsExec service on PC01...", "Starting msiexec on PC01...",
         "msiexec exited on PC01 with error code 0."},
        TComputerResult::crDone, 0, "", TComputerMark::cmDone},
    {"exited with 3010", {"msiexec exited on PC01 with error code 3010."}, TComputerResult::crRestartRequired, 3010, "",
        TComputerMark::cmRestartRequired},
    {"exited with 1641", {"msiexec exited on PC01 with error code 1641."}, TComputerResult::crRestartStarted, 1641, "",
        TComputerMark::cmRestartRequired},
    {"exited with 1618", {"msiexec exited on PC01 with error code 1618."}, TComputerResult::crBusy, 1618, "",
        TComputerMark::cmFailed},
    {"exited with 1603", {"msiexec exited on PC01 with error code 1603."}, TComputerResult::crFailed, 1603, "",
        TComputerMark::cmFailed},
    {"started, not awaited", {"msiexec started on PC01 with process ID 812."}, TComputerResult::crStarted, 812, "",
        TComputerMark::cmDone},
    {"could not access", {"Connecting to PC01...", "Couldn't access PC01:", "The network path was not found.", "",
         "Make sure that the default admin$ share is enabled on PC01."},
        TComputerResult::crNotReached, 0, "The network path was not found.", TComputerMark::cmNotReached},
    {"service not started", {"Starting PSEXESVC service on PC01...", "Could not start PSEXESVC service on PC01:",
         "Access is denied."},
        TComputerResult::crNotReached, 0, "Access is denied.", TComputerMark::cmNotReached},
    {"contact lost", {"Starting msiexec on PC01...", "Error communicating with PsExec service on PC01:",
         "The handle is invalid."},
        TComputerResult::crContactLost, 0, "The handle is invalid.", TComputerMark::cmContactLost},
    {"msiexec not started", {"Starting msiexec on PC01...", "PsExec could not start msiexec on PC01:",
         "The system cannot find the file specified."},
        TComputerResult::crNotStarted, 0, "The system cannot find the file specified.", TComputerMark::cmFailed},
    {"no text, next computer's progress", {"Couldn't access PC01:", "Connecting to PC02...",
         "Starting PSEXESVC service on PC02..."},
        TComputerResult::crNotReached, 0, "", TComputerMark::cmNotReached},
    {"no text, next computer's report", {"Error communicating with PsExec service on PC01:",
         "Couldn't access PC02:", "Access is denied."},
        TComputerResult::crContactLost, 0, "", TComputerMark::cmContactLost},
    {"no text, the tool's last line", {"PsExec could not start msiexec on PC01:", "PsExec exited with error code 2."},
        TComputerResult::crNotStarted, 0, "", TComputerMark::cmFailed},
    {"begun, no result", {"Connecting to PC01...", "Starting msiexec on PC01..."}, TComputerResult::crNoResult, 0, "",
        TComputerMark::cmNoResult},
};

TEST(ComputerResults, EveryFormOfTheToolsReportGivesItsResultDetailAndMark)
{
    for (const FormCase& form : kForms) {
        const auto tracker = Track("PC01\nPC02\n", form.output);
        const TComputerOutcome& pc01 = tracker.Computers()[0];
        EXPECT_EQ(pc01.Result, form.result) << form.form;
        EXPECT_EQ(pc01.Code, form.code) << form.form;
        EXPECT_EQ(pc01.Detail, form.detail) << form.form;
        EXPECT_EQ(MarkOf(pc01, true), form.mark) << form.form;
    }
}

TEST(ComputerResults, ContactLostAndMsiexecNotStartedAreSummarisedAndRetried)
{
    const auto tracker = Track("PC01\nPC02\nPC03\n",
        {"Error communicating with PsExec service on PC01:", "The handle is invalid.",
            "PsExec could not start msiexec on PC02:", "The system cannot find the file specified.",
            "msiexec exited on PC03 with error code 1603."});
    EXPECT_EQ(tracker.SummaryLines(NoSystemMessage),
        (Lines{"Vantrel: Results for 3 computers:", "Vantrel:   2 failed", "Vantrel:   1 contact lost",
            "Vantrel: PC01: contact lost, outcome unknown (The handle is invalid.)",
            "Vantrel: PC02: could not start msiexec (The system cannot find the file specified.)",
            "Vantrel: PC03: failed (code 1603: Fatal error during installation.)"}));
    EXPECT_EQ(tracker.RetryList(false), (Lines{"PC01", "PC02", "PC03"}));
}

TEST(ComputerResults, ProgressSeparatedByBareCarriageReturnsMarksTheComputerRunning)
{
    // The runner splits "\rConnecting to PC01...\rStarting PSEXESVC service on PC01..." at each
    // carriage return, the last one in pieces until its line ends.
    TResultTracker tracker(TComputerList("PC01\nPC02\n"), false);
    EXPECT_EQ(tracker.MarkOfLine("PC01"), TComputerMark::cmWaiting);
    tracker.PieceDelivered("", Entire);
    tracker.PieceDelivered("Connecting to PC01...", Entire);
    tracker.PieceDelivered("Starting PSEXESVC service on PC01...", Beginning);
    EXPECT_EQ(tracker.MarkOfLine("PC01"), TComputerMark::cmRunning);
    EXPECT_EQ(tracker.MarkOfLine(" pc01 "), TComputerMark::cmRunning);
    EXPECT_EQ(tracker.MarkOfLine("PC02"), TComputerMark::cmWaiting);
    tracker.PieceDelivered("Starting PSEXESVC service on PC01...", Entire);
    tracker.PieceDelivered("msiexec exited on PC01 with error code 0.", Entire);
    EXPECT_EQ(tracker.MarkOfLine("PC01"), TComputerMark::cmDone);
    tracker.PieceDelivered("Connecting to PC02...", Entire);
    tracker.RunEnded();
    EXPECT_EQ(tracker.MarkOfLine("PC02"), TComputerMark::cmNoResult) << "the run ended while it ran";
    EXPECT_EQ(tracker.MarkOfLine("\\\\"), std::nullopt);
    EXPECT_EQ(tracker.MarkOfLine(""), std::nullopt);
    EXPECT_EQ(tracker.MarkOfLine("PC09"), std::nullopt);
}

TEST(ComputerResults, NamesMatchTrimmedWithoutBackslashesOrByteOrderMarkOnBothSidesAndEmptyNamesNever)
{
    const auto tracker = Track("\xEF\xBB\xBFPC01 \r\n\\\\\r\n\\\\PC02\t\r\nPC03\r\n",
        {"Connecting to \xEF\xBB\xBFPC01 ...", "msiexec exited on \xEF\xBB\xBFPC01  with error code 0.",
            "Connecting to \\\\...", "Couldn't access \\\\:", "The network path was not found.",
            "msiexec exited on PC02 with error code 1603.", "Couldn't access :", "Access is denied.",
            "msiexec exited on \\\\PC03 with error code 3010."});
    ASSERT_EQ(tracker.Computers().size(), 3u);
    EXPECT_EQ(tracker.Computers()[0].Name, "PC01");
    EXPECT_EQ(ResultOf(tracker, "PC01"), TComputerResult::crDone);
    EXPECT_EQ(ResultOf(tracker, "\\\\PC02"), TComputerResult::crFailed) << "no empty name takes another's failure";
    EXPECT_EQ(ResultOf(tracker, "PC03"), TComputerResult::crRestartRequired);
    EXPECT_EQ(tracker.RetryList(false), Lines{"\\\\PC02"}) << "the retry list carries no byte-order mark";
}

TEST(ComputerResults, LongSummaryLinesWrapOntoIndentedContinuationsThatFit)
{
    const auto tracker = Track("ABCDEFGHIJKLMNO\nPC2\n",
        {"msiexec exited on ABCDEFGHIJKLMNO with error code 1619.", "Couldn't access PC2:",
            "Averyveryveryverylongwordwithoutanyblankinit."});
    constexpr std::size_t width = 42;
    const auto fits = [](std::string_view line) { return line.size() <= width; };
    const auto lines = tracker.SummaryLines(NoSystemMessage, fits);
    std::string joined;
    for (const auto& line : lines) {
        EXPECT_LE(line.size(), width) << line;
        EXPECT_EQ(line.rfind("Vantrel: ", 0), 0u) << line;
        joined += line.substr(line.rfind("Vantrel:     ", 0) == 0 ? 13 : 9) + " ";
    }
    EXPECT_EQ(lines[0], "Vantrel: Results for 2 computers:");
    EXPECT_EQ(lines[3], "Vantrel: ABCDEFGHIJKLMNO: failed (code");
    EXPECT_EQ(lines[4], "Vantrel:     1619: This installation");
    // Nothing is lost but the blanks where lines were cut, and the long word is cut only there.
    EXPECT_NE(joined.find("This installation package could not be opened. Verify that the package exists"),
              std::string::npos) << joined;
    EXPECT_NE(joined.find("PC2: not reached (Averyveryveryverylong"), std::string::npos) << joined;
    EXPECT_EQ(tracker.SummaryLines(NoSystemMessage).size(), 5u) << "without a width nothing is wrapped";
}

TEST(ComputerResults, ResultsCsvQuotesPerRfc4180AndCarriesTimesListAndPackage)
{
    int tick = 0;
    TResultTracker tracker(TComputerList("PC01\nPC,2\n\"PC3\"\nPC4\n"), false, [&tick] { return "10:00:0" + std::to_string(tick++); });
    for (const char* line : {"Connecting to PC01...", "msiexec exited on PC01 with error code 1603.",
             "Couldn't access PC,2:", "The network path was not found.", "msiexec started on \"PC3\" with process ID 7."})
        tracker.PieceDelivered(line, Entire);
    tracker.RunEnded();
    EXPECT_EQ(ResultsCsv(tracker, "C:\\lists\\a,b.txt", "\\\\srv\\share\\x.msi", NoSystemMessage),
        "Computer,Result,Code,Detail,Started,Ended,List file,Package\r\n"
        "PC01,failed,1603,Fatal error during installation.,10:00:00,10:00:01,\"C:\\lists\\a,b.txt\",\\\\srv\\share\\x.msi\r\n"
        "\"PC,2\",not reached,,The network path was not found.,10:00:02,10:00:02,\"C:\\lists\\a,b.txt\",\\\\srv\\share\\x.msi\r\n"
        "\"\"\"PC3\"\"\",started,,process ID 7,10:00:03,10:00:03,\"C:\\lists\\a,b.txt\",\\\\srv\\share\\x.msi\r\n"
        "PC4,no result,,,,,\"C:\\lists\\a,b.txt\",\\\\srv\\share\\x.msi\r\n");
}

TEST(ComputerResults, EachChildsErrorTextIsItsOwnNextLineAndAStopTellsInterruptedFromNotStarted)
{
    TResultTracker tracker(TComputerList("PC-A\nPC-B\nPC-C\nPC-D\nPC-E\n"), false);
    // PC-B's whole failure arrives between PC-A's failure and PC-A's reason.
    tracker.ChildLine(0, "Could not start PSEXESVC service on PC-A:");
    tracker.ChildLine(1, "Couldn't access PC-B:");
    tracker.ChildLine(1, "The network path was not found.");
    tracker.ChildLine(0, "Access is denied.");
    tracker.ChildLine(2, "Starting msiexec on PC-C...");
    tracker.ChildLine(3, "Connecting to PC-D...");
    tracker.RunStopped();
    EXPECT_EQ(tracker.MarkOfLine("PC-C"), TComputerMark::cmRunning) << "a stop is settled when the run has ended";
    tracker.RunEnded();
    EXPECT_EQ(tracker.MarkOfLine("PC-C"), TComputerMark::cmInterrupted);
    EXPECT_EQ(tracker.MarkOfLine("PC-D"), TComputerMark::cmNotStarted);
    EXPECT_EQ(MarkName(TComputerMark::cmNotStarted), "not started");

    EXPECT_EQ(tracker.SummaryLines(NoSystemMessage),
        (Lines{"Vantrel: The run was stopped.", "Vantrel: Results for 5 computers:",
            "Vantrel:   2 not reached", "Vantrel:   1 interrupted", "Vantrel:   2 not started",
            "Vantrel: PC-A: not reached (Access is denied.)", "Vantrel: PC-B: not reached (The network path was not found.)",
            "Vantrel: PC-C: interrupted: msiexec may still be running there", "Vantrel: PC-D: not started",
            "Vantrel: PC-E: not started"}));
    EXPECT_EQ(tracker.RetryList(false), (Lines{"PC-A", "PC-B", "PC-C", "PC-D", "PC-E"}));
    const std::string csv = ResultsCsv(tracker, "l.txt", "p.msi", NoSystemMessage);
    EXPECT_NE(csv.find("PC-C,interrupted,,msiexec may still be running there,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("PC-D,not started,,,"), std::string::npos) << csv;

    // A run that ends by itself has no stopped line, and a stop after its end changes nothing.
    const auto ended = Track("PC01\n", {"Starting msiexec on PC01..."});
    TResultTracker late = ended;
    late.RunStopped();
    EXPECT_EQ(late.SummaryLines(NoSystemMessage), (Lines{"Vantrel: Results for 1 computer:", "Vantrel:   1 no result",
                                                       "Vantrel: PC01: no result"}));
}
