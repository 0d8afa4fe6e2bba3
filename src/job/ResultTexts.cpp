#include "ResultTexts.h"

#include "job/RunMonitor.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

namespace {

constexpr std::string_view kPrefix = "Vantrel: ";
// The count's lines stand under its heading; wrapped text goes on further in, so that it is
// never taken for a line of its own. Both keep the first word.
constexpr std::string_view kCountIndent = "Vantrel:   ";
constexpr std::string_view kContinuation = "Vantrel:     ";
constexpr const char* kMayStillRun = "msiexec may still be running there";

struct ResultWords {
    TComputerResult result;
    const char* counted;  // in the count
};

// Could not start msiexec is counted with the failures: both are a plain failure there.
constexpr std::array<ResultWords, 13> kCountOrder = {{
    {TComputerResult::crDone, "done"},
    {TComputerResult::crRestartRequired, "restart required"},
    {TComputerResult::crRestartStarted, "restart started"},
    {TComputerResult::crNotInstalled, "not installed"},
    {TComputerResult::crStarted, "started"},
    {TComputerResult::crBusy, "try later"},
    {TComputerResult::crFailed, "failed"},
    {TComputerResult::crNotStarted, "failed"},
    {TComputerResult::crContactLost, "contact lost"},
    {TComputerResult::crNotReached, "not reached"},
    {TComputerResult::crInterrupted, "interrupted"},
    {TComputerResult::crNotRun, "not started"},
    {TComputerResult::crNoResult, "no result"},
}};

std::string_view CountedAs(TComputerResult result)
{
    for (const ResultWords& words : kCountOrder)
        if (words.result == result)
            return words.counted;
    return "no result";
}

// A summary line never carries the tool's success report, so that it can never make a run look
// successful to anyone searching the log for it.
std::string SummaryLine(std::string text)
{
    for (auto at = text.find(RunText::SuccessReport); at != std::string::npos; at = text.find(RunText::SuccessReport))
        text.erase(at, RunText::SuccessReport.size());
    return std::string(kPrefix) + text;
}

std::string WithDetail(std::string text, const std::string& detail)
{
    return detail.empty() ? text : text + " (" + detail + ")";
}

std::string CodeText(std::int64_t code)
{
    return "code " + std::to_string(code);
}

std::string ComputerLine(const TComputerOutcome& computer, const TSystemMessage& systemMessage)
{
    const std::string name = computer.Name + ": ";
    switch (computer.Result) {
    case TComputerResult::crRestartRequired:
        return name + "done, restart required (" + CodeText(computer.Code) + ")";
    case TComputerResult::crRestartStarted:
        return name + "done, restart started (" + CodeText(computer.Code) + ")";
    case TComputerResult::crNotInstalled:
        return name + "not installed, nothing to remove (" + CodeText(computer.Code) + ")";
    case TComputerResult::crStarted:
        return name + "started, result not awaited (process ID " + std::to_string(computer.Code) + ")";
    case TComputerResult::crBusy:
        return name + "another installation in progress, try later (" + CodeText(computer.Code) + ")";
    case TComputerResult::crFailed:
        return name + "failed (" + CodeText(computer.Code) + ": " + CodeMeaning(computer.Code, systemMessage) + ")";
    case TComputerResult::crNotStarted:
        return WithDetail(name + "could not start msiexec", computer.Detail);
    case TComputerResult::crContactLost:
        return WithDetail(name + "contact lost, outcome unknown", computer.Detail);
    case TComputerResult::crNotReached:
        return WithDetail(name + "not reached", computer.Detail);
    case TComputerResult::crInterrupted:
        return name + "interrupted: " + kMayStillRun;
    case TComputerResult::crNotRun:
        return WithDetail(name + "not started", computer.Detail);
    case TComputerResult::crNoResult:
        return name + "no result";
    case TComputerResult::crDone:
        break;
    }
    return name + "done";
}

// Where a line that does not fit is cut: at the last blank whose head fits, or, for one word
// wider than the view, after the last character that fits (at least one, so it ends).
std::size_t CutFor(std::string_view line, std::size_t textStart, const TLineFits& fits)
{
    std::size_t cut = std::string_view::npos;
    for (auto blank = line.find(' ', textStart + 1); blank != std::string_view::npos; blank = line.find(' ', blank + 1)) {
        if (!fits(line.substr(0, blank)))
            break;
        cut = blank;
    }
    if (cut != std::string_view::npos)
        return cut;
    cut = textStart + 1;
    while (cut < line.size() && fits(line.substr(0, cut + 1)))
        ++cut;
    return cut;
}

void AddWrapped(std::vector<std::string>& lines, std::string line, const TLineFits& fits)
{
    std::size_t textStart = kPrefix.size();
    while (fits && !fits(line) && line.size() > textStart + 1) {
        const std::size_t cut = CutFor(line, textStart, fits);
        const auto rest = TrimBlanks(std::string_view(line).substr(cut));
        lines.push_back(line.substr(0, cut));
        if (rest.empty())
            return;
        line = std::string(kContinuation) + std::string(rest);
        textStart = kContinuation.size();
    }
    lines.push_back(std::move(line));
}

std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvRow(std::initializer_list<std::string_view> fields)
{
    std::string row;
    for (std::string_view field : fields) {
        if (!row.empty())
            row += ',';
        row += CsvField(field);
    }
    return row + "\r\n";
}

std::string_view ResultText(TComputerResult result)
{
    switch (result) {
    case TComputerResult::crNotStarted:
        return "could not start msiexec";
    case TComputerResult::crContactLost:
        return "contact lost, outcome unknown";
    default:
        return CountedAs(result);
    }
}

bool HasExitCode(TComputerResult result)
{
    switch (result) {
    case TComputerResult::crStarted:
    case TComputerResult::crNotStarted:
    case TComputerResult::crContactLost:
    case TComputerResult::crNotReached:
    case TComputerResult::crInterrupted:
    case TComputerResult::crNotRun:
    case TComputerResult::crNoResult:
        return false;
    default:
        return true;
    }
}

} // namespace

