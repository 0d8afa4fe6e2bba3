// The picture support on real device contexts: the program's button and About box pictures,
// loaded from its resources at each scale, and drawn with their transparency.
#include "resource_ids.h"
#include "toolkit/PicturesWin32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

struct TPixel {
    int R, G, B;
};

// Draws the picture over an opaque background colour and returns the pixel at x, y.
class TCanvas {
public:
    TCanvas(int width, int height, COLORREF background)
        : screen_(GetDC(nullptr)), dc_(CreateCompatibleDC(screen_)),
          bitmap_(CreateCompatibleBitmap(screen_, width, height))
    {
        old_ = SelectObject(dc_, bitmap_.Get());
        RECT all{0, 0, width, height};
        UniqueGdi<HBRUSH> brush(CreateSolidBrush(background));
        FillRect(dc_, &all, brush.Get());
    }
    ~TCanvas()
    {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        ReleaseDC(nullptr, screen_);
    }
    HDC Get() const { return dc_; }
    TPixel At(int x, int y) const
    {
        const COLORREF c = GetPixel(dc_, x, y);
        return {GetRValue(c), GetGValue(c), GetBValue(c)};
    }

private:
    HDC screen_;
    HDC dc_;
    UniqueGdi<HBITMAP> bitmap_;
    HGDIOBJ old_;
};

const std::uint8_t* DibBits(const TPicture& picture)
{
    DIBSECTION dib{};
    EXPECT_EQ(GetObjectA(picture.Handle(), sizeof dib, &dib), int(sizeof dib));
    return static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
}

TEST(Pictures, ButtonPicturesAre40By40WithTransparentCornersAndABlueShield)
{
    for (const int id : {IDP_BUTTON_EXECUTE, IDP_BUTTON_CLEAR, IDP_BUTTON_SAVELOG, IDP_BUTTON_ABOUT, IDP_BUTTON_EXIT}) {
        SCOPED_TRACE("picture " + std::to_string(id));
        const TPicture picture = LoadPngPicture(Instance(), id);
        ASSERT_EQ(picture.Width(), 40);
        ASSERT_EQ(picture.Height(), 40);
        EXPECT_TRUE(picture.HasAlpha());
        TCanvas canvas(40, 40, RGB(255, 255, 255));
        DrawPicture(canvas.Get(), picture, 0, 0);
        const TPixel corner = canvas.At(0, 39);
        EXPECT_EQ(corner.R + corner.G + corner.B, 3 * 255) << "the corner outside the shield stays white";
        const TPixel shield = canvas.At(9, 22); // left part of the shield, away from the motif
        EXPECT_GT(shield.B, shield.R + 60);
    }
}

TEST(Pictures, PixelsArePremultipliedTopDown)
{
    TPngImage image;
    image.Width = 1;
    image.Height = 2;
    image.Rgba = {255, 0, 0, 128, 0, 0, 255, 255}; // half-transparent red above opaque blue
    const TPicture picture = PictureFromImage(image);
    const std::uint8_t* bits = DibBits(picture);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ((std::vector<int>{bits[0], bits[1], bits[2], bits[3]}), (std::vector<int>{0, 0, 128, 128}));
    EXPECT_EQ((std::vector<int>{bits[4], bits[5], bits[6], bits[7]}), (std::vector<int>{255, 0, 0, 255}));

    TCanvas canvas(1, 2, RGB(0, 0, 0));
    DrawPicture(canvas.Get(), picture, 0, 0);
    EXPECT_NEAR(canvas.At(0, 0).R, 128, 2);
    EXPECT_EQ(canvas.At(0, 1).B, 255);
}

