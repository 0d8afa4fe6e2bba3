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

// A path exists when it names an existing entry that is not a folder.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The full path of a path relative to the current folder; the path itself when it cannot be had.
std::string FullPathName(const std::string& path);
