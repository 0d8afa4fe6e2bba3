// Top-level windows and the application object that runs their event loop.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Component.h"
#include "toolkit/ControlsWin32.h"
#include "toolkit/Dialogs.h"
#include "toolkit/DpiScale.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/WindowWin32.h"

// A top-level window with a fixed frame, the base of the program's windows. Its client size and
// the places of its contents are given in layout pixels (96 dots per inch) and scaled to the
// dots per inch of its monitor when it is made and whenever it moves to a monitor of another
// scale.
class TTopLevelWindow : public TWindow {
public:
    struct Args {
        TWindowClass Class;
        std::string Caption;
        TBounds Client;  // the client area in layout pixels: 0, 0 and its size
        DWORD Style = 0;
        DWORD ExStyle = 0;
        HWND Owner = nullptr;
        int Icon = 0;  // the icon's resource id; 0: the class's icon
    };

    // Lays the window out again at dpi: its contents (Rescaled), then the frame: into suggested
    // (what the system proposes when the window moves to another monitor), or around the same
    // centre when there is none.
    void ChangeDpi(int dpi, const TBounds* suggested = nullptr);

protected:
    // Makes the window, hidden, at the scale of the monitor it lands on.
    explicit TTopLevelWindow(const Args& args);
    // Lays out the window's contents at dpi: fonts, pictures and places made for that scale.
    virtual void Rescaled(int /*dpi*/) {}
    // The window's messages but the change of scale.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) final;
    // Gives the title bar and the task bar the icon at the sizes the system uses at dpi.
    void LoadIcons(int dpi);

    TBounds client_;
    int iconId_ = 0;
    UniqueIcon bigIcon_, smallIcon_;
};

// The main kind of window: controls on the button-face colour, reached with Tab, with commands
// of its own in the system menu.
class TForm : public TComponent, public TTopLevelWindow {
public:
    struct Args {
        std::string Caption;
        TBounds Client;  // the client area in layout pixels: 0, 0 and its size
        DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        DWORD ExStyle = 0;
        HFONT Font = nullptr;
        HWND Owner = nullptr;
        int Icon = 0;  // the icon's resource id; 0: the system's default icon
    };
    explicit TForm(const Args& args);
    ~TForm() override;

    bool Visible() const { return IsWindowVisible(Handle()) != FALSE; }
    // Shows the window centred on the desktop, raises OnShow, then gives the focus to
    // the first control (or to the one OnShow chose).
    void Show();
    void Close();
    void SetFocusedControl(TControl* control) { initialFocus_ = control; }
    // The font that controls created afterwards take from the window.
    void SetFont(HFONT font) { font_ = font; }
    // A command at the end of the window's system menu, also run by Ctrl and the key (an
    // upper-case letter or a digit) anywhere in the window. The menu shows the shortcut.
    void AddSystemMenuCommand(const std::string& caption, char ctrlKey, std::function<void()> onClick);

    TNotifyEvent OnShow;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // By default every control from its layout, each with the window's font. A form with fonts,
    // pictures or places of its own makes them for dpi here, giving the window its new font
    // before it calls this.
    void Rescaled(int dpi) override;

private:
    struct TSystemCommand {
        UINT Id;
        char Key;
        std::function<void()> OnClick;
    };

    HACCEL Shortcuts() const override { return shortcuts_.Get(); }
    // Runs the command of that id; false when there is none.
    bool RunSystemCommand(UINT id);
    void RebuildShortcuts();

    std::vector<TSystemCommand> systemCommands_;
    UniqueAccelerators shortcuts_;
    HFONT font_ = nullptr;
    HWND lastFocus_ = nullptr;
    TControl* initialFocus_ = nullptr;
};

// One per process: the title of the error box, a hidden window of its own (no title, no task-bar
// button), the main window, the event loop, and the box for exceptions that escape a handler.
class TApplication {
public:
    explicit TApplication(IDialogs& dialogs);
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    std::string Title;
    HWND Handle() const { return window_.Handle(); }
    IDialogs& Dialogs() { return dialogs_; }

    // Shows the main form and dispatches messages until the quit request.
    void Run(TForm& mainForm);
    // Dispatches what is waiting and returns; for tests and modal loops.
    void ProcessMessages();
    // Dispatches one message; false when it was the quit request.
    bool HandleMessage(const MSG& msg);
    void ShowException(std::exception_ptr error);

private:
    // Hidden and untitled: the main window, not this one, owns the task-bar button.
    class THiddenWindow : public TWindow {
    public:
        THiddenWindow();

    private:
        LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override
        {
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    };

    IDialogs& dialogs_;
    THiddenWindow window_;
};

// The text an exception carries.
std::string ExceptionMessage(std::exception_ptr error);
