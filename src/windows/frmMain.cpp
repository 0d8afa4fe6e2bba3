#include "windows/frmMain.h"

#include <cstdio>
#include <stdexcept>

#include "job/CommandLine.h"
#include "job/JobVariables.h"
#include "job/ReadyLine.h"
#include "toolkit/FileSystemWin32.h"
#include "toolkit/FileText.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/InstallerPackageWin32.h"
#include "toolkit/Paths.h"
#include "toolkit/RegistryWin32.h"
#include "toolkit/VersionWin32.h"
#include "resource_ids.h"
#include "toolkit/ErrorsWin32.h"
#include "toolkit/FontsWin32.h"
#include "toolkit/TextWin32.h"

namespace {

const char* const kToolFileName = "Psexec.exe";
const char* const kToolMissing =
    "Can't find Psexec.exe, Vantrel will not function, please copy Psexec.exe into Vantrel Folder and try again";
const char* const kCollectingData = "Collecting data...";
const char* const kRunningProcess = "Running process...";
const char* const kConsoleEmpty = "the console view is empty";
const char* const kLicenceNotAccepted =
    "PsExec's licence has not been accepted for this Windows account on this computer. Run hidden, "
    "PsExec would wait for an answer in a window that no one sees, and the run would never end.\n\n"
    "Open a command prompt in Vantrel's folder, run Psexec once and accept its licence (or accept it "
    "as your organisation does), then press Execute again.";
const char* const kNoResults = "No run has ended with results yet: there is nothing to save.";
const char* const kNothingToRetry = "Every computer of the last run succeeded: there is nothing to try again.";
const char* const kAtATimeRefused = "Computers at a time must be a number from 1 to 64";

const char* const kExportCommand = "Export for Ansible...";
constexpr char kExportShortcut = 'E';

// Only digits and backspace reach the numeric fields, whichever way the text comes in.
void KeepDigits(char& key)
{
    const bool digit = key >= '0' && key <= '9';
    if (!digit && key != '\b')
        key = 0;
}

TForm::Args MainWindowArgs()
{
    TForm::Args args;
    args.Caption = "Vantrel 1.0";
    args.Client = TBounds{0, 0, 542, 502};
    args.Icon = IDI_VANTREL;
    return args;
}

// The tool keeps its own answer to its licence here.
bool ToolLicenceAcceptedInRegistry()
{
    const auto accepted = ReadUserNumber("Software\\Sysinternals\\PsExec", "EulaAccepted");
    return accepted && *accepted != 0;
}

// The local date and time to the second, as a spreadsheet reads it.
std::string LocalTimeText()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

std::string SystemMessage(std::int64_t code)
{
    return SystemErrorText(static_cast<DWORD>(code));
}

}  // namespace

TForm1::TForm1(TApplication& application, IUiThread& ui)
    : TForm(MainWindowArgs()), application_(application), ui_(ui)
{
    CreateFonts(Dpi());
    tips_ = std::make_unique<TToolTips>(Handle());

    CreatePanels();
    CreateInputPanel();
    CreateOptionsPanel();
    CreateButtonsPanel();
    CreateListPanel();
    // Laid out once more now that all are there: a control that grows to its caption makes room
    // only up to its neighbours.
    TForm::Rescaled(Dpi());
    ScaleOwnParts(Dpi());

    runner1 = std::make_unique<TConsoleRunner>(this, ui_);
    runner1->Name = "runner1";
    runner1->InputToOutput = false;
    runner1->MaxTimeAfterBeginning = 0;
    runner1->MaxTimeAfterLastOutput = 0;
    runner1->ShowWindow = swHIDE;
    runner1->CreationFlag = fCREATE_NEW_CONSOLE;
    runner1->ReturnCode = rcCRLF;
    // The console view mirrors the output from the very first line of the first run.
    runner1->SetOutputLines(&mmo2->Lines());

    TRunSessionArgs session;
    session.Owner = this;
    session.ListRunner = [this]() -> TConsoleRunner& { return *runner1; };
    session.Console = &mmo2->Lines();
    session.Listener = this;
    session.SystemMessage = SystemMessage;
    session.Clock = LocalTimeText;
    session.FileExists = [](const std::string& path) { return ::FileExists(path); };
    session.Network = [this] { return Network; };
    session_ = std::make_unique<TRunSession>(ui_, std::move(session));

    dlg1 = {.Title = "Save Console log",
            .FileName = "ResultLog.txt",
            .Filter = "txt file (*.txt)|*.txt",
            .DefaultExt = "txt",
            .Resizable = true,
            .ShowReadOnly = false,
            .OverwritePrompt = false};
    RetryListDialog = {.Title = "Save Retry List", .FileName = "RetryList.txt", .Filter = "Text files (*.txt)|*.txt",
                       .DefaultExt = "txt", .OverwritePrompt = true};
    ResultsDialog = {.Title = "Save Results", .FileName = "Results.csv", .Filter = "CSV files (*.csv)|*.csv",
                     .DefaultExt = "csv", .OverwritePrompt = true};
    AnsibleFolderDialog = {.Title = "Export for Ansible: choose a folder"};
    ListFileDialog = {.Filter = "Text files (*.txt)|*.txt",
                      .DefaultExt = "txt",
                      .Resizable = true,
                      .ShowReadOnly = true,
                      .FileMustExist = false};

    ToolLicenceAccepted = ToolLicenceAcceptedInRegistry;

    // The panels' layout is fixed, so the export lives in the system menu and on a shortcut.
    AddSystemMenuCommand(kExportCommand, kExportShortcut, [this] { ExportForAnsible(); });

    OnShow = [this](TObject* sender) { FormShow(sender); };
    SetFocusedControl(edt1.get());
    RunHandler([this] { FormCreate(this); });
}

