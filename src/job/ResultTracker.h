// What happened on each computer of a run, worked out from the tool's own report as the run's
// output arrives: each computer's result and mark, and the computers to try again.
#pragma once

#include "job/ComputerList.h"
#include "job/ToolReport.h"
#include "job/UnfinishedLine.h"
#include "toolkit/OutputType.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A computer's state at a glance, as the target list marks it.
enum class TComputerMark {
    cmWaiting,          // not begun yet
    cmRunning,          // the tool is working on it
    cmDone,             // done, nothing to remove, or started without waiting
    cmRestartRequired,  // done, the computer must restart (or is restarting)
    cmFailed,
    cmNotReached,
    cmContactLost,      // the tool lost its computer while it worked: it may have installed
    cmInterrupted,      // stopped after msiexec was started there: it may still be running
    cmNotStarted,       // stopped, or the tool refused, before msiexec was started there
    cmNoResult,         // the run ended without a result
};

// The mark's name as the legend and automation give it ("waiting", "restart required", ...).
std::string_view MarkName(TComputerMark mark);

struct TComputerOutcome {
    std::string Name;  // as the list file spells it
    TComputerResult Result = TComputerResult::crNoResult;
    std::int64_t Code = 0;  // the exit code, or the process ID of a started program
    std::string Detail;     // the tool's error text for a computer that was not reached
    bool Running = false;   // the tool reported work on it and no result yet
    bool Launched = false;  // the tool said it was starting msiexec there
    std::string Started;    // when the tool first reported work on it (the tracker's clock)
    std::string Ended;      // when its result came
};

// The computer's mark: its result, or waiting or running while the run goes on.
TComputerMark MarkOf(const TComputerOutcome& computer, bool runEnded);

// Whether a summary line fits the view it is shown in; a line that does not is wrapped.
using TLineFits = std::function<bool(std::string_view line)>;
// The time of day for the results' Started and Ended, as the tracker's owner writes it.
using TClock = std::function<std::string()>;

// One per run. Each piece costs work in proportion to its own length only: names are found by
// a lookup, never by scanning the list or the console.
class TResultTracker {
public:
    TResultTracker(TComputerList computers, bool uninstall, TClock clock = nullptr);

    // Told every delivered piece of the run. Only whole lines are read; an unfinished line is
    // read when the run ends without completing it.
    void PieceDelivered(std::string_view text, TOutputType kind);
    void RunEnded();
    // The run is being stopped before its end: the computers without a result will count as
    // interrupted (msiexec was started there) or not started.
    void RunStopped();
    // A whole line of the child that works on one computer of the run: a failure's error text
    // is taken from that child's next line, whatever other children print in between.
    void ChildLine(std::size_t child, std::string_view line);
    // Work on a computer has begun, before the tool says so: its own tool process started.
    void ComputerStarted(std::string_view name);
    // The tool could not be started for the computer, for the reason given.
    void ComputerNotStarted(std::string_view name, std::string reason);
    // The run has begun before any tool spoke: the computers are being checked. Its results count
    // even if no tool is ever started.
    void RunBegan() { started_ = true; }
    // The computer did not answer before the job: it is not started, and counts as not reached.
    void ComputerNotReached(std::string_view name, std::string reason);

    // A run whose child could not be started delivers nothing; the tool always prints a banner.
    bool Started() const { return started_; }
    bool Ended() const { return ended_; }
    bool Stopped() const { return stopped_; }
    const TComputerList& List() const { return list_; }
    // One per computer of the list, in its order.
    const std::vector<TComputerOutcome>& Computers() const { return computers_; }

    // The mark of a list line's computer; none for a line that names no computer of the run.
    std::optional<TComputerMark> MarkOfLine(std::string_view line) const;

    // The count, one line per kind of result, then one line for every computer not plainly
    // done; every line begins with "Vantrel:". A line that does not fit is wrapped onto indented
    // continuation lines. Empty for a run that never started or whose list named no computer.
    // Worded with the other texts of the results, in ResultTexts.cpp.
    std::vector<std::string> SummaryLines(const TSystemMessage& systemMessage, const TLineFits& fits = nullptr) const;
    // The computers that did not succeed, as the list file spells them, in its order.
    std::vector<std::string> RetryList(bool withRestartRequired) const;

private:
    // A computer whose failure was reported, and whose error text may be the source's next line.
    using TAwaitingErrorText = std::optional<std::size_t>;
    void ReadLine(std::string_view line, TAwaitingErrorText& awaiting);
    bool ReadReport(const TToolReport& report, TAwaitingErrorText& awaiting);
    void Launched(std::string_view name);
    TComputerOutcome* Find(std::string_view name);
    const TComputerOutcome* Find(std::string_view name) const;
    void Record(TComputerOutcome& computer, TComputerResult result, std::int64_t code);
    void RecordUnstarted(std::string_view name, TComputerResult result, std::string reason);
    void SettleStopped();

    TComputerList list_;
    std::vector<TComputerOutcome> computers_;  // in list_'s order
    bool uninstall_;
    TClock clock_;
    bool started_ = false;
    bool ended_ = false;
    bool stopped_ = false;
    TUnfinishedLine unfinishedLine_;
    // Of the whole run's output, and of each child's (by child) when children run apart.
    TAwaitingErrorText awaitingErrorText_;
    std::vector<TAwaitingErrorText> childAwaitingErrorText_;
};
