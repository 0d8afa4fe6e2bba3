#include "windows/About.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>

#include "resource_ids.h"
#include "toolkit/BoundsWin32.h"
#include "toolkit/ControlsWin32.h"
#include "toolkit/DpiWin32.h"
#include "toolkit/FontsWin32.h"

namespace {

constexpr const char* kBoxClass = "TAboutBox";
constexpr const char* kPanelClass = "TAboutPanel";
constexpr const char* kCaption = "Vantrel 1.0";
constexpr const char* kCredits = "Written by the Vantrel developers, 2026";
constexpr const char* kTagline = "A GUI shell to distribute software with Sysinternals PsExec";
constexpr TBounds kPanelLayout = {9, 8, 281, 218};
constexpr DWORD kBoxStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kBoxExStyle = WS_EX_DLGMODALFRAME;
constexpr int kBevelWidth = 2;
constexpr int kImage3Step = 2;

// The address as the link text shows it: without its scheme.
std::string WithoutScheme(const std::string& address)
{
    const auto colon = address.find("://");
    return colon == std::string::npos ? address : address.substr(colon + 3);
}

} // namespace

// ---- the About box

void OpenAddressWithShell(HWND owner, const std::string& address)
{
    ShellExecuteA(owner, "Open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

TAboutBox::TAboutBox(HINSTANCE instance, std::function<void(const std::string& address)> openAddress)
    : openAddress_(std::move(openAddress)), instance_(instance), dpi_(WindowDpi(nullptr))
{
    Name = "AboutBox";
    CreateFonts();
    LoadPictures();
    CreateWindows();
    CreateControls();
}

TAboutBox::~TAboutBox()
{
    if (showing_ && owner_)
        EnableWindow(owner_, TRUE);
    panel_.reset();
    box_.reset();
}

HWND TAboutBox::Handle() const
{
    return box_->Handle();
}

HWND TAboutBox::PanelHandle() const
{
    return panel_->Handle();
}

void TAboutBox::CreateFonts()
{
    windowFont_ = MakeFont(ScaleToDpi(11, dpi_), FW_NORMAL, "MS Sans Serif");
    titleFont_ = MakeFont(ScaleToDpi(19, dpi_), FW_BOLD, "MS Sans Serif");
    taglineFont_ = MakeFont(ScaleToDpi(9, dpi_), FW_NORMAL, "Tahoma");
}

void TAboutBox::LoadPictures()
{
    logo_ = LoadScaledPicture(instance_, IDB_ABOUT_LOGO, dpi_);
    frame_ = LoadScaledPicture(instance_, IDP_ABOUT_FRAME, dpi_);
    closePicture_ = LoadScaledPicture(instance_, IDP_ABOUT_CLOSE, dpi_);
}

SIZE TAboutBox::FrameSize() const
{
    return FrameSizeForClient(Client, kBoxStyle, kBoxExStyle, dpi_);
}

void TAboutBox::CreateWindows()
{
    const SIZE frame = FrameSize();

    const auto fillFace = [](HDC dc, RECT client) { FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE)); };
    TGraphicHost::Args box;
    box.ClassName = kBoxClass;
    box.Style = kBoxStyle;
    box.ExStyle = kBoxExStyle;
    box.Bounds = TBounds{0, 0, frame.cx, frame.cy};
    box.Dpi = dpi_;
    box.Caption = kCaption;
    box.PaintBackground = fillFace;
    box.OnMessage = [this](UINT msg, WPARAM wParam, LPARAM lParam) {
        switch (msg) {
        case WM_CLOSE:
            // The title bar's Close button hides the box; it is shown again later, never rebuilt.
            Close();
            return true;
        case WM_DPICHANGED:
            ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return true;
        default:
            return false;
        }
    };
    box_ = std::make_unique<TGraphicHost>(box);

    TGraphicHost::Args panel;
    panel.ClassName = kPanelClass;
    panel.Parent = box_->Handle();
    panel.Style = WS_CHILD | WS_VISIBLE;
    panel.Bounds = ScaleToDpi(kPanelLayout, dpi_);
    panel.Dpi = dpi_;
    panel.PaintBackground = [this, fillFace](HDC dc, RECT client) {
        fillFace(dc, client);
        const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
        const int bevel = ScaleToDpi(kBevelWidth, dpi_);
        Frame3D(dc, client, dark, light, bevel); // outer bevel, lowered
        Frame3D(dc, client, light, dark, bevel); // inner bevel, raised
    };
    panel_ = std::make_unique<TGraphicHost>(panel);
}