TForm1::~TForm1()
{
    // The runners go first: their workers must not deliver into views that are gone.
    runner1.reset();
    session_.reset();
}

LRESULT TForm1::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY)
        PostQuitMessage(0);  // closing the main window ends the program, also during a run
    // Esc reaches the window as the dialog manager's cancel command, from whichever control.
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL && lParam == 0 && RunActive())
        RunHandler([this] { StopRun(); });
    return TForm::WindowProc(msg, wParam, lParam);
}

// ---- start-up and the ready line

void TForm1::FormCreate(TObject* /*Sender*/)
{
    // The file found here is the tool, once and for all: its version is the one shown and it is
    // the file each run starts, wherever else a file of that name may lie.
    if (::FileExists(kToolFileName)) {
        toolPath_ = FullPathName(kToolFileName);
        runner1->ApplicationName = toolPath_;
    } else {
        ::ShowError(application_.Dialogs(), kToolMissing);
        PostQuitMessage(0);
    }
    JobVars.CurrentAccount = false;
    JobVars.StopRun = false;
}

void TForm1::FormShow(TObject* /*Sender*/)
{
    ShowReadyLine();
}

std::string TForm1::GetVersion(const std::string& fileName) const
{
    return ReadFileVersionText(fileName);
}

void TForm1::ShowReadyLine()
{
    stsbr1->SetSimpleText(ReadyLineFor(toolPath_.empty() ? std::string() : GetVersion(toolPath_)));
}

void TForm1::ShowIdleStatus()
{
    if (!RunActive())
        ShowReadyLine();
    else if (const std::optional<std::string> progress = session_->ProgressText())
        stsbr1->SetSimpleText(*progress);
    else
        stsbr1->SetSimpleText(kRunningProcess);
}

// ---- the job

void TForm1::InitAllVars()
{
    runner1->CommandLine.clear();
    ResetJobVariables(JobVars);
}

std::optional<TJob> TForm1::CollectData()
{
    return ::CollectData(*this, JobVars);
}

void TForm1::sbtbtn1Click(TObject* /*Sender*/)
{
    stsbr1->SetSimpleText(kCollectingData);
    InitAllVars();
    const std::optional<int> atATime = ComputersAtATime();
    std::optional<TJob> job;
    if (atATime)
        job = CollectData();
    if (!job) {
        JobVars.StopRun = false;
        ShowIdleStatus();
        return;
    }
    job->Computers = TComputerList(ReadRunList());
    job->AtATime = *atATime;
    job->SkipNotAnswering = chk8->Checked();
    if (!ComputersAccepted(*job)) {
        ShowIdleStatus();
        return;
    }
    if (!ToolLicenceAccepted()) {
        ::ShowWarning(application_.Dialogs(), kLicenceNotAccepted);
        ShowIdleStatus();
        return;
    }
    stsbr1->SetSimpleText(kRunningProcess);
    try {
        if (job->RunsWholeList())
            runner1->CommandLine = ComposeCommandLine(JobVars);
        session_->Start(*job, JobVars);
    } catch (...) {
        // Nothing runs: the status line tells so, and the error box reports why.
        ShowIdleStatus();
        throw;
    }
}

std::optional<int> TForm1::ComputersAtATime()
{
    const std::optional<int> atATime = ParseAtATime(edt7->Text());
    if (!atATime) {
        ShowWarning(kAtATimeRefused);
        edt7->SetFocus();
    }
    return atATime;
}

bool TForm1::ComputersAccepted(const TJob& job)
{
    const std::optional<std::string> refusal = ComputersRefusal(job);
    if (!refusal)
        return true;
    ShowWarning(*refusal);
    edt1->SetFocus();
    return false;
}

void TForm1::StopRun()
{
    session_->Stop();
}

