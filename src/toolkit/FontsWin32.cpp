#include "toolkit/FontsWin32.h"

#include <cstdlib>

#include "toolkit/DpiScale.h"
#include "toolkit/ErrorsWin32.h"
#include "toolkit/TextWin32.h"

namespace {

// A negative height asks for the characters' height, a positive one for the whole line's.
UniqueGdi<HFONT> CreateFontOfHeight(int height, int weight, const char* face)
{
    UniqueGdi<HFONT> font(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, face));
    CheckWin32(font.Get() != nullptr, "CreateFont");
    return font;
}

int LineHeightOf(HFONT font)
{
    const TMemoryDC screen(nullptr);
    return TTextMeasure(screen.Get(), font).LineHeight();
}

}  // namespace

UniqueGdi<HFONT> MakeFont(int pixelHeight, int weight, const char* face)
{
    return CreateFontOfHeight(-pixelHeight, weight, face);
}

UniqueGdi<HFONT> MakeScaledFont(int pixelHeight96, int dpi, int weight, const char* face, const char* fallbackFace)
{
    UniqueGdi<HFONT> font = MakeFont(ScaleToDpi(pixelHeight96, dpi), weight, face);
    if (dpi == DefaultDpi)
        return font;
    const int wanted = ScaleToDpi(LineHeightOf(MakeFont(pixelHeight96, weight, face).Get()), dpi);
    if (std::abs(LineHeightOf(font.Get()) - wanted) <= 1)
        return font;
    return CreateFontOfHeight(wanted, weight, fallbackFace);
}
