#include "toolkit/WindowWin32.h"

#include <set>
#include <string>

#include "toolkit/ControlsWin32.h"
#include "toolkit/HandlesWin32.h"

namespace {

LRESULT CALLBACK BoundWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* procedure = static_cast<IWindowProcedure*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(procedure));
        if (procedure)
            procedure->Bound(hwnd);
    }
    auto* procedure = reinterpret_cast<IWindowProcedure*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!procedure)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (ReflectToControl(msg, wParam, lParam, result))
        return result;
    if (msg == WM_NCDESTROY)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    return procedure->HandleWindowMessage(hwnd, msg, wParam, lParam);
}

// The only place that registers a window class, once per class for the life of the program.
void RegisterOnce(const TWindowClass& windowClass)
{
    static std::set<std::string> registered;
    if (!registered.insert(windowClass.Name).second)
        return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = windowClass.Style;
    wc.lpfnWndProc = &BoundWindowProc;
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

} // namespace

HINSTANCE ModuleInstance()
{
    return GetModuleHandleA(nullptr);
}

COLORREF ColorOrSystem(COLORREF color, int systemIndex)
{
    return color == CLR_INVALID ? GetSysColor(systemIndex) : color;
}

void CenterOnScreen(HWND window)
{
    RECT bounds;
    GetWindowRect(window, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CreateBoundWindow(IWindowProcedure* procedure, const TWindowClass& windowClass, const TWindowPlace& place)
{
    RegisterOnce(windowClass);
    HWND hwnd = CreateWindowExA(place.ExStyle, windowClass.Name, place.Caption, place.Style, place.Left, place.Top,
                                place.Width, place.Height, place.Parent, nullptr, ModuleInstance(), procedure);
    CheckWin32(hwnd != nullptr, windowClass.Name);
    return hwnd;
}

void UnbindWindow(HWND hwnd)
{
    if (hwnd && IsWindow(hwnd))
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
}

void DestroyBoundWindow(HWND hwnd)
{
    if (hwnd && IsWindow(hwnd)) {
        UnbindWindow(hwnd);
        DestroyWindow(hwnd);
    }
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
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}