void TForm1::ForgetMarks()
{
    if (session_->ForgetMarks())
        mmo1->SetLineMarks(nullptr);
}

std::string TForm1::ReadListText(const std::string& path)
{
    // Editors save lists as UTF-8 or UTF-16; the program's text is the system's code page.
    return FileTextInAnsi(ReadWholeFile(path), AnsiFromUnicode);
}

std::string TForm1::ReadRunList()
{
    try {
        return ReadListText(edt1->Text());
    } catch (const std::runtime_error&) {
        return {};
    }
}

void TForm1::chk7Click(TObject* /*Sender*/)
{
    JobVars.UninstallMode = chk7->Checked();
}

TEdit& TForm1::Field(JobField field)
{
    TEdit* const fields[] = {edt1.get(), edt2.get(), edt3.get(), edt4.get(), edt5.get(), edt6.get()};
    return *fields[static_cast<int>(field)];
}

std::string TForm1::FieldText(JobField field)
{
    return Field(field).Text();
}

void TForm1::SetFieldText(JobField field, const std::string& text)
{
    Field(field).SetText(text);
}

bool TForm1::Checked(JobCheck check)
{
    const std::unique_ptr<TCheckBox>* boxes[] = {&chk1, &chk2, &chk3, &chk4, &chk5, &chk6, &chk7};
    return (*boxes[static_cast<int>(check)])->Checked();
}

void TForm1::FocusField(JobField field)
{
    Field(field).SetFocus();
}

void TForm1::ShowWarning(const std::string& text)
{
    ::ShowWarning(application_.Dialogs(), text);
}

bool TForm1::Confirm(const std::string& text)
{
    return ::Confirm(application_.Dialogs(), text);
}

bool TForm1::FileExists(const std::string& path)
{
    return ::FileExists(path);
}

// ---- what the runs tell the window

void TForm1::MarkedRunStarted()
{
    mmo1->SetLineMarks([this](int line) { return TargetMark(line); });
}

void TForm1::MarksChanged()
{
    mmo1->MarksChanged();
}

void TForm1::ConsoleGrew()
{
    // Keep the end in sight, even when the operator had scrolled up.
    mmo2->Lines().ScrollToEnd();
}

void TForm1::StatusChanged()
{
    ShowIdleStatus();
}

bool TForm1::FitsConsole(std::string_view line)
{
    // The window cannot be resized: a summary line wider than the view would need scrolling.
    return mmo2->FitsWidth(std::string(line));
}

// ---- the window's own reactions

void TForm1::edt1Change(TObject* /*Sender*/)
{
    const std::string path = edt1->Text();
    if (!::FileExists(path)) {
        edt1->SetTextColor(FileMissingColor);
        return;
    }
    edt1->SetTextColor(FileFoundColor);
    LoadListPreview(path);
}

void TForm1::LoadListPreview(const std::string& path)
{
    const std::string content = ReadListText(path);  // throws before the preview changes
    ForgetMarks();
    mmo1->Lines().SetText(content);
    lblTargets->SetCaption("Target Computers from " + ExtractFileName(path) + ":");
}

void TForm1::edt1ButtonClick(TObject* /*Sender*/)
{
    TFileDialogSettings settings = ListFileDialog;
    const std::string current = edt1->Text();
    if (IsValidFileName(current)) {
        settings.FileName = current;
        const std::string folder = ExtractFileDir(current);
        if (!folder.empty() && DirectoryExists(folder))
            settings.InitialDir = folder;
    }
    const std::optional<std::string> chosen = application_.Dialogs().OpenFile(settings);
    if (chosen) {
        edt1->SetText(*chosen);
        ListFileDialog.InitialDir = ExtractFileDir(*chosen);
    }
    edt1->SetFocus();
}

void TForm1::edt2Change(TObject* /*Sender*/)
{
    edt2->SetTextColor(::FileExists(edt2->Text()) ? FileFoundColor : FileMissingColor);
}

void TForm1::edt6KeyPress(TObject* /*Sender*/, char& Key)
{
    KeepDigits(Key);
}

void TForm1::edt7KeyPress(TObject* /*Sender*/, char& Key)
{
    KeepDigits(Key);
}

void TForm1::chk2Click(TObject* /*Sender*/)
{
    if (chk2->Checked() && chk3->Checked())
        chk3->SetChecked(false);
}

void TForm1::chk3Click(TObject* /*Sender*/)
{
    if (chk3->Checked() && chk2->Checked())
        chk2->SetChecked(false);
}

void TForm1::chk6Click(TObject* /*Sender*/)
{
    if (chk6->Checked()) {
        edt6->SetEnabled(true);
        edt6->SetFocus();
    } else {
        edt6->SetEnabled(false);
    }
}

void TForm1::sbtbtn2Click(TObject* /*Sender*/)
{
    Close();
}

