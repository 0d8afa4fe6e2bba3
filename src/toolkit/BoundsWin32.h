// Where the toolkit's rectangle meets the platform's: the conversions to and from RECT, where a
// window lies, and the one call that puts a window at a rectangle.
#pragma once

#include <windows.h>

#include "toolkit/Bounds.h"

inline RECT ToRect(const TBounds& bounds)
{
    return RECT{bounds.Left, bounds.Top, bounds.Right(), bounds.Bottom()};
}

inline TBounds ToBounds(const RECT& rect)
{
    return TBounds::FromEdges(rect.left, rect.top, rect.right, rect.bottom);
}

// The window's outer rectangle on the screen.
inline TBounds ScreenBounds(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return ToBounds(rect);
}

// The window's client area: 0, 0 and its size.
inline TBounds ClientBounds(HWND window)
{
    RECT rect{};
    GetClientRect(window, &rect);
    return ToBounds(rect);
}

// Where a window stands in another window's client area.
inline TBounds BoundsIn(HWND window, HWND container)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, container, reinterpret_cast<POINT*>(&rect), 2);
    return ToBounds(rect);
}

// The window's outer rectangle in its parent's client area (on the screen for a top-level window).
inline TBounds BoundsInParent(HWND window)
{
    return BoundsIn(window, GetAncestor(window, GA_PARENT));
}

// Moves and sizes a window, keeping its place in the z-order and the activation as they are.
inline void PlaceWindow(HWND window, const TBounds& bounds)
{
    SetWindowPos(window, nullptr, bounds.Left, bounds.Top, bounds.Width, bounds.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}
