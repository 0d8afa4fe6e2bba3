// Joins the job variables into the PsExec command line that the runner starts.
#pragma once

#include "job/JobVariables.h"

#include <string>
#include <string_view>

// One of four forms: install or uninstall (UninstallMode), with explicit credentials or with the
// current account (CurrentAccount). The -u value (domain part and user name together) and the
// password are each written as one argument by the platform's quoting rules, so an empty or
// blank-holding value can neither vanish nor turn into another switch; a value that needs no
// quotes is written as it is.
std::string ComposeCommandLine(const TJobVariables& vars);

// The same line for one computer of the list: the list-file argument replaced by "\\NAME" and
// the tool's banner switched off, everything else as composed above.
std::string ComposeComputerCommandLine(const TJobVariables& vars, std::string_view computer);
