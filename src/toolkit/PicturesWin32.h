// Pictures from the program's resources, ready to draw: PNG files stored as RCDATA become
// 32-bit top-down DIB sections with premultiplied alpha (what AlphaBlend needs), and BITMAP
// resources are loaded as they are.
#pragma once

#include <windows.h>

#include "toolkit/Bounds.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/Png.h"

class TPicture {
public:
    TPicture() = default;
    TPicture(UniqueGdi<HBITMAP> bitmap, int width, int height, bool alpha)
        : bitmap_(std::move(bitmap)), width_(width), height_(height), drawWidth_(width), drawHeight_(height),
          alpha_(alpha)
    {
    }

    HBITMAP Handle() const { return bitmap_.Get(); }
    // The bitmap's own size, in pixels.
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The size it is drawn at: its own size, or for a picture rendered for a display scale, its
    // layout size at that scale.
    int DrawWidth() const { return drawWidth_; }
    int DrawHeight() const { return drawHeight_; }
    // The rendering it came from: 100, 150 or 200 percent of its layout size.
    int ScalePercent() const { return scalePercent_; }
    // True for pictures drawn with their alpha channel, false for opaque bitmaps.
    bool HasAlpha() const { return alpha_; }
    bool Empty() const { return bitmap_.Get() == nullptr; }

    // Drawn for dpi from the rendering at percent: within a pixel of its layout size scaled.
    void SetRendering(int percent, int dpi);

private:
    UniqueGdi<HBITMAP> bitmap_;
    int width_ = 0;
    int height_ = 0;
    int drawWidth_ = 0;
    int drawHeight_ = 0;
    int scalePercent_ = 100;
    bool alpha_ = false;
};

// A zeroed 32-bit top-down DIB section; pixels receives its first pixel (blue, green, red, alpha).
UniqueGdi<HBITMAP> MakeDib(int width, int height, std::uint32_t*& pixels);

// A DIB section holding the image's pixels, premultiplied by their alpha.
TPicture PictureFromImage(const TPngImage& image);

// Decodes the PNG stored as RCDATA resource id. Throws TPngError for a bad file and
// std::runtime_error when the resource is missing.
TPicture LoadPngPicture(HINSTANCE instance, int id);

// Loads the BITMAP resource id as an opaque picture; throws std::runtime_error when missing.
TPicture LoadBitmapPicture(HINSTANCE instance, int id);

// The picture of resource id for a display of dpi dots per inch: the rendering at or just above
// the display's scale (id plus the offset of that rendering), a PNG (RCDATA) or a bitmap, drawn
// at its layout size scaled to dpi. Throws std::runtime_error when it is missing.
TPicture LoadScaledPicture(HINSTANCE instance, int id, int dpi);

// Draws the picture at its drawing size with its top-left corner at x, y, blending by alpha.
void DrawPicture(HDC dc, const TPicture& picture, int x, int y);

// Draws the picture stretched to fill target, without keeping its proportions.
void DrawPicture(HDC dc, const TPicture& picture, const TBounds& target);