void TForm1::sbtbtn3Click(TObject* /*Sender*/)
{
    if (ShowAboutBox)
        ShowAboutBox();
}

void TForm1::sbtbtn4Click(TObject* /*Sender*/)
{
    edt1->SetText("");
    edt2->SetText("");
    edt3->SetText("");
    edt4->SetText("");
    edt5->SetText("");
    ForgetMarks();
    mmo1->Lines().Clear();
    mmo2->Lines().Clear();
    session_->ConsoleCleared();
    lblTargets->SetCaption(TargetsCaption);
    chk1->SetChecked(true);
    chk2->SetChecked(false);
    chk3->SetChecked(false);
    chk4->SetChecked(false);
    chk5->SetChecked(false);
    chk6->SetChecked(false);
    chk7->SetChecked(false);
    chk8->SetChecked(false);
    edt6->SetText("");
    edt7->SetText("1");
    InitAllVars();
    ShowIdleStatus();
}

void TForm1::sbtbtn5Click(TObject* /*Sender*/)
{
    if (mmo2->Lines().Count() == 0) {
        ::ShowWarning(application_.Dialogs(), kConsoleEmpty);
        return;
    }
    SaveThroughDialog(dlg1, [this](const std::string& path) { SaveConsoleLog(path); });
}

void TForm1::SaveThroughDialog(TFileDialogSettings& dialog, const std::function<void(const std::string&)>& save)
{
    const std::optional<std::string> chosen = application_.Dialogs().SaveFile(dialog);
    if (!chosen)
        return;
    dialog.FileName = *chosen;
    save(*chosen);
}

void TForm1::SaveConsoleLog(const std::string& path)
{
    WriteWholeFile(path, mmo2->Lines().Text());
}

bool TForm1::HasRetryList(bool withRestartRequired) const
{
    return !session_->RetryList(withRestartRequired).empty();
}

void TForm1::SaveRetryList(bool withRestartRequired)
{
    const std::vector<std::string> computers = session_->RetryList(withRestartRequired);
    if (computers.empty()) {
        ::ShowWarning(application_.Dialogs(), kNothingToRetry);
        return;
    }
    const std::string text = TStringList(computers).Text();
    SaveThroughDialog(RetryListDialog, [&text](const std::string& path) { WriteWholeFile(path, text); });
}

void TForm1::SaveResults()
{
    if (!HasResults()) {
        ::ShowWarning(application_.Dialogs(), kNoResults);
        return;
    }
    const std::string csv = session_->ResultsCsv();
    SaveThroughDialog(ResultsDialog, [&csv](const std::string& path) { WriteWholeFile(path, csv); });
}

// ---- the same job for Ansible

void TForm1::ExportForAnsible()
{
    stsbr1->SetSimpleText(kCollectingData);
    struct TRestoreStatus {
        TForm1& form;
        ~TRestoreStatus() { form.ShowIdleStatus(); }
    } restoreStatus{*this};

    // The same checks and boxes as Execute, on variables of its own: a run's job stays as it is.
    TJobVariables checked;
    std::optional<TJob> job = ::CollectData(*this, checked, TAccountQuestion::None);
    if (!job)
        return;
    job->Computers = TComputerList(ReadListText(job->ListFile));
    const auto productCode = ReadPackageCode(job->PackagePath, IsPatchPackage(job->PackagePath));
    const TAnsibleExport composed = ComposeAnsibleExport(*job, productCode);
    if (!composed.Refusal.empty()) {
        ::ShowWarning(application_.Dialogs(), composed.Refusal);
        return;
    }
    if (!composed.Warning.empty())
        ::ShowWarning(application_.Dialogs(), composed.Warning);
    if (const std::optional<std::string> folder = WriteAnsibleFiles(composed.Files))
        ::ShowInformation(application_.Dialogs(), ExportReport(*job, *folder));
}

std::optional<std::string> TForm1::WriteAnsibleFiles(const std::vector<TExportFile>& files)
{
    const std::optional<std::string> folder = application_.Dialogs().ChooseFolder(AnsibleFolderDialog);
    if (!folder)
        return std::nullopt;
    AnsibleFolderDialog.InitialDir = *folder;
    const std::string prefix = folder->ends_with('\\') ? *folder : *folder + "\\";

    std::vector<TFileToWrite> writes;
    std::string existing;
    for (const TExportFile& file : files) {
        writes.push_back({prefix + file.Name, Utf8Text(file.Text)});
        if (::FileExists(writes.back().Path))
            existing += "\n" + file.Name;
    }
    if (!existing.empty() &&
        !::Confirm(application_.Dialogs(), "These files already exist in " + *folder + ":" + existing + "\n\nReplace them?"))
        return std::nullopt;
    WriteFilesWhole(writes);
    return folder;
}
