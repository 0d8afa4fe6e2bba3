#include "ComputerResults.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <unordered_set>

namespace {

constexpr std::string_view kExitedOn = " exited on ";
constexpr std::string_view kWithErrorCode = " with error code ";
constexpr std::string_view kStartedOn = " started on ";
constexpr std::string_view kWithProcessId = " with process ID ";
constexpr std::string_view kPrefix = "Vantrel: ";

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "<number>." at the very end of a line, the number optionally negative.
std::optional<std::int64_t> NumberWithFullStop(std::string_view text)
{
    if (text.size() < 2 || text.back() != '.')
        return std::nullopt;
    text.remove_suffix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "... <marker> <COMPUTER> <tail> <number>." : the computer and the number, when the line has
// that shape. The computer is the text between the first marker and the last tail.
std::optional<std::pair<std::string_view, std::int64_t>> SplitReport(std::string_view line, std::string_view marker,
                                                                      std::string_view tail)
{
    const auto at = line.find(marker);
    const auto tailAt = line.rfind(tail);
    if (at == std::string_view::npos || tailAt == std::string_view::npos || tailAt <= at + marker.size())
        return std::nullopt;
    const auto number = NumberWithFullStop(line.substr(tailAt + tail.size()));
    if (!number)
        return std::nullopt;
    return std::pair{line.substr(at + marker.size(), tailAt - at - marker.size()), *number};
}

std::string_view WithoutLeadingBackslashes(std::string_view name)
{
    while (!name.empty() && name.front() == '\\')
        name.remove_prefix(1);
    return name;
}

// A summary line never carries the tool's success report, so that it can never make a run look
// successful to anyone searching the log for it.
std::string SummaryLine(std::string text)
{
    for (auto at = text.find(RunText::SuccessReport); at != std::string::npos; at = text.find(RunText::SuccessReport))
        text.erase(at, RunText::SuccessReport.size());
    return std::string(kPrefix) + text;
}

struct ResultWords {
    TComputerResult result;
    const char* counted;  // in the count line
};

constexpr std::array<ResultWords, 9> kCountOrder = {{
    {TComputerResult::crDone, "done"},
    {TComputerResult::crRestartRequired, "restart required"},
    {TComputerResult::crRestartStarted, "restart started"},
    {TComputerResult::crNotInstalled, "not installed"},
    {TComputerResult::crStarted, "started"},
    {TComputerResult::crBusy, "try later"},
    {TComputerResult::crFailed, "failed"},
    {TComputerResult::crNotReached, "not reached"},
    {TComputerResult::crNoResult, "no result"},
}};

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
    case TComputerResult::crNotReached:
        return name + "not reached" + (computer.Detail.empty() ? "" : " (" + computer.Detail + ")");
    case TComputerResult::crNoResult:
        return name + "no result";
    case TComputerResult::crDone:
        break;
    }
    return name + "done";
}

} // namespace

