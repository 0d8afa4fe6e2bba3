// The message-window user-interface thread under Wine: posted functions, timers, the blocking
// hand-off from a worker, and its refusal at shutdown.
#include "toolkit/wine/WinUi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(UiThreadWin32, PostedErrorsReachTheHandlerAndTimersTick)
{
    TWinUi ui;
    ui.Post([] { throw std::runtime_error("posted fault"); });
    int ticks = 0;
    auto timer = ui.CreateTimer([&] { ++ticks; });
    timer->SetInterval(20);
    timer->SetEnabled(true);
    EXPECT_TRUE(ui.RunUntil([&] { return ticks >= 3; }, 5s));
    timer->SetEnabled(false);
    const auto errors = ui.TakePostedErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THROW(std::rethrow_exception(errors[0]), std::runtime_error);
}

TEST(UiThreadWin32, InvokeRunsInTheUserInterfaceThreadAndPassesExceptionsBack)
{
    TWinUi ui;
    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<bool> done{false};
    DWORD ranIn = 0;
    bool rethrown = false;
    std::thread worker([&] {
        ui.Invoke([&] { ranIn = GetCurrentThreadId(); });
        try {
            ui.Invoke([] { throw std::logic_error("in handler"); });
        } catch (const std::logic_error&) {
            rethrown = true;
        }
        done = true;
    });
    EXPECT_TRUE(ui.RunUntil([&] { return done.load(); }, 5s));
    worker.join();
    EXPECT_EQ(ranIn, uiThread);
    EXPECT_TRUE(rethrown);
}

// A worker that hands off while the user-interface thread shuts down is released with an error,
// never left waiting.
TEST(UiThreadWin32, AHandOffWaitingAtShutdownIsRefused)
{
    auto ui = std::make_unique<TWinUi>();
    std::atomic<bool> sent{false};
    std::atomic<bool> refused{false};
    std::thread worker([&] {
        sent = true;
        try {
            ui->Invoke([] {});
        } catch (const std::runtime_error&) {
            refused = true;
        }
    });
    while (!sent)
        std::this_thread::yield();
    std::this_thread::sleep_for(50ms); // the worker is now waiting in its hand-off
    ui->Inner().Shutdown();
    worker.join();
    EXPECT_TRUE(refused);
    EXPECT_THROW(ui->Invoke([] {}), std::runtime_error);
}

} // namespace