TEST(Pictures, AboutPicturesHaveTheirSizesAndTheFrameIsOpenInTheMiddle)
{
    const TPicture logo = LoadBitmapPicture(Instance(), IDB_ABOUT_LOGO);
    EXPECT_EQ(logo.Width(), 147);
    EXPECT_EQ(logo.Height(), 110);
    EXPECT_FALSE(logo.HasAlpha());
    BITMAP info{};
    GetObjectA(logo.Handle(), sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 24);

    const TPicture close = LoadPngPicture(Instance(), IDP_ABOUT_CLOSE);
    EXPECT_EQ(close.Width(), 48);
    EXPECT_EQ(close.Height(), 48);

    const TPicture frame = LoadPngPicture(Instance(), IDP_ABOUT_FRAME);
    ASSERT_EQ(frame.Width(), 155);
    ASSERT_EQ(frame.Height(), 115);
    TCanvas canvas(168, 128, RGB(10, 20, 30));
    DrawPicture(canvas.Get(), frame, TBounds{0, 0, 168, 128});
    const TPixel middle = canvas.At(84, 64);
    EXPECT_EQ((std::vector<int>{middle.R, middle.G, middle.B}), (std::vector<int>{10, 20, 30}));
    const TPixel border = canvas.At(5, 64);
    EXPECT_GT(border.R, border.B + 50) << "golden";
    const TPixel roundedCorner = canvas.At(0, 0);
    EXPECT_EQ(roundedCorner.R, 10);
}

TEST(Pictures, EachScaleDrawsTheRenderingAtOrAboveItAtTheScaledSize)
{
    struct Case {
        int dpi, percent, pixels, drawn;
    };
    // Button pictures are 40 pixels at 96 dots per inch.
    for (const Case c : {Case{96, 100, 40, 40}, Case{120, 150, 60, 50}, Case{144, 150, 60, 60}, Case{168, 200, 80, 70},
                         Case{192, 200, 80, 80}}) {
        SCOPED_TRACE("at " + std::to_string(c.dpi) + " dots per inch");
        const TPicture picture = LoadScaledPicture(Instance(), IDP_BUTTON_SAVELOG, c.dpi);
        EXPECT_EQ(picture.ScalePercent(), c.percent);
        EXPECT_EQ(picture.Width(), c.pixels);
        EXPECT_EQ(picture.Height(), c.pixels);
        EXPECT_EQ(picture.DrawWidth(), c.drawn);
        EXPECT_EQ(picture.DrawHeight(), c.drawn);
        TCanvas canvas(c.drawn + 2, c.drawn + 2, RGB(255, 255, 255));
        DrawPicture(canvas.Get(), picture, 0, 0);
        const TPixel shield = canvas.At(c.drawn * 9 / 40, c.drawn * 22 / 40);
        EXPECT_GT(shield.B, shield.R + 60) << "the shield at its scaled place";
        const TPixel beyond = canvas.At(c.drawn, c.drawn / 2);
        EXPECT_EQ(beyond.R + beyond.G + beyond.B, 3 * 255) << "nothing drawn past the scaled size";
    }

    // The logo is a bitmap at 96 dots per inch; its larger renderings are opaque all the same.
    const TPicture logo = LoadScaledPicture(Instance(), IDB_ABOUT_LOGO, 96);
    EXPECT_EQ(logo.Width(), 147);
    EXPECT_FALSE(logo.HasAlpha());
    const TPicture largeLogo = LoadScaledPicture(Instance(), IDB_ABOUT_LOGO, 144);
    EXPECT_EQ(largeLogo.Width(), 221);
    EXPECT_EQ(largeLogo.Height(), 165);
    TCanvas canvas(221, 165, RGB(255, 0, 255));
    DrawPicture(canvas.Get(), largeLogo, 0, 0);
    for (const POINT p : {POINT{0, 0}, POINT{220, 164}, POINT{110, 82}}) {
        const TPixel pixel = canvas.At(p.x, p.y);
        EXPECT_FALSE(pixel.R == 255 && pixel.G == 0 && pixel.B == 255) << "opaque at " << p.x << ", " << p.y;
    }
    const TPicture closeAt200 = LoadScaledPicture(Instance(), IDP_ABOUT_CLOSE, 192);
    EXPECT_EQ(closeAt200.Width(), 96);
    EXPECT_EQ(LoadScaledPicture(Instance(), IDP_ABOUT_FRAME, 144).Width(), 233);
}

TEST(Pictures, MissingResourcesAreErrors)
{
    EXPECT_THROW(LoadPngPicture(Instance(), 999), std::runtime_error);
    EXPECT_THROW(LoadBitmapPicture(Instance(), 999), std::runtime_error);
    // A bitmap resource is not a PNG file.
    EXPECT_THROW(LoadPngPicture(Instance(), IDB_ABOUT_LOGO), std::runtime_error);
    EXPECT_THROW(LoadScaledPicture(Instance(), 999, 144), std::runtime_error);
}

} // namespace
