#include "toolkit/PicturesWin32.h"

#include <cstdint>
#include <string>

#include "resource_ids.h"
#include "toolkit/DpiScale.h"
#include "toolkit/ErrorsWin32.h"

namespace {

std::uint8_t Premultiply(std::uint8_t colour, std::uint8_t alpha)
{
    return static_cast<std::uint8_t>((colour * alpha + 127) / 255);
}

void Blit(HDC dc, const TPicture& picture, int x, int y, int width, int height)
{
    if (picture.Empty() || width <= 0 || height <= 0)
        return;
    TMemoryDC source(dc, picture.Handle());
    if (picture.HasAlpha()) {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(dc, x, y, width, height, source.Get(), 0, 0, picture.Width(), picture.Height(), blend);
    } else if (width == picture.Width() && height == picture.Height()) {
        BitBlt(dc, x, y, width, height, source.Get(), 0, 0, SRCCOPY);
    } else {
        const int oldMode = SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, x, y, width, height, source.Get(), 0, 0, picture.Width(), picture.Height(), SRCCOPY);
        SetStretchBltMode(dc, oldMode);
    }
}

} // namespace

UniqueGdi<HBITMAP> MakeDib(int width, int height, std::uint32_t*& pixels)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdi<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    CheckWin32(bitmap.Get() != nullptr && bits != nullptr, "CreateDIBSection");
    pixels = static_cast<std::uint32_t*>(bits);
    return bitmap;
}

TPicture PictureFromImage(const TPngImage& image)
{
    std::uint32_t* pixels = nullptr;
    UniqueGdi<HBITMAP> bitmap = MakeDib(static_cast<int>(image.Width), static_cast<int>(image.Height), pixels);
    auto* out = reinterpret_cast<std::uint8_t*>(pixels);
    const std::uint8_t* in = image.Rgba.data();
    for (std::size_t i = 0; i < image.Rgba.size(); i += 4) {
        const std::uint8_t alpha = in[i + 3];
        out[i + 0] = Premultiply(in[i + 2], alpha); // the DIB's byte order is blue, green, red
        out[i + 1] = Premultiply(in[i + 1], alpha);
        out[i + 2] = Premultiply(in[i + 0], alpha);
        out[i + 3] = alpha;
    }
    GdiFlush();
    return TPicture(std::move(bitmap), static_cast<int>(image.Width), static_cast<int>(image.Height), true);
}

TPicture LoadPngPicture(HINSTANCE instance, int id)
{
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        throw std::runtime_error("PNG resource " + std::to_string(id) + " is missing");
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return PictureFromImage(DecodePng({bytes, SizeofResource(instance, resource)}));
}

TPicture LoadBitmapPicture(HINSTANCE instance, int id)
{
    UniqueGdi<HBITMAP> bitmap(
        static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap.Get())
        throw std::runtime_error("bitmap resource " + std::to_string(id) + " is missing");
    BITMAP info{};
    GetObjectA(bitmap.Get(), sizeof info, &info);
    return TPicture(std::move(bitmap), info.bmWidth, info.bmHeight, false);
}

void TPicture::SetRendering(int percent, int dpi)
{
    // The rendering's own dots per inch, as a fraction: 96 * percent / 100.
    const auto atDpi = [&](int size) {
        const std::int64_t numerator = std::int64_t{size} * dpi * 100;
        const std::int64_t denominator = std::int64_t{DefaultDpi} * percent;
        return static_cast<int>((numerator + denominator / 2) / denominator);
    };
    scalePercent_ = percent;
    drawWidth_ = atDpi(width_);
    drawHeight_ = atDpi(height_);
}

TPicture LoadScaledPicture(HINSTANCE instance, int id, int dpi)
{
    const int percent = PictureScalePercent(dpi);
    const int renderingId = id + (percent == 100 ? 0 : percent == 150 ? IDP_AT_150 : IDP_AT_200);
    TPicture picture = FindResourceA(instance, MAKEINTRESOURCEA(renderingId), MAKEINTRESOURCEA(10) /* RT_RCDATA */)
                           ? LoadPngPicture(instance, renderingId)
                           : LoadBitmapPicture(instance, renderingId);
    picture.SetRendering(percent, dpi);
    return picture;
}

void DrawPicture(HDC dc, const TPicture& picture, int x, int y)
{
    Blit(dc, picture, x, y, picture.DrawWidth(), picture.DrawHeight());
}

void DrawPicture(HDC dc, const TPicture& picture, const TBounds& target)
{
    Blit(dc, picture, target.Left, target.Top, target.Width, target.Height);
}
