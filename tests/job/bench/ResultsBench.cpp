// Feeds the tool's report for a long list through the per-computer tracking and prints the time
// per 10,000 lines, so that a cost growing with the run (a rescan, a search of the list) shows.
// Usage: results_bench [computers, default 33333: three lines each, 100,000 lines in all]
//                      [rounds, default 15: the figures are medians over the rounds]
#include "job/ResultTexts.h"
#include "support/BenchFigures.h"
#include "support/TestText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string Name(int i)
{
    return "PC-BENCH-" + std::to_string(100000 + i);
}

// What the tool prints per computer, with the outcomes mixed as in a real run.
void AddReport(std::vector<std::string>& lines, int i)
{
    const std::string name = Name(i);
    lines.push_back("Connecting to " + name + "...");
    if (i % 7 == 3) {
        lines.push_back("Couldn't access " + name + ":");
        lines.push_back("The network path was not found.");
        return;
    }
    lines.push_back("Starting msiexec on " + name + "...");
    lines.push_back("msiexec exited on " + name + " with error code " + (i % 5 == 1 ? "1603." : "0."));
}

struct Round {
    double total = 0, first = 0, last = 0;  // milliseconds
    std::size_t summaryLines = 0;
};

Round TrackOnce(const std::string& list, const std::vector<std::string>& lines)
{
    using Ms = std::chrono::duration<double, std::milli>;
    TResultTracker tracker(TComputerList(list), false);
    Round round;
    const auto start = Clock::now();
    auto lap = start;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // Each line first arrives in part, as the runner delivers a line still being written.
        tracker.PieceDelivered(std::string_view(lines[i]).substr(0, lines[i].size() / 2), otBeginningOfLine);
        tracker.PieceDelivered(lines[i], otEntireLine);
        if (i + 1 == 10000)
            round.first = Ms(Clock::now() - start).count();
        if (i + 1 == lines.size() - 10000)
            lap = Clock::now();
    }
    round.last = Ms(Clock::now() - lap).count();
    tracker.RunEnded();
    round.summaryLines = tracker.SummaryLines(nullptr).size();
    round.total = Ms(Clock::now() - start).count();
    return round;
}

}  // namespace

int main(int argc, char** argv)
{
    const int computers = argc > 1 ? std::atoi(argv[1]) : 33333;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    const std::string list = ComputerList("PC-BENCH-", 100000, computers);
    std::vector<std::string> lines{"Stand-in PsExec: banner"};
    for (int i = 0; i < computers; ++i)
        AddReport(lines, i);
    lines.push_back("PsExec exited with error code 1603.");

    std::vector<double> totals, firsts, lasts, ratios;
    std::size_t summaryLines = 0;
    for (int r = 0; r < rounds; ++r) {
        const Round round = TrackOnce(list, lines);
        totals.push_back(round.total);
        firsts.push_back(round.first);
        lasts.push_back(round.last);
        ratios.push_back(round.last / round.first);
        summaryLines = round.summaryLines;
    }
    const double total = Median(totals);
    std::printf("results tracking: %zu lines, %d computers: %.1f ms (%.2f us a line), summary of %zu lines; "
                "medians of %d rounds\n",
                lines.size(), computers, total, total * 1000 / static_cast<double>(lines.size()), summaryLines, rounds);
    std::printf("first 10,000 lines: %.2f ms, last 10,000 lines: %.2f ms (last/first %.2f, median of ratios %.2f)\n",
                Median(firsts), Median(lasts), Median(lasts) / Median(firsts), Median(ratios));
    return 0;
}
