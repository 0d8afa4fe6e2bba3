#include "toolkit/FormsWin32.h"

#include "toolkit/BoundsWin32.h"
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

// ---- TTopLevelWindow

TTopLevelWindow::TTopLevelWindow(const Args& args) : client_(args.Client), iconId_(args.Icon)
{
    TWindowPlace place;
    place.ExStyle = args.ExStyle;
    place.Caption = args.Caption.c_str();
    place.Style = args.Style;
    place.Bounds = TBounds{CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};
    place.Parent = args.Owner;
    MakeWindow(args.Class, place);
    // Only the made window knows the monitor it is on, and so its scale.
    SetLayoutDpi(WindowDpi(Handle()));
    const SIZE frame = FrameSizeForClient(client_, static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_STYLE)),
                                          static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_EXSTYLE)), Dpi());
    SetWindowPos(Handle(), nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    LoadIcons(Dpi());
}

void TTopLevelWindow::ChangeDpi(int dpi, const TBounds* suggested)
{
    SetLayoutDpi(dpi);
    RunHandler([&] { Rescaled(dpi); });
    MoveForNewScale(Handle(), ScaleToDpi(client_, dpi), suggested);
    LoadIcons(dpi);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TTopLevelWindow::LoadIcons(int dpi)
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
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large.Get()));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(little.Get()));
    bigIcon_ = std::move(large);
    smallIcon_ = std::move(little);
}

LRESULT TTopLevelWindow::HandleWindowMessage(HWND /*hwnd*/, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DPICHANGED) {
        const TBounds suggested = ToBounds(*reinterpret_cast<const RECT*>(lParam));
        ChangeDpi(HIWORD(wParam), &suggested);
        return 0;
    }
    return WindowProc(msg, wParam, lParam);
}

LRESULT TTopLevelWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(Handle(), msg, wParam, lParam);
}

// ---- TForm

namespace {

TTopLevelWindow::Args TopLevelArgs(const TForm::Args& args)
{
    TTopLevelWindow::Args topLevel;
    topLevel.Class = FormClass();
    topLevel.Caption = args.Caption;
    topLevel.Client = args.Client;
    topLevel.Style = args.Style | WS_CLIPCHILDREN;
    topLevel.ExStyle = args.ExStyle | WS_EX_CONTROLPARENT;
    topLevel.Owner = args.Owner;
    topLevel.Icon = args.Icon;
    return topLevel;
}

}  // namespace

TForm::TForm(const Args& args) : TTopLevelWindow(TopLevelArgs(args)), font_(args.Font) {}

void TForm::Rescaled(int dpi)
{
    // Twice: a control that grows towards its neighbours measures its room the second time, when
    // every neighbour is in its new place.
    RescaleChildWindows(Handle(), dpi);
    RescaleChildWindows(Handle(), dpi);
}

TForm::~TForm()
{
    // Before the icons and the shortcut table it uses go.
    DestroyOwnWindow();
}

void TForm::AddSystemMenuCommand(const std::string& caption, char ctrlKey, std::function<void()> onClick)
{
    const UINT id = kFirstSystemCommand + static_cast<UINT>(systemCommands_.size()) * kSystemCommandStep;
    HMENU menu = GetSystemMenu(Handle(), FALSE);
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
    shortcuts_.Reset(CreateAcceleratorTableA(table.data(), static_cast<int>(table.size())));
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
    CenterOnScreen(Handle());
    ShowWindow(Handle(), SW_SHOWNORMAL);
    UpdateWindow(Handle());
    RunHandler([&] {
        if (OnShow)
            OnShow(this);
    });
    if (initialFocus_)
        initialFocus_->SetFocus();
}

void TForm::Close()
{
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
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
            if (focus && IsChild(Handle(), focus))
                lastFocus_ = focus;
        } else if (lastFocus_ && IsWindow(lastFocus_)) {
            ::SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_CLOSE:
        DestroyWindow(Handle());
        return 0;
    default:
        break;
    }
    return TTopLevelWindow::WindowProc(msg, wParam, lParam);
}

// ---- TApplication

TApplication::THiddenWindow::THiddenWindow()
{
    TWindowClass windowClass;
    windowClass.Name = "TApplication";
    TWindowPlace place;
    place.ExStyle = WS_EX_TOOLWINDOW;
    place.Style = WS_POPUP;
    MakeWindow(windowClass, place);
}

TApplication::TApplication(IDialogs& dialogs) : dialogs_(dialogs)
{
    SetHandlerExceptionSink([this](std::exception_ptr error) { ShowException(error); });
}

TApplication::~TApplication()
{
    SetHandlerExceptionSink(nullptr);
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
