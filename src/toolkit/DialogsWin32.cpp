#include "toolkit/DialogsWin32.h"

#include <commdlg.h>
#include <shobjidl.h>

#include <memory>
#include <utility>
#include <vector>

#include "toolkit/HandlesWin32.h"
#include "toolkit/TextWin32.h"
#include "toolkit/WindowWin32.h"

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
    case TMsgDlgType::mtInformation:
        return MB_ICONINFORMATION;
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

// While it lives, the first window that comes up owned by owner is centred on it, kept on the
// owner's monitor: the platform's dialogs place themselves, not always over their owner. A
// hook has no argument of its own, so the one centring of the thread is found through current_.
class TCentreOnOwner {
public:
    explicit TCentreOnOwner(HWND owner)
        : owner_(owner), hook_(owner ? SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId()) : nullptr)
    {
        previous_ = std::exchange(current_, this);
    }
    ~TCentreOnOwner()
    {
        current_ = previous_;
        if (hook_)
            UnhookWindowsHookEx(hook_);
    }
    TCentreOnOwner(const TCentreOnOwner&) = delete;
    TCentreOnOwner& operator=(const TCentreOnOwner&) = delete;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        TCentreOnOwner* self = current_;
        if (code == HCBT_ACTIVATE && self && !self->done_) {
            const HWND window = reinterpret_cast<HWND>(wParam);
            if (GetWindow(window, GW_OWNER) == self->owner_) {
                self->done_ = true;
                CenterOnWindow(window, self->owner_);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static thread_local TCentreOnOwner* current_;
    HWND owner_;
    HHOOK hook_;
    TCentreOnOwner* previous_ = nullptr;
    bool done_ = false;
};

thread_local TCentreOnOwner* TCentreOnOwner::current_ = nullptr;

std::optional<std::string> RunFileDialog(const TFileDialogSettings& settings, bool save, HWND owner)
{
    std::vector<char> file(MAX_PATH * 4, '\0');
    settings.FileName.copy(file.data(), file.size() - 1);
    const std::string filter = PlatformFilter(settings.Filter);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
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

    const TCentreOnOwner centre(owner);
    const BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!ok)
        return std::nullopt;
    return std::string(file.data());
}

struct TComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using UniqueCom = std::unique_ptr<T, TComRelease>;

struct TCoTaskMemFree {
    void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

// The platform's folder picker: the file-open dialog in its folder mode.
std::optional<std::string> RunFolderDialog(const TFileDialogSettings& settings, HWND owner)
{
    IFileOpenDialog* created = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&created))))
        return std::nullopt;
    const UniqueCom<IFileOpenDialog> dialog(created);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    if (!settings.Title.empty())
        dialog->SetTitle(WideText(settings.Title).c_str());
    IShellItem* start = nullptr;
    if (!settings.InitialDir.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(WideText(settings.InitialDir).c_str(), nullptr, IID_PPV_ARGS(&start)))) {
        const UniqueCom<IShellItem> folder(start);
        dialog->SetFolder(folder.get());
    }
    const HRESULT shown = [&] {
        const TCentreOnOwner centre(owner);
        return dialog->Show(owner);
    }();
    if (FAILED(shown))
        return std::nullopt;
    IShellItem* chosen = nullptr;
    if (FAILED(dialog->GetResult(&chosen)))
        return std::nullopt;
    const UniqueCom<IShellItem> item(chosen);
    wchar_t* path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)))
        return std::nullopt;
    const std::unique_ptr<wchar_t, TCoTaskMemFree> owned(path);
    return NarrowText(owned.get());
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
    return RunFileDialog(settings, false, owner_);
}

std::optional<std::string> TWin32Dialogs::SaveFile(const TFileDialogSettings& settings)
{
    return RunFileDialog(settings, true, owner_);
}

std::optional<std::string> TWin32Dialogs::ChooseFolder(const TFileDialogSettings& settings)
{
    return RunFolderDialog(settings, owner_);
}
