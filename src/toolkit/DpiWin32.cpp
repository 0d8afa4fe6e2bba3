#include "toolkit/DpiWin32.h"

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
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    return SIZE{clientWidth + (outer.right - outer.left) - client.right,
                clientHeight + (outer.bottom - outer.top) - client.bottom};
}

void MoveForNewScale(HWND window, int clientWidth, int clientHeight, const RECT* suggested)
{
    RECT place;
    if (suggested) {
        place = *suggested;
    } else {
        GetWindowRect(window, &place);
        const SIZE size = WindowSizeForClient(window, clientWidth, clientHeight);
        const POINT centre{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
        place = RECT{centre.x - size.cx / 2, centre.y - size.cy / 2, centre.x - size.cx / 2 + size.cx,
                     centre.y - size.cy / 2 + size.cy};
    }
    SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi)
{
    using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = UserFunction<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    if (adjustForDpi && adjustForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        return;
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

namespace {
const char* const kLayoutDpiProperty = "Vantrel.LayoutDpi";
}

int LayoutDpi(HWND window)
{
    HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
    if (root) {
        if (const HANDLE recorded = GetPropA(root, kLayoutDpiProperty))
            return static_cast<int>(reinterpret_cast<INT_PTR>(recorded));
    }
    return WindowDpi(window);
}

void SetLayoutDpi(HWND topLevel, int dpi)
{
    SetPropA(topLevel, kLayoutDpiProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(dpi)));
}

void ForgetLayoutDpi(HWND topLevel)
{
    RemovePropA(topLevel, kLayoutDpiProperty);
}
