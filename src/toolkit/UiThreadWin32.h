// The user-interface thread served by a hidden message-only window: blocking hand-offs are sent
// messages, queued ones posted messages, and timers are window timers on that window.
#pragma once

#include "toolkit/UiThread.h"
#include "toolkit/WindowWin32.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class TUiThreadWin32 : public IUiThread, private IWindowProcedure {
public:
    // Receives what a posted function throws; the application shows it in its error box.
    using TErrorHandler = std::function<void(std::exception_ptr)>;

    // Must be constructed in the user-interface thread: the window belongs to the thread that
    // creates it, and its messages are dispatched by that thread's message loop.
    explicit TUiThreadWin32(TErrorHandler onPostedError);
    ~TUiThreadWin32() override;
    TUiThreadWin32(const TUiThreadWin32&) = delete;
    TUiThreadWin32& operator=(const TUiThreadWin32&) = delete;

    void Invoke(const std::function<void()>& fn) override;
    void Post(std::function<void()> fn) override;
    std::unique_ptr<IPeriodicTimer> CreateTimer(std::function<void()> onTick) override;

    HWND Window() const { return window_; }

    // Refuses further hand-offs, answers the ones already waiting with an error and destroys the
    // window. The destructor calls it; the application may call it earlier, when its loop ends.
    void Shutdown();

    struct TTimerTable;

private:
    void Bound(HWND /*hwnd*/) override {}
    LRESULT HandleWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void DiscardQueuedPosts();

    TErrorHandler onPostedError_;
    std::shared_ptr<TTimerTable> timers_;
    std::atomic<bool> closing_{false};
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
};
