// The main window: the job's input, the target preview, the live console view, the command
// buttons and the status line.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "job/AnsibleExport.h"
#include "job/CollectData.h"
#include "job/JobVariables.h"
#include "runner/ConsoleRunner.h"
#include "session/RunSession.h"
#include "toolkit/ControlsWin32.h"
#include "toolkit/Dialogs.h"
#include "toolkit/FormsWin32.h"
#include "toolkit/MemoWin32.h"
#include "toolkit/PicturesWin32.h"
#include "toolkit/UiThread.h"

class TForm1 : public TForm, private IJobForm, private IRunListener {
public:
    TForm1(TApplication& application, IUiThread& ui);
    ~TForm1() override;

    // Panels, from top to bottom: job input, list and console, options, buttons.
    std::unique_ptr<TPanel> spnl1, spnl3, spnl4, spnl2;
    std::unique_ptr<TFileNameEdit> edt1;
    std::unique_ptr<TEdit> edt2, edt3, edt4, edt5, edt6;
    // How many computers run at a time, each with a tool process of its own; 1 runs the list
    // file in one process.
    std::unique_ptr<TEdit> edt7;
    std::unique_ptr<TCheckBox> chk1, chk2, chk3, chk4, chk5, chk6, chk7;
    // Before the job, find the computers that do not answer and start only the others.
    std::unique_ptr<TCheckBox> chk8;
    std::unique_ptr<TMemo> mmo1, mmo2;
    std::unique_ptr<TPictureButton> sbtbtn1, sbtbtn4, sbtbtn5, sbtbtn3, sbtbtn2;
    std::unique_ptr<TStatusBar> stsbr1;
    // The captions above the fields, in the order of the fields.
    std::unique_ptr<TLabel> lblListFile, lblDomain, lblUser, lblPassword, lblPackage, lblTargets, lblConsole;
    // The caption beside edt7.
    std::unique_ptr<TLabel> lblAtATime;
    std::unique_ptr<TConsoleRunner> runner1;
    // The save dialog of Save Log; FileName follows the last chosen path.
    TFileDialogSettings dlg1;
    // The browse dialog of edt1; InitialDir follows the last chosen file's folder.
    TFileDialogSettings ListFileDialog;
    // The save dialog of the retry list; FileName follows the last chosen path.
    TFileDialogSettings RetryListDialog;
    // The folder dialog of the export for Ansible; InitialDir follows the last chosen folder.
    TFileDialogSettings AnsibleFolderDialog;

    // Shows the About box; the application sets it once the box exists.
    std::function<void()> ShowAboutBox;

    // Whether the tool's licence was accepted for this account. Run hidden without it, the tool
    // waits for an answer in a window no one sees, so Execute starts nothing until it is.
    std::function<bool()> ToolLicenceAccepted;

    // The sockets through which chk8's check tries the computers; the platform's own when none.
    std::shared_ptr<INetworkBackend> Network;

    // Handlers, named after their control and event.
    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void edt1Change(TObject* Sender);
    void edt1ButtonClick(TObject* Sender);
    void edt2Change(TObject* Sender);
    void edt6KeyPress(TObject* Sender, char& Key);
    void edt7KeyPress(TObject* Sender, char& Key);
    void chk2Click(TObject* Sender);
    void chk3Click(TObject* Sender);
    void chk6Click(TObject* Sender);
    void chk7Click(TObject* Sender);
    void sbtbtn1Click(TObject* Sender);
    void sbtbtn2Click(TObject* Sender);
    void sbtbtn3Click(TObject* Sender);
    void sbtbtn4Click(TObject* Sender);
    void sbtbtn5Click(TObject* Sender);

    void InitAllVars();
    // The job that the fields describe, when they pass Execute's checks; JobVars filled from it.
    std::optional<TJob> CollectData();
    std::string GetVersion(const std::string& fileName) const;

    HWND ToolTipsHandle() const { return tips_->Handle(); }
    // The pictures the buttons draw: Execute, Clear, Save Log, About, Exit.
    const std::array<TPicture, 5>& ButtonPictures() const { return buttonPictures_; }

