// The real message boxes and file dialogs of the platform.
#pragma once

#include <windows.h>

#include "toolkit/Dialogs.h"

class TWin32Dialogs : public IDialogs {
public:
    TModalResult ShowMessageBox(const std::string& caption, const std::string& text, TMsgDlgType type,
                            bool okCancel) override;
    std::optional<std::string> OpenFile(const TFileDialogSettings& settings) override;
    std::optional<std::string> SaveFile(const TFileDialogSettings& settings) override;
    std::optional<std::string> ChooseFolder(const TFileDialogSettings& settings) override;
};
