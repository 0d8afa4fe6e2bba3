#include <windows.h>

#include <shellapi.h>

#include "shell/Startup.h"
#include "toolkit/DialogsWin32.h"

namespace {

void OpenWithShell(HWND owner, const std::string& address)
{
    ShellExecuteA(owner, "Open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    TWin32Dialogs dialogs;
    TVantrelApp app(dialogs, OpenWithShell);
    const int exitCode = app.Run();
    // End here, before the hand-off window's object is freed: a worker that is still finishing
    // a stopped run may yet try to hand something over. The job object ends any child with us.
    ExitProcess(static_cast<UINT>(exitCode));
}
