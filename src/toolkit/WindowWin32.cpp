#include "toolkit/WindowWin32.h"

#include <commctrl.h>

#include <algorithm>

#include <set>
#include <string>
#include <utility>

#include "toolkit/BoundsWin32.h"
#include "toolkit/DpiWin32.h"
#include "toolkit/ErrorsWin32.h"

namespace {

constexpr UINT_PTR kSubclassId = 1;

}  // namespace

// The one place that reads or writes the binding between a window and its object, and the
// window procedure and subclass hook that hand messages to the object.
struct TWindowCore {
    static TWindow* Read(HWND hwnd)
    {
        return hwnd ? reinterpret_cast<TWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)) : nullptr;
    }

    static void Bind(HWND hwnd, TWindow* window)
    {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        if (window) {
            window->hwnd_ = hwnd;
            window->Bound();
        }
    }

    static void Unbind(HWND hwnd) { SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0); }

    // The object of a top-level window of our own classes; none for another program's window
    // (a common dialog, a message box), whose user data is not ours to read.
    static TWindow* TopLevel(HWND window)
    {
        HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
        if (!root || GetWindowLongPtrA(root, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&WindowProc))
            return nullptr;
        return Read(root);
    }

    static bool Reflect(TWindow* child, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
    {
        return child && child->Reflected(msg, wParam, lParam, result);
    }

    static void Rescale(TWindow& window, int dpi) { window.Rescale(dpi); }
    static HACCEL Shortcuts(const TWindow& window) { return window.Shortcuts(); }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR data);
};

namespace {

std::function<void(std::exception_ptr)>& ExceptionSink()
{
    static std::function<void(std::exception_ptr)> sink;
    return sink;
}

// The child a parent's notification comes from, for the messages that are reflected.
HWND NotifyingChild(UINT msg, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<HWND>(lParam);
    case WM_DRAWITEM:
        return reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    default:
        return nullptr;
    }
}

}  // namespace

LRESULT CALLBACK TWindowCore::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE)
        Bind(hwnd, static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    TWindow* window = Read(hwnd);
    if (!window)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (Reflect(Read(NotifyingChild(msg, lParam)), msg, wParam, lParam, result))
        return result;
    if (msg == WM_NCDESTROY)
        Unbind(hwnd);
    return window->HandleWindowMessage(hwnd, msg, wParam, lParam);
}

// A platform control's messages, while it is bound, go to its object.
LRESULT CALLBACK TWindowCore::ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                          DWORD_PTR /*data*/)
{
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &ControlProc, kSubclassId);
        Unbind(hwnd);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    TWindow* window = Read(hwnd);
    if (!window)
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    return window->HandleWindowMessage(hwnd, msg, wParam, lParam);
}

namespace {

// The only place that registers a window class, once per class for the life of the program.
void RegisterOnce(const TWindowClass& windowClass)
{
    static std::set<std::string> registered;
    if (!registered.insert(windowClass.Name).second)
        return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = windowClass.Style;
    wc.lpfnWndProc = &TWindowCore::WindowProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = windowClass.Icon;
    wc.hbrBackground = windowClass.Background;
    wc.lpszClassName = windowClass.Name;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        registered.erase(windowClass.Name);
        CheckWin32(false, "RegisterClassEx");
    }
}

// Makes a window of the class at the place; createParam reaches WM_NCCREATE.
HWND CreateAt(const TWindowPlace& place, const char* className, const char* text, void* createParam)
{
    const TBounds& at = place.Bounds;
    HWND hwnd = CreateWindowExA(place.ExStyle, className, text, place.Style, at.Left, at.Top, at.Width, at.Height,
                                place.Parent, nullptr, ModuleInstance(), createParam);
    CheckWin32(hwnd != nullptr, className);
    return hwnd;
}

} // namespace

HINSTANCE ModuleInstance()
{
    return GetModuleHandleA(nullptr);
}

COLORREF ColorOrSystem(COLORREF color, int systemIndex)
{
    return color == CLR_INVALID ? GetSysColor(systemIndex) : color;
}

namespace {

// Centred on area, then moved inside limits as far as it fits.
void CenterOn(HWND window, const TBounds& area, const TBounds& limits)
{
    const TBounds own = ScreenBounds(window);
    const int left = std::clamp(TBounds::Centred(area.Left, area.Width, own.Width), limits.Left,
                                std::max(limits.Left, limits.Right() - own.Width));
    const int top = std::clamp(TBounds::Centred(area.Top, area.Height, own.Height), limits.Top,
                               std::max(limits.Top, limits.Bottom() - own.Height));
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void CenterOnScreen(HWND window)
{
    const TBounds screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    CenterOn(window, screen, screen);
}

void CenterOnWindow(HWND window, HWND other)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(other, MONITOR_DEFAULTTONEAREST), &monitor);
    CenterOn(window, ScreenBounds(other), ToBounds(monitor.rcWork));
}

TWindow::~TWindow()
{
    DestroyOwnWindow();
}

void TWindow::MakeWindow(const TWindowClass& windowClass, const TWindowPlace& place)
{
    RegisterOnce(windowClass);
    CreateAt(place, windowClass.Name, place.Caption, this);
}

void TWindow::MakePlatformWindow(const char* platformClass, const std::string& text, const TWindowPlace& place,
                                 bool subclass)
{
    HWND hwnd = CreateAt(place, platformClass, text.c_str(), nullptr);
    if (subclass)
        SetWindowSubclass(hwnd, &TWindowCore::ControlProc, kSubclassId, 0);
    TWindowCore::Bind(hwnd, this);
}

void TWindow::DestroyOwnWindow()
{
    HWND hwnd = std::exchange(hwnd_, nullptr);
    if (hwnd && IsWindow(hwnd)) {
        TWindowCore::Unbind(hwnd);
        DestroyWindow(hwnd);
    }
}

TBounds TWindow::Bounds() const
{
    return BoundsInParent(hwnd_);
}

void TWindow::SetBounds(const TBounds& bounds)
{
    PlaceWindow(hwnd_, bounds);
}

int LayoutDpi(HWND window)
{
    if (const TWindow* topLevel = TWindowCore::TopLevel(window))
        return topLevel->Dpi();
    return WindowDpi(window);
}

void RescaleChildWindows(HWND parent, int dpi)
{
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM scale) {
            if (TWindow* window = TWindowCore::Read(child))
                RunHandler([&] { TWindowCore::Rescale(*window, static_cast<int>(scale)); });
            return TRUE;
        },
        dpi);
}

void SetHandlerExceptionSink(std::function<void(std::exception_ptr)> sink)
{
    ExceptionSink() = std::move(sink);
}

void RunHandler(const std::function<void()>& handler)
{
    if (!handler)
        return;
    try {
        handler();
    } catch (...) {
        if (ExceptionSink())
            ExceptionSink()(std::current_exception());
    }
}

void DispatchQueuedMessage(MSG& msg)
{
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    const TWindow* topLevel = TWindowCore::TopLevel(root);
    const HACCEL shortcuts = topLevel ? TWindowCore::Shortcuts(*topLevel) : nullptr;
    if (shortcuts && TranslateAcceleratorA(root, shortcuts, &msg))
        return;
    if (root && IsDialogMessageA(root, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool RunModalLoop(const std::function<bool()>& showing)
{
    MSG msg;
    while (showing()) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        DispatchQueuedMessage(msg);
    }
    return true;
}