    // True from an accepted Execute until the end of the latest run it started.
    bool RunActive() const { return session_->Active(); }
    // Ends every child of every run at once; each run then ends as after any stop, with its
    // summary and "Execution Finished". The console view's menu and Esc offer it during a run.
    void StopRun();

    // The computers of the latest ended run that did not succeed (restart required counted as
    // not succeeded only when asked), saved through the save dialog as a new list file. The
    // console view's menu offers both.
    bool HasRetryList(bool withRestartRequired) const;
    void SaveRetryList(bool withRestartRequired);
    // The latest ended run's results as a CSV file, through ResultsDialog; the console view's
    // menu offers it while there are results.
    bool HasResults() const { return session_->HasResults(); }
    void SaveResults();
    TFileDialogSettings ResultsDialog;

    // The job in the fields, checked as Execute checks it, written as an inventory, a playbook
    // and a README for Ansible into a folder the operator picks; nothing runs. In the window's
    // system menu and on Ctrl+E.
    void ExportForAnsible();

    static constexpr COLORREF FileFoundColor = RGB(0, 0, 255);
    static constexpr COLORREF FileMissingColor = RGB(255, 0, 0);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // New fonts, the controls laid out again in them, then the form's own parts.
    void Rescaled(int dpi) override;

private:
    static constexpr const char* TargetsCaption = "Target Computers:";

    // The count of edt7, or a warning and the focus there.
    std::optional<int> ComputersAtATime();
    // A job per computer takes only a list of single computer names; a refusal says why.
    bool ComputersAccepted(const TJob& job);
    // The target list's mark of a line: the state of its computer in the latest run started.
    std::optional<TLineMark> TargetMark(int line) const;
    void ForgetMarks();

    // The window's fonts at dpi; the window's own becomes the one its controls take.
    void CreateFonts(int dpi);
    // What the form itself makes for a scale: the fonts of the controls that have their own,
    // the button pictures, and the captions' places, measured in their fonts.
    void ScaleOwnParts(int dpi);
    void LoadButtonPictures(int dpi);
    void PlaceCaptions();
    void CreatePanels();
    void CreateInputPanel();
    void CreateOptionsPanel();
    void CreateButtonsPanel();
    void CreateListPanel();
    std::unique_ptr<TLabel> CaptionAbove(const TControl& control, const std::string& caption);
    void ShowReadyLine();
    // The ready line when no run is active, otherwise "Running process...".
    void ShowIdleStatus();
    void LoadListPreview(const std::string& path);
    void SaveConsoleLog(const std::string& path);
    // Asks for a path with the save dialog, which offers that path the next time, and saves there.
    void SaveThroughDialog(TFileDialogSettings& dialog, const std::function<void(const std::string&)>& save);
    // The list file named in edt1 at Execute; a run whose list cannot be read gets no summary.
    std::string ReadRunList();
    static std::string ReadListText(const std::string& path);
    // Picks the folder, asks before replacing anything, then writes every file whole; the folder
    // written to, or nothing when the operator cancelled.
    std::optional<std::string> WriteAnsibleFiles(const std::vector<TExportFile>& files);

    // IJobForm, over the controls.
    std::string FieldText(JobField field) override;
    void SetFieldText(JobField field, const std::string& text) override;
    bool Checked(JobCheck check) override;
    void FocusField(JobField field) override;
    void ShowWarning(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    bool FileExists(const std::string& path) override;
    TEdit& Field(JobField field);

    // IRunListener, over the views and the status line.
    void MarkedRunStarted() override;
    void MarksChanged() override;
    void ConsoleGrew() override;
    void StatusChanged() override;
    bool FitsConsole(std::string_view line) override;

    TApplication& application_;
    IUiThread& ui_;
    UniqueGdi<HFONT> font_, boldFont_, consoleFont_;
    std::unique_ptr<TToolTips> tips_;
    // Execute, Clear, Save Log, About, Exit.
    std::array<TPicture, 5> buttonPictures_;
    // The tool's full path, found in the current folder at start-up; empty when it was missing.
    std::string toolPath_;
    // The runs, on the list in runner1 or on many computers at a time.
    std::unique_ptr<TRunSession> session_;
};
