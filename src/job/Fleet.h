// Running a job on many computers at once, one tool process per computer: which computer starts
// next, and how each child's output becomes whole lines marked with its computer.
#pragma once

#include "job/RunMonitor.h"
#include "job/UnfinishedLine.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FleetLimits {
inline constexpr int MinAtATime = 1;
inline constexpr int MaxAtATime = 64;
} // namespace FleetLimits

// The "computers at a time" field's text as a count, when it holds one from 1 to 64.
std::optional<int> ParseAtATime(std::string_view text);

enum class TComputerState { csWaiting, csRunning, csEnded, csNotStarted };

// A queue of computers of which at most AtATime run together; the next one starts as soon as
// one ends. Stop leaves the waiting computers unstarted for good.
class TFleetSchedule {
public:
    TFleetSchedule(std::size_t computers, int atATime);

    // The computers to start now, in list order, each counted as running from here on.
    std::vector<std::size_t> StartNext();
    void Ended(std::size_t computer);
    // A waiting computer that will not be started: its result is known without it.
    void Skip(std::size_t computer);
    void Stop();

    TComputerState State(std::size_t computer) const { return states_[computer]; }
    std::size_t Total() const { return states_.size(); }
    std::size_t Running() const { return running_; }
    std::size_t Done() const { return ended_; }
    std::size_t Waiting() const { return waiting_; }
    std::size_t MostAtOnce() const { return mostAtOnce_; }
    // Nothing runs and nothing more will start.
    bool Finished() const { return running_ == 0 && waiting_ == 0; }
    // "Running: 37 of 200 done, 8 running, 155 waiting" for the status line.
    std::string ProgressText() const;

private:
    std::vector<TComputerState> states_;
    std::size_t atATime_;
    std::size_t next_ = 0;
    std::size_t running_ = 0;
    std::size_t ended_ = 0;
    std::size_t waiting_ = 0;
    std::size_t mostAtOnce_ = 0;
};

// One child's output as the runner hands it over, turned into whole lines. A line is given out
// only once it is complete, or when its child has ended, so lines of children running together
// never cut into each other in a shared view.
class TChildLines {
public:
    explicit TChildLines(std::string computer);

    // The whole line this piece completes, unmarked; nothing for the beginning of a line.
    std::optional<std::string> Piece(std::string_view text, TOutputType kind);
    // The child has ended: its unfinished line, if it left one.
    std::optional<std::string> Ended();

    // "PC01> text": the line as the shared view shows it.
    std::string Marked(std::string_view line) const;
    const std::string& Computer() const { return computer_; }
    // The child's own output reported success, by the same rule as a single run's.
    bool ReportedSuccess() const { return monitor_.SuccessReported(); }

private:
    std::string computer_;
    TUnfinishedLine unfinished_;
    TRunMonitor monitor_;
};

// The portable side of one run on many computers: which computer runs, and each one's lines.
struct TFleet {
    TFleet(const std::vector<std::string>& computers, int atATime);

    // Every computer of the list ran and its child reported success: the one success line of
    // the run is due at its end.
    bool EveryComputerSucceeded() const;

    TFleetSchedule Schedule;
    std::vector<TChildLines> Children;  // one per computer, in list order
};
