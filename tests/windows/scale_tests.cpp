// The main window and the About box at the display's scale (the Wine prefix's LogPixels, set by
// RunAtDpi.cmake for each run) and after a move to another scale. Every place, size, font and
// picture is the 96-DPI one scaled; no text is cut off.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "toolkit/BoundsWin32.h"
#include "toolkit/DpiScale.h"
#include "toolkit/DpiWin32.h"

namespace {

// Everything that the scale decides, checked against the 96-DPI layout scaled to dpi.
void ExpectLaidOutAt(TForm1& form, int dpi)
{
    SCOPED_TRACE("laid out at " + std::to_string(dpi) + " dots per inch");
    EXPECT_EQ(form.Dpi(), dpi);
    const TBounds client = ClientBounds(form.Handle());
    EXPECT_NEAR(client.Width, ScaleToDpi(542, dpi), 1);
    EXPECT_NEAR(client.Height, ScaleToDpi(502, dpi), 1);

    for (const TPlace& place : MainWindowLayoutAt96(form)) {
        SCOPED_TRACE(place.Control->Hint().empty() ? "a panel or the status bar" : place.Control->Hint());
        const TBounds expected = ScaleToDpi(place.At96, dpi);
        const TBounds r = BoundsOf(*place.Control);
        EXPECT_NEAR(r.Left, expected.Left, 1);
        EXPECT_NEAR(r.Top, expected.Top, 1);
        EXPECT_NEAR(r.Height, expected.Height, 1);
        // A check box may be wider than its layout where its caption needs the room.
        if (dynamic_cast<const TCheckBox*>(place.Control))
            EXPECT_GE(r.Width, expected.Width - 1);
        else
            EXPECT_NEAR(r.Width, expected.Width, 1);
    }

    // Fonts: 11 pixels (bold for the uninstall option) and the console's 9, scaled.
    EXPECT_EQ(FontOf(form.edt1->Handle()).lfHeight, -ScaleToDpi(11, dpi));
    EXPECT_EQ(FontOf(form.lblPackage->Handle()).lfHeight, -ScaleToDpi(11, dpi));
    EXPECT_EQ(FontOf(form.chk7->Handle()).lfHeight, -ScaleToDpi(11, dpi));
    EXPECT_EQ(FontOf(form.chk7->Handle()).lfWeight, FW_BOLD);
    // The console's "System" comes in one size: where it cannot follow the scale, another face
    // with lines of the scaled height takes its place (see TheConsoleLinesGrowWithTheScale).
    const LOGFONTA console = FontOf(form.mmo2->Handle());
    if (dpi == DefaultDpi || std::string(console.lfFaceName) == "System") {
        EXPECT_EQ(console.lfHeight, -ScaleToDpi(9, dpi));
    }
    EXPECT_EQ(FontOf(form.edt1->ButtonHandle()).lfHeight, -ScaleToDpi(11, dpi));

    // The views' rows are their font's lines; their margins scale.
    for (const TMemo* view : {form.mmo1.get(), form.mmo2.get()}) {
        EXPECT_EQ(view->LineHeight(), TextSize(view->Handle(), "X").cy);
        EXPECT_EQ(view->Margin(), ScaleToDpi(TMemo::TextMargin, dpi));
    }

    // The browse button keeps its scaled width inside the field's right end.
    const TBounds browse = ScreenBounds(form.edt1->ButtonHandle()), field = ScreenBounds(form.edt1->Handle());
    EXPECT_NEAR(browse.Width, ScaleToDpi(TFileNameEdit::ButtonWidth, dpi), 1);
    EXPECT_LE(browse.Right(), field.Right());

    // Captions: sized to their text, standing on their control.
    const std::pair<const TLabel*, const TControl*> captions[] = {
        {form.lblListFile.get(), form.edt1.get()}, {form.lblPackage.get(), form.edt2.get()},
        {form.lblDomain.get(), form.edt3.get()},   {form.lblUser.get(), form.edt4.get()},
        {form.lblPassword.get(), form.edt5.get()}, {form.lblTargets.get(), form.mmo1.get()},
        {form.lblConsole.get(), form.mmo2.get()},
    };
    for (const auto& [label, control] : captions) {
        SCOPED_TRACE(label->Text());
        const TBounds r = BoundsOf(*label);
        const SIZE text = TextSize(label->Handle(), label->Text());
        EXPECT_GE(r.Width, text.cx);
        EXPECT_GE(r.Height, text.cy);
        EXPECT_EQ(r.Bottom(), BoundsOf(*control).Top);
    }

    // The computers-at-a-time caption stands left of its field, clear of it, at its full width.
    const TBounds atATime = BoundsOf(*form.lblAtATime);
    EXPECT_EQ(atATime.Right(), BoundsOf(*form.edt7).Left - ScaleToDpi(6, dpi));
    EXPECT_GE(atATime.Width, TextSize(form.lblAtATime->Handle(), form.lblAtATime->Text()).cx);
    EXPECT_LE(BoundsOf(*form.chk1).Right(), atATime.Left) << "the first option stops short of it";
    EXPECT_LE(BoundsOf(*form.chk7).Right(), BoundsOf(*form.chk8).Left);
    EXPECT_GE(BoundsOf(*form.chk8).Width, form.chk8->CaptionWidth()) << "its caption whole at every scale";

    // Check boxes hold their captions away from 96 dots per inch (where the layout stands as
    // designed), up to the next control on their row.
    if (dpi != DefaultDpi) {
        const std::pair<const TCheckBox*, const TControl*> rows[] = {
            {form.chk1.get(), form.lblAtATime.get()}, {form.chk2.get(), nullptr}, {form.chk3.get(), nullptr},
            {form.chk4.get(), nullptr}, {form.chk5.get(), nullptr}, {form.chk6.get(), form.edt6.get()},
            {form.chk7.get(), form.chk8.get()}, {form.chk8.get(), nullptr}};
        for (const auto& [box, next] : rows) {
            SCOPED_TRACE(box->Text());
            const TBounds r = BoundsOf(*box);
            const int room = next ? BoundsOf(*next).Left - r.Left : std::numeric_limits<int>::max();
            EXPECT_GE(r.Width, std::min(box->CaptionWidth(), room));
            if (next) {
                EXPECT_LE(r.Right(), BoundsOf(*next).Left) << "the next control on the row stays uncovered";
            }
        }
    }

    // The ready line fits the status bar.
    EXPECT_LE(TextSize(form.stsbr1->Handle(), form.stsbr1->SimpleText()).cx, BoundsOf(*form.stsbr1).Width);

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
    const TBounds client = ClientBounds(box.Handle());
    EXPECT_NEAR(client.Width, ScaleToDpi(TAboutBox::Client.Width, dpi), 1);
    EXPECT_NEAR(client.Height, ScaleToDpi(TAboutBox::Client.Height, dpi), 1);
    const TBounds panel = BoundsIn(box.PanelHandle(), box.Handle());
    EXPECT_NEAR(panel.Left, ScaleToDpi(9, dpi), 1);
    EXPECT_NEAR(panel.Width, ScaleToDpi(281, dpi), 1);

    // The close picture keeps its layout place and is drawn at its scaled one.
    EXPECT_EQ(box.image3->Left(), TAboutBox::Image3Home.x);
    const TBounds close = box.image3->Bounds();
    EXPECT_NEAR(close.Left, ScaleToDpi(128, dpi), 1);
    EXPECT_NEAR(close.Width, ScaleToDpi(48, dpi), 1);
    EXPECT_NEAR(box.Image1->Bounds().Width, ScaleToDpi(145, dpi), 1);

    // Its fonts and their lines scale together: the lines keep their descenders at any scale.
    const std::pair<const TGraphicLabel*, int> labels[] = {
        {box.Credits.get(), 11}, {box.Comments.get(), 11}, {box.sLabel1.get(), 9}, {box.sLabelFX1.get(), 19}};
    for (const auto& [label, pixels] : labels) {
        SCOPED_TRACE(label->Name);
        LOGFONTA font{};
        GetObjectA(label->Font(), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -ScaleToDpi(pixels, dpi));
    }
    EXPECT_NEAR(box.Credits->Bounds().Height, ScaleToDpi(13, dpi), 1);
}

class Scale : public TMainWindowTest {};

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
    const SIZE size = WindowSizeForClient(form.Handle(), ScaleToDpi(542, other), ScaleToDpi(502, other));
    const TBounds suggested = ScreenBounds(form.Handle()).Resized(size.cx, size.cy);
    form.ChangeDpi(other, &suggested);
    EXPECT_EQ(ScreenBounds(form.Handle()).Width, suggested.Width)
        << "the system's suggested rectangle is taken";
    ExpectLaidOutAt(form, other);

    form.ChangeDpi(DisplayDpi());
    ExpectLaidOutAt(form, DisplayDpi());
}

TEST_F(Scale, TheConsoleLinesGrowWithTheScale)
{
    TForm1& form = app_->Form1();
    const auto lineAt = [&](int dpi) {
        form.ChangeDpi(dpi);
        return form.mmo2->LineHeight();
    };
    const int at96 = lineAt(96);
    EXPECT_EQ(std::string(FontOf(form.mmo2->Handle()).lfFaceName), "System");
    EXPECT_NEAR(lineAt(144), at96 * 1.5, 1);
    EXPECT_NEAR(lineAt(192), at96 * 2, 1);
    EXPECT_GE(form.mmo2->LineHeight(), TextSize(form.lblConsole->Handle(), "X").cy) << "no smaller than its caption";
    form.ChangeDpi(DisplayDpi());
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
