#include "toolkit/FontsWin32.h"

#include "toolkit/ErrorsWin32.h"

UniqueGdi<HFONT> MakeFont(int pixelHeight, int weight, const char* face)
{
    UniqueGdi<HFONT> font(CreateFontA(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, face));
    CheckWin32(font.Get() != nullptr, "CreateFont");
    return font;
}
