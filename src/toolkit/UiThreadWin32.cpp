#include "toolkit/UiThreadWin32.h"

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

TUiThreadWin32::TUiThreadWin32() : threadId_(GetCurrentThreadId())
{
    TWindowClass windowClass;
    windowClass.Name = "VantrelUiThreadWindow";
    TWindowPlace place;
    place.Parent = HWND_MESSAGE;
    MakeWindow(windowClass, place);
    window_ = Handle();
    timers_.Attach(window_);
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
    timers_.Detach();
    DestroyOwnWindow();
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
    return timers_.Create(std::move(onTick));
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
    case WM_TIMER:
        timers_.Tick(static_cast<UINT_PTR>(wParam));
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
