#include "windows/About.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>

#include "resource_ids.h"
#include "toolkit/ControlsWin32.h"

namespace {

constexpr const char* kBoxClass = "TAboutBox";
constexpr const char* kPanelClass = "TAboutPanel";
constexpr const char* kCaption = "Vantrel 1.0";
constexpr const char* kCredits = "Written by the Vantrel developers, 2026";
constexpr const char* kTagline = "A GUI shell to distribute software with Sysinternals PsExec";
constexpr RECT kPanelBounds = {9, 8, 9 + 281, 8 + 218};
constexpr int kBevelWidth = 2;
constexpr int kImage3Step = 2;

RECT Bounds(int left, int top, int width, int height)
{
    return RECT{left, top, left + width, top + height};
}

// The address as the link text shows it: without its scheme.
std::string WithoutScheme(const std::string& address)
{
    const auto colon = address.find("://");
    return colon == std::string::npos ? address : address.substr(colon + 3);
}

// One pass of a 3 by 3 box blur; pixels outside the picture count as empty.
std::vector<int> BoxBlur(const std::vector<int>& in, int width, int height)
{
    std::vector<int> out(in.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int sx = x + dx, sy = y + dy;
                    if (sx >= 0 && sy >= 0 && sx < width && sy < height)
                        sum += in[static_cast<std::size_t>(sy) * width + sx];
                }
            out[static_cast<std::size_t>(y) * width + x] = sum / 9;
        }
    return out;
}

// Draws a bevel of the given width inward from box, which shrinks by that width.
void Frame3D(HDC dc, RECT& box, COLORREF topLeft, COLORREF bottomRight, int width)
{
    for (int i = 0; i < width; ++i) {
        UniqueGdi<HBRUSH> light(CreateSolidBrush(topLeft));
        UniqueGdi<HBRUSH> dark(CreateSolidBrush(bottomRight));
        RECT top{box.left, box.top, box.right - 1, box.top + 1};
        RECT left{box.left, box.top, box.left + 1, box.bottom - 1};
        RECT bottom{box.left, box.bottom - 1, box.right, box.bottom};
        RECT right{box.right - 1, box.top, box.right, box.bottom};
        FillRect(dc, &top, light.Get());
        FillRect(dc, &left, light.Get());
        FillRect(dc, &bottom, dark.Get());
        FillRect(dc, &right, dark.Get());
        InflateRect(&box, -1, -1);
    }
}

HCURSOR CursorOf(TPointer pointer)
{
    return LoadCursor(nullptr, pointer == TPointer::ptHand ? IDC_HAND : IDC_ARROW);
}

} // namespace

// A window that draws its graphic controls, bottom first, and routes the pointer to the
// topmost one under it that takes pointer input: moves, enter and leave, clicks and the
// pointer shape.
class TGraphicHost {
public:
    struct Args {
        const char* ClassName = nullptr;
        HINSTANCE Instance = nullptr;
        HWND Parent = nullptr;
        DWORD Style = 0;
        DWORD ExStyle = 0;
        RECT Bounds{};
        const char* Caption = "";
        std::function<void(HDC dc, RECT client)> PaintBackground;
        // Sees every message first; returns true when it handled it.
        std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam)> OnMessage;
    };

    explicit TGraphicHost(const Args& args) : paintBackground_(args.PaintBackground), onMessage_(args.OnMessage)
    {
        RegisterOnce(args.Instance, args.ClassName);
        hwnd_ = CreateWindowExA(args.ExStyle, args.ClassName, args.Caption, args.Style, args.Bounds.left,
                                args.Bounds.top, args.Bounds.right - args.Bounds.left,
                                args.Bounds.bottom - args.Bounds.top, args.Parent, nullptr, args.Instance, this);
        CheckWin32(hwnd_ != nullptr, "CreateWindowEx(About box)");
    }

    ~TGraphicHost()
    {
        if (IsWindow(hwnd_)) {
            SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
            DestroyWindow(hwnd_);
        }
    }
    TGraphicHost(const TGraphicHost&) = delete;
    TGraphicHost& operator=(const TGraphicHost&) = delete;

    HWND Handle() const { return hwnd_; }
    void Add(TGraphicControl* control) { controls_.push_back(control); }

    void Invalidate(const RECT& area) const { InvalidateRect(hwnd_, &area, FALSE); }

    void CursorChanged(const TGraphicControl& control) const
    {
        if (&control == hovered_)
            ::SetCursor(CursorOf(control.Cursor()));
    }

    // The window has gone from under the pointer (hidden): the control under it is left.
    void PointerGone()
    {
        if (tracking_) {
            TRACKMOUSEEVENT cancel{};
            cancel.cbSize = sizeof cancel;
            cancel.dwFlags = TME_LEAVE | TME_CANCEL;
            cancel.hwndTrack = hwnd_;
            TrackMouseEvent(&cancel);
            tracking_ = false;
        }
        if (GetCapture() == hwnd_)
            ReleaseCapture();
        pressed_ = nullptr;
        SetHovered(nullptr);
    }

