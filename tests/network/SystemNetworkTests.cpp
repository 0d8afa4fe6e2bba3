// The check over the platform's own sockets (POSIX natively, Winsock under Wine), against a
// listener of the test's own on 127.0.0.1.
#include "network/Reachability.h"

#include "support/LoopbackListener.h"

#include <gtest/gtest.h>

#include <future>
#include <map>

#ifndef _WIN32
#include <filesystem>
#endif

namespace {

using namespace std::chrono_literals;

std::map<std::string, Reach> CheckOnPort(const std::vector<std::string>& names, int port,
                                        std::chrono::milliseconds timeout = 3s)
{
    TReachSettings settings;
    settings.port = port;
    settings.timeout = timeout;
    TReachabilityCheck check(SystemNetwork(), settings);
    std::map<std::string, Reach> reaches;
    std::promise<void> done;
    check.Start(names, [&](const TReachReport& r) { reaches[names[r.index]] = r.reach; },
        [&] { done.set_value(); });
    EXPECT_EQ(done.get_future().wait_for(60s), std::future_status::ready);
    return reaches;
}

} // namespace

TEST(SystemNetwork, TellsAListenerFromAClosedPortAnUnknownNameAndAnInvalidOne)
{
    const TLoopbackListener listener;
    const auto open = CheckOnPort({"127.0.0.1", "localhost", "\\\\127.0.0.1", "nothing-here.invalid", "no such"},
        listener.Port());
    EXPECT_EQ(open, (std::map<std::string, Reach>{{"127.0.0.1", Reach::Answered}, {"localhost", Reach::Answered},
        {"\\\\127.0.0.1", Reach::Answered}, {"nothing-here.invalid", Reach::NameNotFound},
        {"no such", Reach::InvalidName}}));

    const TLoopbackListener closed(TLoopbackListener::TKind::Closed);
    EXPECT_EQ(CheckOnPort({"127.0.0.1"}, closed.Port()), (std::map<std::string, Reach>{{"127.0.0.1", Reach::Refused}}));
    const TLoopbackListener silent(TLoopbackListener::TKind::Silent);
    EXPECT_EQ(CheckOnPort({"127.0.0.1"}, silent.Port(), 300ms),
              (std::map<std::string, Reach>{{"127.0.0.1", Reach::NoAnswer}}));
}

#ifndef _WIN32
// Every attempt holds a socket of its own: a holder that forgot to close one would leave the
// process a descriptor short for each name checked.
TEST(SystemNetwork, ClosesEverySocketItOpened)
{
    const auto openDescriptors = [] {
        const std::filesystem::directory_iterator fds("/proc/self/fd");
        return std::distance(begin(fds), end(fds));
    };
    const TLoopbackListener closed(TLoopbackListener::TKind::Closed);
    const std::vector<std::string> names(300, "127.0.0.1");
    const auto before = openDescriptors();
    EXPECT_EQ(CheckOnPort(names, closed.Port()), (std::map<std::string, Reach>{{"127.0.0.1", Reach::Refused}}));
    EXPECT_EQ(openDescriptors(), before);
}
#endif
