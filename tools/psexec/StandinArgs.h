// The stand-in PsExec's reading of its arguments: the forms that Vantrel composes, and nothing
// looser, so that a fault in a composed line shows up as a usage error.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class MsiVerb { Install, Uninstall };

struct StandinRequest {
    std::string listFile;                // the path after the '@'; empty when computers are named
    std::vector<std::string> computers;  // from "\\NAME" or "\\A,B", without the backslashes
    bool noBanner = false;               // -nobanner
    std::optional<std::string> user;     // -u value
    std::optional<std::string> password; // -p value
    bool noProfile = false;              // -e
    bool noWait = false;                 // -d
    std::optional<int> timeoutSeconds;   // -n value
    MsiVerb verb = MsiVerb::Install;
    std::string package;
    std::vector<std::string> msiSwitches; // as given, in order
};

struct ParsedArgs {
    std::optional<StandinRequest> request;
    std::string error; // why the arguments were refused; empty when request is set
};

// args[0] is the program name, as SplitCommandLine gives it.
ParsedArgs ParseStandinArgs(const std::vector<std::string>& args);
