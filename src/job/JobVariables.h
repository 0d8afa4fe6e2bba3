// The distribution job's variables: what the input stage fills and the composition reads.
#pragma once

#include <string>

struct TJobVariables {
    std::string ListFileArg;   // "@<list file>" in double quotes
    std::string PackageArg;    // "<package path>" in double quotes
    std::string DomainPart;    // the domain and one backslash, or empty
    std::string UserPart;
    std::string PasswordPart;
    std::string MsiOptions;    // msiexec switches, each with its own leading blank
    std::string PsExecOptions; // PsExec switches, each with its own leading blank
    bool StopRun = false;
    bool CurrentAccount = false;
    bool UninstallMode = false;
};

// The one set of job variables of the program run, shared by the main window's handlers.
extern TJobVariables JobVars;

// Empties the texts and clears the flags. The main window also empties the runner's command
// line first, which this portable part does not know about.
void ResetJobVariables(TJobVariables& vars);
