#include "ToolReport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace {

constexpr std::string_view kExitedOn = " exited on ";
constexpr std::string_view kWithErrorCode = " with error code ";
constexpr std::string_view kStartedOn = " started on ";
constexpr std::string_view kWithProcessId = " with process ID ";
constexpr std::string_view kToolExited = "PsExec exited with error code ";
// The tool's progress messages ("Connecting to PC01...") end so, and name the computer last,
// after " to " or " on ".
constexpr std::string_view kProgressEnd = "...";
// "Starting msiexec on PC01...": the program itself, unlike the tool's own service, is starting.
constexpr std::string_view kStarting = "Starting ";
constexpr std::string_view kStartingService = "Starting PSEXESVC service ";

// The exit codes of msiexec that the results tell apart or explain in Windows Installer's own
// words; any other code is a failure, explained by the system's message for it.
struct InstallerCode {
    std::int64_t code;
    std::string_view name;     // Windows Installer's own, as its documentation calls the code
    std::string_view meaning;  // empty: the system's own message
    TComputerResult whenInstalling;
    TComputerResult whenUninstalling;
};

constexpr std::array<InstallerCode, 9> kInstallerCodes = {{
    {0, "ERROR_SUCCESS", "", TComputerResult::crDone, TComputerResult::crDone},
    {1603, "ERROR_INSTALL_FAILURE", "Fatal error during installation.", TComputerResult::crFailed,
     TComputerResult::crFailed},
    {1605, "ERROR_UNKNOWN_PRODUCT", "This action is only valid for products that are currently installed.",
     TComputerResult::crFailed, TComputerResult::crNotInstalled},
    {1618, "ERROR_INSTALL_ALREADY_RUNNING",
     "Another installation is already in progress. Complete that installation before proceeding with this "
     "install.",
     TComputerResult::crBusy, TComputerResult::crBusy},
    {1619, "ERROR_INSTALL_PACKAGE_OPEN_FAILED",
     "This installation package could not be opened. Verify that the package exists and that you can access it, "
     "or contact the application vendor to verify that this is a valid Windows Installer package.",
     TComputerResult::crFailed, TComputerResult::crFailed},
    {1620, "ERROR_INSTALL_PACKAGE_INVALID",
     "This installation package could not be opened. Contact the application vendor to verify that this is a "
     "valid Windows Installer package.",
     TComputerResult::crFailed, TComputerResult::crFailed},
    {1638, "ERROR_PRODUCT_VERSION",
     "Another version of this product is already installed. Installation of this version cannot continue. To "
     "configure or remove the existing version of this product, use Add/Remove Programs on the Control Panel.",
     TComputerResult::crFailed, TComputerResult::crFailed},
    {1641, "ERROR_SUCCESS_REBOOT_INITIATED",
     "The requested operation completed successfully. The system will be restarted so the changes can take "
     "effect.",
     TComputerResult::crRestartStarted, TComputerResult::crRestartStarted},
    {3010, "ERROR_SUCCESS_REBOOT_REQUIRED",
     "The requested operation is successful. Changes will not be effective until the system is rebooted.",
     TComputerResult::crRestartRequired, TComputerResult::crRestartRequired},
}};

const InstallerCode* FindInstallerCode(std::int64_t code)
{
    const auto found = std::find_if(kInstallerCodes.begin(), kInstallerCodes.end(),
                                    [code](const InstallerCode& known) { return known.code == code; });
    return found == kInstallerCodes.end() ? nullptr : &*found;
}

TComputerResult ResultOfExitCode(std::int64_t exitCode, bool uninstall)
{
    const InstallerCode* known = FindInstallerCode(exitCode);
    if (!known)
        return TComputerResult::crFailed;
    return uninstall ? known->whenUninstalling : known->whenInstalling;
}

// The tool's failure reports name the computer last and end in a colon; the system's text
// follows on the next line. Those not listed say that the computer was not reached.
struct FailureForm {
    std::string_view opening;
    TComputerResult result;
};
constexpr std::array<FailureForm, 2> kFailureForms = {{
    {"Error communicating with PsExec service on ", TComputerResult::crContactLost},
    {"PsExec could not start ", TComputerResult::crNotStarted},
}};

