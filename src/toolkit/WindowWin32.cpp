#include "toolkit/WindowWin32.h"

#include <commctrl.h>

#include <set>
#include <string>
#include <utility>

#include "toolkit/HandlesWin32.h"
#include "toolkit/ErrorsWin32.h"

namespace {

// The one place that reads or writes the binding between a window and its object.
IWindowProcedure* ReadBinding(HWND hwnd)
{
    return reinterpret_cast<IWindowProcedure*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

void WriteBinding(HWND hwnd, IWindowProcedure* procedure)
{
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(procedure));
}

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

// Hands a parent's notification back to the object of the child it came from.
bool ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND child = NotifyingChild(msg, lParam);
    IWindowProcedure* procedure = child ? BoundProcedure(child) : nullptr;
    return procedure && procedure->Reflected(msg, wParam, lParam, result);
}

LRESULT CALLBACK BoundWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* procedure = static_cast<IWindowProcedure*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        WriteBinding(hwnd, procedure);
        if (procedure)
            procedure->Bound(hwnd);
    }
    IWindowProcedure* procedure = ReadBinding(hwnd);
    if (!procedure)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (ReflectToChild(msg, wParam, lParam, result))
        return result;
    if (msg == WM_NCDESTROY)
        WriteBinding(hwnd, nullptr);
    return procedure->HandleWindowMessage(hwnd, msg, wParam, lParam);
}

constexpr UINT_PTR kSubclassId = 1;

// A platform control's messages, while it is bound, go to its object.
LRESULT CALLBACK BoundControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                  DWORD_PTR /*data*/)
{
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &BoundControlProc, kSubclassId);
        WriteBinding(hwnd, nullptr);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    IWindowProcedure* procedure = ReadBinding(hwnd);
    if (!procedure)
        return DefSubclassProc(hwnd, msg, wParam, lParam);
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
    return CreateAt(place, windowClass.Name, place.Caption, procedure);
}

HWND CreateBoundControl(IWindowProcedure* procedure, const char* platformClass, const std::string& text,
                        const TWindowPlace& place, bool subclass)
{
    HWND hwnd = CreateAt(place, platformClass, text.c_str(), nullptr);
    WriteBinding(hwnd, procedure);
    if (subclass)
        SetWindowSubclass(hwnd, &BoundControlProc, kSubclassId, 0);
    procedure->Bound(hwnd);
    return hwnd;
}

IWindowProcedure* BoundProcedure(HWND hwnd)
{
    return hwnd ? ReadBinding(hwnd) : nullptr;
}

void RescaleChildWindows(HWND parent, int dpi)
{
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM scale) {
            if (IWindowProcedure* procedure = BoundProcedure(child))
                RunHandler([&] { procedure->Rescale(static_cast<int>(scale)); });
            return TRUE;
        },
        dpi);
}

void UnbindWindow(HWND hwnd)
{
    if (hwnd && IsWindow(hwnd))
        WriteBinding(hwnd, nullptr);
}

void DestroyBoundWindow(HWND hwnd)
{
    if (hwnd && IsWindow(hwnd)) {
        UnbindWindow(hwnd);
        DestroyWindow(hwnd);
    }
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

// The window property under which a top-level window keeps its shortcut table.
const char* const kShortcutsProperty = "VantrelShortcuts";

void SetWindowShortcuts(HWND window, HACCEL shortcuts)
{
    if (shortcuts)
        SetPropA(window, kShortcutsProperty, shortcuts);
    else
        RemovePropA(window, kShortcutsProperty);
}

void DispatchQueuedMessage(MSG& msg)
{
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    const auto shortcuts = root ? static_cast<HACCEL>(GetPropA(root, kShortcutsProperty)) : nullptr;
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
