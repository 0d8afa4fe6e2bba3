#include "job/ResultTracker.h"
#include "job/Fleet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr auto Entire = otEntireLine;
constexpr auto Beginning = otBeginningOfLine;

using Indices = std::vector<std::size_t>;

} // namespace

TEST(ParseAtATime, TakesOneToSixtyFourOnly)
{
    EXPECT_EQ(ParseAtATime("1"), 1);
    EXPECT_EQ(ParseAtATime("08"), 8);
    EXPECT_EQ(ParseAtATime("64"), 64);
    for (const char* bad : {"", "0", "00", "65", "99", "-1", "4 ", "x", "1x"})
        EXPECT_EQ(ParseAtATime(bad), std::nullopt) << bad;
}

TEST(FleetSchedule, RunsAtMostNAndStartsTheNextAsOneEnds)
{
    TFleetSchedule schedule(10, 4);
    EXPECT_EQ(schedule.StartNext(), (Indices{0, 1, 2, 3}));
    EXPECT_EQ(schedule.StartNext(), Indices{}) << "full";
    EXPECT_EQ(schedule.ProgressText(), "Running: 0 of 10 done, 4 running, 6 waiting");
    schedule.Ended(2);
    schedule.Ended(2);
    EXPECT_EQ(schedule.Done(), 1u) << "an end reported twice counts once";
    EXPECT_EQ(schedule.StartNext(), Indices{4});
    schedule.Ended(0);
    schedule.Ended(1);
    EXPECT_EQ(schedule.StartNext(), (Indices{5, 6}));
    for (std::size_t i : {3, 4, 5, 6})
        schedule.Ended(i);
    EXPECT_EQ(schedule.StartNext(), (Indices{7, 8, 9}));
    EXPECT_FALSE(schedule.Finished());
    for (std::size_t i : {7, 8, 9})
        schedule.Ended(i);
    EXPECT_TRUE(schedule.StartNext().empty());
    EXPECT_TRUE(schedule.Finished());
    EXPECT_EQ(schedule.Done(), 10u);
    EXPECT_EQ(schedule.MostAtOnce(), 4u);
    EXPECT_EQ(schedule.ProgressText(), "Running: 10 of 10 done, 0 running");
}

TEST(FleetSchedule, FewerComputersThanAllowedAndAnEmptyList)
{
    TFleetSchedule few(3, 64);
    EXPECT_EQ(few.StartNext(), (Indices{0, 1, 2}));
    EXPECT_EQ(few.MostAtOnce(), 3u);
    TFleetSchedule none(0, 8);
    EXPECT_TRUE(none.StartNext().empty());
    EXPECT_TRUE(none.Finished()) << "a list without computers is over at once";
}

TEST(FleetSchedule, StopLeavesTheWaitingUnstartedAndWaitsForTheRunning)
{
    TFleetSchedule schedule(6, 2);
    schedule.StartNext();
    schedule.Ended(0);
    schedule.StartNext();
    schedule.Stop();
    EXPECT_FALSE(schedule.Finished()) << "two children still end";
    EXPECT_TRUE(schedule.StartNext().empty()) << "nothing starts after a stop";
    schedule.Ended(1);
    schedule.Ended(2);
    EXPECT_TRUE(schedule.Finished());
    EXPECT_EQ(schedule.State(2), TComputerState::csEnded);
    for (std::size_t i : {3, 4, 5})
        EXPECT_EQ(schedule.State(i), TComputerState::csNotStarted);
    EXPECT_EQ(schedule.Done(), 3u);
}

TEST(ChildLines, GivesWholeLinesOnlyAndTheUnfinishedOneWhenTheChildEnds)
{
    TChildLines child("PC01");
    EXPECT_EQ(child.Piece("Conn", Beginning), std::nullopt);
    EXPECT_EQ(child.Piece("Connecting", Beginning), std::nullopt);
    EXPECT_EQ(child.Piece("Connecting to PC01...", Entire), "Connecting to PC01...");
    EXPECT_EQ(child.Piece("", Entire), "") << "an empty line is a line";
    EXPECT_EQ(child.Piece("msiexec exited", Beginning), std::nullopt);
    EXPECT_EQ(child.Piece("msiexec exited on PC01", Beginning), std::nullopt) << "the end repeats the last piece";
    EXPECT_EQ(child.Ended(), "msiexec exited on PC01");
    EXPECT_EQ(child.Ended(), std::nullopt) << "given out once";
    EXPECT_EQ(child.Marked("msiexec exited on PC01 with error code 0."), "PC01> msiexec exited on PC01 with error code 0.");
}

TEST(ChildLines, SuccessIsTheToolsReportInAWholeOrFinalLine)
{
    TChildLines whole("A");
    whole.Piece("PsExec exited with error code 0.", Beginning);
    EXPECT_FALSE(whole.ReportedSuccess()) << "not before the line is complete";
    whole.Piece("PsExec exited with error code 0.", Entire);
    EXPECT_TRUE(whole.ReportedSuccess());

    TChildLines unfinished("B");
    unfinished.Piece("PsExec exited with error code 0.", Beginning);
    unfinished.Ended();
    EXPECT_TRUE(unfinished.ReportedSuccess());

    TChildLines failed("C");
    failed.Piece("PsExec exited with error code 1603.", Entire);
    failed.Piece("psexec exited with error code 0.", Entire);
    EXPECT_FALSE(failed.ReportedSuccess()) << "exact letter case";
}

TEST(Fleet, SucceedsOnlyWhenEveryComputerRanAndReportedSuccess)
{
    const std::vector<std::string> computers{"A", "B", "C"};
    const auto runAll = [&](TFleet& fleet, const std::vector<std::string>& lastLines) {
        while (!fleet.Schedule.Finished()) {
            for (std::size_t i : fleet.Schedule.StartNext()) {
                fleet.Children[i].Piece(lastLines[i], Entire);
                fleet.Schedule.Ended(i);
            }
        }
    };
    const std::string ok = "PsExec exited with error code 0.";
    TFleet good(computers, 2);
    runAll(good, {ok, ok, ok});
    EXPECT_TRUE(good.EveryComputerSucceeded());

    TFleet oneFailed(computers, 2);
    runAll(oneFailed, {ok, "PsExec exited with error code 1603.", ok});
    EXPECT_FALSE(oneFailed.EveryComputerSucceeded());

    TFleet stopped(computers, 2);
    stopped.Schedule.StartNext();
    stopped.Schedule.Stop();
    for (std::size_t i : {0, 1}) {
        stopped.Children[i].Piece(ok, Entire);
        stopped.Schedule.Ended(i);
    }
    EXPECT_TRUE(stopped.Schedule.Finished());
    EXPECT_FALSE(stopped.EveryComputerSucceeded()) << "a computer never started has not succeeded";

    EXPECT_FALSE(TFleet({}, 4).EveryComputerSucceeded()) << "no computer, no success";
}

TEST(Fleet, AComputerIsMarkedRunningWhenItsOwnToolStarts)
{
    TResultTracker results(TComputerList("PC-A\r\nPC-B\r\n"), false);
    results.ComputerStarted("pc-a");
    EXPECT_EQ(results.MarkOfLine("PC-A"), TComputerMark::cmRunning);
    EXPECT_EQ(results.MarkOfLine("PC-B"), TComputerMark::cmWaiting);
    results.PieceDelivered("msiexec exited on PC-A with error code 0.", Entire);
    EXPECT_EQ(results.MarkOfLine("PC-A"), TComputerMark::cmDone);
}
