// The success rule on its own; tests/job/RunConsoleTests.cpp has it with the runner and the view.
#include "job/RunMonitor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string Report(RunText::SuccessReport);

} // namespace

TEST(RunMonitor, ABeginningThatHeldTheReportButWasCompletedIntoOtherTextNoLongerCounts)
{
    TRunMonitor monitor;
    EXPECT_FALSE(monitor.PieceDelivered(Report, otBeginningOfLine));
    EXPECT_FALSE(monitor.PieceDelivered("other", otBeginningOfLine));
    EXPECT_FALSE(monitor.RunEnded());
    EXPECT_FALSE(monitor.SuccessReported());
}

TEST(RunMonitor, NothingCountsAfterTheEnd)
{
    TRunMonitor monitor;
    EXPECT_FALSE(monitor.PieceDelivered(Report, otBeginningOfLine));
    EXPECT_TRUE(monitor.RunEnded());
    EXPECT_FALSE(monitor.RunEnded());
    EXPECT_FALSE(monitor.PieceDelivered(Report, otEntireLine));
    EXPECT_TRUE(monitor.SuccessReported());
}
