// Where the toolkit's rectangle meets the platform's: the conversions to and from RECT and the
// one call that puts a window at a rectangle.
#pragma once

#include <windows.h>

#include "toolkit/Bounds.h"

inline RECT ToRect(const TBounds& bounds)
{
    return RECT{bounds.Left, bounds.Top, bounds.Right(), bounds.Bottom()};
}

inline TBounds ToBounds(const RECT& rect)
{
    return TBounds{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// Moves and sizes a window, keeping its place in the z-order and the activation as they are.
inline void PlaceWindow(HWND window, const TBounds& bounds)
{
    SetWindowPos(window, nullptr, bounds.Left, bounds.Top, bounds.Width, bounds.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}
