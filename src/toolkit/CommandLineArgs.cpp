#include "CommandLineArgs.h"

namespace {

bool IsSeparator(char c)
{
    return c == ' ' || c == '\t';
}

bool NeedsQuotes(std::string_view value)
{
    return value.empty() || value.find_first_of(" \t\"") != std::string_view::npos;
}

// Reads the program name starting at pos; returns the position after it.
std::size_t ReadProgramName(std::string_view line, std::size_t pos, std::string& name)
{
    bool quoted = false;
    for (; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && IsSeparator(c))
            break;
        else
            name += c;
    }
    return pos;
}

// Reads one ordinary argument starting at pos (not at a separator); returns the position after it.
std::size_t ReadArgument(std::string_view line, std::size_t pos, std::string& arg)
{
    bool quoted = false;
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == '\\') {
            std::size_t count = 0;
            while (pos < line.size() && line[pos] == '\\') {
                ++count;
                ++pos;
            }
            if (pos < line.size() && line[pos] == '"') {
                arg.append(count / 2, '\\');
                if (count % 2 == 1) {
                    arg += '"';
                    ++pos;
                }
                // An even count leaves the quote to switch quoting on the next turn.
            } else {
                arg.append(count, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && pos + 1 < line.size() && line[pos + 1] == '"') {
                arg += '"';
                pos += 2;
                continue;
            }
            quoted = !quoted;
            ++pos;
            continue;
        }
        if (!quoted && IsSeparator(c))
            break;
        arg += c;
        ++pos;
    }
    return pos;
}

std::size_t SkipSeparators(std::string_view line, std::size_t pos)
{
    while (pos < line.size() && IsSeparator(line[pos]))
        ++pos;
    return pos;
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> args;
    if (commandLine.empty())
        return args;

    std::string name;
    std::size_t pos = ReadProgramName(commandLine, 0, name);
    args.push_back(std::move(name));

    for (pos = SkipSeparators(commandLine, pos); pos < commandLine.size();
         pos = SkipSeparators(commandLine, pos)) {
        std::string arg;
        pos = ReadArgument(commandLine, pos, arg);
        args.push_back(std::move(arg));
    }
    return args;
}

std::string QuoteArgument(std::string_view value)
{
    if (!NeedsQuotes(value))
        return std::string(value);

    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : value) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(2 * backslashes + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    // The closing quote follows the trailing backslashes, so they must be doubled too.
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    return quoted;
}
