#include "StandinArgs.h"

#include <algorithm>
#include <cctype>

namespace {

bool SameWord(const std::string& a, const char* b)
{
    const std::string other(b);
    return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

bool IsKnownMsiSwitch(const std::string& arg)
{
    return SameWord(arg, "/qn") || SameWord(arg, "/promptrestart") || SameWord(arg, "/forcerestart");
}

std::optional<int> ParseSeconds(const std::string& text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(text);
}

// "\\A,B": the computers named, or nothing when a name is missing.
std::optional<std::vector<std::string>> NamedComputers(const std::string& arg)
{
    std::vector<std::string> names;
    std::size_t start = 2;
    while (true) {
        const std::size_t comma = arg.find(',', start);
        std::string name = arg.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name.empty() || name.find('\\') != std::string::npos)
            return std::nullopt;
        names.push_back(std::move(name));
        if (comma == std::string::npos)
            return names;
        start = comma + 1;
    }
}

ParsedArgs Refuse(std::string why)
{
    return ParsedArgs{std::nullopt, std::move(why)};
}

// Reads the msiexec part, from the word "msiexec" at index i to the end.
ParsedArgs ParseRemoteCommand(const std::vector<std::string>& args, std::size_t i, StandinRequest request)
{
    if (++i >= args.size())
        return Refuse("msiexec needs /package or /uninstall");
    if (SameWord(args[i], "/package"))
        request.verb = MsiVerb::Install;
    else if (SameWord(args[i], "/uninstall"))
        request.verb = MsiVerb::Uninstall;
    else
        return Refuse("msiexec needs /package or /uninstall, not \"" + args[i] + "\"");

    if (++i >= args.size() || args[i].empty())
        return Refuse("msiexec needs the package path");
    request.package = args[i];

    for (++i; i < args.size(); ++i) {
        if (!IsKnownMsiSwitch(args[i]))
            return Refuse("unknown msiexec switch \"" + args[i] + "\"");
        request.msiSwitches.push_back(args[i]);
    }
    return ParsedArgs{std::move(request), {}};
}

} // namespace

ParsedArgs ParseStandinArgs(const std::vector<std::string>& args)
{
    StandinRequest request;
    bool haveList = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (!arg.empty() && arg[0] == '@') {
            if (haveList)
                return Refuse("the list file is given twice");
            if (arg.size() == 1)
                return Refuse("the list file name after @ is missing");
            request.listFile = arg.substr(1);
            haveList = true;
        } else if (arg.rfind("\\\\", 0) == 0) {
            if (haveList)
                return Refuse("the computers are given twice");
            auto names = NamedComputers(arg);
            if (!names)
                return Refuse("a computer name after \\\\ is missing in \"" + arg + "\"");
            request.computers = std::move(*names);
            haveList = true;
        } else if (SameWord(arg, "-nobanner")) {
            request.noBanner = true;
        } else if (arg == "-u" || arg == "-p") {
            if (!hasValue)
                return Refuse(arg + " needs a value");
            (arg == "-u" ? request.user : request.password) = args[++i];
        } else if (arg == "-e") {
            request.noProfile = true;
        } else if (arg == "-d") {
            request.noWait = true;
        } else if (arg == "-n") {
            if (!hasValue || !(request.timeoutSeconds = ParseSeconds(args[++i])))
                return Refuse("-n needs a number of seconds");
        } else if (SameWord(arg, "msiexec")) {
            if (!haveList)
                return Refuse("no list file (@file) given");
            return ParseRemoteCommand(args, i, std::move(request));
        } else {
            return Refuse("unknown argument \"" + arg + "\"");
        }
    }
    return Refuse(haveList ? "no command given" : "no list file (@file) given");
}
