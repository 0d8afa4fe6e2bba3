// Periodic timers on one window: their ticks arrive as the window's WM_TIMER, which the window's
// object hands to Tick.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "toolkit/UiThread.h"

class TWindowTimers {
public:
    // Timers made before the window is attached start when enabled after it is.
    TWindowTimers();
    ~TWindowTimers();
    TWindowTimers(const TWindowTimers&) = delete;
    TWindowTimers& operator=(const TWindowTimers&) = delete;

    // A timer of the window, disabled until enabled.
    std::unique_ptr<IPeriodicTimer> Create(std::function<void()> onTick);
    // Runs the tick of the timer of that id; a tick of a timer that is gone is dropped.
    void Tick(UINT_PTR id) const;
    void Attach(HWND window);
    // The window is going: the timers that outlive it do nothing from now on.
    void Detach();

    struct TTable;

private:
    std::shared_ptr<TTable> table_;
};
