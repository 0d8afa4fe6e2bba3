// What the main-window tests share: scripted dialogs, a scratch folder with the stand-in tool,
// and message pumping while a run goes on.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/Startup.h"
#include "support/FileBytesWin32.h"
#include "support/TestText.h"
#include "toolkit/BoundsWin32.h"
#include "toolkit/Dialogs.h"

// Answers every box and dialog from a script and remembers what was shown.
class TScriptedDialogs : public IDialogs {
public:
    struct Box {
        std::string Caption;
        std::string Text;
        TMsgDlgType Type;
        bool OkCancel;
        bool MainWindowVisible;  // any window of this thread visible while the box was up
    };

    std::vector<Box> Boxes;
    std::deque<TModalResult> Answers;  // default: OK
    std::deque<std::optional<std::string>> OpenAnswers, SaveAnswers, FolderAnswers;
    std::vector<TFileDialogSettings> OpenCalls, SaveCalls, FolderCalls;
    std::function<void()> WhileBoxIsUp;

    TModalResult ShowMessageBox(const std::string& caption, const std::string& text, TMsgDlgType type,
                                bool okCancel) override;
    std::optional<std::string> OpenFile(const TFileDialogSettings& settings) override;
    std::optional<std::string> SaveFile(const TFileDialogSettings& settings) override;
    std::optional<std::string> ChooseFolder(const TFileDialogSettings& settings) override;
};

// A fresh folder under the temporary folder, removed again at the end.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::string& name);
    ~TScratchFolder();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }
    void Write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

// The main window shown with the stand-in tool in the working folder, as an administrator starts
// it from Vantrel's folder. At its end the window closes (if App is not already reset) and the
// earlier working folder returns.
class TWindowInToolFolder {
public:
    TWindowInToolFolder(const TScratchFolder& folder, IDialogs& dialogs, TOpenAddress openAddress = nullptr);
    ~TWindowInToolFolder();
    TWindowInToolFolder(const TWindowInToolFolder&) = delete;
    TWindowInToolFolder& operator=(const TWindowInToolFolder&) = delete;

    std::unique_ptr<TVantrelApp> App;

private:
    std::string previousFolder_;
};

// Runs a tool once more on its own, its output and errors into outputFile, and returns the lines
// it wrote there: what a console view of the same run must show.
std::vector<std::string> WhatTheToolWrites(const std::string& applicationName, std::string commandLine,
                                           const std::string& outputFile);

// Dispatches messages until done() holds or the time is up; returns done().
bool PumpUntil(TApplication& application, const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));
void PumpFor(TApplication& application, std::chrono::milliseconds duration);

// A key pressed on the focused control with modifiers held, as the keyboard would deliver it:
// the modifiers in the thread's key state, the key through the message loop's translation.
void PressKey(TApplication& app, HWND target, WPARAM key, std::initializer_list<int> modifiers);

// The share every Wine test may use; the test script maps it to a folder.
inline const std::string kShare = "\\\\vantrel-test\\share";

// A control clicked as the mouse would: a button's click handler, a check box toggled.
void Click(const TControl& control);
std::vector<std::string> ConsoleLines(TForm1& form);
// What an accessibility client reads as a view's description (the target list's marks).
std::wstring AccessibleDescription(HWND view);
// The rows of a CSV file without quoted line ends, each with its CR LF.
std::vector<std::string> SplitRows(const std::string& csv);

// What the stand-in's journal says of a run: the most copies at once, how many are still running
// at its end, and each copy's command line.
struct TJournalReading {
    int MostAtOnce = 0;
    int StillRunning = 0;
    std::vector<std::string> Started;
};
TJournalReading ReadJournal(const std::string& path);

// A control's place in its parent, through the toolkit's own account of it.
TBounds BoundsOf(const TControl& control);

LOGFONTA FontOf(HWND hwnd);
// The text's width and the font's line height, as the system measures them in the window's font.
SIZE TextSize(HWND hwnd, const std::string& text);

// The main window's layout at 96 dots per inch: each control's class and place.
struct TPlace {
    const TControl* Control;
    const char* ClassName;
    TBounds At96;
};
std::vector<TPlace> MainWindowLayoutAt96(TForm1& form);
