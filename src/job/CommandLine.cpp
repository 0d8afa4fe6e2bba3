#include "CommandLine.h"

#include "toolkit/CommandLineArgs.h"

std::string ComposeCommandLine(const TJobVariables& vars)
{
    const char* verb = vars.UninstallMode ? " msiexec /uninstall " : " msiexec /package ";

    std::string line = "Psexec " + vars.ListFileArg;
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

std::string ComposeComputerCommandLine(TJobVariables vars, std::string_view computer)
{
    while (!computer.empty() && computer.front() == '\\')
        computer.remove_prefix(1);
    vars.ListFileArg = QuoteArgument("\\\\" + std::string(computer)) + " -nobanner";
    return ComposeCommandLine(vars);
}
