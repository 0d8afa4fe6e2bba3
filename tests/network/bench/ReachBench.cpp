// How long the check takes for 1,000 names at 256 at once on loopback, all answering or all
// refused, beside the floor of the same platform calls made one name after another. Prints
// figures; it is not a test.
#include "network/Reachability.h"

#include "support/BenchFigures.h"
#include "support/LoopbackListener.h"

#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>

namespace {

constexpr std::size_t kNames = 1000;

double CheckSeconds(int port, std::size_t& answered)
{
    TReachSettings settings;
    settings.port = port;
    TReachabilityCheck check(SystemNetwork(), settings);
    std::promise<void> done;
    answered = 0;
    const auto start = std::chrono::steady_clock::now();
    check.Start(std::vector<std::string>(kNames, "127.0.0.1"),
        [&](const TReachReport& r) { answered += r.reach == Reach::Answered; }, [&] { done.set_value(); });
    done.get_future().wait();
    return Seconds(std::chrono::steady_clock::now() - start);
}

// The same lookups and connections, one name at a time, each waited for before the next.
double FloorSeconds(int port)
{
    const auto network = SystemNetwork();
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < kNames; ++i) {
        const auto addresses = network->Resolve("127.0.0.1", port);
        if (!addresses || addresses->empty())
            continue;
        TConnectStart attempt = network->Connect(addresses->front());
        IConnectAttempt* const waiting[] = {attempt.attempt.get()};
        while (attempt.attempt && network->Wait(waiting, std::chrono::milliseconds(3000)).empty()) {}
    }
    return Seconds(std::chrono::steady_clock::now() - start);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 2 && std::string(argv[1]) == "rounds" ? std::atoi(argv[2]) : 3;
    const TLoopbackListener listener;
    const TLoopbackListener closed(TLoopbackListener::TKind::Closed);
    std::printf("checking %zu names on loopback, 256 at once, median of %d rounds (target: at most 2 s)\n", kNames, rounds);
    for (const auto& [what, port] : {std::pair{"all answering", listener.Port()}, std::pair{"all refused", closed.Port()}}) {
        std::vector<double> checks, floors;
        std::size_t answered = 0;
        for (int i = 0; i < rounds; ++i) {
            checks.push_back(CheckSeconds(port, answered));
            floors.push_back(FloorSeconds(port));
        }
        std::printf("  %-14s check %.3f s (%zu answered); floor, one name after another: %.3f s\n", what,
            Median(checks), answered, Median(floors));
    }
    return 0;
}
