// The message-window user-interface thread with a loop of the test's own, for the Wine tests of
// the thread itself and of what runs on it (the runner).
#pragma once

#include "toolkit/UiThreadWin32.h"
#include "toolkit/WindowWin32.h"

#include <windows.h>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class TWinUi : public IUiThread {
public:
    // What a posted function throws goes where every handler's exception goes.
    TWinUi()
    {
        SetHandlerExceptionSink([this](std::exception_ptr error) {
            std::lock_guard lock(mutex_);
            errors_.push_back(error);
        });
    }
    ~TWinUi() override { SetHandlerExceptionSink(nullptr); }

    void Invoke(const std::function<void()>& fn) override { ui_.Invoke(fn); }
    void Post(std::function<void()> fn) override { ui_.Post(std::move(fn)); }
    std::unique_ptr<IPeriodicTimer> CreateTimer(std::function<void()> onTick) override
    {
        return ui_.CreateTimer(std::move(onTick));
    }

    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return done();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        return true;
    }

    std::vector<std::exception_ptr> TakePostedErrors()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(errors_, {});
    }

    TUiThreadWin32& Inner() { return ui_; }

private:
    std::mutex mutex_;
    std::vector<std::exception_ptr> errors_;
    TUiThreadWin32 ui_;
};
