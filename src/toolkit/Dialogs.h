// Message boxes and file dialogs behind one seam, so that tests script the answers and no test
// ever waits for a person.
#pragma once

#include <optional>
#include <string>

enum class TMsgDlgType { mtWarning, mtError, mtConfirmation, mtInformation };
enum class TModalResult { mrOk, mrCancel };

// What a file-open or file-save dialog is asked to show.
struct TFileDialogSettings {
    std::string Title{};       // empty: the platform's default
    std::string FileName{};    // offered name
    std::string InitialDir{};  // empty: the platform's default
    std::string Filter{};      // "Description|pattern" pairs joined by '|'
    std::string DefaultExt{};  // added to a typed name without an extension
    bool Resizable = true;
    bool ShowReadOnly = false;
    bool OverwritePrompt = false;
    bool FileMustExist = false;
};

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // Modal, centred on the screen. With okCancel, Esc and the close box answer mrCancel.
    virtual TModalResult ShowMessageBox(const std::string& caption, const std::string& text, TMsgDlgType type,
                                    bool okCancel) = 0;
    // The chosen full path, or nothing when the operator cancelled.
    virtual std::optional<std::string> OpenFile(const TFileDialogSettings& settings) = 0;
    virtual std::optional<std::string> SaveFile(const TFileDialogSettings& settings) = 0;
    // A folder; of the settings only Title and InitialDir apply.
    virtual std::optional<std::string> ChooseFolder(const TFileDialogSettings& settings) = 0;
};

// The fixed kinds of box.
void ShowWarning(IDialogs& dialogs, const std::string& text);
void ShowError(IDialogs& dialogs, const std::string& text);
bool Confirm(IDialogs& dialogs, const std::string& text);
void ShowInformation(IDialogs& dialogs, const std::string& text);

// The text of the application-level error box: a full stop is added unless the message is empty
// or already ends in a character at or below '.' (such as ".", "!" or ")").
std::string ApplicationErrorText(const std::string& message);
