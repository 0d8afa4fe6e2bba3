#include "Standin.h"

#include "StandinArgs.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

// The longest pause the environment may ask for.
constexpr long kLongestMs = 60000;

constexpr int UnreachableCode = 53;
constexpr int DeniedCode = 5;
constexpr int InvalidHandleCode = 6;
constexpr int FileNotFoundCode = 2;
constexpr int FirstMadeUpProcessId = 4100;
constexpr const char* kPathNotFound = "The network path was not found.";
constexpr const char* kAccessDenied = "Access is denied.";

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string RemoteCommand(const StandinRequest& request)
{
    std::string command = request.verb == MsiVerb::Install ? "msiexec /package \"" : "msiexec /uninstall \"";
    command += request.package + "\"";
    for (const auto& option : request.msiSwitches)
        command += " " + option;
    return command;
}

// The real tool's failure report: the progress message it ends is left behind on its line.
void ReportFailure(IStandinHost& host, const std::string& heading, const std::string& errorText)
{
    host.Write("\r\n");
    host.WriteLine(heading + ":");
    host.WriteLine(errorText);
}

// On a console the real tool writes each progress message over the one before, after a bare
// carriage return; the first of a computer starts on a line of its own.
class Progress {
public:
    Progress(IStandinHost& host, int delayMs) : host_(host), delayMs_(delayMs) {}

    void Step(const std::string& message)
    {
        host_.Write((first_ ? "" : "\r") + message);
        first_ = false;
        Pause(delayMs_ / Steps);
    }
    // Ends the last message's line before output of another kind.
    void EndLine() { host_.Write("\r\n"); }
    // Whatever is left of the time per computer.
    void PauseRest() { Pause(delayMs_ - paused_); }

    static constexpr int Steps = 4;

private:
    void Pause(int milliseconds)
    {
        if (milliseconds <= 0)
            return;
        host_.Pause(milliseconds);
        paused_ += milliseconds;
    }

    IStandinHost& host_;
    int delayMs_;
    int paused_ = 0;
    bool first_ = true;
};

// The local computer's command runs for real, through the platform's own msiexec.
int RunHere(const std::string& computer, const StandinRequest& request, IStandinHost& host)
{
    const LocalRun run = host.RunLocally(RemoteCommand(request), !request.noWait);
    if (!run.started) {
        host.WriteLine("PsExec could not start msiexec on " + computer + ":");
        host.WriteLine(run.errorText);
        return static_cast<int>(run.value);
    }
    if (request.noWait) {
        host.WriteLine("msiexec started on " + computer + " with process ID " + std::to_string(run.value) + ".");
        return 0;
    }
    host.WriteLine("msiexec exited on " + computer + " with error code " + std::to_string(run.value) + ".");
    return static_cast<int>(run.value);
}

// Writes one computer's progress in the real tool's words and returns its result code.
int RunOnComputer(const std::string& computer, std::size_t position, const StandinRequest& request,
    IStandinHost& host, int delayMs, int connectTimeoutMs)
{
    Progress progress(host, delayMs);
    const bool local = IsLocalComputer(computer, host.LocalComputerName());
    const ComputerOutcome outcome = local ? ComputerOutcome{FailureStage::None, 0, {}} : OutcomeFor(computer);
    const auto failsAt = [&](FailureStage stage, const std::string& heading) {
        if (outcome.failure != stage)
            return false;
        ReportFailure(host, heading + computer, outcome.errorText);
        return true;
    };
    progress.Step("Connecting to " + computer + "...");
    if (outcome.off)
        host.Pause(request.timeoutSeconds ? *request.timeoutSeconds * 1000 : connectTimeoutMs);
    if (failsAt(FailureStage::Access, "Couldn't access "))
        return outcome.exitCode;
    progress.Step("Starting PSEXESVC service on " + computer + "...");
    if (failsAt(FailureStage::Service, "Could not start PSEXESVC service on "))
        return outcome.exitCode;
    progress.Step("Connecting with PsExec service on " + computer + "...");
    progress.Step("Starting msiexec on " + computer + "...");
    if (failsAt(FailureStage::Contact, "Error communicating with PsExec service on ")
        || failsAt(FailureStage::StartMsiexec, "PsExec could not start msiexec on "))
        return outcome.exitCode;
    progress.EndLine();
    if (local)
        return RunHere(computer, request, host);
    if (request.noWait) {
        const auto processId = FirstMadeUpProcessId + 4 * position;
        host.WriteLine("msiexec started on " + computer + " with process ID " + std::to_string(processId) + ".");
        return 0;
    }
    progress.PauseRest();
    host.WriteLine("msiexec exited on " + computer + " with error code " + std::to_string(outcome.exitCode) + ".");
    return outcome.exitCode;
}

