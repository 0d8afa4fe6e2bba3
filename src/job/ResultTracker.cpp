#include "ResultTracker.h"

#include <iterator>
#include <utility>

std::string_view MarkName(TComputerMark mark)
{
    // In the order of the marks.
    constexpr std::string_view names[] = {"waiting", "running", "done", "restart required", "failed", "not reached",
                                          "contact lost, outcome unknown", "interrupted, msiexec may still be running", "not started",
                                          "no result"};
    static_assert(std::size(names) == static_cast<std::size_t>(TComputerMark::cmNoResult) + 1);
    const auto index = static_cast<std::size_t>(mark);
    return index < std::size(names) ? names[index] : names[std::size(names) - 1];
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
        return TComputerMark::cmContactLost;
    case TComputerResult::crInterrupted:
        return TComputerMark::cmInterrupted;
    case TComputerResult::crNotRun:
        return TComputerMark::cmNotStarted;
    case TComputerResult::crNoResult:
        break;
    }
    return runEnded ? TComputerMark::cmNoResult : TComputerMark::cmWaiting;
}

TResultTracker::TResultTracker(TComputerList computers, bool uninstall, TClock clock)
    : list_(std::move(computers)), uninstall_(uninstall), clock_(std::move(clock))
{
    computers_.resize(list_.Size());
    for (std::size_t i = 0; i < computers_.size(); ++i)
        computers_[i].Name = list_.Names()[i];
}

void TResultTracker::PieceDelivered(std::string_view text, TOutputType kind)
{
    if (ended_)
        return;
    started_ = true;
    if (const auto line = unfinishedLine_.Piece(text, kind))
        ReadLine(*line, awaitingErrorText_);
}

void TResultTracker::ChildLine(std::size_t child, std::string_view line)
{
    if (ended_)
        return;
    started_ = true;
    if (childAwaitingErrorText_.size() <= child)
        childAwaitingErrorText_.resize(child + 1);
    ReadLine(line, childAwaitingErrorText_[child]);
}

void TResultTracker::RunStopped()
{
    if (!ended_)
        stopped_ = true;
}

void TResultTracker::RunEnded()
{
    if (ended_)
        return;
    ended_ = true;
    if (const auto line = unfinishedLine_.Ended())
        ReadLine(*line, awaitingErrorText_);
    if (stopped_)
        SettleStopped();
}

void TResultTracker::SettleStopped()
{
    for (TComputerOutcome& computer : computers_) {
        if (computer.Result == TComputerResult::crNoResult)
            computer.Result = computer.Launched ? TComputerResult::crInterrupted : TComputerResult::crNotRun;
        computer.Running = false;
    }
}

void TResultTracker::ReadLine(std::string_view line, TAwaitingErrorText& awaiting)
{
    line = TrimBlanks(line);
    if (line.empty())
        return;
    if (const auto report = ReadToolReport(line, uninstall_); report && ReadReport(*report, awaiting))
        return;
    // The tool's own lines are never a computer's error text.
    if (IsToolsOwnLine(line)) {
        awaiting.reset();
        return;
    }
    if (awaiting) {
        computers_[*awaiting].Detail.assign(line);
        awaiting.reset();
    }
}

// False for a result or failure about a computer not in the run: such a line is read as any
// other text.
bool TResultTracker::ReadReport(const TToolReport& report, TAwaitingErrorText& awaiting)
{
    switch (report.Kind) {
    case TToolReport::TKind::rkLaunching:
        Launched(report.Computer);
        [[fallthrough]];
    case TToolReport::TKind::rkProgress:
        awaiting.reset();
        ComputerStarted(report.Computer);
        return true;
    default:
        break;
    }
    TComputerOutcome* computer = Find(report.Computer);
    if (computer == nullptr)
        return false;
    Record(*computer, report.Result, report.Code);
    awaiting.reset();
    if (report.Kind == TToolReport::TKind::rkFailure)
        awaiting = static_cast<std::size_t>(computer - computers_.data());
    return true;
}

void TResultTracker::Launched(std::string_view name)
{
    if (TComputerOutcome* computer = Find(name))
        computer->Launched = true;
}

void TResultTracker::ComputerStarted(std::string_view name)
{
    if (TComputerOutcome* computer = Find(name); computer != nullptr && !computer->Running) {
        computer->Running = true;
        if (computer->Started.empty() && clock_)
            computer->Started = clock_();
    }
}

void TResultTracker::ComputerNotStarted(std::string_view name, std::string reason)
{
    RecordUnstarted(name, TComputerResult::crNotRun, std::move(reason));
}

void TResultTracker::ComputerNotReached(std::string_view name, std::string reason)
{
    RecordUnstarted(name, TComputerResult::crNotReached, std::move(reason));
}

void TResultTracker::RecordUnstarted(std::string_view name, TComputerResult result, std::string reason)
{
    if (TComputerOutcome* computer = Find(name)) {
        Record(*computer, result, 0);
        computer->Detail = std::move(reason);
    }
}

TComputerOutcome* TResultTracker::Find(std::string_view name)
{
    return const_cast<TComputerOutcome*>(std::as_const(*this).Find(name));
}

const TComputerOutcome* TResultTracker::Find(std::string_view name) const
{
    const auto index = list_.IndexOf(name);
    return index ? &computers_[*index] : nullptr;
}

std::optional<TComputerMark> TResultTracker::MarkOfLine(std::string_view line) const
{
    const TComputerOutcome* computer = Find(line);
    if (computer == nullptr)
        return std::nullopt;
    return MarkOf(*computer, ended_);
}

void TResultTracker::Record(TComputerOutcome& computer, TComputerResult result, std::int64_t code)
{
    // The latest report about a computer is what holds on it now.
    computer.Result = result;
    computer.Code = code;
    computer.Detail.clear();
    computer.Running = false;
    if (clock_) {
        computer.Ended = clock_();
        if (computer.Started.empty())
            computer.Started = computer.Ended;
    }
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
        case TComputerResult::crInterrupted:
        case TComputerResult::crNotRun:
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
