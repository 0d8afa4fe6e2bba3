#include "toolkit/TimersWin32.h"

#include <map>
#include <utility>

#include "toolkit/WindowWin32.h"

// The timers of one window. Shared with the timer objects so that a timer that outlives the
// window (or the window that goes first) never reaches freed memory.
struct TWindowTimers::TTable {
    HWND window = nullptr;
    UINT_PTR nextId = 1;
    std::map<UINT_PTR, std::function<void()>> ticks;
};

namespace {

class TWindowTimer : public IPeriodicTimer {
public:
    TWindowTimer(std::shared_ptr<TWindowTimers::TTable> table, std::function<void()> onTick)
        : table_(std::move(table)), id_(table_->nextId++)
    {
        table_->ticks.emplace(id_, std::move(onTick));
    }
    ~TWindowTimer() override
    {
        SetEnabled(false);
        table_->ticks.erase(id_);
    }
    TWindowTimer(const TWindowTimer&) = delete;
    TWindowTimer& operator=(const TWindowTimer&) = delete;

    void SetInterval(unsigned milliseconds) override
    {
        interval_ = milliseconds;
        if (enabled_)
            Arm();
    }
    void SetEnabled(bool enabled) override
    {
        if (enabled == enabled_)
            return;
        enabled_ = enabled;
        if (enabled)
            Arm();
        else if (table_->window)
            KillTimer(table_->window, id_);
    }
    bool Enabled() const override { return enabled_; }

private:
    // SetTimer with an existing id restarts the period, as a changed interval should.
    void Arm()
    {
        if (table_->window)
            SetTimer(table_->window, id_, interval_, nullptr);
    }

    std::shared_ptr<TWindowTimers::TTable> table_;
    UINT_PTR id_;
    unsigned interval_ = 1000;
    bool enabled_ = false;
};

}  // namespace

TWindowTimers::TWindowTimers() : table_(std::make_shared<TTable>()) {}

void TWindowTimers::Attach(HWND window)
{
    table_->window = window;
}

TWindowTimers::~TWindowTimers()
{
    Detach();
}

std::unique_ptr<IPeriodicTimer> TWindowTimers::Create(std::function<void()> onTick)
{
    return std::make_unique<TWindowTimer>(table_, std::move(onTick));
}

void TWindowTimers::Tick(UINT_PTR id) const
{
    const auto tick = table_->ticks.find(id);
    if (tick == table_->ticks.end())
        return;  // a tick of a timer that is gone, still queued
    // A copy, since the handler may destroy its own timer.
    const auto onTick = tick->second;
    RunHandler(onTick);
}

void TWindowTimers::Detach()
{
    table_->window = nullptr;
}
