#include "shell/Startup.h"

#include <commctrl.h>
#include <objbase.h>

TVantrelApp::TVantrelApp(IDialogs& dialogs, TOpenAddress openAddress)
{
    comInitialised_ = SUCCEEDED(CoInitialize(nullptr));
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    application_ = std::make_unique<TApplication>(dialogs);
    application_->Title = kApplicationTitle;
    TApplication* application = application_.get();
    ui_ = std::make_unique<TUiThreadWin32>();

    form1_ = std::make_unique<TForm1>(*application_, *ui_);
    aboutBox_ = std::make_unique<TAboutBox>(ModuleInstance(), [application, openAddress](const std::string& address) {
        if (openAddress)
            openAddress(application->Handle(), address);
    });
    form1_->ShowAboutBox = [this] { aboutBox_->ShowModal(form1_->Handle()); };
}

TVantrelApp::~TVantrelApp()
{
    Shutdown();
    if (comInitialised_)
        CoUninitialize();
}

int TVantrelApp::Run()
{
    application_->Run(*form1_);
    Shutdown();
    return 0;
}

void TVantrelApp::Shutdown()
{
    if (ui_)
        ui_->Shutdown();
    aboutBox_.reset();
    form1_.reset();
}
