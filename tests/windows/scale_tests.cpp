// The main window and the About box at the display's scale (the Wine prefix's LogPixels, set by
// RunAtDpi.cmake for each run) and after a move to another scale. Every place, size, font and
// picture is the 96-DPI one scaled; no text is cut off.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "toolkit/BoundsWin32.h"
#include "toolkit/DpiScale.h"
#include "toolkit/DpiWin32.h"

namespace {

struct TPlace {
    const TControl* Control;
    TBounds At96;
};

std::vector<TPlace> LayoutAt96(TForm1& form)
{
    return {
        {form.spnl1.get(), {3, 3, 536, 118}},    {form.spnl3.get(), {3, 127, 536, 176}},
        {form.spnl4.get(), {3, 309, 536, 86}},   {form.spnl2.get(), {3, 401, 536, 79}},
        {form.stsbr1.get(), {0, 483, 542, 19}},  {form.edt1.get(), {8, 16, 523, 21}},
        {form.edt3.get(), {8, 90, 154, 21}},     {form.edt4.get(), {191, 90, 161, 21}},
        {form.edt5.get(), {378, 90, 153, 21}},   {form.edt2.get(), {8, 53, 523, 21}},
        {form.chk1.get(), {8, 1, 141, 20}},      {form.chk2.get(), {8, 21, 192, 20}},
        {form.chk3.get(), {8, 41, 164, 20}},     {form.chk4.get(), {288, 1, 213, 20}},
        {form.chk5.get(), {288, 21, 187, 20}},   {form.chk6.get(), {288, 41, 209, 20}},
        {form.edt6.get(), {504, 40, 25, 21}},    {form.chk7.get(), {8, 65, 321, 20}},
        {form.mmo1.get(), {4, 16, 168, 156}},    {form.mmo2.get(), {178, 16, 354, 156}},
        {form.sbtbtn1.get(), {8, 6, 97, 68}},    {form.sbtbtn4.get(), {114, 6, 97, 68}},
        {form.sbtbtn5.get(), {220, 6, 97, 68}},  {form.sbtbtn3.get(), {328, 6, 97, 68}},
        {form.sbtbtn2.get(), {434, 6, 97, 68}},   {form.edt7.get(), {504, 63, 25, 21}},
    };
}

HFONT FontOf(HWND hwnd)
{
    return reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
}

LOGFONTA LogFontOf(HWND hwnd)
{
    LOGFONTA font{};
    GetObjectA(FontOf(hwnd), sizeof font, &font);
    return font;
}

// The text's width and the font's line height, as the system measures them in the window's font.
SIZE TextSize(HWND hwnd, const std::string& text)
{
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, FontOf(hwnd));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return SIZE{size.cx, metrics.tmHeight};
}

int Width(const RECT& r)
{
    return r.right - r.left;
}

