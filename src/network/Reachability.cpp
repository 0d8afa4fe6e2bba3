#include "Reachability.h"

#include "toolkit/HostNames.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace {

using TClock = std::chrono::steady_clock;
using TAddresses = std::vector<TSocketAddress>;

// How long the worker waits at most before it looks at Cancel and at finished lookups again.
constexpr std::chrono::milliseconds kWaitSlice{20};

std::string SecondsText(std::chrono::milliseconds timeout)
{
    const auto ms = timeout.count();
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        fraction.erase(fraction.find_last_not_of('0') + 1);
        text += "." + fraction;
    }
    return text + " s";
}

// The names waiting for a lookup and the lookups done, shared with the lookup threads; a
// cancelled check leaves it to the threads still in a lookup, which drop their result.
struct TLookups {
    std::shared_ptr<INetworkBackend> network;
    std::shared_ptr<std::atomic<bool>> cancelled;
    int port = 0;
    std::vector<std::string> hosts;  // by the name's index; empty for names never looked up
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::size_t> waiting;
    std::vector<std::pair<std::size_t, std::optional<TAddresses>>> done;

    // One lookup thread: takes names until none is left or the check is cancelled.
    static void Serve(const std::shared_ptr<TLookups>& self)
    {
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard lock(self->mutex);
                if (*self->cancelled || self->waiting.empty())
                    return;
                index = self->waiting.front();
                self->waiting.pop_front();
            }
            auto addresses = self->network->Resolve(self->hosts[index], self->port);
            std::lock_guard lock(self->mutex);
            if (*self->cancelled)
                return;
            self->done.emplace_back(index, std::move(addresses));
            self->changed.notify_one();
        }
    }
};

// One name's connection: its addresses are tried in turn within one timeout.
struct TAttempt {
    std::size_t index;
    TAddresses addresses;
    std::size_t next = 0;
    TClock::time_point deadline;
    bool refused = false;
    std::unique_ptr<IConnectAttempt> connection;
};

// The check itself, run on the worker thread from start to end.
class TCheckRun {
public:
    TCheckRun(std::shared_ptr<INetworkBackend> network, const TReachSettings& settings,
        std::shared_ptr<std::atomic<bool>> cancelled, std::vector<std::string> names,
        TReachabilityCheck::TOnReport onReport)
        : network_(std::move(network)), settings_(settings), cancelled_(std::move(cancelled)),
          names_(std::move(names)), onReport_(std::move(onReport)), lookups_(std::make_shared<TLookups>())
    {
    }

    // Returns once every name is reported, or at Cancel, with every connection closed.
    void Run()
    {
        StartLookups();
        while (checked_ < names_.size() && !*cancelled_) {
            TakeLookups();
            OpenWhileRoom();
            if (open_.empty())
                AwaitLookups();
            else
                AwaitConnections();
        }
        open_.clear();
        for (std::thread& thread : lookupThreads_) {
            // A lookup cannot be interrupted: a cancelled check leaves it behind.
            if (*cancelled_)
                thread.detach();
            else
                thread.join();
        }
    }

private:
    void Report(std::size_t index, Reach reach)
    {
        if (!*cancelled_)
            onReport_(TReachReport{index, reach, ++checked_, names_.size()});
    }