std::vector<std::string> TResultTracker::SummaryLines(const TSystemMessage& systemMessage, const TLineFits& fits) const
{
    if (!started_ || computers_.empty())
        return {};
    const std::size_t total = computers_.size();
    std::vector<std::string> lines;
    if (stopped_)
        AddWrapped(lines, SummaryLine("The run was stopped."), fits);
    AddWrapped(lines, SummaryLine("Results for " + std::to_string(total) + (total == 1 ? " computer:" : " computers:")),
               fits);
    std::vector<std::string_view> counted;
    for (const ResultWords& words : kCountOrder) {
        if (std::find(counted.begin(), counted.end(), words.counted) != counted.end())
            continue;
        counted.push_back(words.counted);
        const auto n = std::count_if(computers_.begin(), computers_.end(),
            [&](const TComputerOutcome& c) { return CountedAs(c.Result) == words.counted; });
        if (n > 0)
            AddWrapped(lines, std::string(kCountIndent) + std::to_string(n) + " " + words.counted, fits);
    }
    for (const TComputerOutcome& computer : computers_) {
        if (computer.Result != TComputerResult::crDone)
            AddWrapped(lines, SummaryLine(ComputerLine(computer, systemMessage)), fits);
    }
    return lines;
}

std::string ResultsCsv(const TResultTracker& results, std::string_view listFile, std::string_view package,
                       const TSystemMessage& systemMessage)
{
    std::string csv = CsvRow({"Computer", "Result", "Code", "Detail", "Started", "Ended", "List file", "Package"});
    for (const TComputerOutcome& computer : results.Computers()) {
        const bool hasCode = HasExitCode(computer.Result);
        const std::string code = hasCode ? std::to_string(computer.Code) : std::string();
        std::string detail = computer.Detail;
        if (hasCode && computer.Result != TComputerResult::crDone)
            detail = CodeMeaning(computer.Code, systemMessage);
        else if (computer.Result == TComputerResult::crStarted)
            detail = "process ID " + std::to_string(computer.Code);
        else if (computer.Result == TComputerResult::crInterrupted)
            detail = kMayStillRun;
        csv += CsvRow({computer.Name, ResultText(computer.Result), code, detail, computer.Started, computer.Ended,
                       listFile, package});
    }
    return csv;
}
