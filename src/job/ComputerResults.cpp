#include "ComputerResults.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <initializer_list>
#include <utility>
#include <unordered_set>

namespace {

constexpr std::string_view kExitedOn = " exited on ";
constexpr std::string_view kWithErrorCode = " with error code ";
constexpr std::string_view kStartedOn = " started on ";
constexpr std::string_view kWithProcessId = " with process ID ";
constexpr std::string_view kPrefix = "Vantrel: ";
// The count's lines stand under its heading; wrapped text goes on further in, so that it is
// never taken for a line of its own. Both keep the first word.
constexpr std::string_view kCountIndent = "Vantrel:   ";
constexpr std::string_view kContinuation = "Vantrel:     ";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The tool's progress messages ("Connecting to PC01...") end so, and name the computer last,
// after " to " or " on ".
constexpr std::string_view kProgressEnd = "...";

// The exit codes of msiexec that the results tell apart or explain in Windows Installer's own
// words; any other code is a failure, explained by the system's message for it.
struct InstallerCode {
    std::int64_t code;
    std::string_view name;     // Windows Installer's own, as its documentation calls the code
    std::string_view meaning;  // empty: the system's own message
    TComputerResult whenInstalling;
    TComputerResult whenUninstalling;
};

constexpr std::array<InstallerCode, 9> kInstallerCodes = {{
    {0, "ERROR_SUCCESS", "", TComputerResult::crDone, TComputerResult::crDone},
    {1603, "ERROR_INSTALL_FAILURE", "Fatal error during installation.", TComputerResult::crFailed,
     TComputerResult::crFailed},
    {1605, "ERROR_UNKNOWN_PRODUCT", "This action is only valid for products that are currently installed.",
     TComputerResult::crFailed, TComputerResult::crNotInstalled},
    {1618, "ERROR_INSTALL_ALREADY_RUNNING",
     "Another installation is already in progress. Complete that installation before proceeding with this "
     "install.",
     TComputerResult::crBusy, TComputerResult::crBusy},
    {1619, "ERROR_INSTALL_PACKAGE_OPEN_FAILED",
     "This installation package could not be opened. Verify that the package exists and that you can access it, "
     "or contact the application vendor to verify that this is a valid Windows Installer package.",
     TComputerResult::crFailed, TComputerResult::crFailed},
    {1620, "ERROR_INSTALL_PACKAGE_INVALID",
     "This installation package could not be opened. Contact the application vendor to verify that this is a "
     "valid Windows Installer package.",
     TComputerResult::crFailed, TComputerResult::crFailed},
    {1638, "ERROR_PRODUCT_VERSION",
     "Another version of this product is already installed. Installation of this version cannot continue. To "
     "configure or remove the existing version of this product, use Add/Remove Programs on the Control Panel.",
     TComputerResult::crFailed, TComputerResult::crFailed},
    {1641, "ERROR_SUCCESS_REBOOT_INITIATED",
     "The requested operation completed successfully. The system will be restarted so the changes can take "
     "effect.",
     TComputerResult::crRestartStarted, TComputerResult::crRestartStarted},
    {3010, "ERROR_SUCCESS_REBOOT_REQUIRED",
     "The requested operation is successful. Changes will not be effective until the system is rebooted.",
     TComputerResult::crRestartRequired, TComputerResult::crRestartRequired},
}};

const InstallerCode* FindInstallerCode(std::int64_t code)
{
    const auto found = std::find_if(kInstallerCodes.begin(), kInstallerCodes.end(),
                                    [code](const InstallerCode& known) { return known.code == code; });
    return found == kInstallerCodes.end() ? nullptr : &*found;
}

// The tool's failure reports name the computer last and end in a colon; the system's text
// follows on the next line. Those not listed say that the computer was not reached.
struct FailureForm {
    std::string_view opening;
    TComputerResult result;
};
constexpr std::array<FailureForm, 2> kFailureForms = {{
    {"Error communicating with PsExec service on ", TComputerResult::crContactLost},
    {"PsExec could not start ", TComputerResult::crNotStarted},
}};

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

std::string_view WithoutByteOrderMark(std::string_view text)
{
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    return text;
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
    const char* counted;  // in the count
};

// Could not start msiexec is counted with the failures: both are a plain failure there.
constexpr std::array<ResultWords, 11> kCountOrder = {{
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
    {TComputerResult::crNoResult, "no result"},
}};

std::string_view CountedAs(TComputerResult result)
{
    for (const ResultWords& words : kCountOrder)
        if (words.result == result)
            return words.counted;
    return "no result";
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
        const auto rest = Trim(std::string_view(line).substr(cut));
        lines.push_back(line.substr(0, cut));
        if (rest.empty())
            return;
        line = std::string(kContinuation) + std::string(rest);
        textStart = kContinuation.size();
    }
    lines.push_back(std::move(line));
}