int RefuseArguments(IStandinHost& host, const std::string& why)
{
    host.WriteError("Psexec: " + why + "\r\n\r\n" + UsageText());
    return UsageExitCode;
}

} // namespace

int DelayRange::For(std::uint32_t seed, std::size_t position) const
{
    if (highMs <= lowMs)
        return lowMs;
    // A few rounds of an integer mix: neighbouring seeds and positions land far apart.
    std::uint32_t mixed = seed ^ (static_cast<std::uint32_t>(position) * 0x9E3779B9u);
    for (int round = 0; round < 2; ++round) {
        mixed ^= mixed >> 16;
        mixed *= 0x7FEB352Du;
        mixed ^= mixed >> 15;
        mixed *= 0x846CA68Bu;
    }
    mixed ^= mixed >> 16;
    return lowMs + static_cast<int>(mixed % static_cast<std::uint32_t>(highMs - lowMs + 1));
}

DelayRange DelayFromEnvironment(const char* value)
{
    if (value == nullptr || *value == '\0')
        return DefaultDelayMs;
    char* end = nullptr;
    const long low = std::strtol(value, &end, 10);
    long high = low;
    if (*end == '-' && end != value) {
        const char* second = end + 1;
        high = std::isdigit(static_cast<unsigned char>(*second)) ? std::strtol(second, &end, 10) : -1;
    }
    if (*end != '\0' || low < 0 || high < low || high > kLongestMs)
        return DefaultDelayMs;
    return DelayRange(static_cast<int>(low), static_cast<int>(high));
}

int TimeoutFromEnvironment(const char* value)
{
    if (value == nullptr || *value == '\0')
        return DefaultConnectTimeoutMs;
    char* end = nullptr;
    const long parsed = std::strtol(value, &end, 10);
    if (*end != '\0' || parsed < 0 || parsed > kLongestMs)
        return DefaultConnectTimeoutMs;
    return static_cast<int>(parsed);
}

ComputerOutcome OutcomeFor(std::string_view computer)
{
    const std::string name = Lower(computer);
    const auto holds = [&](const char* word) { return name.find(word) != std::string::npos; };
    if (holds("offline") || name.find_first_not_of('\\') == std::string::npos)
        return {FailureStage::Access, UnreachableCode, kPathNotFound, holds("offline")};
    if (holds("denied"))
        return {FailureStage::Access, DeniedCode, kAccessDenied};
    if (holds("nosvc"))
        return {FailureStage::Service, DeniedCode, kAccessDenied};
    if (holds("lost"))
        return {FailureStage::Contact, InvalidHandleCode, "The handle is invalid."};
    if (holds("nostart"))
        return {FailureStage::StartMsiexec, FileNotFoundCode, "The system cannot find the file specified."};
    if (holds("fail"))
        return {FailureStage::None, 1603, {}};
    if (holds("reboot"))
        return {FailureStage::None, 3010, {}};
    if (holds("busy"))
        return {FailureStage::None, 1618, {}};
    return {FailureStage::None, 0, {}};
}

