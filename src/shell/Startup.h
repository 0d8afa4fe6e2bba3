// The program from its first window to its last: start-up, the event loop and shutdown.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "toolkit/Dialogs.h"
#include "toolkit/FormsWin32.h"
#include "toolkit/UiThreadWin32.h"
#include "windows/About.h"
#include "windows/frmMain.h"

// Opens a web address on the desktop, with the application's window as owner.
using TOpenAddress = std::function<void(HWND owner, const std::string& address)>;

inline constexpr const char* kApplicationTitle = "A GUI shell for Sysinternals PsExec to distribiution packages";

class TVantrelApp {
public:
    // Everything up to the showing of the main window: the application object and its title,
    // the main window (whose creation checks for the tool) and the hidden About box.
    TVantrelApp(IDialogs& dialogs, TOpenAddress openAddress);
    ~TVantrelApp();
    TVantrelApp(const TVantrelApp&) = delete;
    TVantrelApp& operator=(const TVantrelApp&) = delete;

    // Shows the main window, dispatches events until the quit request, then destroys the windows,
    // the last created first. Returns the exit code.
    int Run();

    TApplication& Application() { return *application_; }
    TUiThreadWin32& Ui() { return *ui_; }
    TForm1& Form1() { return *form1_; }
    TAboutBox& AboutBox() { return *aboutBox_; }

    // Destroys the windows and refuses further hand-offs; Run does it after the loop.
    void Shutdown();

private:
    bool comInitialised_ = false;
    std::unique_ptr<TApplication> application_;
    std::unique_ptr<TUiThreadWin32> ui_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TAboutBox> aboutBox_;
};
