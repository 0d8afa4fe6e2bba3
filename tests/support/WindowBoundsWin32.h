// Where a window stands, as the toolkit's rectangle: its client area, its place on the screen or
// in another window's client area.
#pragma once

#include <windows.h>

#include "toolkit/BoundsWin32.h"

inline TBounds ClientBounds(HWND window)
{
    RECT rect;
    GetClientRect(window, &rect);
    return ToBounds(rect);
}

inline TBounds ScreenBounds(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return ToBounds(rect);
}

inline TBounds BoundsIn(HWND window, HWND container)
{
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, container, reinterpret_cast<POINT*>(&rect), 2);
    return ToBounds(rect);
}
