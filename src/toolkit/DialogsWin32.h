// The real message boxes and file dialogs of the platform.
#pragma once

#include <windows.h>

#include "toolkit/Dialogs.h"

class TWin32Dialogs : public IDialogs {
public:
    // The window that owns the file and folder dialogs: they are modal to it and come up centred
    // on it. Message boxes stay task-modal and centred on the screen.
    void SetOwner(HWND owner) { owner_ = owner; }

    TModalResult ShowMessageBox(const std::string& caption, const std::string& text, TMsgDlgType type,
                            bool okCancel) override;
    std::optional<std::string> OpenFile(const TFileDialogSettings& settings) override;
    std::optional<std::string> SaveFile(const TFileDialogSettings& settings) override;
    std::optional<std::string> ChooseFolder(const TFileDialogSettings& settings) override;

private:
    HWND owner_ = nullptr;
};
