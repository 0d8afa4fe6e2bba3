#include "toolkit/FormsWin32.h"

namespace {

const char* const kFormClass = "TForm";
const char* const kApplicationClass = "TApplication";

HINSTANCE ModuleInstance()
{
    return GetModuleHandleA(nullptr);
}

}  // namespace

// ---- TForm

void TForm::RegisterClass(HINSTANCE instance)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &TForm::StaticWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kFormClass;
    RegisterClassExA(&wc);

    WNDCLASSEXA app{};
    app.cbSize = sizeof app;
    app.lpfnWndProc = DefWindowProcA;
    app.hInstance = instance;
    app.lpszClassName = kApplicationClass;
    RegisterClassExA(&app);
}

TForm::TForm(const Args& args) : font_(args.Font)
{
    RECT frame{0, 0, args.ClientWidth, args.ClientHeight};
    AdjustWindowRectEx(&frame, args.Style, FALSE, args.ExStyle | WS_EX_CONTROLPARENT);
    hwnd_ = CreateWindowExA(args.ExStyle | WS_EX_CONTROLPARENT, kFormClass, args.Caption.c_str(),
                            args.Style | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                            frame.bottom - frame.top, args.Owner, nullptr, ModuleInstance(), this);
    CheckWin32(hwnd_ != nullptr, "CreateWindowEx(form)");
}

TForm::~TForm()
{
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void TForm::CenterOnDesktop()
{
    RECT window;
    GetWindowRect(hwnd_, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Show()
{
    CenterOnDesktop();
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    RunHandler([&] {
        if (OnShow)
            OnShow(this);
    });
    if (initialFocus_)
        initialFocus_->SetFocus();
}

void TForm::Close()
{
    PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK TForm::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<TForm*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    return self->WindowProc(msg, wParam, lParam);
}

LRESULT TForm::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (ReflectToControl(msg, wParam, lParam, result))
        return result;
    switch (msg) {
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_COMMAND:
        // Enter and Esc reach the form as IDOK and IDCANCEL; no button is default or cancel.
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus))
                lastFocus_ = focus;
        } else if (lastFocus_ && IsWindow(lastFocus_)) {
            ::SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_CLOSE:
        DestroyWindow(hwnd_);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

// ---- TApplication

TApplication::TApplication(IDialogs& dialogs) : dialogs_(dialogs)
{
    // Hidden and untitled: the main window, not this one, owns the task-bar button.
    hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, kApplicationClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            ModuleInstance(), nullptr);
    SetHandlerExceptionSink([this](std::exception_ptr error) { ShowException(error); });
}

TApplication::~TApplication()
{
    SetHandlerExceptionSink(nullptr);
    if (hwnd_ && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
}

std::string ExceptionMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

void TApplication::ShowException(std::exception_ptr error)
{
    dialogs_.ShowMessageBox(Title, ApplicationErrorText(ExceptionMessage(error)), TMsgDlgType::mtError, false);
}

bool TApplication::HandleMessage(const MSG& msg)
{
    if (msg.message == WM_QUIT)
        return false;
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && IsDialogMessageA(root, const_cast<MSG*>(&msg)))
        return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TApplication::ProcessMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!HandleMessage(msg)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
    }
}

void TApplication::Run(TForm& mainForm)
{
    mainForm.Show();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        HandleMessage(msg);
}
