// Fonts made by face and pixel height.
#pragma once

#include "toolkit/HandlesWin32.h"

// A font of the given face whose characters are pixelHeight pixels high.
UniqueGdi<HFONT> MakeFont(int pixelHeight, int weight, const char* face);

// A font of the face whose characters are pixelHeight96 pixels high at 96 dots per inch, for
// dpi. A face that comes in one size only (the bitmap font "System") cannot follow the scale, so
// away from 96 dots per inch fallbackFace takes its place, its lines as high as the face's lines
// at 96 dots per inch, scaled.
UniqueGdi<HFONT> MakeScaledFont(int pixelHeight96, int dpi, int weight, const char* face, const char* fallbackFace);