private:
    static void RegisterOnce(HINSTANCE instance, const char* className)
    {
        WNDCLASSEXA existing{};
        existing.cbSize = sizeof existing;
        if (GetClassInfoExA(instance, className, &existing))
            return;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &TGraphicHost::StaticWindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = className;
        CheckWin32(RegisterClassExA(&wc) != 0, "RegisterClassEx(About box)");
    }

    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE) {
            auto* self = static_cast<TGraphicHost*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<TGraphicHost*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (!self)
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        return self->WindowProc(msg, wParam, lParam);
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (onMessage_ && onMessage_(msg, wParam, lParam))
            return 0;
        switch (msg) {
        case WM_ERASEBKGND:
            return 1; // WM_PAINT covers everything, off screen, without flicker
        case WM_PAINT:
            Paint();
            return 0;
        case WM_MOUSEMOVE:
            PointerMoved(PointOf(lParam), wParam);
            return 0;
        case WM_MOUSELEAVE:
            tracking_ = false;
            SetHovered(nullptr);
            return 0;
        case WM_LBUTTONDOWN:
            pressed_ = ControlAt(PointOf(lParam));
            if (pressed_)
                SetCapture(hwnd_);
            return 0;
        case WM_LBUTTONUP:
            ButtonReleased(PointOf(lParam));
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the pointer between press and release: no click.
            if (reinterpret_cast<HWND>(lParam) != hwnd_)
                pressed_ = nullptr;
            return 0;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
                POINT p;
                GetCursorPos(&p);
                ScreenToClient(hwnd_, &p);
                const TGraphicControl* control = ControlAt(p);
                ::SetCursor(CursorOf(control ? control->Cursor() : TPointer::ptArrow));
                return TRUE;
            }
            break;
        default:
            break;
        }
        return DefWindowProcA(hwnd_, msg, wParam, lParam);
    }

    static POINT PointOf(LPARAM lParam)
    {
        return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    }

    TGraphicControl* ControlAt(POINT p) const
    {
        for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
            if ((*it)->TakesPointer && PtInRect(&(*it)->Bounds(), p))
                return *it;
        return nullptr;
    }

    void PointerMoved(POINT p, WPARAM shift)
    {
        if (!tracking_) {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = hwnd_;
            tracking_ = TrackMouseEvent(&track) != FALSE;
        }
        TGraphicControl* control = ControlAt(p);
        SetHovered(control);
        // The enter reaction may have moved the control away from the pointer.
        if (control && control == hovered_ && control->OnMouseMove)
            RunHandler([&] { control->OnMouseMove(control, shift, p.x - control->Left(), p.y - control->Top()); });
    }

    void SetHovered(TGraphicControl* control)
    {
        if (control == hovered_)
            return;
        TGraphicControl* left = hovered_;
        hovered_ = control;
        if (left && left->OnMouseLeave)
            RunHandler([&] { left->OnMouseLeave(left); });
        if (control && control->OnMouseEnter)
            RunHandler([&] { control->OnMouseEnter(control); });
    }

    void ButtonReleased(POINT p)
    {
        TGraphicControl* pressed = std::exchange(pressed_, nullptr);
        if (GetCapture() == hwnd_)
            ReleaseCapture();
        // A click is a press and a release on the same control.
        if (pressed && pressed == ControlAt(p) && pressed->OnClick)
            RunHandler([&] { pressed->OnClick(pressed); });
    }

    void Paint() const
    {
        PAINTSTRUCT ps;
        HDC screen = BeginPaint(hwnd_, &ps);
        RECT client;
        GetClientRect(hwnd_, &client);
        UniqueGdi<HBITMAP> buffer(CreateCompatibleBitmap(screen, client.right, client.bottom));
        if (buffer.Get()) {
            TMemoryDC dc(screen, buffer.Get());
            if (paintBackground_)
                paintBackground_(dc.Get(), client);
            for (const TGraphicControl* control : controls_)
                control->Paint(dc.Get());
            BitBlt(screen, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                   ps.rcPaint.bottom - ps.rcPaint.top, dc.Get(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        }
        EndPaint(hwnd_, &ps);
    }

    HWND hwnd_ = nullptr;
    std::function<void(HDC, RECT)> paintBackground_;
    std::function<bool(UINT, WPARAM, LPARAM)> onMessage_;
    std::vector<TGraphicControl*> controls_;
    TGraphicControl* hovered_ = nullptr;
    TGraphicControl* pressed_ = nullptr;
    bool tracking_ = false;
};

// ---- graphic controls

TGraphicControl::TGraphicControl(TGraphicHost& host, const std::string& name, RECT bounds)
    : Name(name), host_(host), bounds_(bounds)
{
    host.Add(this);
}

void TGraphicControl::SetPosition(int left, int top)
{
    Invalidate();
    OffsetRect(&bounds_, left - bounds_.left, top - bounds_.top);
    Invalidate();
}

void TGraphicControl::SetCursor(TPointer cursor)
{
    cursor_ = cursor;
    host_.CursorChanged(*this);
}

void TGraphicControl::Invalidate() const
{
    host_.Invalidate(bounds_);
}

TGraphicLabel::TGraphicLabel(TGraphicHost& host, const std::string& name, RECT bounds, std::string caption,
                             HFONT font, COLORREF color, bool wordWrap)
    : TGraphicControl(host, name, bounds), caption_(std::move(caption)), font_(font), color_(color),
      wordWrap_(wordWrap)
{
}

void TGraphicLabel::SetColor(COLORREF color)
{
    if (color == color_)
        return;
    color_ = color;
    Invalidate();
}

void TGraphicLabel::DrawCaption(HDC dc, RECT box, COLORREF color) const
{
    const HGDIOBJ oldFont = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    DrawTextA(dc, caption_.c_str(), static_cast<int>(caption_.size()), &box,
              DT_CENTER | DT_NOPREFIX | (wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, oldFont);
}

void TGraphicLabel::Paint(HDC dc) const
{
    DrawCaption(dc, Bounds(), color_);
}

void TShadowLabel::Paint(HDC dc) const
{
    const int width = Bounds().right - Bounds().left;
    const int height = Bounds().bottom - Bounds().top;

    // The text's shape, moved: white text on black in a scratch picture.
    std::uint32_t* maskPixels = nullptr;
    UniqueGdi<HBITMAP> mask = MakeDib(width, height, maskPixels);
    {
        TMemoryDC maskDC(dc, mask.Get());
        DrawCaption(maskDC.Get(), RECT{ShadowOffset, ShadowOffset, width + ShadowOffset, height + ShadowOffset},
                    RGB(255, 255, 255));
        GdiFlush();
    }
    const std::size_t count = static_cast<std::size_t>(width) * height;
    std::vector<int> coverage(count);
    for (std::size_t i = 0; i < count; ++i)
        coverage[i] = static_cast<int>(std::max({maskPixels[i] & 0xFF, maskPixels[i] >> 8 & 0xFF, maskPixels[i] >> 16 & 0xFF}));
    for (int pass = 0; pass < BlurPasses; ++pass)
        coverage = BoxBlur(coverage, width, height);

    // Black with the blurred coverage as alpha (premultiplied: the colour stays 0).
    std::uint32_t* shadowPixels = nullptr;
    UniqueGdi<HBITMAP> shadow = MakeDib(width, height, shadowPixels);
    for (std::size_t i = 0; i < count; ++i)
        shadowPixels[i] = static_cast<std::uint32_t>(coverage[i]) << 24;
    GdiFlush();
    {
        TMemoryDC shadowDC(dc, shadow.Get());
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(dc, Left(), Top(), width, height, shadowDC.Get(), 0, 0, width, height, blend);
    }
    DrawCaption(dc, Bounds(), Color());
}

TGraphicImage::TGraphicImage(TGraphicHost& host, const std::string& name, RECT bounds, const TPicture& picture,
                             bool stretch)
    : TGraphicControl(host, name, bounds), picture_(picture), stretch_(stretch)
{
}

void TGraphicImage::Paint(HDC dc) const
{
    if (stretch_) {
        DrawPicture(dc, picture_, Bounds());
        return;
    }
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, Bounds().left, Bounds().top, Bounds().right, Bounds().bottom);
    DrawPicture(dc, picture_, Left(), Top());
    RestoreDC(dc, saved);
}

// ---- the About box

void OpenAddressWithShell(HWND owner, const std::string& address)
{
    ShellExecuteA(owner, "Open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

TAboutBox::TAboutBox(HINSTANCE instance, std::function<void(const std::string& address)> openAddress)
    : openAddress_(std::move(openAddress)), logo_(LoadBitmapPicture(instance, IDB_ABOUT_LOGO)),
      frame_(LoadPngPicture(instance, IDP_ABOUT_FRAME)), closePicture_(LoadPngPicture(instance, IDP_ABOUT_CLOSE))
{
    Name = "AboutBox";
    CreateFonts();
    CreateWindows(instance);
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
    windowFont_ = MakeFont(11, FW_NORMAL, "MS Sans Serif");
    titleFont_ = MakeFont(19, FW_BOLD, "MS Sans Serif");
    taglineFont_ = MakeFont(9, FW_NORMAL, "Tahoma");
}

void TAboutBox::CreateWindows(HINSTANCE instance)
{
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT frame{0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    OffsetRect(&frame, -frame.left, -frame.top);

    const auto fillFace = [](HDC dc, RECT client) { FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE)); };
    TGraphicHost::Args box;
    box.ClassName = kBoxClass;
    box.Instance = instance;
    box.Style = style;
    box.ExStyle = exStyle;
    box.Bounds = frame;
    box.Caption = kCaption;
    box.PaintBackground = fillFace;
    box.OnMessage = [this](UINT msg, WPARAM, LPARAM) {
        // The title bar's Close button hides the box; it is shown again later, never rebuilt.
        if (msg != WM_CLOSE)
            return false;
        Close();
        return true;
    };
    box_ = std::make_unique<TGraphicHost>(box);

    TGraphicHost::Args panel;
    panel.ClassName = kPanelClass;
    panel.Instance = instance;
    panel.Parent = box_->Handle();
    panel.Style = WS_CHILD | WS_VISIBLE;
    panel.Bounds = kPanelBounds;
    panel.PaintBackground = [fillFace](HDC dc, RECT client) {
        fillFace(dc, client);
        const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
        Frame3D(dc, client, dark, light, kBevelWidth); // outer bevel, lowered
        Frame3D(dc, client, light, dark, kBevelWidth); // inner bevel, raised
    };
    panel_ = std::make_unique<TGraphicHost>(panel);
}

void TAboutBox::CreateControls()
{
    using namespace std::placeholders;
    TGraphicHost& panel = *panel_;
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);

    Credits = std::make_unique<TGraphicLabel>(panel, "Credits", Bounds(3, 34, 273, 13), kCredits, windowFont_.Get(), text);

    Comments = std::make_unique<TGraphicLabel>(panel, "Comments", Bounds(3, 69, 273, 13), WithoutScheme(Address),
                                               windowFont_.Get(), text, true);
    Comments->Hint = Address;
    Comments->OnMouseMove = std::bind(&TAboutBox::CommentsMouseMove, this, _1, _2, _3, _4);
    Comments->OnMouseLeave = std::bind(&TAboutBox::CommentsMouseLeave, this, _1);
    Comments->OnClick = std::bind(&TAboutBox::CommentsClick, this, _1);

    Image1 = std::make_unique<TGraphicImage>(panel, "Image1", Bounds(71, 95, 145, 105), logo_, false);
    Image1->Hint = Address;
    Image1->OnMouseMove = std::bind(&TAboutBox::Image1MouseMove, this, _1, _2, _3, _4);
    Image1->OnMouseLeave = std::bind(&TAboutBox::Image1MouseLeave, this, _1);
    Image1->OnClick = std::bind(&TAboutBox::Image1Click, this, _1);

    sLabelFX1 = std::make_unique<TShadowLabel>(panel, "sLabelFX1", Bounds(3, 5, 273, 32), kCaption, titleFont_.Get(),
                                               RGB(255, 255, 255));
    sLabel1 = std::make_unique<TGraphicLabel>(panel, "sLabel1", Bounds(3, 53, 273, 13), kTagline,
                                              taglineFont_.Get(), RGB(177, 177, 177));

    // The frame lies over the logo as decoration: the pointer reaches the logo through it.
    image4 = std::make_unique<TGraphicImage>(panel, "image4", Bounds(59, 83, 168, 128), frame_, true);
    image4->TakesPointer = false;

    image3 = std::make_unique<TGraphicImage>(*box_, "image3",
                                             Bounds(Image3Home.x, Image3Home.y, 48, 48), closePicture_, false);
    image3->OnMouseEnter = std::bind(&TAboutBox::image3MouseEnter, this, _1);
    image3->OnMouseLeave = std::bind(&TAboutBox::image3MouseLeave, this, _1);
    image3->OnClick = std::bind(&TAboutBox::image3Click, this, _1);
}

void TAboutBox::CenterOnScreen()
{
    RECT window;
    GetWindowRect(Handle(), &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TAboutBox::ShowModal(HWND owner)
{
    if (showing_)
        return;
    owner_ = owner;
    SetWindowLongPtrA(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    CenterOnScreen();
    showing_ = true;
    if (owner_)
        EnableWindow(owner_, FALSE);
    ShowWindow(Handle(), SW_SHOWNORMAL);
    UpdateWindow(Handle());
    SetActiveWindow(Handle());

    MSG msg;
    while (showing_) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            Close();
            // The quit request belongs to the program's own loop.
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
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
