// What happened on each computer of a run, worked out from the tool's own report as the run's
// output arrives, and told back as summary lines and a list of computers to try again.
#pragma once

#include "job/RunMonitor.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Computer names of a list file: lines split at CR LF, LF or CR, a UTF-8 byte-order mark before
// the first name ignored, blanks and tabs around a name dropped, lines without a name (empty, or
// only backslashes) skipped. Names keep the file's spelling otherwise.
std::vector<std::string> ComputerNames(std::string_view listText);

// What makes two spellings one computer: letter case, blanks around it, a leading "\\" and a
// UTF-8 byte-order mark do not count. Empty for a text that names no computer.
std::string ComputerKey(std::string_view name);

// The list's computers each once (the first spelling), in the file's order.
std::vector<std::string> DistinctComputerNames(std::string_view listText);

enum class TComputerResult {
    crDone,             // 0
    crRestartRequired,  // 3010
    crRestartStarted,   // 1641
    crNotInstalled,     // 1605 on an uninstall: nothing to remove
    crStarted,          // started without waiting (-d)
    crBusy,             // 1618: another installation in progress
    crFailed,           // any other code
    crNotStarted,       // reached, but msiexec could not be started there
    crContactLost,      // reached, then lost: msiexec may still be running there
    crNotReached,       // the tool could not connect, or not start its service there
    crNoResult,         // nothing about the computer before the run ended
};

// A computer's state at a glance, as the target list marks it.
enum class TComputerMark {
    cmWaiting,          // not begun yet
    cmRunning,          // the tool is working on it
    cmDone,             // done, nothing to remove, or started without waiting
    cmRestartRequired,  // done, the computer must restart (or is restarting)
    cmFailed,
    cmNotReached,
    cmNoResult,         // the run ended without a result, or the outcome is unknown
};

// The mark's name as the legend and automation give it ("waiting", "restart required", ...).
std::string_view MarkName(TComputerMark mark);

struct TComputerOutcome {
    std::string Name;  // as the list file spells it
    TComputerResult Result = TComputerResult::crNoResult;
    std::int64_t Code = 0;  // the exit code, or the process ID of a started program
    std::string Detail;     // the tool's error text for a computer that was not reached
    bool Running = false;   // the tool reported work on it and no result yet
    std::string Started;    // when the tool first reported work on it (the tracker's clock)
    std::string Ended;      // when its result came
};

// The computer's mark: its result, or waiting or running while the run goes on.
TComputerMark MarkOf(const TComputerOutcome& computer, bool runEnded);

// Whether a summary line fits the view it is shown in; a line that does not is wrapped.
using TLineFits = std::function<bool(std::string_view line)>;
// The time of day for the results' Started and Ended, as the tracker's owner writes it.
using TClock = std::function<std::string()>;

// The system's own message for an error code (empty when it has none); the window passes the
// platform's, tests their own.
using TSystemMessage = std::function<std::string(std::int64_t code)>;

// Windows Installer's own wording for the codes it defines, the system's message for others.
std::string CodeMeaning(std::int64_t code, const TSystemMessage& systemMessage);

// One per run. Each piece costs work in proportion to its own length only: names are found by
// a lookup, never by scanning the list or the console.
class TResultTracker {
public:
    TResultTracker(std::string_view listText, bool uninstall, TClock clock = nullptr);

    // Told every delivered piece of the run. Only whole lines are read; an unfinished line is
    // read when the run ends without completing it.
    void PieceDelivered(std::string_view text, TOutputType kind);
    void RunEnded();
    // Work on a computer has begun, before the tool says so: its own tool process started.
    void ComputerStarted(std::string_view name);

    // A run whose child could not be started delivers nothing; the tool always prints a banner.
    bool Started() const { return started_; }
    bool Ended() const { return ended_; }
    const std::vector<TComputerOutcome>& Computers() const { return computers_; }

    // The mark of a list line's computer; none for a line that names no computer of the run.
    std::optional<TComputerMark> MarkOfLine(std::string_view line) const;

    // The count, one line per kind of result, then one line for every computer not plainly
    // done; every line begins with "Vantrel:". A line that does not fit is wrapped onto indented
    // continuation lines. Empty for a run that never started or whose list named no computer.
    std::vector<std::string> SummaryLines(const TSystemMessage& systemMessage, const TLineFits& fits = nullptr) const;
    // The computers that did not succeed, as the list file spells them, in its order.
    std::vector<std::string> RetryList(bool withRestartRequired) const;

private:
    void ReadLine(std::string_view line);
    bool ReadResultLine(std::string_view line);
    bool ReadUnreachedLine(std::string_view line);
    bool ReadProgressLine(std::string_view line);
    TComputerOutcome* Find(std::string_view name);
    const TComputerOutcome* Find(std::string_view name) const;
    void Record(TComputerOutcome& computer, TComputerResult result, std::int64_t code, std::string detail = {});
    TComputerResult Classify(std::int64_t exitCode) const;

    std::vector<TComputerOutcome> computers_;
    std::unordered_map<std::string, std::size_t> byName_;  // ComputerKey -> index
    bool uninstall_;
    TClock clock_;
    bool started_ = false;
    bool ended_ = false;
    std::string unfinishedLine_;
    // A computer the tool reported a failure for, whose error text may be the next line.
    std::optional<std::size_t> awaitingErrorText_;
};

// The results as a CSV file (RFC 4180: CR LF line ends, fields with a comma, a double quote or
// a line end quoted, quotes doubled), one row per computer after a heading row: computer,
// result, code, detail, started, ended, the run's list file, the package.
std::string ResultsCsv(const TResultTracker& results, std::string_view listFile, std::string_view package,
                       const TSystemMessage& systemMessage);
