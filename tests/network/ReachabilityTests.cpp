// The check's own rules against a network that the test plays: which names are looked up, the
// reasons, how many attempts are open at once, and Cancel.
#include "network/Reachability.h"
#include "support/FakeNetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace {

using namespace std::chrono_literals;

// What a check reported, gathered from its worker thread.
struct TReports {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<TReachReport> reports;
    int done = 0;

    TReachabilityCheck::TOnReport OnReport()
    {
        return [this](const TReachReport& report) {
            std::lock_guard lock(mutex);
            reports.push_back(report);
            changed.notify_all();
        };
    }
    TReachabilityCheck::TOnDone OnDone()
    {
        return [this] {
            std::lock_guard lock(mutex);
            ++done;
            changed.notify_all();
        };
    }
    void AwaitDone()
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 60s, [&] { return done > 0; }));
    }
    std::size_t Count()
    {
        std::lock_guard lock(mutex);
        return reports.size();
    }
};

std::vector<std::string> Repeated(const std::string& stem, std::size_t count)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i)
        names.push_back(stem + std::to_string(i));
    return names;
}

} // namespace

TEST(Reachability, EachNameGetsItsReasonOnceAndInvalidNamesAreNeverLookedUp)
{
    auto network = std::make_shared<TFakeNetwork>();
    TReachSettings settings;
    settings.port = 4450;
    settings.timeout = 50ms;
    TReachabilityCheck check(network, settings);
    TReports got;
    const std::vector<std::string> names = {"PC-UP", "closed-1", "late-closed-2", "silent-3", "missing-4",
        "two faces", "\\\\two-5.corp.", "", "PC,OTHER"};
    check.Start(names, got.OnReport(), got.OnDone());
    got.AwaitDone();
    EXPECT_FALSE(check.Running());

    std::vector<Reach> reaches(names.size(), Reach::Answered);
    std::vector<int> times(names.size());
    for (std::size_t i = 0; i < got.reports.size(); ++i) {
        const TReachReport& report = got.reports[i];
        reaches[report.index] = report.reach;
        ++times[report.index];
        EXPECT_EQ(report.checked, i + 1);
        EXPECT_EQ(report.total, names.size());
    }
    EXPECT_EQ(times, std::vector<int>(names.size(), 1));
    EXPECT_EQ(reaches, (std::vector<Reach>{Reach::Answered, Reach::Refused, Reach::Refused, Reach::NoAnswer,
        Reach::NameNotFound, Reach::InvalidName, Reach::Answered, Reach::InvalidName, Reach::InvalidName}));
    std::sort(network->lookedUp.begin(), network->lookedUp.end());
    EXPECT_EQ(network->lookedUp, (std::vector<std::string>{"PC-UP", "closed-1", "late-closed-2", "missing-4",
        "silent-3", "two-5.corp"})) << "the name as a lookup takes it, and invalid ones not at all";
    EXPECT_EQ(network->lastPort, 4450);
    EXPECT_EQ(network->open, 0);
    EXPECT_EQ(got.done, 1);

    EXPECT_EQ(ReachText(Reach::NoAnswer, TReachSettings{}), "no answer on port 445 within 3 s");
    EXPECT_EQ(ReachText(Reach::NoAnswer, settings), "no answer on port 4450 within 0.05 s");
    EXPECT_EQ(ReachText(Reach::Refused, TReachSettings{}), "connection refused on port 445");
    EXPECT_EQ(ReachText(Reach::NameNotFound, settings), "name not found");
    EXPECT_EQ(ReachText(Reach::InvalidName, settings), "not a valid computer name");
}

TEST(Reachability, NeverMoreThanTheMostOpenAttemptsAtOnce)
{
    auto network = std::make_shared<TFakeNetwork>();
    TReachSettings settings;
    settings.timeout = 30ms;
    TReachabilityCheck check(network, settings);
    TReports got;
    check.Start(Repeated("silent-", 1000), got.OnReport(), got.OnDone());
    got.AwaitDone();
    EXPECT_EQ(network->mostOpen, 256);
    EXPECT_EQ(network->open, 0);
    ASSERT_EQ(got.reports.size(), 1000u);
    EXPECT_TRUE(std::all_of(got.reports.begin(), got.reports.end(),
        [](const TReachReport& r) { return r.reach == Reach::NoAnswer; }));
}

TEST(Reachability, CancelClosesEveryAttemptAtOnceAndReportsNothingMore)
{
    auto network = std::make_shared<TFakeNetwork>();
    TReachSettings settings;
    settings.timeout = 60s;
    auto check = std::make_unique<TReachabilityCheck>(network, settings);
    TReports got;
    auto names = Repeated("silent-", 600);
    names.insert(names.begin(), "stuck-in-its-lookup");
    names.push_back("not one");
    check->Start(names, got.OnReport(), got.OnDone());
    while (network->open < 256)
        std::this_thread::sleep_for(1ms);

    check->Cancel();
    EXPECT_FALSE(check->Running());
    EXPECT_EQ(network->open, 0);
    const std::size_t reported = got.Count();
    EXPECT_EQ(reported, 1u) << "only the invalid name was known";
    // A new check on the same object starts afresh; the stuck lookup is left behind, dropped.
    check->Start({"PC-UP"}, got.OnReport(), got.OnDone());
    got.AwaitDone();
    check.reset();
    network->Release();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(got.Count(), reported + 1);
    EXPECT_EQ(got.done, 1);
}
