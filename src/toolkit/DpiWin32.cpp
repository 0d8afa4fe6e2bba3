#include "toolkit/DpiWin32.h"

#include "toolkit/BoundsWin32.h"
#include "toolkit/DpiScale.h"

namespace {

// A function of user32 that older systems lack; nullptr there.
template <typename Function>
Function UserFunction(const char* name)
{
    const FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), name);
    // Through the generic function type, which the compiler accepts as a cast between any two.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

int SystemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

int WindowDpi(HWND hwnd)
{
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = UserFunction<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow && hwnd) {
        if (const UINT dpi = getDpiForWindow(hwnd))
            return static_cast<int>(dpi);
    }
    return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi)
{
    using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
    static const auto getSystemMetricsForDpi = UserFunction<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (getSystemMetricsForDpi)
        return getSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

SIZE WindowSizeForClient(HWND window, int clientWidth, int clientHeight)
{
    const TBounds outer = ScreenBounds(window);
    const TBounds client = ClientBounds(window);
    return SIZE{clientWidth + outer.Width - client.Width, clientHeight + outer.Height - client.Height};
}

void MoveForNewScale(HWND window, const TBounds& client, const TBounds* suggested)
{
    if (suggested) {
        PlaceWindow(window, *suggested);
        return;
    }
    const TBounds now = ScreenBounds(window);
    const SIZE size = WindowSizeForClient(window, client.Width, client.Height);
    const POINT centre{(now.Left + now.Right()) / 2, (now.Top + now.Bottom()) / 2};
    PlaceWindow(window, TBounds{centre.x - size.cx / 2, centre.y - size.cy / 2, size.cx, size.cy});
}

SIZE FrameSizeForClient(const TBounds& client, DWORD style, DWORD exStyle, int dpi)
{
    RECT frame = ToRect(ScaleToDpi(client, dpi));
    using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = UserFunction<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const TBounds framed = ToBounds(frame);
    return SIZE{framed.Width, framed.Height};
}