// Everything that the scale decides, checked against the 96-DPI layout scaled to dpi.
void ExpectLaidOutAt(TForm1& form, int dpi)
{
    SCOPED_TRACE("laid out at " + std::to_string(dpi) + " dots per inch");
    EXPECT_EQ(form.Dpi(), dpi);
    RECT client;
    GetClientRect(form.Handle(), &client);
    EXPECT_NEAR(client.right, ScaleToDpi(542, dpi), 1);
    EXPECT_NEAR(client.bottom, ScaleToDpi(502, dpi), 1);

    for (const TPlace& place : LayoutAt96(form)) {
        SCOPED_TRACE(place.Control->Hint().empty() ? "a panel or the status bar" : place.Control->Hint());
        const TBounds expected = ScaleToDpi(place.At96, dpi);
        const RECT r = ToRect(place.Control->Bounds());
        EXPECT_NEAR(r.left, expected.Left, 1);
        EXPECT_NEAR(r.top, expected.Top, 1);
        EXPECT_NEAR(r.bottom - r.top, expected.Height, 1);
        // A check box may be wider than its layout where its caption needs the room.
        if (dynamic_cast<const TCheckBox*>(place.Control))
            EXPECT_GE(Width(r), expected.Width - 1);
        else
            EXPECT_NEAR(Width(r), expected.Width, 1);
    }

    // Fonts: 11 pixels (bold for the uninstall option) and the console's 9, scaled.
    EXPECT_EQ(LogFontOf(form.edt1->Handle()).lfHeight, -ScaleToDpi(11, dpi));
    EXPECT_EQ(LogFontOf(form.lblPackage->Handle()).lfHeight, -ScaleToDpi(11, dpi));
    EXPECT_EQ(LogFontOf(form.chk7->Handle()).lfHeight, -ScaleToDpi(11, dpi));
    EXPECT_EQ(LogFontOf(form.chk7->Handle()).lfWeight, FW_BOLD);
    EXPECT_EQ(LogFontOf(form.mmo2->Handle()).lfHeight, -ScaleToDpi(9, dpi));
    EXPECT_EQ(LogFontOf(form.edt1->ButtonHandle()).lfHeight, -ScaleToDpi(11, dpi));

    // The views' rows are their font's lines; their margins scale.
    for (const TMemo* view : {form.mmo1.get(), form.mmo2.get()}) {
        EXPECT_EQ(view->LineHeight(), TextSize(view->Handle(), "X").cy);
        EXPECT_EQ(view->Margin(), ScaleToDpi(TMemo::TextMargin, dpi));
    }

    // The browse button keeps its scaled width inside the field's right end.
    RECT browse, field;
    GetWindowRect(form.edt1->ButtonHandle(), &browse);
    GetWindowRect(form.edt1->Handle(), &field);
    EXPECT_NEAR(Width(browse), ScaleToDpi(TFileNameEdit::ButtonWidth, dpi), 1);
    EXPECT_LE(browse.right, field.right);

    // Captions: sized to their text, standing on their control.
    const std::pair<const TLabel*, const TControl*> captions[] = {
        {form.lblListFile.get(), form.edt1.get()}, {form.lblPackage.get(), form.edt2.get()},
        {form.lblDomain.get(), form.edt3.get()},   {form.lblUser.get(), form.edt4.get()},
        {form.lblPassword.get(), form.edt5.get()}, {form.lblTargets.get(), form.mmo1.get()},
        {form.lblConsole.get(), form.mmo2.get()},
    };
    for (const auto& [label, control] : captions) {
        SCOPED_TRACE(label->Text());
        const RECT r = ToRect(label->Bounds());
        const SIZE text = TextSize(label->Handle(), label->Text());
        EXPECT_GE(Width(r), text.cx);
        EXPECT_GE(r.bottom - r.top, text.cy);
        EXPECT_EQ(r.bottom, ToRect(control->Bounds()).top);
    }

    // The computers-at-a-time caption stands left of its field, clear of it, at its full width.
    const RECT atATime = ToRect(form.lblAtATime->Bounds());
    EXPECT_EQ(atATime.right, ToRect(form.edt7->Bounds()).left - ScaleToDpi(6, dpi));
    EXPECT_GE(Width(atATime), TextSize(form.lblAtATime->Handle(), form.lblAtATime->Text()).cx);

    // Check boxes hold their captions away from 96 dots per inch (where the layout stands as
    // designed), up to the next control on their row.
    if (dpi != DefaultDpi) {
        for (const TCheckBox* box : {form.chk1.get(), form.chk2.get(), form.chk3.get(), form.chk4.get(),
                                     form.chk5.get(), form.chk6.get(), form.chk7.get()}) {
            SCOPED_TRACE(box->Text());
            const RECT r = ToRect(box->Bounds());
            if (box == form.chk6.get())
                EXPECT_LE(r.right, ToRect(form.edt6->Bounds()).left) << "the timeout field stays uncovered";
            else
                EXPECT_GE(Width(r), box->CaptionWidth());
        }
    }

    // The ready line fits the status bar.
    EXPECT_LE(TextSize(form.stsbr1->Handle(), form.stsbr1->SimpleText()).cx, Width(ToRect(form.stsbr1->Bounds())));

    // The button pictures: the rendering at or above the scale, drawn at the scaled size.
    for (const TPicture& picture : form.ButtonPictures()) {
        EXPECT_EQ(picture.ScalePercent(), PictureScalePercent(dpi));
        EXPECT_EQ(picture.DrawWidth(), ScaleToDpi(TPictureButton::PictureSize, dpi));
    }
}

