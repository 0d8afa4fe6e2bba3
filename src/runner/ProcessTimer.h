// The one-second tick source of a runner: counts whole seconds since the child started and
// since the last piece of output. Ticks arrive in the user-interface thread; the worker zeroes
// and reads the counters. Every operation of a run names the run, so that a run that a newer one
// superseded can neither reset nor stop the newer run's counting.
#pragma once

#include "toolkit/UiThread.h"

#include <atomic>
#include <cstdint>
#include <memory>

class TProcessTimer : public std::enable_shared_from_this<TProcessTimer> {
public:
    // In the user-interface thread: ticks arrive in the thread that created the timer.
    explicit TProcessTimer(IUiThread& ui);
    ~TProcessTimer();
    TProcessTimer(const TProcessTimer&) = delete;
    TProcessTimer& operator=(const TProcessTimer&) = delete;

    std::atomic<int32_t> TimeAfterBeginning{0};
    std::atomic<int32_t> TimeAfterLastOutput{0};

    // User-interface thread: from now on only this run counts, once its child has started.
    void SetActiveRun(uint64_t run);
    bool IsActiveRun(uint64_t run) const { return activeRun_ == run; }

    // Worker thread.
    void StartCounting(uint64_t run);
    void NoteOutput(uint64_t run);
    void StopCounting(uint64_t run);

    // User-interface thread.
    void Tick();
    bool Enabled() const;
    // The runner is going: release the platform timer here, in the thread that owns it, while
    // workers that still hold this object find it inert.
    void Detach();

private:
    void SetEnabledFor(uint64_t run, bool enabled);

    IUiThread& ui_;
    std::unique_ptr<IPeriodicTimer> timer_; // user-interface thread only
    std::atomic<uint64_t> activeRun_{0};
};