// "Connecting to PC01...", "Starting PSEXESVC service on PC01...": the computer, when the line
// is one of the tool's progress messages.
std::optional<std::string_view> ProgressComputer(std::string_view line)
{
    if (!line.ends_with(kProgressEnd))
        return std::nullopt;
    line.remove_suffix(kProgressEnd.size());
    const auto to = line.rfind(" to ");
    const auto on = line.rfind(" on ");
    const auto at = to == std::string_view::npos ? on : on == std::string_view::npos ? to : std::max(to, on);
    if (at == std::string_view::npos)
        return std::string_view{};
    return line.substr(at + 4);
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

} // namespace

std::string_view MarkName(TComputerMark mark)
{
    switch (mark) {
    case TComputerMark::cmWaiting:
        return "waiting";
    case TComputerMark::cmRunning:
        return "running";
    case TComputerMark::cmDone:
        return "done";
    case TComputerMark::cmRestartRequired:
        return "restart required";
    case TComputerMark::cmFailed:
        return "failed";
    case TComputerMark::cmNotReached:
        return "not reached";
    case TComputerMark::cmNoResult:
        break;
    }
    return "no result";
}

TComputerMark MarkOf(const TComputerOutcome& computer, bool runEnded)
{
    if (computer.Running && !runEnded)
        return TComputerMark::cmRunning;
    switch (computer.Result) {
    case TComputerResult::crDone:
    case TComputerResult::crNotInstalled:
    case TComputerResult::crStarted:
        return TComputerMark::cmDone;
    case TComputerResult::crRestartRequired:
    case TComputerResult::crRestartStarted:
        return TComputerMark::cmRestartRequired;
    case TComputerResult::crBusy:
    case TComputerResult::crFailed:
    case TComputerResult::crNotStarted:
        return TComputerMark::cmFailed;
    case TComputerResult::crNotReached:
        return TComputerMark::cmNotReached;
    case TComputerResult::crContactLost:
        return TComputerMark::cmNoResult;
    case TComputerResult::crNoResult:
        break;
    }
    return runEnded ? TComputerMark::cmNoResult : TComputerMark::cmWaiting;
}

std::vector<std::string> ComputerNames(std::string_view listText)
{
    listText = WithoutByteOrderMark(listText);
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
    return Lower(WithoutLeadingBackslashes(Trim(WithoutByteOrderMark(Trim(name)))));
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
    if (const InstallerCode* known = FindInstallerCode(code); known && !known->meaning.empty())
        return std::string(known->meaning);
    std::string text = systemMessage ? systemMessage(code) : std::string();
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "no description of this code" : text;
}

