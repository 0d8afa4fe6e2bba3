// Shows the main window after a complete demo run for the number of seconds given (default 10),
// for screenshots (scripts/main-window-screenshot.sh): the demo package installed for real on
// this computer, simulated results for the others, four at a time, and the run's summary.
#include <windows.h>

#include <cstdlib>

#include "WindowTestSupport.h"

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    TScratchFolder folder("show");
    TScriptedDialogs dialogs;
    TWindowInToolFolder window(folder, dialogs);
    TVantrelApp& app = *window.App;
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "0");
    folder.Write("lab.txt", "localhost\r\nPC-LAB-02\r\nLAPTOP-REBOOT-07\r\nPC-OFFLINE-12\r\nPC-FAIL-05\r\n"
                            "PC-LOST-11\r\nPC-BUSY-04\r\nPC-LAB-03\r\n");
    CopyFileA(WinPath(VANTREL_DEMO_PACKAGE).c_str(), (kShare + "\\install.msi").c_str(), FALSE);
    TForm1& form = app.Form1();
    form.edt1->SetText(folder.File("lab.txt"));
    form.edt2->SetText(kShare + "\\install.msi");
    form.edt3->SetText("CORP");
    form.edt4->SetText("deploy");
    form.edt5->SetText("secret");
    form.edt7->SetText("4");
    Click(*form.sbtbtn1);
    PumpUntil(app.Application(), [&] { return !form.RunActive(); }, std::chrono::seconds(60));
    form.edt1->SetFocus();
    PumpFor(app.Application(), std::chrono::seconds(seconds));
    return 0;
}
