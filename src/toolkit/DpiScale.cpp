#include "toolkit/DpiScale.h"

#include <cstdint>
#include <initializer_list>

int ScaleToDpi(int value, int dpi)
{
    const std::int64_t product = std::int64_t{value} * dpi;
    const std::int64_t half = DefaultDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / DefaultDpi : (product - half) / DefaultDpi);
}

TBounds ScaleToDpi(const TBounds& rect, int dpi)
{
    const int left = ScaleToDpi(rect.Left, dpi);
    const int top = ScaleToDpi(rect.Top, dpi);
    return {left, top, ScaleToDpi(rect.Right(), dpi) - left, ScaleToDpi(rect.Bottom(), dpi) - top};
}

int PictureScalePercent(int dpi)
{
    for (const int percent : {100, 150})
        if (dpi * 100 <= DefaultDpi * percent)
            return percent;
    return 200;
}
