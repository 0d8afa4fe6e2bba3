// The display's dots per inch and the system's measures at a given scale. The per-monitor
// functions came with later systems (and later Wine): each is looked up when first needed, and
// where it is missing the system's single scale stands in.
#pragma once

#include <windows.h>

// The dots per inch of the monitor the window is on, or of the system where the platform has
// only one scale.
int WindowDpi(HWND hwnd);

// A system metric (SM_CXVSCROLL, SM_CXMENUCHECK, ...) at dpi: the platform's own per-DPI value
// where it has one, otherwise the system's value scaled from the system's dots per inch.
int SystemMetricForDpi(int index, int dpi);

// Grows a client rectangle to the window rectangle of a window of these styles at dpi.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);
