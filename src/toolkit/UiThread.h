// The user-interface thread as seen from other threads: blocking and queued hand-offs, and a
// periodic timer whose ticks arrive in that thread. The Windows build serves it with a hidden
// message-only window; tests serve it with a loop of their own.
#pragma once

#include <functional>
#include <memory>

class IPeriodicTimer {
public:
    virtual ~IPeriodicTimer() = default;
    virtual void SetInterval(unsigned milliseconds) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

class IUiThread {
public:
    virtual ~IUiThread() = default;

    // Runs fn in the user-interface thread and returns when it has returned. An exception that
    // fn throws is rethrown here. Throws when the user-interface thread no longer serves
    // hand-offs (the program is ending), so a worker never waits forever.
    virtual void Invoke(const std::function<void()>& fn) = 0;

    // Queues fn for the user-interface thread and returns at once. An exception that fn throws
    // goes to the application-level error box.
    virtual void Post(std::function<void()> fn) = 0;

    // Must be called in the user-interface thread; onTick runs there. Starts disabled.
    virtual std::unique_ptr<IPeriodicTimer> CreateTimer(std::function<void()> onTick) = 0;
};
