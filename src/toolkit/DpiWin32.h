// The display's dots per inch and the system's measures at a given scale. The per-monitor
// functions came with later systems (and later Wine): each is looked up when first needed, and
// where it is missing the system's single scale stands in.
#pragma once

#include <windows.h>

#include "toolkit/Bounds.h"

// The dots per inch of the monitor the window is on, or of the system where the platform has
// only one scale.
int WindowDpi(HWND hwnd);

// A system metric (SM_CXVSCROLL, SM_CXMENUCHECK, ...) at dpi: the platform's own per-DPI value
// where it has one, otherwise the system's value scaled from the system's dots per inch.
int SystemMetricForDpi(int index, int dpi);

// The size of a window whose client area is clientWidth by clientHeight, with the frame it has
// now: for a window that changes its own scale where the system has not resized its frame.
SIZE WindowSizeForClient(HWND window, int clientWidth, int clientHeight);

// Where a top-level window goes after a change of scale: into the rectangle the system suggests,
// or with the new client size (of client, in pixels) around its present centre when there is none.
void MoveForNewScale(HWND window, const TBounds& client, const TBounds* suggested);

// The size of a window of these styles whose client area is client (in layout pixels) at dpi.
SIZE FrameSizeForClient(const TBounds& client, DWORD style, DWORD exStyle, int dpi);