std::vector<std::string> ComputerNames(std::string_view listText)
{
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (listText.starts_with(kByteOrderMark))
        listText.remove_prefix(kByteOrderMark.size());
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= listText.size()) {
        std::size_t end = listText.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = listText.size();
        const auto name = Trim(listText.substr(start, end - start));
        if (!WithoutLeadingBackslashes(name).empty())
            names.emplace_back(name);
        if (end < listText.size() && listText[end] == '\r' && end + 1 < listText.size() && listText[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return names;
}

std::string ComputerKey(std::string_view name)
{
    return Lower(WithoutLeadingBackslashes(Trim(name)));
}

std::vector<std::string> DistinctComputerNames(std::string_view listText)
{
    std::vector<std::string> distinct;
    std::unordered_set<std::string> seen;
    for (std::string& name : ComputerNames(listText)) {
        if (seen.insert(ComputerKey(name)).second)
            distinct.push_back(std::move(name));
    }
    return distinct;
}

std::string CodeMeaning(std::int64_t code, const TSystemMessage& systemMessage)
{
    switch (code) {
    case 1603:
        return "Fatal error during installation.";
    case 1605:
        return "This action is only valid for products that are currently installed.";
    case 1618:
        return "Another installation is already in progress. Complete that installation before proceeding with "
               "this install.";
    case 1619:
        return "This installation package could not be opened. Verify that the package exists and that you can "
               "access it, or contact the application vendor to verify that this is a valid Windows Installer "
               "package.";
    case 1620:
        return "This installation package could not be opened. Contact the application vendor to verify that this "
               "is a valid Windows Installer package.";
    case 1638:
        return "Another version of this product is already installed. Installation of this version cannot "
               "continue. To configure or remove the existing version of this product, use Add/Remove Programs on "
               "the Control Panel.";
    case 1641:
        return "The requested operation completed successfully. The system will be restarted so the changes can "
               "take effect.";
    case 3010:
        return "The requested operation is successful. Changes will not be effective until the system is "
               "rebooted.";
    default:
        break;
    }
    std::string text = systemMessage ? systemMessage(code) : std::string();
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "no description of this code" : text;
}

TResultTracker::TResultTracker(std::string_view listText, bool uninstall) : uninstall_(uninstall)
{
    for (std::string& name : ComputerNames(listText)) {
        // A computer listed twice is one computer with one result, whatever the spelling.
        if (byName_.emplace(ComputerKey(name), computers_.size()).second)
            computers_.push_back(TComputerOutcome{std::move(name), TComputerResult::crNoResult, 0, {}});
    }
}

void TResultTracker::PieceDelivered(std::string_view text, TOutputType kind)
{
    if (ended_)
        return;
    started_ = true;
    if (kind == otBeginningOfLine) {
        unfinishedLine_.assign(text);
        return;
    }
    unfinishedLine_.clear();
    ReadLine(text);
}

void TResultTracker::RunEnded()
{
    if (ended_)
        return;
    ended_ = true;
    if (!unfinishedLine_.empty())
        ReadLine(unfinishedLine_);
    unfinishedLine_.clear();
}

void TResultTracker::ReadLine(std::string_view line)
{
    line = Trim(line);
    if (ReadResultLine(line) || ReadUnreachedLine(line))
        return;
    if (awaitingErrorText_ && !line.empty()) {
        computers_[*awaitingErrorText_].Detail.assign(line);
        awaitingErrorText_.reset();
    }
}

bool TResultTracker::ReadResultLine(std::string_view line)
{
    const auto exited = SplitReport(line, kExitedOn, kWithErrorCode);
    const auto started = exited ? std::nullopt : SplitReport(line, kStartedOn, kWithProcessId);
    const auto& report = exited ? exited : started;
    if (!report)
        return false;
    TComputerOutcome* computer = Find(report->first);
    if (computer == nullptr)
        return false;
    Record(*computer, exited ? Classify(report->second) : TComputerResult::crStarted, report->second);
    return true;
}

bool TResultTracker::ReadUnreachedLine(std::string_view line)
{
    // "Couldn't access PC01:", "Error creating key file on PC01:": a message that names the
    // computer last and ends in a colon; the error text follows on the next line. A bare
    // "\\PC01:" heading names a computer without saying anything about it.
    if (line.size() < 2 || line.back() != ':')
        return false;
    const auto blank = line.find_last_of(" \t");
    if (blank == std::string_view::npos)
        return false;
    TComputerOutcome* computer = Find(line.substr(blank + 1, line.size() - blank - 2));
    if (computer == nullptr)
        return false;
    Record(*computer, TComputerResult::crNotReached, 0);
    awaitingErrorText_ = static_cast<std::size_t>(computer - computers_.data());
    return true;
}

TComputerOutcome* TResultTracker::Find(std::string_view name)
{
    const auto found = byName_.find(ComputerKey(name));
    return found == byName_.end() ? nullptr : &computers_[found->second];
}

void TResultTracker::Record(TComputerOutcome& computer, TComputerResult result, std::int64_t code, std::string detail)
{
    // The latest report about a computer is what holds on it now.
    computer.Result = result;
    computer.Code = code;
    computer.Detail = std::move(detail);
    awaitingErrorText_.reset();
}

TComputerResult TResultTracker::Classify(std::int64_t exitCode) const
{
    switch (exitCode) {
    case 0:
        return TComputerResult::crDone;
    case 3010:
        return TComputerResult::crRestartRequired;
    case 1641:
        return TComputerResult::crRestartStarted;
    case 1618:
        return TComputerResult::crBusy;
    case 1605:
        return uninstall_ ? TComputerResult::crNotInstalled : TComputerResult::crFailed;
    default:
        return TComputerResult::crFailed;
    }
}

std::vector<std::string> TResultTracker::SummaryLines(const TSystemMessage& systemMessage) const
{
    if (!started_ || computers_.empty())
        return {};
    const std::size_t total = computers_.size();
    std::string count = "Results for " + std::to_string(total) + (total == 1 ? " computer:" : " computers:");
    const char* separator = " ";
    for (const ResultWords& words : kCountOrder) {
        const auto n = std::count_if(computers_.begin(), computers_.end(),
            [&](const TComputerOutcome& c) { return c.Result == words.result; });
        if (n == 0)
            continue;
        count += separator + std::to_string(n) + " " + words.counted;
        separator = ", ";
    }
    std::vector<std::string> lines{SummaryLine(count)};
    for (const TComputerOutcome& computer : computers_) {
        if (computer.Result != TComputerResult::crDone)
            lines.push_back(SummaryLine(ComputerLine(computer, systemMessage)));
    }
    return lines;
}

std::vector<std::string> TResultTracker::RetryList(bool withRestartRequired) const
{
    std::vector<std::string> names;
    for (const TComputerOutcome& computer : computers_) {
        switch (computer.Result) {
        case TComputerResult::crBusy:
        case TComputerResult::crFailed:
        case TComputerResult::crNotReached:
        case TComputerResult::crNoResult:
            names.push_back(computer.Name);
            break;
        case TComputerResult::crRestartRequired:
            if (withRestartRequired)
                names.push_back(computer.Name);
            break;
        default:
            break;
        }
    }
    return names;
}
