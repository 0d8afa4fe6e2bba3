#include "toolkit/Dialogs.h"

void ShowWarning(IDialogs& dialogs, const std::string& text)
{
    dialogs.ShowMessageBox("Warning", text, TMsgDlgType::mtWarning, false);
}

void ShowError(IDialogs& dialogs, const std::string& text)
{
    dialogs.ShowMessageBox("Error", text, TMsgDlgType::mtError, false);
}

bool Confirm(IDialogs& dialogs, const std::string& text)
{
    return dialogs.ShowMessageBox("Confirm", text, TMsgDlgType::mtConfirmation, true) == TModalResult::mrOk;
}

void ShowInformation(IDialogs& dialogs, const std::string& text)
{
    dialogs.ShowMessageBox("Information", text, TMsgDlgType::mtInformation, false);
}

std::string ApplicationErrorText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}
