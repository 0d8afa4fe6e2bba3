#include "toolkit/GraphicControlsWin32.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "toolkit/BoundsWin32.h"
#include "toolkit/HandlesWin32.h"

namespace {

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

HCURSOR CursorOf(TPointer pointer)
{
    return LoadCursor(nullptr, pointer == TPointer::ptHand ? IDC_HAND : IDC_ARROW);
}

} // namespace

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

// ---- the host

TGraphicHost::TGraphicHost(const Args& args)
    : dpi_(args.Dpi), paintBackground_(args.PaintBackground), onMessage_(args.OnMessage)
{
    TWindowClass windowClass;
    windowClass.Name = args.ClassName;
    CreateBoundWindow(this, windowClass, args);
}

TGraphicHost::~TGraphicHost()
{
    DestroyBoundWindow(hwnd_);
}

void TGraphicHost::SetDpi(int dpi)
{
    dpi_ = dpi;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void TGraphicHost::CursorChanged(const TGraphicControl& control) const
{
    if (&control == hovered_)
        ::SetCursor(CursorOf(control.Cursor()));
}

void TGraphicHost::PointerGone()
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

LRESULT TGraphicHost::HandleWindowMessage(HWND /*hwnd*/, UINT msg, WPARAM wParam, LPARAM lParam)
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

POINT TGraphicHost::PointOf(LPARAM lParam)
{
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

TGraphicControl* TGraphicHost::ControlAt(POINT p) const
{
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        const RECT bounds = (*it)->Bounds();
        if ((*it)->TakesPointer && PtInRect(&bounds, p))
            return *it;
    }
    return nullptr;
}

void TGraphicHost::PointerMoved(POINT p, WPARAM shift)
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
        RunHandler([&] {
            const RECT bounds = control->Bounds();
            control->OnMouseMove(control, shift, p.x - bounds.left, p.y - bounds.top);
        });
}

void TGraphicHost::SetHovered(TGraphicControl* control)
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

void TGraphicHost::ButtonReleased(POINT p)
{
    TGraphicControl* pressed = std::exchange(pressed_, nullptr);
    if (GetCapture() == hwnd_)
        ReleaseCapture();
    // A click is a press and a release on the same control.
    if (pressed && pressed == ControlAt(p) && pressed->OnClick)
        RunHandler([&] { pressed->OnClick(pressed); });
}

void TGraphicHost::Paint() const
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
// ---- graphic controls

TGraphicControl::TGraphicControl(TGraphicHost& host, const std::string& name, const TBounds& layout)
    : Name(name), host_(host), layout_(layout)
{
    host.Add(this);
}

RECT TGraphicControl::Bounds() const
{
    return ToRect(ScaleToDpi(layout_, host_.Dpi()));
}

int TGraphicControl::Scaled(int layoutPixels) const
{
    return ScaleToDpi(layoutPixels, host_.Dpi());
}

void TGraphicControl::SetPosition(int left, int top)
{
    Invalidate();
    layout_.Left = left;
    layout_.Top = top;
    Invalidate();
}

void TGraphicControl::SetCursor(TPointer cursor)
{
    cursor_ = cursor;
    host_.CursorChanged(*this);
}

void TGraphicControl::Invalidate() const
{
    host_.Invalidate(Bounds());
}

TGraphicLabel::TGraphicLabel(TGraphicHost& host, const std::string& name, const TBounds& layout,
                             std::string caption, HFONT font, COLORREF color, bool wordWrap)
    : TGraphicControl(host, name, layout), caption_(std::move(caption)), font_(font), color_(color),
      wordWrap_(wordWrap)
{
}

void TGraphicLabel::SetFont(HFONT font)
{
    font_ = font;
    Invalidate();
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
    const RECT bounds = Bounds();
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    const int offset = Scaled(ShadowOffset);

    // The text's shape, moved: white text on black in a scratch picture.
    std::uint32_t* maskPixels = nullptr;
    UniqueGdi<HBITMAP> mask = MakeDib(width, height, maskPixels);
    {
        TMemoryDC maskDC(dc, mask.Get());
        DrawCaption(maskDC.Get(), RECT{offset, offset, width + offset, height + offset}, RGB(255, 255, 255));
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
        AlphaBlend(dc, bounds.left, bounds.top, width, height, shadowDC.Get(), 0, 0, width, height, blend);
    }
    DrawCaption(dc, bounds, Color());
}

TGraphicImage::TGraphicImage(TGraphicHost& host, const std::string& name, const TBounds& layout,
                             const TPicture& picture, bool stretch)
    : TGraphicControl(host, name, layout), picture_(picture), stretch_(stretch)
{
}

void TGraphicImage::Paint(HDC dc) const
{
    const RECT bounds = Bounds();
    if (stretch_) {
        DrawPicture(dc, picture_, bounds);
        return;
    }
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    DrawPicture(dc, picture_, bounds.left, bounds.top);
    RestoreDC(dc, saved);
}