TResultTracker::TResultTracker(std::string_view listText, bool uninstall, TClock clock)
    : uninstall_(uninstall), clock_(std::move(clock))
{
    for (std::string& name : ComputerNames(listText)) {
        // A computer listed twice is one computer with one result, whatever the spelling.
        if (byName_.emplace(ComputerKey(name), computers_.size()).second) {
            TComputerOutcome& computer = computers_.emplace_back();
            computer.Name = std::move(name);
        }
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
    if (line.empty())
        return;
    if (ReadResultLine(line) || ReadUnreachedLine(line) || ReadProgressLine(line))
        return;
    // The tool's own lines are never a computer's error text.
    if (line.back() == ':' || line.starts_with("PsExec exited with error code ")) {
        awaitingErrorText_.reset();
        return;
    }
    if (awaitingErrorText_) {
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
    // "Couldn't access PC01:", "Error communicating with PsExec service on PC01:": a message
    // that names the computer last and ends in a colon; the error text follows on the next line.
    // A bare "\\PC01:" heading names a computer without saying anything about it.
    if (line.size() < 2 || line.back() != ':')
        return false;
    const auto blank = line.find_last_of(" \t");
    if (blank == std::string_view::npos)
        return false;
    TComputerOutcome* computer = Find(line.substr(blank + 1, line.size() - blank - 2));
    if (computer == nullptr)
        return false;
    TComputerResult result = TComputerResult::crNotReached;
    for (const FailureForm& form : kFailureForms)
        if (line.starts_with(form.opening))
            result = form.result;
    Record(*computer, result, 0);
    awaitingErrorText_ = static_cast<std::size_t>(computer - computers_.data());
    return true;
}

bool TResultTracker::ReadProgressLine(std::string_view line)
{
    const auto name = ProgressComputer(line);
    if (!name)
        return false;
    awaitingErrorText_.reset();
    ComputerStarted(*name);
    return true;
}

void TResultTracker::ComputerStarted(std::string_view name)
{
    if (TComputerOutcome* computer = Find(name); computer != nullptr && !computer->Running) {
        computer->Running = true;
        if (computer->Started.empty() && clock_)
            computer->Started = clock_();
    }
}

TComputerOutcome* TResultTracker::Find(std::string_view name)
{
    return const_cast<TComputerOutcome*>(std::as_const(*this).Find(name));
}

const TComputerOutcome* TResultTracker::Find(std::string_view name) const
{
    const std::string key = ComputerKey(name);
    if (key.empty())
        return nullptr;
    const auto found = byName_.find(key);
    return found == byName_.end() ? nullptr : &computers_[found->second];
}

std::optional<TComputerMark> TResultTracker::MarkOfLine(std::string_view line) const
{
    const TComputerOutcome* computer = Find(line);
    if (computer == nullptr)
        return std::nullopt;
    return MarkOf(*computer, ended_);
}

void TResultTracker::Record(TComputerOutcome& computer, TComputerResult result, std::int64_t code, std::string detail)
{
    // The latest report about a computer is what holds on it now.
    computer.Result = result;
    computer.Code = code;
    computer.Detail = std::move(detail);
    computer.Running = false;
    if (clock_) {
        computer.Ended = clock_();
        if (computer.Started.empty())
            computer.Started = computer.Ended;
    }
    awaitingErrorText_.reset();
}

TComputerResult TResultTracker::Classify(std::int64_t exitCode) const
{
    const InstallerCode* known = FindInstallerCode(exitCode);
    if (!known)
        return TComputerResult::crFailed;
    return uninstall_ ? known->whenUninstalling : known->whenInstalling;
}

std::vector<std::string> TResultTracker::SummaryLines(const TSystemMessage& systemMessage, const TLineFits& fits) const
{
    if (!started_ || computers_.empty())
        return {};
    const std::size_t total = computers_.size();
    std::vector<std::string> lines;
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

std::vector<std::string> TResultTracker::RetryList(bool withRestartRequired) const
{
    std::vector<std::string> names;
    for (const TComputerOutcome& computer : computers_) {
        switch (computer.Result) {
        case TComputerResult::crBusy:
        case TComputerResult::crFailed:
        case TComputerResult::crNotStarted:
        case TComputerResult::crContactLost:
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

namespace {

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
    case TComputerResult::crNoResult:
        return false;
    default:
        return true;
    }
}

} // namespace

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
        csv += CsvRow({computer.Name, ResultText(computer.Result), code, detail, computer.Started, computer.Ended,
                       listFile, package});
    }
    return csv;
}
