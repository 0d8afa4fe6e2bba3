#include "toolkit/DialogsWin32.h"

#include <commdlg.h>

#include <vector>

namespace {

UINT IconFor(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning:
        return MB_ICONWARNING;
    case TMsgDlgType::mtError:
        return MB_ICONERROR;
    case TMsgDlgType::mtConfirmation:
        return MB_ICONQUESTION;
    }
    return 0;
}

// "A|b|C|d" becomes "A\0b\0C\0d\0\0", the platform's filter form.
std::string PlatformFilter(const std::string& filter)
{
    std::string result = filter;
    for (char& c : result)
        if (c == '|')
            c = '\0';
    result.push_back('\0');
    result.push_back('\0');
    return result;
}

std::optional<std::string> RunFileDialog(const TFileDialogSettings& settings, bool save)
{
    std::vector<char> file(MAX_PATH * 4, '\0');
    settings.FileName.copy(file.data(), file.size() - 1);
    const std::string filter = PlatformFilter(settings.Filter);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = settings.InitialDir.empty() ? nullptr : settings.InitialDir.c_str();
    ofn.lpstrTitle = settings.Title.empty() ? nullptr : settings.Title.c_str();
    ofn.lpstrDefExt = settings.DefaultExt.empty() ? nullptr : settings.DefaultExt.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (settings.Resizable)
        ofn.Flags |= OFN_ENABLESIZING;
    if (!settings.ShowReadOnly)
        ofn.Flags |= OFN_HIDEREADONLY;
    if (settings.OverwritePrompt)
        ofn.Flags |= OFN_OVERWRITEPROMPT;
    if (settings.FileMustExist)
        ofn.Flags |= OFN_FILEMUSTEXIST;

    const BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!ok)
        return std::nullopt;
    return std::string(file.data());
}

}  // namespace

TModalResult TWin32Dialogs::ShowMessageBox(const std::string& caption, const std::string& text, TMsgDlgType type,
                                       bool okCancel)
{
    // Task-modal without an owner: centred on the screen, and every window of the program waits.
    const UINT flags = IconFor(type) | (okCancel ? MB_OKCANCEL : MB_OK) | MB_DEFBUTTON1 | MB_TASKMODAL;
    const int answer = MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
    return answer == IDOK ? TModalResult::mrOk : TModalResult::mrCancel;
}

std::optional<std::string> TWin32Dialogs::OpenFile(const TFileDialogSettings& settings)
{
    return RunFileDialog(settings, false);
}

std::optional<std::string> TWin32Dialogs::SaveFile(const TFileDialogSettings& settings)
{
    return RunFileDialog(settings, true);
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string FullPathName(const std::string& path)
{
    char full[MAX_PATH * 4] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

bool DirectoryExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
