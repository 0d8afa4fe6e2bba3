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

// What makes two spellings one computer: letter case, blanks around it and a leading "\\" do
// not count.
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
    crNotReached,       // the tool could not connect or start the program
    crNoResult,         // nothing about the computer before the run ended
};

struct TComputerOutcome {
    std::string Name;  // as the list file spells it
    TComputerResult Result = TComputerResult::crNoResult;
    std::int64_t Code = 0;  // the exit code, or the process ID of a started program
    std::string Detail;     // the tool's error text for a computer that was not reached
};

// The system's own message for an error code (empty when it has none); the window passes the
// platform's, tests their own.
using TSystemMessage = std::function<std::string(std::int64_t code)>;

// Windows Installer's own wording for the codes it defines, the system's message for others.
std::string CodeMeaning(std::int64_t code, const TSystemMessage& systemMessage);

// One per run. Each piece costs work in proportion to its own length only: names are found by
// a lookup, never by scanning the list or the console.
class TResultTracker {
public:
    TResultTracker(std::string_view listText, bool uninstall);

    // Told every delivered piece of the run. Only whole lines are read; an unfinished line is
    // read when the run ends without completing it.
    void PieceDelivered(std::string_view text, TOutputType kind);
    void RunEnded();

    // A run whose child could not be started delivers nothing; the tool always prints a banner.
    bool Started() const { return started_; }
    const std::vector<TComputerOutcome>& Computers() const { return computers_; }

    // The count line, then one line for every computer not plainly done. Empty for a run that
    // never started or whose list named no computer.
    std::vector<std::string> SummaryLines(const TSystemMessage& systemMessage) const;
    // The computers that did not succeed, as the list file spells them, in its order.
    std::vector<std::string> RetryList(bool withRestartRequired) const;

private:
    void ReadLine(std::string_view line);
    bool ReadResultLine(std::string_view line);
    bool ReadUnreachedLine(std::string_view line);
    TComputerOutcome* Find(std::string_view name);
    void Record(TComputerOutcome& computer, TComputerResult result, std::int64_t code, std::string detail = {});
    TComputerResult Classify(std::int64_t exitCode) const;

    std::vector<TComputerOutcome> computers_;
    std::unordered_map<std::string, std::size_t> byName_;  // lower-case name -> index
    bool uninstall_;
    bool started_ = false;
    bool ended_ = false;
    std::string unfinishedLine_;
    // A computer the tool could not reach, whose error text is the next line.
    std::optional<std::size_t> awaitingErrorText_;
};
