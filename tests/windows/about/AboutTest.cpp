// The pictures and the About box on real windows. Pointer and key messages are sent straight
// to the box's windows, each scenario step from a timer tick inside the box's own modal loop.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resource_ids.h"
#include "toolkit/PicturesWin32.h"
#include "windows/About.h"

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

// ---- pictures

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
    DrawPicture(canvas.Get(), frame, RECT{0, 0, 168, 128});
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

// ---- the About box

struct TRecorder {
    std::vector<std::string> Opened;
};

// Runs each step from a thread timer tick while box.ShowModal runs; closes the box if the
// steps leave it open, so a failing scenario cannot hang.
class TModalScript {
public:
    static void Run(TAboutBox& box, HWND owner, std::vector<std::function<void()>> steps)
    {
        TModalScript script{box, std::move(steps)};
        current_ = &script;
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, &TModalScript::Tick);
        box.ShowModal(owner);
        KillTimer(nullptr, timer);
        current_ = nullptr;
        EXPECT_EQ(script.next_, script.steps_.size()) << "the box closed before the last step";
        EXPECT_FALSE(script.forcedClose_) << "the box was still open after the last step";
    }

private:
    TModalScript(TAboutBox& box, std::vector<std::function<void()>> steps) : box_(box), steps_(std::move(steps)) {}

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        TModalScript* self = current_;
        if (!self || !self->box_.Showing())
            return;
        if (self->next_ < self->steps_.size()) {
            self->steps_[self->next_++]();
        } else {
            self->forcedClose_ = true;
            self->box_.Close();
        }
    }

    static inline TModalScript* current_ = nullptr;
    TAboutBox& box_;
    std::vector<std::function<void()>> steps_;
    std::size_t next_ = 0;
    bool forcedClose_ = false;
};