void ExpectAboutBoxAt(TAboutBox& box, int dpi)
{
    SCOPED_TRACE("About box at " + std::to_string(dpi) + " dots per inch");
    EXPECT_EQ(box.Dpi(), dpi);
    RECT client;
    GetClientRect(box.Handle(), &client);
    EXPECT_NEAR(client.right, ScaleToDpi(TAboutBox::Client.Width, dpi), 1);
    EXPECT_NEAR(client.bottom, ScaleToDpi(TAboutBox::Client.Height, dpi), 1);
    RECT panel;
    GetWindowRect(box.PanelHandle(), &panel);
    MapWindowPoints(HWND_DESKTOP, box.Handle(), reinterpret_cast<POINT*>(&panel), 2);
    EXPECT_NEAR(panel.left, ScaleToDpi(9, dpi), 1);
    EXPECT_NEAR(Width(panel), ScaleToDpi(281, dpi), 1);

    // The close picture keeps its layout place and is drawn at its scaled one.
    EXPECT_EQ(box.image3->Left(), TAboutBox::Image3Home.x);
    const RECT close = ToRect(box.image3->Bounds());
    EXPECT_NEAR(close.left, ScaleToDpi(128, dpi), 1);
    EXPECT_NEAR(Width(close), ScaleToDpi(48, dpi), 1);
    const RECT logo = ToRect(box.Image1->Bounds());
    EXPECT_NEAR(Width(logo), ScaleToDpi(145, dpi), 1);

    // Its fonts and their lines scale together: the lines keep their descenders at any scale.
    const std::pair<const TGraphicLabel*, int> labels[] = {
        {box.Credits.get(), 11}, {box.Comments.get(), 11}, {box.sLabel1.get(), 9}, {box.sLabelFX1.get(), 19}};
    for (const auto& [label, pixels] : labels) {
        SCOPED_TRACE(label->Name);
        LOGFONTA font{};
        GetObjectA(label->Font(), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -ScaleToDpi(pixels, dpi));
    }
    EXPECT_NEAR(ToRect(box.Credits->Bounds()).bottom - ToRect(box.Credits->Bounds()).top, ScaleToDpi(13, dpi), 1);
}

class Scale : public ::testing::Test {
protected:
    TScratchFolder folder_{"scale"};
    TScriptedDialogs dialogs_;
    TWindowInToolFolder window_{folder_, dialogs_};
    std::unique_ptr<TVantrelApp>& app_ = window_.App;
};

// The scale this run was started at: another run of this program covers each scale.
int DisplayDpi()
{
    return WindowDpi(nullptr);
}

TEST_F(Scale, TheMainWindowIsTheLayoutScaledToTheDisplay)
{
    ExpectLaidOutAt(app_->Form1(), DisplayDpi());
}

TEST_F(Scale, MovingToAnotherScaleLaysEverythingOutAgainAndBack)
{
    TForm1& form = app_->Form1();
    form.lblTargets->SetCaption("Target Computers from a-rather-long-list-name.txt:");
    const int other = DisplayDpi() == 192 ? 120 : 192;
    // What the system suggests: the window at its place, with its client area scaled.
    RECT suggested;
    GetWindowRect(form.Handle(), &suggested);
    const SIZE size = WindowSizeForClient(form.Handle(), ScaleToDpi(542, other), ScaleToDpi(502, other));
    suggested.right = suggested.left + size.cx;
    suggested.bottom = suggested.top + size.cy;
    const TBounds suggestedBounds = ToBounds(suggested);
    form.ChangeDpi(other, &suggestedBounds);
    RECT window;
    GetWindowRect(form.Handle(), &window);
    EXPECT_EQ(Width(window), Width(suggested)) << "the system's suggested rectangle is taken";
    ExpectLaidOutAt(form, other);

    form.ChangeDpi(DisplayDpi());
    ExpectLaidOutAt(form, DisplayDpi());
}

TEST_F(Scale, TheAboutBoxIsTheLayoutScaledAndMovesToAnotherScale)
{
    TAboutBox& box = app_->AboutBox();
    ExpectAboutBoxAt(box, DisplayDpi());
    const int other = DisplayDpi() == 144 ? 96 : 144;
    box.ChangeDpi(other);
    ExpectAboutBoxAt(box, other);
    box.ChangeDpi(DisplayDpi());
    ExpectAboutBoxAt(box, DisplayDpi());
}

}  // namespace
