// A network that the test plays, for the check of which computers answer.
#pragma once

#include "network/NetworkBackend.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Plays computers by their names: "missing" is not found, "closed" refuses at once,
// "late-closed" refuses a moment later, "silent" never answers, "two" refuses on its first
// address and answers on its second, "stuck" hangs in its lookup until released; any other
// name answers a moment later.
class TFakeNetwork : public INetworkBackend {
public:
    class TAttempt : public IConnectAttempt {
    public:
        TAttempt(TFakeNetwork& network, std::optional<ConnectOutcome> end) : network_(network), end_(end)
        {
            const int open = ++network_.open;
            int most = network_.mostOpen;
            while (open > most && !network_.mostOpen.compare_exchange_weak(most, open)) {}
        }
        ~TAttempt() override { --network_.open; }
        std::optional<ConnectOutcome> End() const { return end_; }

    private:
        TFakeNetwork& network_;
        std::optional<ConnectOutcome> end_;
    };

    std::optional<std::vector<TSocketAddress>> Resolve(const std::string& host, int port) override
    {
        std::unique_lock lock(mutex_);
        lookedUp.push_back(host);
        lastPort = port;
        if (host.starts_with("stuck"))
            released_.wait(lock, [&] { return released; });
        if (host.starts_with("missing"))
            return std::nullopt;
        const std::size_t count = host.starts_with("two") ? 2 : 1;
        std::vector<TSocketAddress> addresses;
        for (std::size_t i = 0; i < count; ++i)
            addresses.emplace_back(host.begin(), host.end()).push_back(static_cast<unsigned char>('0' + i));
        return addresses;
    }

    TConnectStart Connect(const TSocketAddress& address) override
    {
        const std::string target(address.begin(), address.end());
        if (target.starts_with("closed") || target == "two0")
            return {nullptr, ConnectOutcome::Refused};
        if (target.starts_with("silent"))
            return {std::make_unique<TAttempt>(*this, std::nullopt), ConnectOutcome::Failed};
        const auto end = target.starts_with("late-closed") ? ConnectOutcome::Refused : ConnectOutcome::Open;
        return {std::make_unique<TAttempt>(*this, end), ConnectOutcome::Failed};
    }

    std::vector<TConnectEnd> Wait(std::span<IConnectAttempt* const> attempts, std::chrono::milliseconds wait) override
    {
        std::vector<TConnectEnd> ends;
        for (std::size_t i = 0; i < attempts.size(); ++i)
            if (const auto end = static_cast<TAttempt*>(attempts[i])->End())
                ends.push_back(TConnectEnd{i, *end});
        if (ends.empty())
            std::this_thread::sleep_for(wait);
        return ends;
    }

    void Release()
    {
        std::lock_guard lock(mutex_);
        released = true;
        released_.notify_all();
    }

    std::atomic<int> open{0};
    std::atomic<int> mostOpen{0};
    std::vector<std::string> lookedUp;
    int lastPort = 0;
    bool released = false;

private:
    std::mutex mutex_;
    std::condition_variable released_;
};
