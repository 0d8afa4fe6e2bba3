#include "job/ReadyLine.h"

std::string ReadyLineFor(const std::string& version)
{
    return "Vantrel ready, using Sysinternals PsExec version " + version;
}