void TAboutBox::CreateControls()
{
    using namespace std::placeholders;
    TGraphicHost& panel = *panel_;
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);

    Credits = std::make_unique<TGraphicLabel>(panel, "Credits", TBounds{3, 34, 273, 13}, kCredits, windowFont_.Get(), text);

    Comments = std::make_unique<TGraphicLabel>(panel, "Comments", TBounds{3, 69, 273, 13}, WithoutScheme(Address),
                                               windowFont_.Get(), text, true);
    Comments->Hint = Address;
    Comments->OnMouseMove = std::bind(&TAboutBox::CommentsMouseMove, this, _1, _2, _3, _4);
    Comments->OnMouseLeave = std::bind(&TAboutBox::CommentsMouseLeave, this, _1);
    Comments->OnClick = std::bind(&TAboutBox::CommentsClick, this, _1);

    Image1 = std::make_unique<TGraphicImage>(panel, "Image1", TBounds{71, 95, 145, 105}, logo_, false);
    Image1->Hint = Address;
    Image1->OnMouseMove = std::bind(&TAboutBox::Image1MouseMove, this, _1, _2, _3, _4);
    Image1->OnMouseLeave = std::bind(&TAboutBox::Image1MouseLeave, this, _1);
    Image1->OnClick = std::bind(&TAboutBox::Image1Click, this, _1);

    sLabelFX1 = std::make_unique<TShadowLabel>(panel, "sLabelFX1", TBounds{3, 5, 273, 32}, kCaption, titleFont_.Get(),
                                               RGB(255, 255, 255));
    sLabel1 = std::make_unique<TGraphicLabel>(panel, "sLabel1", TBounds{3, 53, 273, 13}, kTagline,
                                              taglineFont_.Get(), RGB(177, 177, 177));

    // The frame lies over the logo as decoration: the pointer reaches the logo through it.
    image4 = std::make_unique<TGraphicImage>(panel, "image4", TBounds{59, 83, 168, 128}, frame_, true);
    image4->TakesPointer = false;

    image3 = std::make_unique<TGraphicImage>(*box_, "image3",
                                             TBounds{Image3Home.x, Image3Home.y, 48, 48}, closePicture_, false);
    image3->OnMouseEnter = std::bind(&TAboutBox::image3MouseEnter, this, _1);
    image3->OnMouseLeave = std::bind(&TAboutBox::image3MouseLeave, this, _1);
    image3->OnClick = std::bind(&TAboutBox::image3Click, this, _1);
}

void TAboutBox::ChangeDpi(int dpi, const RECT* suggested)
{
    dpi_ = dpi;
    // The controls take the new fonts and pictures before the old ones go.
    UniqueGdi<HFONT> oldFonts[] = {std::move(windowFont_), std::move(titleFont_), std::move(taglineFont_)};
    CreateFonts();
    Credits->SetFont(windowFont_.Get());
    Comments->SetFont(windowFont_.Get());
    sLabelFX1->SetFont(titleFont_.Get());
    sLabel1->SetFont(taglineFont_.Get());
    LoadPictures();
    box_->SetDpi(dpi);
    panel_->SetDpi(dpi);

    MoveForNewScale(Handle(), ScaleToDpi(Client, dpi), suggested);
    PlaceWindow(PanelHandle(), ScaleToDpi(kPanelLayout, dpi));
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TAboutBox::ShowModal(HWND owner)
{
    if (showing_)
        return;
    owner_ = owner;
    SetWindowLongPtrA(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    CenterOnScreen(Handle());
    // Centred on another monitor than the one it was laid out for: at that monitor's scale.
    if (const int dpi = WindowDpi(Handle()); dpi != dpi_) {
        ChangeDpi(dpi);
        CenterOnScreen(Handle());
    }
    showing_ = true;
    if (owner_)
        EnableWindow(owner_, FALSE);
    ShowWindow(Handle(), SW_SHOWNORMAL);
    UpdateWindow(Handle());
    SetActiveWindow(Handle());

    // A quit request that arrives meanwhile closes the box; the loop passes it on.
    if (!RunModalLoop([this] { return showing_; }))
        Close();
}

void TAboutBox::Close()
{
    if (!showing_)
        return;
    showing_ = false;
    // The owner takes input again before the box goes, so that it, not another program,
    // becomes the active window.
    if (owner_)
        EnableWindow(owner_, TRUE);
    ShowWindow(Handle(), SW_HIDE);
    if (owner_)
        SetActiveWindow(owner_);
    // A hidden window gets no leave message, yet the pointer is no longer over its controls:
    // image3 must be back in its place for the next showing.
    panel_->PointerGone();
    box_->PointerGone();
}

// ---- reactions

void TAboutBox::CommentsMouseMove(TObject*, WPARAM, int, int)
{
    Comments->SetCursor(TPointer::ptHand);
    Comments->SetColor(RGB(0, 0, 255));
}

void TAboutBox::CommentsMouseLeave(TObject*)
{
    Comments->SetCursor(TPointer::ptArrow);
    Comments->SetColor(RGB(0, 0, 0));
}

void TAboutBox::CommentsClick(TObject* Sender)
{
    if (const auto* label = dynamic_cast<TGraphicLabel*>(Sender); label && openAddress_)
        openAddress_(label->Hint);
}

void TAboutBox::Image1MouseMove(TObject*, WPARAM, int, int)
{
    Image1->SetCursor(TPointer::ptHand);
}

void TAboutBox::Image1MouseLeave(TObject*)
{
    Image1->SetCursor(TPointer::ptArrow);
}

void TAboutBox::Image1Click(TObject* Sender)
{
    if (const auto* image = dynamic_cast<TGraphicImage*>(Sender); image && openAddress_)
        openAddress_(image->Hint);
}

void TAboutBox::image3MouseEnter(TObject*)
{
    image3->SetPosition(image3->Left() + kImage3Step, image3->Top() + kImage3Step);
    image3->SetCursor(TPointer::ptHand);
}

void TAboutBox::image3MouseLeave(TObject*)
{
    image3->SetPosition(image3->Left() - kImage3Step, image3->Top() - kImage3Step);
    image3->SetCursor(TPointer::ptArrow);
}

void TAboutBox::image3Click(TObject*)
{
    Close();
}
