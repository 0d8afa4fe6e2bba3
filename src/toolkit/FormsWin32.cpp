#include "toolkit/FormsWin32.h"

#include "toolkit/DpiWin32.h"

namespace {

TWindowClass FormClass()
{
    TWindowClass windowClass;
    windowClass.Name = "TForm";
    windowClass.Background = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.Icon = LoadIcon(nullptr, IDI_APPLICATION);
    return windowClass;
}

}  // namespace

// ---- TForm

TForm::TForm(const Args& args) : iconId_(args.Icon), font_(args.Font)
{
    RECT frame{0, 0, args.ClientWidth, args.ClientHeight};
    AdjustWindowRectEx(&frame, args.Style, FALSE, args.ExStyle | WS_EX_CONTROLPARENT);
    TWindowPlace place;
    place.ExStyle = args.ExStyle | WS_EX_CONTROLPARENT;
    place.Caption = args.Caption.c_str();
    place.Style = args.Style | WS_CLIPCHILDREN;
    place.Left = CW_USEDEFAULT;
    place.Top = CW_USEDEFAULT;
    place.Width = frame.right - frame.left;
    place.Height = frame.bottom - frame.top;
    place.Parent = args.Owner;
    CreateBoundWindow(this, FormClass(), place);
    LoadIcons(WindowDpi(hwnd_));
}

void TForm::LoadIcons(int dpi)
{
    if (!iconId_)
        return;
    const auto load = [this](int size) {
        // Not shared: the system picks the nearest size in the file for each size asked.
        return UniqueIcon(static_cast<HICON>(
            LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(iconId_), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    };
    UniqueIcon large = load(SystemMetricForDpi(SM_CXICON, dpi));
    UniqueIcon little = load(SystemMetricForDpi(SM_CXSMICON, dpi));
    // A program without the icon in its resources keeps the system's.
    if (!large || !little)
        return;
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large.get()));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(little.get()));
    bigIcon_ = std::move(large);
    smallIcon_ = std::move(little);
}

TForm::~TForm()
{
    DestroyBoundWindow(hwnd_);
}

void TForm::Show()
{
    CenterOnScreen(hwnd_);
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

LRESULT TForm::HandleWindowMessage(HWND /*hwnd*/, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return WindowProc(msg, wParam, lParam);
}

LRESULT TForm::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
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
    TWindowClass windowClass;
    windowClass.Name = "TApplication";
    TWindowPlace place;
    place.ExStyle = WS_EX_TOOLWINDOW;
    place.Style = WS_POPUP;
    hwnd_ = CreateBoundWindow(nullptr, windowClass, place);
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
    MSG dispatched = msg;
    DispatchQueuedMessage(dispatched);
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
