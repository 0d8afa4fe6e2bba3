// Fonts made by face and pixel height.
#pragma once

#include "toolkit/HandlesWin32.h"

// A font of the given face whose characters are pixelHeight pixels high.
UniqueGdi<HFONT> MakeFont(int pixelHeight, int weight, const char* face);
