// The status line's text while no job is being prepared or run.
#pragma once

#include <string>

// "Vantrel ready, using Sysinternals PsExec version " and the tool's version text.
std::string ReadyLineFor(const std::string& version);
