#include "toolkit/UiThreadWin32.h"

#include "toolkit/HandlesWin32.h"

#include <map>
#include <stdexcept>
#include <utility>

namespace {

constexpr UINT kInvokeMessage = WM_APP + 1;
constexpr UINT kPostMessage = WM_APP + 2;

// One blocking hand-off, living on the sender's stack while it waits.
struct TInvokeCall {
    const std::function<void()>* fn = nullptr;
    std::exception_ptr error;
    bool ran = false;
};

using TPostedFunction = std::unique_ptr<std::function<void()>>;

[[noreturn]] void ThrowNoLongerServed()
{
    throw std::runtime_error("The user interface thread no longer takes hand-offs");
}

} // namespace

// The timers of one window. Shared with the timer objects so that a timer that outlives the
// window (or the window that goes first) never reaches freed memory.
struct TUiThreadWin32::TTimerTable {
    HWND window = nullptr;
    UINT_PTR nextId = 1;
    std::map<UINT_PTR, std::function<void()>> ticks;
};

namespace {

class TWindowTimer : public IPeriodicTimer {
public:
    TWindowTimer(std::shared_ptr<TUiThreadWin32::TTimerTable> table, std::function<void()> onTick)
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

    std::shared_ptr<TUiThreadWin32::TTimerTable> table_;
    UINT_PTR id_;
    unsigned interval_ = 1000;
    bool enabled_ = false;
};

} // namespace

TUiThreadWin32::TUiThreadWin32()
    : timers_(std::make_shared<TTimerTable>()),
      threadId_(GetCurrentThreadId())
{
    TWindowClass windowClass;
    windowClass.Name = "VantrelUiThreadWindow";
    TWindowPlace place;
    place.Parent = HWND_MESSAGE;
    window_ = CreateBoundWindow(this, windowClass, place);
    timers_->window = window_;
}

TUiThreadWin32::~TUiThreadWin32()
{
    Shutdown();
}

void TUiThreadWin32::Shutdown()
{
    if (closing_.exchange(true))
        return;
    // Answer every hand-off already sent to us: the window procedure refuses them now, so their
    // senders throw instead of waiting for a loop that will not run again.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    DiscardQueuedPosts();
    timers_->window = nullptr;
    DestroyBoundWindow(window_);
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void TUiThreadWin32::DiscardQueuedPosts()
{
    MSG msg;
    while (PeekMessageA(&msg, window_, kPostMessage, kPostMessage, PM_REMOVE))
        TPostedFunction(reinterpret_cast<std::function<void()>*>(msg.lParam));
}

void TUiThreadWin32::Invoke(const std::function<void()>& fn)
{
    if (closing_)
        ThrowNoLongerServed();
    if (GetCurrentThreadId() == threadId_) {
        fn();
        return;
    }
    TInvokeCall call;
    call.fn = &fn;
    SendMessageA(window_, kInvokeMessage, 0, reinterpret_cast<LPARAM>(&call));
    if (!call.ran)
        ThrowNoLongerServed();
    if (call.error)
        std::rethrow_exception(call.error);
}

void TUiThreadWin32::Post(std::function<void()> fn)
{
    if (closing_)
        return;
    auto payload = std::make_unique<std::function<void()>>(std::move(fn));
    if (PostMessageA(window_, kPostMessage, 0, reinterpret_cast<LPARAM>(payload.get())))
        payload.release();
}

std::unique_ptr<IPeriodicTimer> TUiThreadWin32::CreateTimer(std::function<void()> onTick)
{
    return std::make_unique<TWindowTimer>(timers_, std::move(onTick));
}

LRESULT TUiThreadWin32::HandleWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kInvokeMessage: {
        auto* call = reinterpret_cast<TInvokeCall*>(lParam);
        if (closing_)
            return 0; // refused: the sender throws
        call->ran = true;
        try {
            (*call->fn)();
        } catch (...) {
            call->error = std::current_exception();
        }
        return 0;
    }
    case kPostMessage: {
        TPostedFunction fn(reinterpret_cast<std::function<void()>*>(lParam));
        if (closing_)
            return 0;
        RunHandler(*fn);
        return 0;
    }
    case WM_TIMER: {
        auto tick = timers_->ticks.find(static_cast<UINT_PTR>(wParam));
        if (tick == timers_->ticks.end())
            return 0; // a tick of a timer that is gone, still queued
        // A copy, since the handler may destroy its own timer.
        const auto onTick = tick->second;
        RunHandler(onTick);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
