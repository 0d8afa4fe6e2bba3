#include "toolkit/DpiScale.h"

#include <cstdint>
#include <initializer_list>

int ScaleToDpi(int value, int dpi)
{
    const std::int64_t product = std::int64_t{value} * dpi;
    const std::int64_t half = DefaultDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / DefaultDpi : (product - half) / DefaultDpi);
}

TLayoutRect ScaleToDpi(const TLayoutRect& rect, int dpi)
{
    const int left = ScaleToDpi(rect.Left, dpi);
    const int top = ScaleToDpi(rect.Top, dpi);
    return {left, top, ScaleToDpi(rect.Left + rect.Width, dpi) - left, ScaleToDpi(rect.Top + rect.Height, dpi) - top};
}

int PictureScalePercent(int dpi)
{
    for (const int percent : {100, 150})
        if (dpi * 100 <= DefaultDpi * percent)
            return percent;
    return 200;
}
