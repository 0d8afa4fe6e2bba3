// The About box on a real window. Pointer and key messages are sent straight to the box's
// windows, each scenario step from a timer tick inside the box's own modal loop.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/BoundsWin32.h"
#include "toolkit/TextWin32.h"
#include "windows/About.h"

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

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
    EXPECT_EQ(WindowText(box.Handle()), "Vantrel 1.0");

    const TBounds client = ClientBounds(box.Handle());
    EXPECT_EQ(client.Width, 298);
    EXPECT_EQ(client.Height, 287);
    const LONG style = GetWindowLongA(box.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    const TBounds panel = BoundsIn(box.PanelHandle(), box.Handle());
    EXPECT_EQ((std::vector<int>{panel.Left, panel.Top, panel.Width, panel.Height}), (std::vector<int>{9, 8, 281, 218}));

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
