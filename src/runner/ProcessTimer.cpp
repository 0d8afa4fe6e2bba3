#include "runner/ProcessTimer.h"

TProcessTimer::TProcessTimer(IUiThread& ui) : ui_(ui), timer_(ui.CreateTimer([this] { Tick(); })) {}

TProcessTimer::~TProcessTimer() = default;

// The new run counts from its child's start; until then nothing ticks, so a run that never
// starts its child leaves the tick source still, whatever an older run had set going.
void TProcessTimer::SetActiveRun(uint64_t run)
{
    activeRun_ = run;
    if (timer_)
        timer_->SetEnabled(false);
}

void TProcessTimer::StartCounting(uint64_t run)
{
    if (!IsActiveRun(run))
        return;
    TimeAfterBeginning = 0;
    TimeAfterLastOutput = 0;
    SetEnabledFor(run, true);
}

void TProcessTimer::NoteOutput(uint64_t run)
{
    if (IsActiveRun(run))
        TimeAfterLastOutput = 0;
}

void TProcessTimer::StopCounting(uint64_t run)
{
    if (IsActiveRun(run))
        SetEnabledFor(run, false);
}

void TProcessTimer::Tick()
{
    ++TimeAfterBeginning;
    ++TimeAfterLastOutput;
}

bool TProcessTimer::Enabled() const
{
    return timer_ && timer_->Enabled();
}

void TProcessTimer::Detach()
{
    activeRun_ = 0;
    timer_.reset();
}

// The platform timer belongs to the user-interface thread, so the worker queues the change.
// The run is checked again when the change is carried out: a newer run may have begun meanwhile.
void TProcessTimer::SetEnabledFor(uint64_t run, bool enabled)
{
    std::weak_ptr<TProcessTimer> weak = weak_from_this();
    ui_.Post([weak, run, enabled] {
        auto self = weak.lock();
        if (!self || !self->timer_ || !self->IsActiveRun(run))
            return;
        if (enabled)
            self->timer_->SetInterval(1000);
        self->timer_->SetEnabled(enabled);
    });
}
