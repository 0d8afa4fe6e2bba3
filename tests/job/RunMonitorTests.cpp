#include "job/RunMonitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr auto Entire = otEntireLine;
constexpr auto Beginning = otBeginningOfLine;

struct Piece {
    std::string text;
    TOutputType kind;
};

// Plays the runner's replace-last rule into a console view, with the main window's use of the
// monitor: a success line after the piece when asked, and at the end before "Execution Finished".
class ConsoleModel {
public:
    void Run(const std::vector<Piece>& pieces)
    {
        TRunMonitor monitor;
        bool lastPartial = false;
        for (const auto& piece : pieces) {
            if (lastPartial && !lines.empty())
                lines.back() = piece.text;
            else
                lines.push_back(piece.text);
            lastPartial = piece.kind == Beginning;
            if (monitor.PieceDelivered(piece.text, piece.kind))
                lines.emplace_back(RunText::SuccessLine);
        }
        if (monitor.RunEnded())
            lines.emplace_back(RunText::SuccessLine);
        lines.emplace_back(RunText::ExecutionFinished);
    }

    std::vector<std::string> lines;
};

const std::string Report(RunText::SuccessReport);
const std::string Success(RunText::SuccessLine);
const std::string Finished(RunText::ExecutionFinished);

} // namespace

TEST(RunMonitor, SuccessLineFollowsTheCompletedReportOnce)
{
    ConsoleModel console;
    console.Run({{"PC01: installing", Entire}, {Report, Entire}, {"trailing chatter", Entire}, {Report, Entire}});
    EXPECT_EQ(console.lines,
        (std::vector<std::string>{"PC01: installing", Report, Success, "trailing chatter", Report, Finished}));
}

TEST(RunMonitor, ReportArrivingInPiecesIsNeverDuplicated)
{
    // Pieces of one line, completed: the success line comes after the completed line.
    ConsoleModel completed;
    completed.Run({{"PsExec exited", Beginning}, {Report, Beginning}, {Report + " bye", Entire}, {"next", Entire}});
    EXPECT_EQ(completed.lines, (std::vector<std::string>{Report + " bye", Success, "next", Finished}));

    // Never completed: the runner delivers the last beginning again at the end; the success line
    // goes just before "Execution Finished".
    ConsoleModel unfinished;
    unfinished.Run({{"line", Entire}, {Report, Beginning}, {Report, Beginning}});
    EXPECT_EQ(unfinished.lines, (std::vector<std::string>{"line", Report, Success, Finished}));

    // A beginning that held the report but was completed into other text no longer counts.
    ConsoleModel partialOnly;
    partialOnly.Run({{Report, Beginning}, {"other", Beginning}});
    EXPECT_EQ(partialOnly.lines, (std::vector<std::string>{"other", Finished}));
}

TEST(RunMonitor, OnlyTheExactReportCounts)
{
    for (const std::string text : {"psexec exited with error code 0.", "PsExec exited with error code 1.",
             "PsExec exited with error code 0", "PsExec exited with error code 10."}) {
        ConsoleModel console;
        console.Run({{text, Entire}});
        EXPECT_EQ(console.lines, (std::vector<std::string>{text, Finished})) << text;
    }
    ConsoleModel embedded;
    embedded.Run({{"x " + Report + " y", Entire}});
    EXPECT_EQ(embedded.lines.size(), 3u);
    EXPECT_EQ(embedded.lines[1], Success);
}

TEST(RunMonitor, EachRunIsJudgedByItsOwnOutput)
{
    ConsoleModel console; // several runs, no Clear between them
    console.Run({{Report, Entire}});
    console.Run({{"PsExec exited with error code 1603.", Entire}});
    console.Run({{"a", Entire}, {Report, Beginning}});
    EXPECT_EQ(console.lines, (std::vector<std::string>{Report, Success, Finished, "PsExec exited with error code 1603.",
                                 Finished, "a", Report, Success, Finished}));
}

TEST(RunMonitor, NothingCountsAfterTheEnd)
{
    TRunMonitor monitor;
    EXPECT_FALSE(monitor.PieceDelivered(Report, Beginning));
    EXPECT_TRUE(monitor.RunEnded());
    EXPECT_FALSE(monitor.RunEnded());
    EXPECT_FALSE(monitor.PieceDelivered(Report, Entire));
    EXPECT_TRUE(monitor.SuccessReported());
}
