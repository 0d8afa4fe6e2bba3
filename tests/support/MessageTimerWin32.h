// Times what a window does with its messages, for the benchmarks under Wine.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <utility>
#include <vector>

#include "support/BenchFigures.h"

// Times what a window does with its messages, by subclassing it: every message, or one kind. It
// also notes when the given numbers of messages have been handled, which marks the first and the
// last 10,000 lines of a run without a watching thread that would take time from the run itself.
class TMessageTimer {
public:
    TMessageTimer(HWND window, UINT onlyMessage, std::vector<int> marks = {})
        : markedAt(marks.size()), window_(window), only_(onlyMessage), marks_(std::move(marks))
    {
        SetWindowSubclass(window_, &TMessageTimer::Proc, Id(), reinterpret_cast<DWORD_PTR>(this));
    }
    ~TMessageTimer() { RemoveWindowSubclass(window_, &TMessageTimer::Proc, Id()); }
    TMessageTimer(const TMessageTimer&) = delete;
    TMessageTimer& operator=(const TMessageTimer&) = delete;

    double seconds = 0;
    int count = 0;
    std::vector<std::chrono::steady_clock::time_point> markedAt;  // when the count reached each mark

private:
    // Several timers may watch one window, each for its own kind of message.
    UINT_PTR Id() const { return reinterpret_cast<UINT_PTR>(this); }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
    {
        auto* self = reinterpret_cast<TMessageTimer*>(data);
        if (self->only_ != 0 && msg != self->only_)
            return DefSubclassProc(hwnd, msg, wParam, lParam);
        const auto start = std::chrono::steady_clock::now();
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        const auto end = std::chrono::steady_clock::now();
        self->seconds += Seconds(end - start);
        ++self->count;
        for (std::size_t i = 0; i < self->marks_.size(); ++i)
            if (self->count == self->marks_[i])
                self->markedAt[i] = end;
        return result;
    }

    HWND window_;
    UINT only_;
    std::vector<int> marks_;
};
