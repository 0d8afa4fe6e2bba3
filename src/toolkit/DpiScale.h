// The layout, fonts and pictures of this program are given in pixels at 96 dots per inch. These
// helpers turn them into pixels at a display's dots per inch; nothing else does that sum.
#pragma once

#include "toolkit/Bounds.h"

// The dots per inch at which every size in the layout is given.
inline constexpr int DefaultDpi = 96;

// value * dpi / 96, rounded to the nearest pixel with halves away from zero, as the platform's
// MulDiv rounds: at 96 dots per inch every value stays as it is.
int ScaleToDpi(int value, int dpi);

// The rectangle at dpi. Its edges are scaled, not its size, so that controls that touch or keep
// a margin at 96 dots per inch still do at any scale; the size is then within a pixel of the
// scaled size.
TBounds ScaleToDpi(const TBounds& rect, int dpi);

// The pictures come rendered at 100, 150 and 200 percent. The one to draw at dpi is the
// smallest at or above the display's scale, so that a picture is only ever scaled down; above
// 200 percent the largest is all there is.
int PictureScalePercent(int dpi);