void MoveTo(HWND window, int x, int y)
{
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void ClickAt(HWND window, int x, int y)
{
    MoveTo(window, x, y);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

::testing::AssertionResult IsAt(const TGraphicControl& control, int x, int y)
{
    if (control.Left() == x && control.Top() == y)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << control.Name << " is at " << control.Left() << ", " << control.Top()
                                         << ", not " << x << ", " << y;
}

class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The real pointer stays away from the box, so that only the test's messages move it.
        SetCursorPos(0, 0);
        owner_ = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, Instance(), nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override { DestroyWindow(owner_); }

    TAboutBox MakeBox()
    {
        return TAboutBox(Instance(), [this](const std::string& address) { recorder_.Opened.push_back(address); });
    }

    HWND owner_ = nullptr;
    TRecorder recorder_;
};

TEST_F(AboutBoxTest, StartsHiddenWithItsLayout)
{
    TAboutBox box(Instance(), [](const std::string&) {});
    EXPECT_FALSE(IsWindowVisible(box.Handle()));
    char caption[64] = {};
    GetWindowTextA(box.Handle(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Vantrel 1.0");

    RECT client;
    GetClientRect(box.Handle(), &client);
    EXPECT_EQ(client.right, 298);
    EXPECT_EQ(client.bottom, 287);
    const LONG style = GetWindowLongA(box.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    RECT panel;
    GetWindowRect(box.PanelHandle(), &panel);
    MapWindowPoints(nullptr, box.Handle(), reinterpret_cast<POINT*>(&panel), 2);
    EXPECT_EQ((std::vector<LONG>{panel.left, panel.top, panel.right - panel.left, panel.bottom - panel.top}),
              (std::vector<LONG>{9, 8, 281, 218}));

    EXPECT_TRUE(IsAt(*box.image3, 128, 233));
    EXPECT_EQ(box.Comments->Color(), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(box.Comments->Cursor(), TPointer::ptArrow);
    EXPECT_EQ(box.Comments->Hint, TAboutBox::Address);
    EXPECT_EQ(box.Image1->Hint, TAboutBox::Address);
    EXPECT_EQ("https://" + box.Comments->Caption(), TAboutBox::Address);
    EXPECT_EQ(box.sLabelFX1->Caption(), "Vantrel 1.0");
    EXPECT_EQ(box.sLabel1->Caption(), "A GUI shell to distribute software with Sysinternals PsExec");
    EXPECT_EQ(box.sLabel1->Color(), RGB(177, 177, 177));
}

TEST_F(AboutBoxTest, ShowsModallyCentredAndDrawsItsPictures)
{
    TAboutBox box = MakeBox();
    TModalScript::Run(box, owner_, {
        [&] {
            EXPECT_TRUE(IsWindowVisible(box.Handle()));
            EXPECT_FALSE(IsWindowEnabled(owner_));
            RECT window;
            GetWindowRect(box.Handle(), &window);
            EXPECT_NEAR((window.left + window.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
            EXPECT_NEAR((window.top + window.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
        },
        [&] {
            UpdateWindow(box.Handle());
            UpdateWindow(box.PanelHandle());
            HDC panel = GetDC(box.PanelHandle());
            // The logo shows through the frame's open middle; the frame's border is golden.
            const COLORREF logo = GetPixel(panel, 71 + 19, 95 + 15); // the logo's dark blue sky
            EXPECT_GT(GetBValue(logo), GetRValue(logo) + 30);
            const COLORREF frame = GetPixel(panel, 63, 150);
            EXPECT_GT(GetRValue(frame), GetBValue(frame) + 50);
            ReleaseDC(box.PanelHandle(), panel);
            HDC window = GetDC(box.Handle());
            const COLORREF close = GetPixel(window, 128 + 8, 233 + 30); // green left of the tick
            EXPECT_GT(GetGValue(close), GetRValue(close) + 40);
            ReleaseDC(box.Handle(), window);
        },
        [&] { box.Close(); },
    });
    EXPECT_FALSE(IsWindowVisible(box.Handle()));
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(AboutBoxTest, ClosePictureMovesWhileThePointerIsOverIt)
{
    TAboutBox box = MakeBox();
    TModalScript::Run(box, owner_, {
        [&] {
            MoveTo(box.Handle(), 150, 255);
            EXPECT_TRUE(IsAt(*box.image3, 130, 235));
            EXPECT_EQ(box.image3->Cursor(), TPointer::ptHand);
            MoveTo(box.Handle(), 152, 257); // moving on over it moves it no further
            EXPECT_TRUE(IsAt(*box.image3, 130, 235));
            MoveTo(box.Handle(), 20, 260);
            EXPECT_TRUE(IsAt(*box.image3, 128, 233));
            EXPECT_EQ(box.image3->Cursor(), TPointer::ptArrow);
            MoveTo(box.Handle(), 150, 255);
            SendMessageA(box.Handle(), WM_MOUSELEAVE, 0, 0); // the pointer leaves the window
            EXPECT_TRUE(IsAt(*box.image3, 128, 233));
        },
        [&] {
            // A click closes the box with the pointer still over the picture.
            ClickAt(box.Handle(), 150, 255);
            EXPECT_FALSE(box.Showing());
        },
    });
    EXPECT_FALSE(IsWindowVisible(box.Handle()));
    EXPECT_TRUE(IsAt(*box.image3, 128, 233)) << "its leave reaction ran when the box went";
    EXPECT_TRUE(recorder_.Opened.empty());

    TModalScript::Run(box, owner_, {
        [&] {
            EXPECT_TRUE(IsAt(*box.image3, 128, 233));
            SendMessageA(box.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); // the title bar's Close button
        },
    });
    EXPECT_FALSE(IsWindowVisible(box.Handle()));
}

TEST_F(AboutBoxTest, LinkTextTurnsBlueUnderThePointerAndBlackAfter)
{
    TAboutBox box = MakeBox();
    TModalScript::Run(box, owner_, {
        [&] {
            MoveTo(box.PanelHandle(), 140, 75);
            EXPECT_EQ(box.Comments->Color(), RGB(0, 0, 255));
            EXPECT_EQ(box.Comments->Cursor(), TPointer::ptHand);
            MoveTo(box.PanelHandle(), 140, 60); // onto the tagline
            EXPECT_EQ(box.Comments->Color(), RGB(0, 0, 0));
            EXPECT_EQ(box.Comments->Cursor(), TPointer::ptArrow);
            MoveTo(box.PanelHandle(), 140, 75);
            SendMessageA(box.PanelHandle(), WM_MOUSELEAVE, 0, 0);
            EXPECT_EQ(box.Comments->Color(), RGB(0, 0, 0));
        },
        [&] { box.Close(); },
    });
    // Never rebuilt: the next showing keeps the colour.
    TModalScript::Run(box, owner_, {
        [&] { EXPECT_EQ(box.Comments->Color(), RGB(0, 0, 0)); },
        [&] { box.Close(); },
    });
}

TEST_F(AboutBoxTest, LogoAndLinkOpenTheAddressAndTheBoxStaysOpen)
{
    TAboutBox box = MakeBox();
    TModalScript::Run(box, owner_, {
        [&] {
            // Over the logo, where the frame covers it too.
            MoveTo(box.PanelHandle(), 100, 120);
            EXPECT_EQ(box.Image1->Cursor(), TPointer::ptHand);
            ClickAt(box.PanelHandle(), 100, 120);
            ClickAt(box.PanelHandle(), 72, 96); // the logo's corner, under the frame's inner edge
            EXPECT_EQ(recorder_.Opened.size(), 2u);
            // The frame's border outside the logo: nothing opens, and the logo is left.
            ClickAt(box.PanelHandle(), 62, 86);
            ClickAt(box.PanelHandle(), 222, 205);
            EXPECT_EQ(recorder_.Opened.size(), 2u);
            EXPECT_EQ(box.Image1->Cursor(), TPointer::ptArrow);
            ClickAt(box.PanelHandle(), 140, 75);
            EXPECT_EQ(recorder_.Opened.size(), 3u);
            // A press on the logo released elsewhere is no click.
            SendMessageA(box.PanelHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 120));
            SendMessageA(box.PanelHandle(), WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
            EXPECT_EQ(recorder_.Opened.size(), 3u);
        },
        [&] {
            EXPECT_TRUE(box.Showing());
            EXPECT_TRUE(IsWindowVisible(box.Handle()));
            box.Close();
        },
    });
    EXPECT_EQ(recorder_.Opened, std::vector<std::string>(3, TAboutBox::Address));
}

TEST_F(AboutBoxTest, EscapeDoesNotCloseTheBox)
{
    TAboutBox box = MakeBox();
    TModalScript::Run(box, owner_, {
        [&] {
            for (HWND target : {box.Handle(), box.PanelHandle()}) {
                PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                PostMessageA(target, WM_CHAR, VK_ESCAPE, 0x00010001);
                PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
            }
            INPUT keys[2] = {};
            keys[0].type = keys[1].type = INPUT_KEYBOARD;
            keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
            keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(2, keys, sizeof(INPUT));
        },
        [&] {}, // the posted keys are dispatched between the ticks
        [&] {},
        [&] {
            EXPECT_TRUE(box.Showing());
            box.Close();
        },
    });
}

TEST_F(AboutBoxTest, AQuitRequestClosesTheBoxAndIsPassedOn)
{
    TAboutBox box = MakeBox();
    TModalScript::Run(box, owner_, {[&] { PostQuitMessage(7); }});
    EXPECT_FALSE(box.Showing());
    EXPECT_TRUE(IsWindowEnabled(owner_));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

} // namespace
