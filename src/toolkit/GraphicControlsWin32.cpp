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

// ---- the surface and its host

TGraphicSurface::TGraphicSurface(const TWindow& window, std::function<void(HDC dc, RECT client)> paintBackground)
    : window_(window), paintBackground_(std::move(paintBackground))
{
}

void TGraphicSurface::Invalidate(const TBounds& area) const
{
    const RECT rect = ToRect(area);
    InvalidateRect(Window(), &rect, FALSE);
}

void TGraphicSurface::CursorChanged(const TGraphicControl& control) const
{
    if (&control == hovered_)
        ::SetCursor(CursorOf(control.Cursor()));
}

void TGraphicSurface::PointerGone()
{
    if (tracking_) {
        TRACKMOUSEEVENT cancel{};
        cancel.cbSize = sizeof cancel;
        cancel.dwFlags = TME_LEAVE | TME_CANCEL;
        cancel.hwndTrack = Window();
        TrackMouseEvent(&cancel);
        tracking_ = false;
    }
    if (GetCapture() == Window())
        ReleaseCapture();
    pressed_ = nullptr;
    SetHovered(nullptr);
}

bool TGraphicSurface::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_ERASEBKGND:
        result = 1; // WM_PAINT covers everything, off screen, without flicker
        return true;
    case WM_PAINT:
        Paint();
        return true;
    case WM_MOUSEMOVE:
        PointerMoved(PointOf(lParam), wParam);
        return true;
    case WM_MOUSELEAVE:
        tracking_ = false;
        SetHovered(nullptr);
        return true;
    case WM_LBUTTONDOWN:
        pressed_ = ControlAt(PointOf(lParam));
        if (pressed_)
            SetCapture(Window());
        return true;
    case WM_LBUTTONUP:
        ButtonReleased(PointOf(lParam));
        return true;
    case WM_CAPTURECHANGED:
        // Another window took the pointer between press and release: no click.
        if (reinterpret_cast<HWND>(lParam) != Window())
            pressed_ = nullptr;
        return true;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Window() && LOWORD(lParam) == HTCLIENT) {
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(Window(), &p);
            const TGraphicControl* control = ControlAt(p);
            ::SetCursor(CursorOf(control ? control->Cursor() : TPointer::ptArrow));
            result = TRUE;
            return true;
        }
        return false;
    default:
        return false;
    }
}

TGraphicHost::TGraphicHost(const Args& args) : TGraphicSurface(*this, args.PaintBackground)
{
    SetLayoutDpi(args.Dpi);
    TWindowClass windowClass;
    windowClass.Name = args.ClassName;
    MakeWindow(windowClass, args);
}

void TGraphicHost::SetDpi(int dpi)
{
    SetLayoutDpi(dpi);
    InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT TGraphicHost::HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandleMessage(msg, wParam, lParam, result))
        return result;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

POINT TGraphicSurface::PointOf(LPARAM lParam)
{
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

TGraphicControl* TGraphicSurface::ControlAt(POINT p) const
{
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        const RECT bounds = ToRect((*it)->Bounds());
        if ((*it)->TakesPointer && PtInRect(&bounds, p))
            return *it;
    }
    return nullptr;
}

void TGraphicSurface::PointerMoved(POINT p, WPARAM shift)
{
    if (!tracking_) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = Window();
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    TGraphicControl* control = ControlAt(p);
    SetHovered(control);
    // The enter reaction may have moved the control away from the pointer.
    if (control && control == hovered_ && control->OnMouseMove)
        RunHandler([&] {
            const TBounds bounds = control->Bounds();
            control->OnMouseMove(control, shift, p.x - bounds.Left, p.y - bounds.Top);
        });
}

void TGraphicSurface::SetHovered(TGraphicControl* control)
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

void TGraphicSurface::ButtonReleased(POINT p)
{
    TGraphicControl* pressed = std::exchange(pressed_, nullptr);
    if (GetCapture() == Window())
        ReleaseCapture();
    // A click is a press and a release on the same control.
    if (pressed && pressed == ControlAt(p) && pressed->OnClick)
        RunHandler([&] { pressed->OnClick(pressed); });
}

void TGraphicSurface::Paint() const
{
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(Window(), &ps);
    RECT client;
    GetClientRect(Window(), &client);
    UniqueGdi<HBITMAP> buffer(CreateCompatibleBitmap(screen, client.right, client.bottom));
    if (buffer.Get()) {
        TMemoryDC dc(screen, buffer.Get());
        if (paintBackground_)
            paintBackground_(dc.Get(), client);
        for (const TGraphicControl* control : controls_)
            control->Paint(dc.Get());
        const TBounds dirty = ToBounds(ps.rcPaint);
        BitBlt(screen, dirty.Left, dirty.Top, dirty.Width, dirty.Height, dc.Get(), dirty.Left, dirty.Top, SRCCOPY);
    }
    EndPaint(Window(), &ps);
}
// ---- graphic controls

TGraphicControl::TGraphicControl(TGraphicSurface& host, const std::string& name, const TBounds& layout)
    : Name(name), host_(host), layout_(layout)
{
    host.Add(this);
}

TBounds TGraphicControl::Bounds() const
{
    return host_.Scaled(layout_);
}

int TGraphicControl::Scaled(int layoutPixels) const
{
    return host_.Scaled(layoutPixels);
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

TGraphicLabel::TGraphicLabel(TGraphicSurface& host, const std::string& name, const TBounds& layout,
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
    DrawCaption(dc, ToRect(Bounds()), color_);
}

void TShadowLabel::Paint(HDC dc) const
{
    const TBounds bounds = Bounds();
    const int width = bounds.Width;
    const int height = bounds.Height;
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
        AlphaBlend(dc, bounds.Left, bounds.Top, width, height, shadowDC.Get(), 0, 0, width, height, blend);
    }
    DrawCaption(dc, ToRect(bounds), Color());
}

TGraphicImage::TGraphicImage(TGraphicSurface& host, const std::string& name, const TBounds& layout,
                             const TPicture& picture, bool stretch)
    : TGraphicControl(host, name, layout), picture_(picture), stretch_(stretch)
{
}

void TGraphicImage::Paint(HDC dc) const
{
    const TBounds bounds = Bounds();
    if (stretch_) {
        DrawPicture(dc, picture_, bounds);
        return;
    }
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, bounds.Left, bounds.Top, bounds.Right(), bounds.Bottom());
    DrawPicture(dc, picture_, bounds.Left, bounds.Top);
    RestoreDC(dc, saved);
}

