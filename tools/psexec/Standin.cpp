#include "Standin.h"

#include "StandinArgs.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

constexpr int UnreachableCode = 53;

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view TrimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string Describe(const StandinRequest& request)
{
    std::string command = request.verb == MsiVerb::Install ? "msiexec /package \"" : "msiexec /uninstall \"";
    command += request.package + "\"";
    for (const auto& option : request.msiSwitches)
        command += " " + option;
    return command;
}

std::string ConnectionDetails(const StandinRequest& request)
{
    std::string details = request.user ? "as " + *request.user : "with the current account";
    if (request.noProfile)
        details += ", profile not loaded";
    if (request.timeoutSeconds)
        details += ", giving up after " + std::to_string(*request.timeoutSeconds) + " s";
    return details;
}

// Writes one computer's progress and returns its result code.
int RunOnComputer(const std::string& computer, const StandinRequest& request, IStandinHost& host, int delayMs)
{
    const std::string tag = "[" + computer + "] ";
    host.WriteLine(tag + "connecting " + ConnectionDetails(request));
    host.Pause(delayMs / 2);
    const ComputerOutcome outcome = OutcomeFor(computer);
    if (!outcome.reachable) {
        host.WriteLine(tag + "not reachable, result " + std::to_string(UnreachableCode));
        return UnreachableCode;
    }
    host.WriteLine(tag + "starting " + Describe(request));
    if (request.noWait) {
        host.WriteLine(tag + "started, not waiting for it, result 0");
        return 0;
    }
    host.Pause(delayMs - delayMs / 2);
    host.WriteLine(tag + "msiexec ended, result " + std::to_string(outcome.exitCode));
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

std::vector<std::string> ComputerNames(std::string_view listText)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= listText.size()) {
        std::size_t end = listText.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = listText.size();
        const auto name = TrimBlanks(listText.substr(start, end - start));
        if (!name.empty())
            names.emplace_back(name);
        if (end < listText.size() && listText[end] == '\r' && end + 1 < listText.size() && listText[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return names;
}

ComputerOutcome OutcomeFor(std::string_view computer)
{
    const std::string name = Lower(computer);
    if (name.find("offline") != std::string::npos)
        return {false, UnreachableCode};
    if (name.find("fail") != std::string::npos)
        return {true, 1603};
    if (name.find("reboot") != std::string::npos)
        return {true, 3010};
    return {true, 0};
}

std::string UsageText()
{
    return "Vantrel's stand-in for PsExec: pretends to run msiexec on a list of computers.\r\n"
           "\r\n"
           "Usage: Psexec @listfile [-u user] [-p password] [-e] [-d] [-n seconds]\r\n"
           "              msiexec /package|/uninstall path [/qn] [/promptrestart] [/forcerestart]\r\n"
           "\r\n"
           "The list file holds one computer per line (CR LF, LF or CR; empty lines skipped).\r\n"
           "The result for each computer follows from its name, in any letter case:\r\n"
           "  a name containing \"offline\" cannot be reached (result 53),\r\n"
           "  one containing \"fail\" ends with 1603, one containing \"reboot\" with 3010,\r\n"
           "  any other name with 0. With -d every reachable computer gives 0.\r\n"
           "The last line gives the first non-zero result (0 when all succeeded), which is\r\n"
           "also the exit code. Bad arguments exit with 2 and this text.\r\n"
           "\r\n"
           "Environment: VANTREL_STANDIN_DELAY_MS sets the pause per computer (default 250);\r\n"
           "VANTREL_STANDIN_RECORD names a file that receives the command line as it came.\r\n";
}

int RunStandin(const std::vector<std::string>& args, IStandinHost& host, int delayMs)
{
    const ParsedArgs parsed = ParseStandinArgs(args);
    if (!parsed.request)
        return RefuseArguments(host, parsed.error);
    const StandinRequest& request = *parsed.request;

    const auto listText = host.ReadFile(request.listFile);
    if (!listText)
        return RefuseArguments(host, "cannot read the list file \"" + request.listFile + "\"");
    const auto computers = ComputerNames(*listText);
    if (computers.empty())
        return RefuseArguments(host, "the list file \"" + request.listFile + "\" names no computer");

    host.WriteLine("Stand-in PsExec: " + std::to_string(computers.size()) + " computer(s) from "
        + request.listFile);
    int firstFailure = 0;
    for (const auto& computer : computers) {
        const int result = RunOnComputer(computer, request, host, delayMs);
        if (firstFailure == 0)
            firstFailure = result;
    }
    host.WriteLine("PsExec exited with error code " + std::to_string(firstFailure) + ".");
    return firstFailure;
}