    void StartLookups()
    {
        lookups_->network = network_;
        lookups_->cancelled = cancelled_;
        lookups_->port = settings_.port;
        lookups_->hosts.resize(names_.size());
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (IsOneComputerName(names_[i])) {
                lookups_->hosts[i] = std::string(HostNameOf(names_[i]));
                lookups_->waiting.push_back(i);
            }
        }
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (lookups_->hosts[i].empty())
                Report(i, Reach::InvalidName);
        lookupsLeft_ = lookups_->waiting.size();
        const std::size_t threads = std::min(std::max<std::size_t>(settings_.lookups, 1), lookupsLeft_);
        for (std::size_t i = 0; i < threads; ++i)
            lookupThreads_.emplace_back(TLookups::Serve, lookups_);
    }

    void TakeLookups()
    {
        std::vector<std::pair<std::size_t, std::optional<TAddresses>>> done;
        {
            std::lock_guard lock(lookups_->mutex);
            done.swap(lookups_->done);
        }
        lookupsLeft_ -= done.size();
        for (auto& [index, addresses] : done) {
            if (addresses && !addresses->empty())
                toOpen_.push_back(TAttempt{index, std::move(*addresses), 0, {}, false, nullptr});
            else
                Report(index, Reach::NameNotFound);
        }
    }

    void OpenWhileRoom()
    {
        const std::size_t mostOpen = std::max<std::size_t>(settings_.mostOpen, 1);
        while (open_.size() < mostOpen && !toOpen_.empty() && !*cancelled_) {
            TAttempt attempt = std::move(toOpen_.front());
            toOpen_.pop_front();
            attempt.deadline = TClock::now() + settings_.timeout;
            if (!ConnectNext(attempt))
                open_.push_back(std::move(attempt));
        }
    }

    // Tries the attempt's next addresses until one is under way; true when the name's result
    // is known (and reported) instead.
    bool ConnectNext(TAttempt& attempt)
    {
        attempt.connection.reset();
        while (attempt.next < attempt.addresses.size()) {
            TConnectStart start = network_->Connect(attempt.addresses[attempt.next++]);
            if (start.attempt) {
                attempt.connection = std::move(start.attempt);
                return false;
            }
            if (start.outcome == ConnectOutcome::Open)
                return Reported(attempt, Reach::Answered);
            attempt.refused = attempt.refused || start.outcome == ConnectOutcome::Refused;
        }
        return Reported(attempt, attempt.refused ? Reach::Refused : Reach::NoAnswer);
    }

    bool Reported(const TAttempt& attempt, Reach reach)
    {
        Report(attempt.index, reach);
        return true;
    }

    void AwaitLookups()
    {
        if (lookupsLeft_ == 0)
            return;
        std::unique_lock lock(lookups_->mutex);
        lookups_->changed.wait_for(lock, kWaitSlice, [&] { return !lookups_->done.empty() || *cancelled_; });
    }

    void AwaitConnections()
    {
        const auto now = TClock::now();
        auto wait = kWaitSlice;
        for (const TAttempt& attempt : open_)
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(attempt.deadline - now));
        std::vector<IConnectAttempt*> connections;
        for (const TAttempt& attempt : open_)
            connections.push_back(attempt.connection.get());
        const auto ends = network_->Wait(connections, std::max(wait, std::chrono::milliseconds(0)));

        std::vector<bool> finished(open_.size());
        for (const TConnectEnd& end : ends) {
            TAttempt& attempt = open_[end.index];
            if (end.outcome == ConnectOutcome::Open) {
                attempt.connection.reset();
                finished[end.index] = Reported(attempt, Reach::Answered);
            } else {
                attempt.refused = attempt.refused || end.outcome == ConnectOutcome::Refused;
                finished[end.index] = ConnectNext(attempt);
            }
        }
        const auto later = TClock::now();
        for (std::size_t i = 0; i < open_.size(); ++i)
            if (!finished[i] && later >= open_[i].deadline)
                finished[i] = Reported(open_[i], Reach::NoAnswer);
        std::size_t kept = 0;
        for (std::size_t i = 0; i < open_.size(); ++i)
            if (!finished[i])
                open_[kept++] = std::move(open_[i]);
        open_.resize(kept);
    }

    std::shared_ptr<INetworkBackend> network_;
    TReachSettings settings_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    std::vector<std::string> names_;
    TReachabilityCheck::TOnReport onReport_;
    std::shared_ptr<TLookups> lookups_;
    std::vector<std::thread> lookupThreads_;
    std::size_t lookupsLeft_ = 0;
    std::deque<TAttempt> toOpen_;
    std::vector<TAttempt> open_;
    std::size_t checked_ = 0;
};

} // namespace

std::string ReachText(Reach reach, const TReachSettings& settings)
{
    const std::string port = std::to_string(settings.port);
    switch (reach) {
    case Reach::Answered:
        return "answered on port " + port;
    case Reach::NoAnswer:
        return "no answer on port " + port + " within " + SecondsText(settings.timeout);
    case Reach::Refused:
        return "connection refused on port " + port;
    case Reach::NameNotFound:
        return "name not found";
    case Reach::InvalidName:
        break;
    }
    return "not a valid computer name";
}

TReachabilityCheck::TReachabilityCheck(std::shared_ptr<INetworkBackend> network, TReachSettings settings)
    : network_(std::move(network)), settings_(settings)
{
}

TReachabilityCheck::~TReachabilityCheck()
{
    Cancel();
}

void TReachabilityCheck::Start(std::vector<std::string> names, TOnReport onReport, TOnDone onDone)
{
    Cancel();
    cancelled_ = std::make_shared<std::atomic<bool>>(false);
    running_ = true;
    worker_ = std::thread([this, names = std::move(names), onReport = std::move(onReport),
                              onDone = std::move(onDone), cancelled = cancelled_]() mutable {
        TCheckRun(network_, settings_, cancelled, std::move(names), std::move(onReport)).Run();
        running_ = false;
        if (!*cancelled && onDone)
            onDone();
    });
}

void TReachabilityCheck::Cancel()
{
    if (cancelled_)
        *cancelled_ = true;
    if (worker_.joinable())
        worker_.join();
    running_ = false;
}
