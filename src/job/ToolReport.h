// How one line of the tool's output reads: the result it reports for a computer (with the
// installer's exit codes and their wording), or that the computer was started, not reached or
// is in progress.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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
    crInterrupted,      // stopped after the tool had started msiexec there: it may still be running
    crNotRun,           // stopped before the tool had started msiexec there
    crNoResult,         // nothing about the computer before the run ended
};

// What one line of the tool says about one computer.
struct TToolReport {
    enum class TKind {
        rkResult,    // msiexec ended there with a code, or was started there without waiting
        rkFailure,   // not reached, contact lost or msiexec not started; the system's text may follow
        rkProgress,  // the tool is working on it
        rkLaunching, // the tool is starting the program there: from now on it may run there
    };
    TKind Kind = TKind::rkProgress;
    std::string_view Computer;  // as the line spells it, which may name no computer of the run
    TComputerResult Result = TComputerResult::crNoResult;  // of a result or a failure
    std::int64_t Code = 0;  // the exit code, or the process ID of a started program
};

// The report a line of the tool (blanks around it already dropped) carries, if any. An exit code
// reads as the installer defines it, for an install or an uninstall.
std::optional<TToolReport> ReadToolReport(std::string_view line, bool uninstall);

// The tool's own lines (a heading ending in a colon, its own exit report) are never the error
// text of a computer it reported a failure for.
bool IsToolsOwnLine(std::string_view line);

// The system's own message for an error code (empty when it has none); the window passes the
// platform's, tests their own.
using TSystemMessage = std::function<std::string(std::int64_t code)>;

// Windows Installer's own wording for the codes it defines, the system's message for others.
std::string CodeMeaning(std::int64_t code, const TSystemMessage& systemMessage);