// "<number>." at the very end of a line, the number optionally negative.
std::optional<std::int64_t> NumberWithFullStop(std::string_view text)
{
    if (text.size() < 2 || text.back() != '.')
        return std::nullopt;
    text.remove_suffix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "... <marker> <COMPUTER> <tail> <number>." : the computer and the number, when the line has
// that shape. The computer is the text between the first marker and the last tail.
std::optional<std::pair<std::string_view, std::int64_t>> SplitReport(std::string_view line, std::string_view marker,
                                                                      std::string_view tail)
{
    const auto at = line.find(marker);
    const auto tailAt = line.rfind(tail);
    if (at == std::string_view::npos || tailAt == std::string_view::npos || tailAt <= at + marker.size())
        return std::nullopt;
    const auto number = NumberWithFullStop(line.substr(tailAt + tail.size()));
    if (!number)
        return std::nullopt;
    return std::pair{line.substr(at + marker.size(), tailAt - at - marker.size()), *number};
}

// "msiexec exited on PC01 with error code 0.", "msiexec started on PC01 with process ID 4242.".
std::optional<TToolReport> ResultReport(std::string_view line, bool uninstall)
{
    if (const auto exited = SplitReport(line, kExitedOn, kWithErrorCode))
        return TToolReport{TToolReport::TKind::rkResult, exited->first, ResultOfExitCode(exited->second, uninstall),
                           exited->second};
    if (const auto started = SplitReport(line, kStartedOn, kWithProcessId))
        return TToolReport{TToolReport::TKind::rkResult, started->first, TComputerResult::crStarted, started->second};
    return std::nullopt;
}

// "Couldn't access PC01:", "Error communicating with PsExec service on PC01:": a message that
// names the computer last and ends in a colon. A bare "\\PC01:" heading names a computer
// without saying anything about it.
std::optional<TToolReport> FailureReport(std::string_view line)
{
    if (line.size() < 2 || line.back() != ':')
        return std::nullopt;
    const auto blank = line.find_last_of(" \t");
    if (blank == std::string_view::npos)
        return std::nullopt;
    TComputerResult result = TComputerResult::crNotReached;
    for (const FailureForm& form : kFailureForms)
        if (line.starts_with(form.opening))
            result = form.result;
    return TToolReport{TToolReport::TKind::rkFailure, line.substr(blank + 1, line.size() - blank - 2), result, 0};
}

// "Connecting to PC01...", "Starting PSEXESVC service on PC01...": one of the tool's progress
// messages, with the computer it names (none when it names none).
std::optional<TToolReport> ProgressReport(std::string_view line)
{
    if (!line.ends_with(kProgressEnd))
        return std::nullopt;
    line.remove_suffix(kProgressEnd.size());
    const auto to = line.rfind(" to ");
    const auto on = line.rfind(" on ");
    const auto at = to == std::string_view::npos ? on : on == std::string_view::npos ? to : std::max(to, on);
    TToolReport report;
    const bool launching = line.starts_with(kStarting) && !line.starts_with(kStartingService);
    report.Kind = launching ? TToolReport::TKind::rkLaunching : TToolReport::TKind::rkProgress;
    if (at != std::string_view::npos)
        report.Computer = line.substr(at + 4);
    return report;
}

} // namespace

std::optional<TToolReport> ReadToolReport(std::string_view line, bool uninstall)
{
    // The three forms end differently ("<number>.", ":", "..."), so a line has at most one.
    if (auto report = ResultReport(line, uninstall))
        return report;
    if (auto report = FailureReport(line))
        return report;
    return ProgressReport(line);
}

bool IsToolsOwnLine(std::string_view line)
{
    return line.ends_with(':') || line.starts_with(kToolExited);
}

std::string CodeMeaning(std::int64_t code, const TSystemMessage& systemMessage)
{
    if (const InstallerCode* known = FindInstallerCode(code); known && !known->meaning.empty())
        return std::string(known->meaning);
    std::string text = systemMessage ? systemMessage(code) : std::string();
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "no description of this code" : text;
}
