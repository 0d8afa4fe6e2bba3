#include "Fleet.h"

#include <algorithm>
#include <charconv>

std::optional<int> ParseAtATime(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    if (value < FleetLimits::MinAtATime || value > FleetLimits::MaxAtATime)
        return std::nullopt;
    return value;
}

TFleetSchedule::TFleetSchedule(std::size_t computers, int atATime)
    : states_(computers, TComputerState::csWaiting),
      atATime_(static_cast<std::size_t>(std::max(atATime, FleetLimits::MinAtATime))),
      waiting_(computers)
{
}

std::vector<std::size_t> TFleetSchedule::StartNext()
{
    std::vector<std::size_t> started;
    while (running_ < atATime_ && waiting_ > 0) {
        while (states_[next_] != TComputerState::csWaiting)
            ++next_;
        states_[next_] = TComputerState::csRunning;
        started.push_back(next_);
        --waiting_;
        ++running_;
    }
    mostAtOnce_ = std::max(mostAtOnce_, running_);
    return started;
}

void TFleetSchedule::Ended(std::size_t computer)
{
    if (states_.at(computer) != TComputerState::csRunning)
        return;
    states_[computer] = TComputerState::csEnded;
    --running_;
    ++ended_;
}

void TFleetSchedule::Skip(std::size_t computer)
{
    if (states_.at(computer) != TComputerState::csWaiting)
        return;
    states_[computer] = TComputerState::csNotStarted;
    --waiting_;
    ++ended_;
}

void TFleetSchedule::Stop()
{
    for (TComputerState& state : states_) {
        if (state == TComputerState::csWaiting)
            state = TComputerState::csNotStarted;
    }
    waiting_ = 0;
}

std::string TFleetSchedule::ProgressText() const
{
    std::string text = "Running: " + std::to_string(ended_) + " of " + std::to_string(Total()) + " done, " +
                       std::to_string(running_) + " running";
    if (waiting_ > 0)
        text += ", " + std::to_string(waiting_) + " waiting";
    return text;
}

TChildLines::TChildLines(std::string computer) : computer_(std::move(computer)) {}

std::optional<std::string> TChildLines::Piece(std::string_view text, TOutputType kind)
{
    const auto line = unfinished_.Piece(text, kind);
    if (!line)
        return std::nullopt;
    monitor_.PieceDelivered(*line, otEntireLine);
    return std::string(*line);
}

std::optional<std::string> TChildLines::Ended()
{
    auto line = unfinished_.Ended();
    if (line)
        monitor_.PieceDelivered(*line, otEntireLine);
    return line;
}

std::string TChildLines::Marked(std::string_view line) const
{
    return computer_ + "> " + std::string(line);
}

TFleet::TFleet(const std::vector<std::string>& computers, int atATime) : Schedule(computers.size(), atATime)
{
    Children.reserve(computers.size());
    for (const std::string& computer : computers)
        Children.emplace_back(computer);
}

bool TFleet::EveryComputerSucceeded() const
{
    return !Children.empty() && Schedule.Done() == Children.size() &&
           std::all_of(Children.begin(), Children.end(), [](const TChildLines& child) { return child.ReportedSuccess(); });
}
