#include "Standin.h"

#include "StandinArgs.h"

#include "job/ComputerResults.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

constexpr int UnreachableCode = 53;
constexpr int DeniedCode = 5;
constexpr int FirstMadeUpProcessId = 4100;

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

void ReportNotReached(IStandinHost& host, const std::string& heading, const std::string& errorText)
{
    host.WriteLine(heading + ":");
    host.WriteLine(errorText);
}

// The local computer's command runs for real, through the platform's own msiexec.
int RunHere(const std::string& computer, const StandinRequest& request, IStandinHost& host)
{
    const LocalRun run = host.RunLocally(RemoteCommand(request), !request.noWait);
    if (!run.started) {
        ReportNotReached(host, "PsExec could not start msiexec on " + computer, run.errorText);
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
    IStandinHost& host, int delayMs)
{
    host.WriteLine("Connecting to " + computer + "...");
    host.Pause(delayMs / 2);
    const bool local = IsLocalComputer(computer, host.LocalComputerName());
    const ComputerOutcome outcome = OutcomeFor(computer);
    if (!local && !outcome.reachable) {
        ReportNotReached(host, "Couldn't access " + computer, outcome.errorText);
        return outcome.exitCode;
    }
    host.WriteLine("Starting msiexec on " + computer + "...");
    if (local)
        return RunHere(computer, request, host);
    if (request.noWait) {
        const auto processId = FirstMadeUpProcessId + 4 * position;
        host.WriteLine("msiexec started on " + computer + " with process ID " + std::to_string(processId) + ".");
        return 0;
    }
    host.Pause(delayMs - delayMs / 2);
    host.WriteLine("msiexec exited on " + computer + " with error code " + std::to_string(outcome.exitCode) + ".");
    return outcome.exitCode;
}

int RefuseArguments(IStandinHost& host, const std::string& why)
{
    host.WriteError("Psexec: " + why + "\r\n\r\n" + UsageText());
    return UsageExitCode;
}

} // namespace

int DelayFromEnvironment(const char* value)
{
    if (value == nullptr || *value == '\0')
        return DefaultDelayMs;
    char* end = nullptr;
    const long parsed = std::strtol(value, &end, 10);
    if (*end != '\0' || parsed < 0 || parsed > 60000)
        return DefaultDelayMs;
    return static_cast<int>(parsed);
}

ComputerOutcome OutcomeFor(std::string_view computer)
{
    const std::string name = Lower(computer);
    const auto holds = [&](const char* word) { return name.find(word) != std::string::npos; };
    if (holds("offline"))
        return {false, UnreachableCode, "The network path was not found."};
    if (holds("denied"))
        return {false, DeniedCode, "Access is denied."};
    if (holds("fail"))
        return {true, 1603, {}};
    if (holds("reboot"))
        return {true, 3010, {}};
    if (holds("busy"))
        return {true, 1618, {}};
    return {true, 0, {}};
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
           "The list file holds one computer per line (CR LF, LF or CR; empty lines skipped).\r\n"
           "The result for each computer follows from its name, in any letter case:\r\n"
           "  a name containing \"offline\" cannot be reached (result 53), nor one containing\r\n"
           "  \"denied\" (result 5); one containing \"fail\" ends with 1603, \"reboot\" with 3010,\r\n"
           "  \"busy\" with 1618, any other name with 0. With -d every reachable computer gives 0.\r\n"
           "The local computer (localhost, ., 127.0.0.1 or its own name) runs the msiexec\r\n"
           "command for real and gives msiexec's own exit code.\r\n"
           "The last line gives the first non-zero result (0 when all succeeded), which is\r\n"
           "also the exit code. Bad arguments exit with 2 and this text.\r\n"
           "\r\n"
           "-nobanner leaves out the first line.\r\n"
           "\r\n"
           "Environment: VANTREL_STANDIN_DELAY_MS sets the time per computer in milliseconds\r\n"
           "(default 250); VANTREL_STANDIN_RECORD names a file that receives the command line\r\n"
           "as it came; VANTREL_STANDIN_JOURNAL names a file to which every run adds a line\r\n"
           "when it starts and one when it ends.\r\n";
}

int RunStandin(const std::vector<std::string>& args, IStandinHost& host, int delayMs)
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
        computers = ComputerNames(*listText);
        if (computers.empty())
            return RefuseArguments(host, "the list file \"" + request.listFile + "\" names no computer");
    }

    if (!request.noBanner)
        host.WriteLine("Stand-in PsExec: " + std::to_string(computers.size()) + " computer(s) from "
            + (request.listFile.empty() ? "the command line" : request.listFile));
    int firstFailure = 0;
    for (std::size_t i = 0; i < computers.size(); ++i) {
        const int result = RunOnComputer(computers[i], i, request, host, delayMs);
        if (firstFailure == 0)
            firstFailure = result;
    }
    host.WriteLine("PsExec exited with error code " + std::to_string(firstFailure) + ".");
    return firstFailure;
}
