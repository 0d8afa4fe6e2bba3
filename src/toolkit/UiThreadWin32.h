// The user-interface thread served by a hidden message-only window: blocking hand-offs are sent
// messages, queued ones posted messages, and timers are window timers on that window.
#pragma once

#include "toolkit/TimersWin32.h"
#include "toolkit/UiThread.h"
#include "toolkit/WindowWin32.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class TUiThreadWin32 : public IUiThread, private TWindow {
public:
    // Must be constructed in the user-interface thread: the window belongs to the thread that
    // creates it, and its messages are dispatched by that thread's message loop. What a posted
    // function or a timer's tick throws goes to the handler exception sink, as any handler's.
    TUiThreadWin32();
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

private:
    LRESULT HandleWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void DiscardQueuedPosts();

    TWindowTimers timers_;
    std::atomic<bool> closing_{false};
    DWORD threadId_ = 0;
    // Read by other threads: set once, and never cleared as the window's own handle is.
    HWND window_ = nullptr;
};