std::vector<std::string> ListedComputers(std::string_view listText)
{
    std::vector<std::string> computers;
    std::size_t start = 0;
    while (start < listText.size()) {
        std::size_t end = listText.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = listText.size();
        const auto line = listText.substr(start, end - start);
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            computers.emplace_back(line);
        start = end + (listText.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return computers;
}

bool IsLocalComputer(std::string_view computer, std::string_view localName)
{
    const std::string name = Lower(computer);
    return name == "localhost" || name == "." || name == "127.0.0.1" || (!localName.empty() && name == Lower(localName));
}

std::string UsageText()
{
    return "Vantrel's stand-in for PsExec: pretends to run msiexec on a list of computers.\r\n"
           "\r\n"
           "Usage: Psexec @listfile|\\\\computer[,computer...] [-nobanner] [-u user] [-p password]\r\n"
           "              [-e] [-d] [-n seconds]\r\n"
           "              msiexec /package|/uninstall path [/qn] [/promptrestart] [/forcerestart]\r\n"
           "\r\n"
           "The list file holds one computer per line (CR LF, LF or CR; blank lines skipped),\r\n"
           "each taken as it stands. The result for each computer follows from its name, in\r\n"
           "any letter case:\r\n"
           "  a name containing \"offline\" is off: it cannot be accessed (result 53), after the\r\n"
           "  connection timeout (-n, or VANTREL_STANDIN_TIMEOUT_MS); nor a name of nothing but\r\n"
           "  backslashes (53), nor one containing \"denied\" (result 5); \"nosvc\" cannot start the\r\n"
           "  PSEXESVC service (5), \"lost\" loses contact with it (6), \"nostart\" cannot start\r\n"
           "  msiexec (2); \"fail\" ends with 1603, \"reboot\" with 3010, \"busy\" with 1618, any\r\n"
           "  other name with 0. With -d every computer that gets that far gives 0.\r\n"
           "Progress messages overwrite each other after a bare carriage return, as on a console.\r\n"
           "The local computer (localhost, ., 127.0.0.1 or its own name) runs the msiexec\r\n"
           "command for real and gives msiexec's own exit code.\r\n"
           "The last line gives the first non-zero result (0 when all succeeded), which is\r\n"
           "also the exit code. Bad arguments exit with 2 and this text.\r\n"
           "\r\n"
           "-nobanner leaves out the first line.\r\n"
           "\r\n"
           "Environment: VANTREL_STANDIN_DELAY_MS sets the time per computer in milliseconds\r\n"
           "(default 250), or a range such as 0-200 from which each computer draws its own;\r\n"
           "VANTREL_STANDIN_TIMEOUT_MS the time a computer that is off takes without -n\r\n"
           "(default 500); VANTREL_STANDIN_RECORD names a file that receives the command line\r\n"
           "as it came; VANTREL_STANDIN_JOURNAL names a file to which every run adds a line\r\n"
           "when it starts and one when it ends.\r\n";
}

int RunStandin(const std::vector<std::string>& args, IStandinHost& host, DelayRange delay, int connectTimeoutMs,
               std::uint32_t seed)
{
    const ParsedArgs parsed = ParseStandinArgs(args);
    if (!parsed.request)
        return RefuseArguments(host, parsed.error);
    const StandinRequest& request = *parsed.request;

    std::vector<std::string> computers = request.computers;
    if (!request.listFile.empty()) {
        const auto listText = host.ReadFile(request.listFile);
        if (!listText)
            return RefuseArguments(host, "cannot read the list file \"" + request.listFile + "\"");
        computers = ListedComputers(*listText);
        if (computers.empty())
            return RefuseArguments(host, "the list file \"" + request.listFile + "\" names no computer");
    }

    if (!request.noBanner)
        host.WriteLine("Stand-in PsExec: " + std::to_string(computers.size()) + " computer(s) from "
            + (request.listFile.empty() ? "the command line" : request.listFile));
    int firstFailure = 0;
    for (std::size_t i = 0; i < computers.size(); ++i) {
        const int result = RunOnComputer(computers[i], i, request, host, delay.For(seed, i), connectTimeoutMs);
        if (firstFailure == 0)
            firstFailure = result;
    }
    host.WriteLine("PsExec exited with error code " + std::to_string(firstFailure) + ".");
    return firstFailure;
}
