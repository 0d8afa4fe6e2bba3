#include "CommandLine.h"

#include "toolkit/CommandLineArgs.h"

namespace {

// Each computer's copy of the tool would otherwise print its banner again in the shared view.
constexpr const char* kNoBanner = "-nobanner";

// The tool, whom it reaches (the list file, or one computer and its own switches), the account,
// the tool's switches and msiexec's part.
std::string Compose(const TJobVariables& vars, const std::string& target)
{
    const char* verb = vars.UninstallMode ? " msiexec /uninstall " : " msiexec /package ";

    std::string line = "Psexec " + target;
    if (!vars.CurrentAccount) {
        line += " -u ";
        line += QuoteArgument(vars.DomainPart + vars.UserPart);
        line += " -p ";
        line += QuoteArgument(vars.PasswordPart);
    }
    line += " ";
    line += vars.PsExecOptions;
    line += verb;
    line += vars.PackageArg;
    line += vars.MsiOptions;
    return line;
}

} // namespace

std::string ComposeCommandLine(const TJobVariables& vars)
{
    return Compose(vars, vars.ListFileArg);
}

std::string ComposeComputerCommandLine(const TJobVariables& vars, std::string_view computer)
{
    while (!computer.empty() && computer.front() == '\\')
        computer.remove_prefix(1);
    return Compose(vars, QuoteArgument("\\\\" + std::string(computer)) + " " + kNoBanner);
}
