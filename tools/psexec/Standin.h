// The stand-in PsExec: pretends to run msiexec on every computer of a list, with an outcome that
// follows from each computer's name, so that Vantrel's demo and tests have a real child to run.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the program needs of its surroundings; the Win32 entry gives the real ones, tests fakes.
class IStandinHost {
public:
    virtual ~IStandinHost() = default;
    // The whole file, or nothing when it cannot be read.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // One line of standard output, written out at once.
    virtual void WriteLine(const std::string& line) = 0;
    // Text for standard error.
    virtual void WriteError(const std::string& text) = 0;
    virtual void Pause(int milliseconds) = 0;
};

inline constexpr int DefaultDelayMs = 250;
inline constexpr int UsageExitCode = 2;

// The pause per computer: a count of milliseconds from the environment, or the default.
int DelayFromEnvironment(const char* value);

// Computer names of a list file: lines split at CR LF, LF or CR, blanks and tabs around a name
// dropped, empty lines skipped.
std::vector<std::string> ComputerNames(std::string_view listText);

struct ComputerOutcome {
    bool reachable;
    int exitCode;
};

// Decided by the name, in any letter case: "offline" cannot be reached (53), "fail" ends
// with 1603, "reboot" with 3010, any other name with 0.
ComputerOutcome OutcomeFor(std::string_view computer);

std::string UsageText();

// Runs the whole program on the split arguments and returns its exit code.
int RunStandin(const std::vector<std::string>& args, IStandinHost& host, int delayMs);
