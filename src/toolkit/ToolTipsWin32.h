// The tooltips of a window's controls.
#pragma once

#include <windows.h>

#include <string>

#include "toolkit/WindowWin32.h"

// A tooltip window that shows the hint of every registered control.
class TToolTips : public TWindow {
public:
    explicit TToolTips(HWND owner);
    void Add(HWND control, const std::string& text);

private:
    LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
};
