#include "windows/About.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>

#include "resource_ids.h"
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

TTopLevelWindow::Args BoxArgs()
{
    TTopLevelWindow::Args args;
    args.Class.Name = kBoxClass;
    args.Caption = kCaption;
    args.Client = TAboutBox::Client;
    args.Style = kBoxStyle;
    args.ExStyle = kBoxExStyle;
    return args;
}

void FillFace(HDC dc, RECT client)
{
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
}

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
    : TTopLevelWindow(BoxArgs()), openAddress_(std::move(openAddress)), instance_(instance),
      surface_(*this, &FillFace)
{
    Name = "AboutBox";
    CreateFonts();
    LoadPictures();
    CreatePanel();
    CreateControls();
}

TAboutBox::~TAboutBox()
{
    if (showing_ && owner_)
        EnableWindow(owner_, TRUE);
    panel_.reset();
    DestroyOwnWindow();
}

HWND TAboutBox::PanelHandle() const
{
    return panel_->Handle();
}

void TAboutBox::CreateFonts()
{
    windowFont_ = MakeFont(Scaled(11), FW_NORMAL, "MS Sans Serif");
    titleFont_ = MakeFont(Scaled(19), FW_BOLD, "MS Sans Serif");
    taglineFont_ = MakeFont(Scaled(9), FW_NORMAL, "Tahoma");
}

void TAboutBox::LoadPictures()
{
    logo_ = LoadScaledPicture(instance_, IDB_ABOUT_LOGO, Dpi());
    frame_ = LoadScaledPicture(instance_, IDP_ABOUT_FRAME, Dpi());
    closePicture_ = LoadScaledPicture(instance_, IDP_ABOUT_CLOSE, Dpi());
}

void TAboutBox::CreatePanel()
{
    TGraphicHost::Args panel;
    panel.ClassName = kPanelClass;
    panel.Parent = Handle();
    panel.Style = WS_CHILD | WS_VISIBLE;
    panel.Bounds = ScaleToDpi(kPanelLayout, Dpi());
    panel.Dpi = Dpi();
    panel.PaintBackground = [this](HDC dc, RECT client) {
        FillFace(dc, client);
        const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
        const int bevel = Scaled(kBevelWidth);
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

    image3 = std::make_unique<TGraphicImage>(surface_, "image3",
                                             TBounds{Image3Home.x, Image3Home.y, 48, 48}, closePicture_, false);
    image3->OnMouseEnter = std::bind(&TAboutBox::image3MouseEnter, this, _1);
    image3->OnMouseLeave = std::bind(&TAboutBox::image3MouseLeave, this, _1);
    image3->OnClick = std::bind(&TAboutBox::image3Click, this, _1);
}

void TAboutBox::Rescaled(int dpi)
{
    // The controls take the new fonts and pictures before the old ones go.
    UniqueGdi<HFONT> oldFonts[] = {std::move(windowFont_), std::move(titleFont_), std::move(taglineFont_)};
    CreateFonts();
    Credits->SetFont(windowFont_.Get());
    Comments->SetFont(windowFont_.Get());
    sLabelFX1->SetFont(titleFont_.Get());
    sLabel1->SetFont(taglineFont_.Get());
    LoadPictures();
    InvalidateRect(Handle(), nullptr, FALSE);
    panel_->SetDpi(dpi);
    panel_->SetBounds(ScaleToDpi(kPanelLayout, dpi));
}

LRESULT TAboutBox::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The title bar's Close button hides the box; it is shown again later, never rebuilt.
    if (msg == WM_CLOSE) {
        Close();
        return 0;
    }
    LRESULT result = 0;
    if (surface_.HandleMessage(msg, wParam, lParam, result))
        return result;
    return TTopLevelWindow::WindowProc(msg, wParam, lParam);
}

void TAboutBox::ShowModal(HWND owner)
{
    if (showing_)
        return;
    owner_ = owner;
    SetWindowLongPtrA(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    CenterOnScreen(Handle());
    // Centred on another monitor than the one it was laid out for: at that monitor's scale.
    if (const int dpi = WindowDpi(Handle()); dpi != Dpi()) {
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
    surface_.PointerGone();
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
