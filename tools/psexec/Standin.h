// The stand-in PsExec: pretends to run msiexec on every computer of a list, with an outcome that
// follows from each computer's name, so that Vantrel's demo and tests have a real child to run.
// It reports in the real tool's own line formats; the local computer's command runs for real.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A command run on this computer: its exit code (or process ID when not awaited), or, when it
// could not be started, the system's error code and text.
struct LocalRun {
    bool started = false;
    std::int64_t value = 0;
    std::string errorText;
};

// What the program needs of its surroundings; the Win32 entry gives the real ones, tests fakes.
class IStandinHost {
public:
    virtual ~IStandinHost() = default;
    // The whole file, or nothing when it cannot be read.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // Text for standard output, written out at once, line ends and all.
    virtual void Write(const std::string& text) = 0;
    void WriteLine(const std::string& line) { Write(line + "\r\n"); }
    // Text for standard error.
    virtual void WriteError(const std::string& text) = 0;
    virtual void Pause(int milliseconds) = 0;
    // The name this computer answers to.
    virtual std::string LocalComputerName() = 0;
    // Runs a command line here, its output passed straight through to ours.
    virtual LocalRun RunLocally(const std::string& commandLine, bool wait) = 0;
};

inline constexpr int DefaultDelayMs = 250;
// How long a computer that is off keeps the stand-in waiting without -n: far shorter than the
// real tool's own default, so that tests stay quick.
inline constexpr int DefaultConnectTimeoutMs = 500;
inline constexpr int UsageExitCode = 2;

// The time each computer takes: the same for all, or drawn per computer between two bounds, so
// that copies started together do not all end together.
struct DelayRange {
    DelayRange(int fixedMs = DefaultDelayMs) : lowMs(fixedMs), highMs(fixedMs) {}
    DelayRange(int low, int high) : lowMs(low), highMs(high) {}
    bool operator==(const DelayRange&) const = default;

    // The time of the computer at position for a copy that drew seed; the same pair always
    // gives the same time.
    int For(std::uint32_t seed, std::size_t position) const;

    int lowMs;
    int highMs;
};

// The pause per computer from the environment: a count of milliseconds ("200"), or a range
// ("0-200"); the default for anything else.
DelayRange DelayFromEnvironment(const char* value);

// The time a computer that is off keeps the stand-in waiting without -n: a count of milliseconds
// (at most a minute), or the default for anything else.
int TimeoutFromEnvironment(const char* value);

// How far the tool gets on a computer before it reports a failure, in the real tool's order.
enum class FailureStage {
    None,        // msiexec runs and exits with the outcome's code
    Access,      // "Couldn't access NAME:"
    Service,     // "Could not start PSEXESVC service on NAME:"
    Contact,     // "Error communicating with PsExec service on NAME:"
    StartMsiexec,// "PsExec could not start msiexec on NAME:"
};

struct ComputerOutcome {
    FailureStage failure;
    int exitCode;
    std::string errorText;  // the system's text for the failure
    bool off = false;       // nothing answers: the tool waits out its connection timeout
};

// Decided by the name, in any letter case: "offline" is off and cannot be reached (53, the
// network path was not found), nor can "denied" (5, access is denied), nor a name that is
// nothing but backslashes; "nosvc" cannot start the tool's service (5, access is denied); "lost"
// loses contact with it (6, the handle is invalid); "nostart" cannot start msiexec (2, the file
// was not found); "fail" ends with 1603, "reboot" with 3010, "busy" with 1618, any other with 0.
ComputerOutcome OutcomeFor(std::string_view computer);

// The computers of a list file as a plain tool reads it: one per line (CR LF, LF or CR), lines
// of nothing but blanks skipped, every other line taken as it stands.
std::vector<std::string> ListedComputers(std::string_view listText);

// "localhost", ".", "127.0.0.1" or this computer's own name, in any letter case.
bool IsLocalComputer(std::string_view computer, std::string_view localName);

std::string UsageText();

// Runs the whole program on the split arguments and returns its exit code. A computer that is
// off is given up after -n's seconds, or connectTimeoutMs without -n; seed picks the times drawn
// from a range.
int RunStandin(const std::vector<std::string>& args, IStandinHost& host, DelayRange delay,
               int connectTimeoutMs = DefaultConnectTimeoutMs, std::uint32_t seed = 0);
