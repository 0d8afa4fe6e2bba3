#include "toolkit/FormsWin32.h"

#include "toolkit/DpiWin32.h"

namespace {

// System menu commands carry ids whose low four bits are zero; the system uses those bits.
constexpr UINT kFirstSystemCommand = 0x0100;
constexpr UINT kSystemCommandStep = 0x0010;

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

TForm::TForm(const Args& args)
    : client_(args.Client), iconId_(args.Icon), font_(args.Font)
{
    TWindowPlace place;
    place.ExStyle = args.ExStyle | WS_EX_CONTROLPARENT;
    place.Caption = args.Caption.c_str();
    place.Style = args.Style | WS_CLIPCHILDREN;
    place.Bounds = TBounds{CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};
    place.Parent = args.Owner;
    CreateBoundWindow(this, FormClass(), place);
    // Only the made window knows the monitor it is on, and so its scale.
    dpi_ = WindowDpi(hwnd_);
    SetLayoutDpi(hwnd_, dpi_);
    const SIZE frame = FrameSize();
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    LoadIcons(dpi_);
}

SIZE TForm::FrameSize() const
{
    return FrameSizeForClient(client_, static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE)),
                              static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_EXSTYLE)), dpi_);
}

void TForm::Rescaled(int dpi)
{
    // Twice: a control that grows towards its neighbours measures its room the second time, when
    // every neighbour is in its new place.
    RescaleChildWindows(hwnd_, dpi);
    RescaleChildWindows(hwnd_, dpi);
}

void TForm::ChangeDpi(int dpi, const RECT* suggested)
{
    dpi_ = dpi;
    SetLayoutDpi(hwnd_, dpi);
    RunHandler([&] { Rescaled(dpi); });
    MoveForNewScale(hwnd_, ScaleToDpi(client_, dpi), suggested);
    LoadIcons(dpi);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
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
    if (hwnd_ && IsWindow(hwnd_)) {
        ForgetLayoutDpi(hwnd_);
        SetWindowShortcuts(hwnd_, nullptr);
    }
    if (shortcuts_)
        DestroyAcceleratorTable(shortcuts_);
    DestroyBoundWindow(hwnd_);
}

void TForm::AddSystemMenuCommand(const std::string& caption, char ctrlKey, std::function<void()> onClick)
{
    const UINT id = kFirstSystemCommand + static_cast<UINT>(systemCommands_.size()) * kSystemCommandStep;
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    if (systemCommands_.empty())
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    const std::string text = caption + "\tCtrl+" + std::string(1, ctrlKey);
    AppendMenuA(menu, MF_STRING, id, text.c_str());
    systemCommands_.push_back({id, ctrlKey, std::move(onClick)});
    RebuildShortcuts();
}

void TForm::RebuildShortcuts()
{
    std::vector<ACCEL> table;
    for (const TSystemCommand& command : systemCommands_)
        table.push_back({FVIRTKEY | FCONTROL, static_cast<WORD>(command.Key), static_cast<WORD>(command.Id)});
    if (shortcuts_)
        DestroyAcceleratorTable(shortcuts_);
    shortcuts_ = CreateAcceleratorTableA(table.data(), static_cast<int>(table.size()));
    SetWindowShortcuts(hwnd_, shortcuts_);
}

bool TForm::RunSystemCommand(UINT id)
{
    for (const TSystemCommand& command : systemCommands_) {
        if (command.Id == id) {
            RunHandler(command.OnClick);
            return true;
        }
    }
    return false;
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
        // A shortcut arrives as an accelerator command. Enter and Esc reach the form as IDOK and
        // IDCANCEL; no button is default or cancel.
        if (HIWORD(wParam) == 1 && lParam == 0)
            RunSystemCommand(LOWORD(wParam));
        return 0;
    case WM_SYSCOMMAND:
        if (RunSystemCommand(static_cast<UINT>(wParam & 0xFFF0)))
            return 0;
        break;
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
    case WM_DPICHANGED:
        ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
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
