#include <windows.h>

#include "shell/Startup.h"
#include "toolkit/DialogsWin32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    TWin32Dialogs dialogs;
    TVantrelApp app(dialogs, OpenAddressWithShell);
    dialogs.SetOwner(app.Form1().Handle());
    const int exitCode = app.Run();
    // End here, before the hand-off window's object is freed: a worker that is still finishing
    // a stopped run may yet try to hand something over. The job object ends any child with us.
    ExitProcess(static_cast<UINT>(exitCode));
}
