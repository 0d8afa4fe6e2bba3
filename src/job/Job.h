// One distribution job as the operator gave it, checked once by the input stage. The tool's
// command line and the files for Ansible are two ways of writing it; neither reads the form.
#pragma once

#include "job/ComputerList.h"

#include <optional>
#include <string>

struct TJob {
    std::string ListFile;                // the list file's path as typed
    TComputerList Computers;             // the list's computers, read once
    std::string PackagePath;             // the package's UNC path as typed
    std::string Domain;
    std::string User;
    std::string Password;
    bool CurrentAccount = false;  // no account given: the tool runs with the operator's own
    bool Uninstall = false;
    // msiexec's switches.
    bool Silent = true;  // "No UI on remote machine"
    bool PromptRestart = false;
    bool ForceRestart = false;
    // The tool's switches.
    bool NoProfile = false;
    bool NoWait = false;
    std::optional<std::string> Timeout;  // seconds, when the timeout box is checked
    int AtATime = 1;                     // computers that run at once, each with a tool of its own
    // Before the job, every computer is tried on the tool's port; only those that answer start,
    // each with a tool of its own.
    bool SkipNotAnswering = false;

    // The whole list file goes to one copy of the tool; otherwise each computer gets its own.
    bool RunsWholeList() const { return AtATime == 1 && !SkipNotAnswering; }
};

