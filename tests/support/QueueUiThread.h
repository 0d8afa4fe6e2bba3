// A user-interface thread without a window system: a queue of functions that the owning thread
// runs in its own loop. Serves the native build (tests and benchmarks) where there are no
// windows. Its timers either follow the clock or tick only when told to, for exact tests.
#pragma once

#include "toolkit/UiThread.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TQueueUiThread : public IUiThread {
public:
    enum class TTimerMode { Clock, Manual };

    // The constructing thread is the user-interface thread.
    explicit TQueueUiThread(TTimerMode timerMode = TTimerMode::Clock);
    ~TQueueUiThread() override;
    TQueueUiThread(const TQueueUiThread&) = delete;
    TQueueUiThread& operator=(const TQueueUiThread&) = delete;

    void Invoke(const std::function<void()>& fn) override;
    void Post(std::function<void()> fn) override;
    std::unique_ptr<IPeriodicTimer> CreateTimer(std::function<void()> onTick) override;

    // User-interface thread: serves hand-offs and timers until done() holds or the time is up.
    // done() is tested after every task and at least every recheck. Returns whether it held.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                  std::chrono::milliseconds recheck = std::chrono::milliseconds(2));
    // User-interface thread: one tick of every enabled timer.
    void FireTimers();
    // Refuses further hand-offs; senders that wait are released with an error.
    void Shutdown();

    // What posted functions threw, in order, taken out of the record.
    std::vector<std::exception_ptr> TakePostedErrors();

    // Shared with the timer objects, which may outlive this loop.
    struct TTimerTable;

    struct TTimerEntry {
        std::function<void()> onTick;
        std::chrono::milliseconds interval{1000};
        std::chrono::steady_clock::time_point due;
        bool enabled = false;
    };

private:
    struct TTask;

    bool InUiThread() const { return std::this_thread::get_id() == uiThread_; }
    void RunTask(TTask& task);
    void FireDueTimers();
    std::chrono::steady_clock::time_point NextDue(std::chrono::steady_clock::time_point limit);

    const std::thread::id uiThread_;
    const TTimerMode timerMode_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable answered_;
    std::deque<std::shared_ptr<TTask>> tasks_;
    bool closed_ = false;
    std::vector<std::exception_ptr> postedErrors_;

    std::shared_ptr<TTimerTable> timers_;
};
