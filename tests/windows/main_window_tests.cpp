// The real main window under Wine, driven by messages, with scripted dialogs and the stand-in
// tool as the real child process.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <system_error>

#include "MainWindowFixture.h"
#include "job/CommandLine.h"
#include "job/JobVariables.h"
#include "job/ReadyLine.h"
#include "toolkit/AccessibleWin32.h"
#include "toolkit/BoundsWin32.h"
#include "toolkit/RegistryWin32.h"
#include "toolkit/TextWin32.h"
#include "resource_ids.h"

namespace {

const std::string kStandinVersion = "2.43.0.7";
const std::string kReadyLine = ReadyLineFor(kStandinVersion);
const char* const kToolMissing =
    "Can't find Psexec.exe, Vantrel will not function, please copy Psexec.exe into Vantrel Folder and try again";

std::string ClassOf(HWND hwnd)
{
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

void TypeChar(const TControl& control, char c)
{
    SendMessageA(control.Handle(), WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 0);
}

// A path in the folder of this test program, which stands in for the program's own folder.
std::string BesideProgram(const std::string& name)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return std::filesystem::path(self).parent_path().string() + "\\" + name;
}

std::string ClipboardText(HWND owner)
{
    if (!OpenClipboard(owner))
        return "(no clipboard)";
    HANDLE data = GetClipboardData(CF_TEXT);
    const std::string text = data ? static_cast<const char*>(GlobalLock(data)) : "";
    if (data)
        GlobalUnlock(data);
    CloseClipboard();
    return text;
}

void PutOnClipboard(HWND owner, const std::string& text)
{
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

// A main window in a folder that holds the stand-in, as an administrator would start it.
class MainWindow : public TMainWindowTest {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "0");
        SetEnvironmentVariableA("VANTREL_STANDIN_RECORD", folder_.File("received.txt").c_str());
        folder_.Write("lab.txt", "PC-LAB-01\r\nPC-LAB-02\r\n");
        WriteFileBytes(Package(), "package");
    }

    void TearDown() override
    {
        if (app_) {
            WaitForRunEnd();
            app_.reset();
        }
        SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", nullptr);
        SetEnvironmentVariableA("VANTREL_STANDIN_RECORD", nullptr);
        SetEnvironmentVariableA("VANTREL_STANDIN_JOURNAL", nullptr);
    }

    // Fills a job that passes every test, with the current account; the list written first if given.
    void FillValidJob(const std::string& listName = "lab.txt", const std::string& list = "")
    {
        if (!list.empty())
            folder_.Write(listName, list);
        Form().edt1->SetText(folder_.File(listName));
        Form().edt2->SetText(Package());
    }

    // Executes and waits for the run's end; the lines the run added to the console view.
    std::vector<std::string> LinesOfARun(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        const auto before = static_cast<std::ptrdiff_t>(ConsoleLines(Form()).size());
        Click(*Form().sbtbtn1);
        EXPECT_TRUE(WaitForRunEnd(timeout));
        const auto console = ConsoleLines(Form());
        return std::vector<std::string>(console.begin() + before, console.end());
    }
};

TEST_F(MainWindow, StartsWithTheLayoutAndStatesOfAFreshWindow)
{
    TForm1& form = Form();
    EXPECT_EQ(WindowText(form.Handle()), "Vantrel 1.0");
    const TBounds client = ClientBounds(form.Handle());
    EXPECT_EQ(client.Width, 542);
    EXPECT_EQ(client.Height, 502);
    const LONG_PTR style = GetWindowLongPtrA(form.Handle(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the frame is fixed";
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    RECT window;
    GetWindowRect(form.Handle(), &window);
    EXPECT_NEAR((window.left + window.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    for (const TPlace& place : MainWindowLayoutAt96(form)) {
        const TBounds r = BoundsOf(*place.Control);
        EXPECT_STRCASEEQ(ClassOf(place.Control->Handle()).c_str(), place.ClassName);
        EXPECT_EQ(r.Left, place.At96.Left) << place.Control->Hint();
        EXPECT_EQ(r.Top, place.At96.Top) << place.Control->Hint();
        EXPECT_EQ(r.Width, place.At96.Width) << place.Control->Hint();
        EXPECT_EQ(r.Height, place.At96.Height) << place.Control->Hint();
    }

    EXPECT_EQ(form.edt1->Hint(), "Selecet the computers list text file");
    EXPECT_EQ(form.chk5->Hint(), " Don't wait for process to terminate (non-interactive)");
    EXPECT_EQ(form.mmo2->Hint(), "Watch a live console view of the progress");
    EXPECT_EQ(SendMessageA(form.ToolTipsHandle(), TTM_GETTOOLCOUNT, 0, 0), 21) << "every control with a hint";

    const TBounds browse = ScreenBounds(form.edt1->ButtonHandle()), field = ScreenBounds(form.edt1->Handle());
    EXPECT_TRUE(IsWindowVisible(form.edt1->ButtonHandle()));
    EXPECT_GT(browse.Width, 10) << "the browse button sits inside the field's right end";
    EXPECT_LE(browse.Right(), field.Right());
    EXPECT_GE(browse.Left, field.Right() - 30);

    EXPECT_EQ(form.edt1->MaxLength(), 255);
    EXPECT_EQ(form.edt6->MaxLength(), 2);
    EXPECT_GT(form.edt2->MaxLength(), 1000000) << "the other fields have no limit";
    EXPECT_EQ(form.edt5->PasswordChar(), '*');
    EXPECT_EQ(form.edt4->PasswordChar(), 0);

    EXPECT_TRUE(form.chk1->Checked());
    for (auto* box : {form.chk2.get(), form.chk3.get(), form.chk4.get(), form.chk5.get(), form.chk6.get(), form.chk7.get()})
        EXPECT_FALSE(box->Checked());
    EXPECT_FALSE(form.edt6->Enabled());
    EXPECT_EQ(form.edt6->Text(), "");
    EXPECT_EQ(FontOf(form.chk7->Handle()).lfWeight, FW_BOLD);
    EXPECT_STRCASEEQ(FontOf(form.edt1->Handle()).lfFaceName, "Tahoma");
    EXPECT_STRCASEEQ(FontOf(form.mmo2->Handle()).lfFaceName, "System");
    EXPECT_EQ(form.mmo2->TextColor(), RGB(255, 255, 255));
    EXPECT_EQ(form.mmo2->BackgroundColor(), RGB(0, 0, 0));
    EXPECT_EQ(form.mmo1->Lines().Count(), 0);
    EXPECT_EQ(form.mmo2->Lines().Count(), 0);

    EXPECT_EQ(form.lblPackage->Text(), "Install package UNC path (Example: \\\\Server\\share\\install.msi):");
    EXPECT_EQ(BoundsOf(*form.lblPackage).Bottom(), BoundsOf(*form.edt2).Top);
    EXPECT_EQ(form.lblTargets->Text(), "Target Computers:");
    const TBounds console = BoundsOf(*form.mmo2), consoleCaption = BoundsOf(*form.lblConsole);
    EXPECT_NEAR((consoleCaption.Left + consoleCaption.Right()) / 2, (console.Left + console.Right()) / 2, 1);

    EXPECT_EQ(GetFocus(), form.edt1->Handle());
    EXPECT_EQ(form.stsbr1->SimpleText(), kReadyLine) << "the file version, not the product version";
}

// The sizes in the program's icon, from its directory in the resources (0 stands for 256).
std::vector<int> IconSizes(int id)
{
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    if (!found)
        return {};
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(self, found)));
    // A header of three 16-bit words (the third the count), then 14-byte entries led by the width.
    const int count = bytes[4] | bytes[5] << 8;
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i)
        sizes.push_back(bytes[6 + 14 * i] == 0 ? 256 : bytes[6 + 14 * i]);
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

TEST_F(MainWindow, TheProgramAndItsWindowHaveAnIconOfTheirOwn)
{
    EXPECT_EQ(IconSizes(IDI_VANTREL), (std::vector<int>{16, 20, 24, 32, 48, 256}));
    const HICON generic = LoadIcon(nullptr, IDI_APPLICATION);
    for (const WPARAM kind : {WPARAM{ICON_BIG}, WPARAM{ICON_SMALL}}) {
        SCOPED_TRACE(kind == ICON_BIG ? "title and task bar" : "small");
        const auto icon = reinterpret_cast<HICON>(SendMessageA(Form().Handle(), WM_GETICON, kind, 0));
        ASSERT_NE(icon, nullptr);
        EXPECT_NE(icon, generic);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(kind == ICON_BIG ? SM_CXICON : SM_CXSMICON));
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

TEST_F(MainWindow, TabVisitsTheFieldsInTheirOwnOrderThenTheOptionsButtonsAndViews)
{
    TForm1& form = Form();
    const TControl* order[] = {form.edt1.get(), form.edt3.get(),    form.edt4.get(),    form.edt5.get(),
                               form.edt2.get(), form.chk1.get(),    form.chk2.get(),    form.chk3.get(),
                               form.chk4.get(), form.chk5.get(),    form.chk6.get(),    form.chk7.get(),
                               form.edt7.get(),    form.sbtbtn1.get(), form.sbtbtn4.get(), form.sbtbtn5.get(), form.sbtbtn3.get(),
                               form.sbtbtn2.get(), form.mmo1.get(), form.mmo2.get()};
    HWND at = form.edt1->Handle();
    for (std::size_t i = 1; i < std::size(order); ++i) {
        at = GetNextDlgTabItem(form.Handle(), at, FALSE);
        EXPECT_EQ(at, order[i]->Handle()) << "step " << i;
    }
}

TEST_F(MainWindow, AnExceptionFromAHandlerReachesTheErrorBoxWithTheFullStopRule)
{
    Form().edt3->OnChange = [](TObject*) { throw std::runtime_error("Something went wrong"); };
    Form().edt3->SetText("x");
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_TRUE(IsBox(dialogs_.Boxes[0], kApplicationTitle, TMsgDlgType::mtError, "Something went wrong."));
    EXPECT_EQ(std::string(kApplicationTitle).size(), 61u);
}

TEST_F(MainWindow, GetVersionReadsTheFileVersionAndGivesNothingForAMissingFile)
{
    EXPECT_EQ(Form().GetVersion(WinPath(VANTREL_VERSION_PROBE_EXE)), "0.65535.0.65535");
    EXPECT_EQ(Form().GetVersion("PsExec.exe"), kStandinVersion);
    EXPECT_EQ(Form().GetVersion(folder_.File("nothing-here.exe")), "");
    EXPECT_EQ(Form().GetVersion(folder_.File("lab.txt")), "") << "a file without a version resource";
}

// ---- refused input

// The list is given relative to the test's folder ("" is the folder itself); nothing: left empty.
struct Refusal {
    const char* name;
    std::optional<std::string> list;
    std::optional<std::string> package;
    const char* text;
    const char* focus;  // "edt1" or "edt2"
};

TEST_F(MainWindow, EachRefusedInputShowsOneWarningMovesTheFocusAndStartsNothing)
{
    WriteFileBytes(kShare + "\\setup.MSI", "x");
    CreateDirectoryA((kShare + "\\folder.msi").c_str(), nullptr);
    const std::string lab = "\\lab.txt";
    const Refusal refusals[] = {
        {"empty list", {}, {}, "You must select a distribution list file !", "edt1"},
        {"missing list", "\\none.txt", {}, "The distribution list file doesn't exists !", "edt1"},
        {"list is a folder", "", {}, "The distribution list file doesn't exists !", "edt1"},
        {"empty package", lab, {}, "You must select a package to distribute !", "edt2"},
        {"drive path", lab, "C:\\install.msi", "Package must be in a UNC path !", "edt2"},
        {"upper-case ending", lab, kShare + "\\setup.MSI", "Package must be an msi ro msp file !", "edt2"},
        {"missing package", lab, kShare + "\\none.msi", "The package file doesn't exists !", "edt2"},
        {"package is a folder", lab, kShare + "\\folder.msi", "The package file doesn't exists !", "edt2"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        Click(*Form().sbtbtn4);
        dialogs_.Boxes.clear();
        if (refusal.list)
            Form().edt1->SetText(folder_.Path() + *refusal.list);
        if (refusal.package)
            Form().edt2->SetText(*refusal.package);
        Form().edt4->SetFocus();
        std::string statusDuringBox;
        dialogs_.WhileBoxIsUp = [&] { statusDuringBox = Form().stsbr1->SimpleText(); };
        Click(*Form().sbtbtn1);
        ASSERT_EQ(dialogs_.Boxes.size(), 1u);
        EXPECT_TRUE(IsBox(dialogs_.Boxes[0], "Warning", TMsgDlgType::mtWarning, refusal.text));
        EXPECT_FALSE(dialogs_.Boxes[0].OkCancel);
        EXPECT_EQ(statusDuringBox, "Collecting data...");
        const HWND expectedFocus = std::string(refusal.focus) == "edt1" ? Form().edt1->Handle() : Form().edt2->Handle();
        EXPECT_EQ(GetFocus(), expectedFocus);
        EXPECT_EQ(Form().stsbr1->SimpleText(), kReadyLine);
        EXPECT_EQ(Form().runner1->CommandLine, "");
        EXPECT_FALSE(Form().RunActive());
        EXPECT_FALSE(JobVars.StopRun);
    }
    dialogs_.WhileBoxIsUp = nullptr;
    RemoveDirectoryA((kShare + "\\folder.msi").c_str());
}

TEST_F(MainWindow, DecliningTheCurrentAccountLeavesTheFocusAndStartsNothing)
{
    FillValidJob();
    Form().chk4->SetFocus();
    dialogs_.Answers = {TModalResult::mrCancel};
    HWND focusWhileAsking = nullptr;
    dialogs_.WhileBoxIsUp = [&] { focusWhileAsking = GetFocus(); };
    Click(*Form().sbtbtn1);
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_TRUE(IsBox(dialogs_.Boxes[0], "Confirm", TMsgDlgType::mtConfirmation,
                      "Process will run distribiution with your existing account, continue ?"));
    EXPECT_TRUE(dialogs_.Boxes[0].OkCancel);
    EXPECT_NE(focusWhileAsking, nullptr);
    EXPECT_EQ(GetFocus(), focusWhileAsking) << "the focus stays where it was";
    EXPECT_EQ(Form().runner1->CommandLine, "");
    EXPECT_EQ(Form().stsbr1->SimpleText(), kReadyLine);
}

// ---- complete runs with the stand-in

TEST_F(MainWindow, ACompleteRunShowsEveryLineTheSuccessLineAndTheReadyLine)
{
    FillValidJob();
    Form().edt3->SetText("CORP");
    Form().edt4->SetText("deploy");
    Form().edt5->SetText("pass word\"x");
    Form().chk4->SetChecked(true);
    Click(*Form().sbtbtn1);
    EXPECT_TRUE(dialogs_.Boxes.empty()) << "credentials given: no confirmation";
    EXPECT_EQ(Form().stsbr1->SimpleText(), "Running process...");
    ASSERT_TRUE(WaitForRunEnd());

    EXPECT_EQ(ReadFileBytes(folder_.File("received.txt")), Form().runner1->CommandLine)
        << "the tool receives exactly the composed line";
    EXPECT_EQ(Form().runner1->CommandLine, ComposeCommandLine(JobVars));

    const std::vector<std::string> console = ConsoleLines(Form());
    // The runner's Lines keep every piece handed over, the beginnings of lines that reached the
    // pipe in parts included, so the lines the view must show are those the tool writes to a file.
    const std::vector<std::string> written =
        WhatTheToolWrites(Form().runner1->ApplicationName, Form().runner1->CommandLine, folder_.File("written.txt"));
    ASSERT_GE(console.size(), 5u);
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ(console.front(), written.front()) << "the first line of the first run is shown";
    EXPECT_EQ(console[console.size() - 5], "PsExec exited with error code 0.");
    EXPECT_EQ(console[console.size() - 4], "Vantrel: Process completed successfully");
    EXPECT_EQ(console[console.size() - 3], "Vantrel: Results for 2 computers:") << "the summary comes last";
    EXPECT_EQ(console[console.size() - 2], "Vantrel:   2 done");
    EXPECT_EQ(console.back(), "Execution Finished");
    EXPECT_EQ(std::vector<std::string>(console.begin(), console.end() - 4), written)
        << "every line the tool wrote, once, in order";
    const int rows = ClientBounds(Form().mmo2->Handle()).Height / 9;
    EXPECT_GE(Form().mmo2->TopLine() + 3, static_cast<int>(console.size()) - rows)
        << "the end of the view is in sight";
    EXPECT_EQ(Form().stsbr1->SimpleText(), kReadyLine);
}

TEST_F(MainWindow, AToolThatCannotBeStartedIsReportedAndTheRunStillEnds)
{
    FillValidJob();
    ASSERT_TRUE(DeleteFileA(folder_.File("Psexec.exe").c_str()));
    ASSERT_TRUE(ExecuteToEnd());
    ASSERT_TRUE(PumpUntil(App(), [&] { return dialogs_.Boxes.size() == 2; }));
    EXPECT_TRUE(IsBox(dialogs_.Boxes[1], kApplicationTitle, TMsgDlgType::mtError,
                      Form().runner1->CommandLine + " doesn't exist.")) << "no second full stop";
    EXPECT_EQ(ConsoleLines(Form()), std::vector<std::string>{"Execution Finished"});
    EXPECT_EQ(Form().stsbr1->SimpleText(), ReadyLineFor(""));
}

TEST_F(MainWindow, AToolBesideTheProgramIsNeverStartedAndItsVersionNeverShown)
{
    const std::string beside = BesideProgram("Psexec.exe");
    ASSERT_TRUE(CopyFileA(WinPath(VANTREL_VERSION_PROBE_EXE).c_str(), beside.c_str(), FALSE));
    FillValidJob();
    Click(*Form().sbtbtn1);
    const bool ended = WaitForRunEnd();
    const std::string commandLine = Form().runner1->CommandLine;
    const std::string status = Form().stsbr1->SimpleText();
    Click(*Form().sbtbtn4);
    const std::string statusAfterClear = Form().stsbr1->SimpleText();
    DeleteFileA(beside.c_str());
    ASSERT_TRUE(ended);
    EXPECT_EQ(ReadFileBytes(folder_.File("received.txt")), commandLine) << "the tool in the current folder ran";
    EXPECT_EQ(commandLine.rfind("Psexec \"@", 0), 0u) << "the line as composed";
    EXPECT_EQ(status, kReadyLine);
    EXPECT_EQ(statusAfterClear, kReadyLine);
}

// A platform that cannot give the runner a worker thread.
class TNoThreadBackend : public IProcessBackend {
public:
    std::unique_ptr<IChildProcess> NewChild() override { return DefaultProcessBackend()->NewChild(); }
    void Launch(std::function<void()> /*body*/) override
    {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "no worker thread");
    }
};

TEST_F(MainWindow, ARunThatCannotStartBringsTheReadyLineBackAndShowsTheError)
{
    TForm1& form = Form();
    form.runner1 = std::make_unique<TConsoleRunner>(&form, app_->Ui(), std::make_shared<TNoThreadBackend>());
    form.runner1->SetOutputLines(&form.mmo2->Lines());
    FillValidJob();
    Click(*form.sbtbtn1);
    ASSERT_EQ(dialogs_.Boxes.size(), 2u) << "the current-account question, then the error";
    EXPECT_TRUE(IsBox(dialogs_.Boxes[1], kApplicationTitle, TMsgDlgType::mtError, "no worker thread", TTextIs::Within));
    EXPECT_FALSE(form.RunActive());
    EXPECT_EQ(form.stsbr1->SimpleText(), kReadyLine);
    PumpFor(App(), std::chrono::milliseconds(200));
    EXPECT_EQ(form.stsbr1->SimpleText(), kReadyLine) << "and it stays";
}

TEST_F(MainWindow, AFailedRunAfterASuccessfulOneGetsNoSuccessLine)
{
    FillValidJob();
    ASSERT_TRUE(ExecuteToEnd());
    folder_.Write("bad.txt", "PC-OFFLINE-1\r\n");
    Form().edt1->SetText(folder_.File("bad.txt"));
    ASSERT_TRUE(ExecuteToEnd());
    const std::vector<std::string> console = ConsoleLines(Form());
    EXPECT_EQ(std::count(console.begin(), console.end(), "Vantrel: Process completed successfully"), 1);
    EXPECT_EQ(std::count(console.begin(), console.end(), "Execution Finished"), 2);
    EXPECT_EQ(console.back(), "Execution Finished");
    EXPECT_NE(console[console.size() - 2], "Vantrel: Process completed successfully");
    EXPECT_EQ(dialogs_.Boxes.size(), 2u) << "one confirmation per run, nothing else";
}

TEST_F(MainWindow, ClearDuringARunKeepsTheRunAndItsStatusUntilItEnds)
{
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "300");
    FillValidJob();
    Click(*Form().sbtbtn1);
    PumpUntil(App(), [&] { return Form().mmo2->Lines().Count() > 0; });
    Click(*Form().sbtbtn4);
    EXPECT_EQ(Form().mmo2->Lines().Count(), 0);
    EXPECT_EQ(Form().edt1->Text(), "");
    EXPECT_EQ(Form().stsbr1->SimpleText(), "Running process...") << "a run is still active";
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(Form().mmo2->Lines().Get(Form().mmo2->Lines().Count() - 1), "Execution Finished");
    EXPECT_EQ(Form().stsbr1->SimpleText(), kReadyLine);
}

TEST_F(MainWindow, ASecondExecuteSupersedesTheFirstAndTheStatusFollowsTheNewerRun)
{
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "300");
    FillValidJob();
    Click(*Form().sbtbtn1);
    PumpUntil(App(), [&] { return Form().mmo2->Lines().Count() > 0; });
    // The newer run takes seconds a computer, so it is still going when the older one has ended.
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "3000");
    Click(*Form().sbtbtn1);
    const auto finishedCount = [&] {
        const auto lines = ConsoleLines(Form());
        return std::count(lines.begin(), lines.end(), "Execution Finished");
    };
    ASSERT_TRUE(PumpUntil(App(), [&] { return finishedCount() >= 1; }));
    EXPECT_EQ(finishedCount(), 1);
    EXPECT_TRUE(Form().RunActive());
    EXPECT_EQ(Form().stsbr1->SimpleText(), "Running process...") << "the older run ended, the newer goes on";
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(finishedCount(), 2);
    EXPECT_EQ(Form().stsbr1->SimpleText(), kReadyLine);
}

TEST_F(MainWindow, AnUninstallWithTheCurrentAccountSendsTheUninstallForm)
{
    FillValidJob();
    Click(*Form().chk7);
    Click(*Form().chk3);
    ASSERT_TRUE(ExecuteToEnd());
    const std::string expected =
        "Psexec \"@" + folder_.File("lab.txt") + "\"  msiexec /uninstall \"" + Package() + "\" /qn /forcerestart";
    EXPECT_EQ(Form().runner1->CommandLine, expected);
    EXPECT_EQ(ReadFileBytes(folder_.File("received.txt")), expected);
    EXPECT_EQ(ConsoleLines(Form()).back(), "Execution Finished");
}

// Processes of the stand-in that this test program started, directly or through the runner.
int StandinChildren()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiA(entry.szExeFile, "Psexec.exe") == 0)
            ++count;
    CloseHandle(snapshot);
    return count;
}

TEST_F(MainWindow, ExitDuringARunEndsWithoutAQuestionAndLeavesNoChildBehind)
{
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "5000");
    FillValidJob();
    Click(*Form().sbtbtn1);
    ASSERT_TRUE(PumpUntil(App(), [&] { return StandinChildren() == 1; }));
    const HWND window = Form().Handle();
    Click(*Form().sbtbtn2);
    EXPECT_TRUE(PumpUntil(App(), [&] { return !IsWindow(window); }, std::chrono::seconds(5)));
    MSG quit{};
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "closing the main window ends the loop";
    EXPECT_EQ(dialogs_.Boxes.size(), 1u) << "only the confirmation of the run, no question on closing";
    app_->Shutdown();
    app_.reset();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (StandinChildren() > 0 && std::chrono::steady_clock::now() < deadline)
        Sleep(10);
    EXPECT_EQ(StandinChildren(), 0) << "the stopped run's child is gone within a second";
}

TEST_F(MainWindow, AboutShowsTheBoxModallyOverTheMainWindow)
{
    static TVantrelApp* app = app_.get();
    static bool mainWindowDisabled = false;
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        mainWindowDisabled = !IsWindowEnabled(app->Form1().Handle());
        app->AboutBox().Close();
    });
    Click(*Form().sbtbtn3);
    EXPECT_TRUE(mainWindowDisabled);
    EXPECT_TRUE(IsWindowEnabled(Form().Handle()));
    EXPECT_FALSE(app_->AboutBox().Showing());
}

// ---- per-computer results

// The lines of the console view from the last one starting with the prefix to the end.
// A summary line wrapped to fit the view goes on in lines of this beginning.
const std::string kContinued = "Vantrel:     ";

// The lines from the last one that begins with prefix, wrapped summary lines joined again.
std::vector<std::string> LinesFrom(const std::vector<std::string>& console, const std::string& prefix)
{
    const auto last = std::find_if(console.rbegin(), console.rend(),
                                   [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    std::vector<std::string> lines;
    for (auto line = last == console.rend() ? console.end() : std::prev(last.base()); line != console.end(); ++line) {
        if (line->rfind(kContinued, 0) == 0 && !lines.empty())
            lines.back() += " " + line->substr(kContinued.size());
        else
            lines.push_back(*line);
    }
    return lines;
}

// The summary lines that would need the horizontal scroll bar, measured as the view draws them.
std::vector<std::string> SummaryLinesWiderThanTheView(TForm1& form)
{
    const int client = ClientBounds(form.mmo2->Handle()).Width;
    std::vector<std::string> wide;
    const auto console = ConsoleLines(form);
    const auto first = std::find_if(console.rbegin(), console.rend(),
                                    [](const std::string& line) { return line.rfind("Vantrel: Results", 0) == 0; });
    for (auto line = std::prev(first.base()); first != console.rend() && line != console.end(); ++line) {
        const int width = TextSize(form.mmo2->Handle(), *line).cx;
        if (width + 2 * TMemo::TextMargin > client)
            wide.push_back(*line + " (" + std::to_string(width) + " of " + std::to_string(client) + ")");
    }
    return wide;
}

TEST_F(MainWindow, AMixedRunEndsWithItsSummaryAndSavesTheComputersToTryAgain)
{
    FillValidJob("mixed.txt", "PC-LAB-01\r\nlab-reboot-2\r\nPC-FAIL-3\r\nPC-OFFLINE-4\r\nPC-BUSY-5\r\nPC-DENIED-6\r\n"
                              "pc-lab-01\r\n");
    EXPECT_FALSE(Form().HasRetryList(false));
    Click(*Form().sbtbtn1);
    // The run keeps the list it read at Execute.
    Form().edt1->SetText(folder_.File("lab.txt"));
    ASSERT_TRUE(WaitForRunEnd());

    EXPECT_EQ(LinesFrom(ConsoleLines(Form()), "Vantrel: Results"),
              (std::vector<std::string>{
                  "Vantrel: Results for 6 computers:", "Vantrel:   1 done", "Vantrel:   1 restart required",
                  "Vantrel:   1 try later", "Vantrel:   1 failed", "Vantrel:   2 not reached",
                  "Vantrel: lab-reboot-2: done, restart required (code 3010)",
                  "Vantrel: PC-FAIL-3: failed (code 1603: Fatal error during installation.)",
                  "Vantrel: PC-OFFLINE-4: not reached (The network path was not found.)",
                  "Vantrel: PC-BUSY-5: another installation in progress, try later (code 1618)",
                  "Vantrel: PC-DENIED-6: not reached (Access is denied.)",
                  "Execution Finished"}));
    EXPECT_EQ(SummaryLinesWiderThanTheView(Form()), std::vector<std::string>{});

    const std::string retry = folder_.File("retry.txt");
    const std::string withRestart = folder_.File("retry-restart.txt");
    dialogs_.SaveAnswers = {retry, withRestart, std::nullopt};
    ASSERT_TRUE(Form().HasRetryList(false));
    Form().SaveRetryList(false);
    EXPECT_EQ(ReadFileBytes(retry), "PC-FAIL-3\r\nPC-OFFLINE-4\r\nPC-BUSY-5\r\nPC-DENIED-6\r\n");
    Form().SaveRetryList(true);
    EXPECT_EQ(ReadFileBytes(withRestart), "lab-reboot-2\r\nPC-FAIL-3\r\nPC-OFFLINE-4\r\nPC-BUSY-5\r\nPC-DENIED-6\r\n");
    ASSERT_EQ(dialogs_.SaveCalls.size(), 2u);
    EXPECT_EQ(dialogs_.SaveCalls[0].Title, "Save Retry List");
    EXPECT_EQ(dialogs_.SaveCalls[0].FileName, "RetryList.txt");
    EXPECT_TRUE(dialogs_.SaveCalls[0].OverwritePrompt);
    EXPECT_EQ(dialogs_.SaveCalls[1].FileName, retry) << "offers the last chosen path";

    // The saved list is a list file: the next run covers only those computers.
    Form().edt1->SetText(retry);
    ASSERT_TRUE(ExecuteToEnd());
    const auto counts = LinesFrom(ConsoleLines(Form()), "Vantrel: Results for");
    EXPECT_EQ(std::vector<std::string>(counts.begin(), counts.begin() + 4),
              (std::vector<std::string>{"Vantrel: Results for 4 computers:", "Vantrel:   1 try later",
                                        "Vantrel:   1 failed", "Vantrel:   2 not reached"}));

    Click(*Form().sbtbtn4);
    EXPECT_FALSE(Form().HasRetryList(true)) << "Clear forgets the results";
    const std::size_t boxes = dialogs_.Boxes.size();
    Form().SaveRetryList(false);
    ASSERT_EQ(dialogs_.Boxes.size(), boxes + 1);
    EXPECT_EQ(dialogs_.Boxes.back().Caption, "Warning");
    EXPECT_EQ(dialogs_.SaveCalls.size(), 2u) << "nothing to save, no dialog";
}

// What an accessibility client reads as the view's description.
std::wstring AccessibleDescription(HWND view)
{
    IAccessible* accessible = nullptr;
    if (AccessibleObjectFromWindow(view, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                   reinterpret_cast<void**>(&accessible)) != S_OK)
        return L"(no accessible object)";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    const HRESULT result = accessible->get_accDescription(self, &text);
    std::wstring description = result == S_OK && text ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    accessible->Release();
    return description;
}

// The rows of a CSV file without quoted line ends, each with its CR LF.
std::vector<std::string> SplitRows(const std::string& csv)
{
    std::vector<std::string> rows;
    for (std::size_t start = 0, end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2)
        rows.push_back(csv.substr(start, end + 2 - start));
    return rows;
}

TEST_F(MainWindow, TheTargetListMarksWaitingAndRunningComputersWhileTheRunGoesAndHasALegend)
{
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "1500");
    FillValidJob("slow.txt", "PC-SLOW-1\r\n\r\nPC-SLOW-2\r\n");
    EXPECT_FALSE(Form().HasResults());
    const auto saveResults = [&] {
        for (const TMenuCommand& command : Form().mmo2->MenuCommands())
            if (command.Caption == "Save Results...")
                return command.IsEnabled();
        return false;
    };
    EXPECT_FALSE(saveResults()) << "greyed out with nothing to save";
    Click(*Form().sbtbtn1);
    EXPECT_TRUE(PumpUntil(App(), [&] {
        return AccessibleDescription(Form().mmo1->Handle()) == L"PC-SLOW-1: running\r\nPC-SLOW-2: waiting";
    })) << AccessibleDescription(Form().mmo1->Handle());
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(AccessibleDescription(Form().mmo1->Handle()), L"PC-SLOW-1: done\r\nPC-SLOW-2: done");
    EXPECT_EQ(Form().mmo1->Lines().Count(), 3) << "the view keeps the file's lines";
    EXPECT_TRUE(saveResults());

    std::vector<std::string> legend;
    for (const TMenuCommand& command : Form().mmo1->MenuCommands()) {
        if (command.Caption.rfind("Mark ", 0) == 0) {
            legend.push_back(command.Caption);
            EXPECT_FALSE(command.IsEnabled()) << "the legend only tells";
        }
    }
    EXPECT_EQ(legend, (std::vector<std::string>{"Mark grey: waiting", "Mark blue: running", "Mark green: done",
                                                "Mark yellow: restart required", "Mark red: failed",
                                                "Mark purple: not reached", "Mark white: no result"}));

    Form().edt1->SetText(folder_.File("lab.txt"));
    EXPECT_EQ(AccessibleDescription(Form().mmo1->Handle()), L"") << "a new list forgets the marks";
}

TEST_F(MainWindow, TheToolsRealFormsAndAnOddListAreReadRightEndToEnd)
{
    // A byte-order mark, a trailing blank, a line of backslashes, names of the longest NetBIOS
    // length: the stand-in takes each line as it stands and reports in the real tool's forms.
    FillValidJob("forms.txt", "\xEF\xBB\xBFPC-LAB-01 \r\n\\\\\r\nPC-NOSVC-000002\r\nPC-LOST-0000003\r\n"
                              "PC-NOSTART-0004\r\nPC-OFFLINE-0005\r\n");
    ASSERT_TRUE(ExecuteToEnd());
    const auto console = ConsoleLines(Form());
    EXPECT_NE(std::find(console.begin(), console.end(), "Starting PSEXESVC service on PC-LOST-0000003..."),
              console.end()) << "progress after a bare carriage return is a line of its own";
    EXPECT_EQ(LinesFrom(console, "Vantrel: Results"),
              (std::vector<std::string>{
                  "Vantrel: Results for 5 computers:", "Vantrel:   1 done", "Vantrel:   1 failed",
                  "Vantrel:   1 contact lost", "Vantrel:   2 not reached",
                  "Vantrel: PC-NOSVC-000002: not reached (Access is denied.)",
                  "Vantrel: PC-LOST-0000003: contact lost, outcome unknown (The handle is invalid.)",
                  "Vantrel: PC-NOSTART-0004: could not start msiexec (The system cannot find the file specified.)",
                  "Vantrel: PC-OFFLINE-0005: not reached (The network path was not found.)",
                  "Execution Finished"}));
    EXPECT_EQ(SummaryLinesWiderThanTheView(Form()), std::vector<std::string>{});

    dialogs_.SaveAnswers = {folder_.File("retry.txt")};
    Form().SaveRetryList(false);
    EXPECT_EQ(ReadFileBytes(folder_.File("retry.txt")),
              "PC-NOSVC-000002\r\nPC-LOST-0000003\r\nPC-NOSTART-0004\r\nPC-OFFLINE-0005\r\n");

    // The target list marks each computer, its text untouched; automation reads the marks.
    EXPECT_EQ(Form().mmo1->Lines().Get(0), "\xEF\xBB\xBFPC-LAB-01 ");
    EXPECT_EQ(AccessibleDescription(Form().mmo1->Handle()),
              L"\u00EF\u00BB\u00BFPC-LAB-01 : done\r\nPC-NOSVC-000002: not reached\r\nPC-LOST-0000003: no result\r\n"
              L"PC-NOSTART-0004: failed\r\nPC-OFFLINE-0005: not reached");

    // The results to take away, as a spreadsheet reads them.
    dialogs_.SaveAnswers = {folder_.File("results.csv")};
    Form().SaveResults();
    ASSERT_EQ(dialogs_.SaveCalls.back().Title, "Save Results");
    const std::string csv = ReadFileBytes(folder_.File("results.csv"));
    const std::string tail = "," + folder_.File("forms.txt") + "," + Package() + "\r\n";
    const auto rows = SplitRows(csv);
    ASSERT_EQ(rows.size(), 6u) << csv;
    EXPECT_EQ(rows[0], "Computer,Result,Code,Detail,Started,Ended,List file,Package\r\n");
    EXPECT_EQ(rows[1].substr(0, rows[1].find(",,") + 2), "PC-LAB-01,done,0,,") << "the name without mark or blank";
    EXPECT_NE(rows[3].find("PC-LOST-0000003,\"contact lost, outcome unknown\",,The handle is invalid.,"),
              std::string::npos) << rows[3];
    EXPECT_EQ(rows[4].rfind("PC-NOSTART-0004,could not start msiexec,,The system cannot find the file specified.,", 0),
              0u) << rows[4];
    for (const auto& row : std::vector<std::string>(rows.begin() + 1, rows.end())) {
        EXPECT_TRUE(row.ends_with(tail)) << row;
        EXPECT_NE(row.find(",20"), std::string::npos) << "started and ended carry the date: " << row;
    }

    Click(*Form().sbtbtn4);
    EXPECT_EQ(AccessibleDescription(Form().mmo1->Handle()), L"") << "Clear forgets the marks";
}

TEST_F(MainWindow, EverySummaryLineOfTheMixedDemoFitsTheConsoleView)
{
    // The demo's list (scripts/run.sh) but for localhost, whose real installer this test spares.
    FillValidJob("computers.txt", "PC-ACCOUNTING-01\r\nPC-ACCOUNTING-02\r\nLAPTOP-REBOOT-07\r\nPC-OFFLINE-12\r\n"
                                  "PC-FAIL-05\r\nPC-BUSY-04\r\nPC-DENIED-09\r\nPC-LOST-11\r\nPC-NOSVC-14\r\n");
    ASSERT_TRUE(ExecuteToEnd());
    const auto console = ConsoleLines(Form());
    const auto summary = LinesFrom(console, "Vantrel: Results");
    ASSERT_EQ(summary.size(), 15u) << ::testing::PrintToString(summary);
    EXPECT_EQ(SummaryLinesWiderThanTheView(Form()), std::vector<std::string>{});
}

// Sets or removes the tool's own "licence accepted" setting of this account, as the tool and an
// administrator would; the test prefix starts with it set.
void SetToolLicenceAccepted(bool accepted)
{
    const char* const key = "Software\\Sysinternals\\PsExec";
    if (accepted) {
        const DWORD one = 1;
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key, "EulaAccepted", REG_DWORD, &one, sizeof one), ERROR_SUCCESS);
    } else {
        const LSTATUS removed = RegDeleteKeyValueA(HKEY_CURRENT_USER, key, "EulaAccepted");
        ASSERT_TRUE(removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND) << removed;
    }
}

TEST_F(MainWindow, WithoutTheToolsLicenceAcceptedExecuteSaysWhatToDoAndStartsNothing)
{
    FillValidJob();
    Form().edt3->SetText("CORP");
    Form().edt4->SetText("deploy");
    Form().edt5->SetText("secret");
    for (bool accepted : {false, true}) {
        SCOPED_TRACE(accepted ? "accepted" : "not accepted");
        SetToolLicenceAccepted(accepted);
        DeleteFileA(folder_.File("received.txt").c_str());
        const std::size_t boxes = dialogs_.Boxes.size();
        ASSERT_TRUE(ExecuteToEnd());
        if (accepted) {
            EXPECT_EQ(dialogs_.Boxes.size(), boxes);
            EXPECT_EQ(ConsoleLines(Form()).back(), "Execution Finished");
            EXPECT_NE(GetFileAttributesA(folder_.File("received.txt").c_str()), INVALID_FILE_ATTRIBUTES);
        } else {
            ASSERT_EQ(dialogs_.Boxes.size(), boxes + 1);
            EXPECT_TRUE(IsBox(dialogs_.Boxes.back(), "Warning", TMsgDlgType::mtWarning, "licence has not been accepted",
                              TTextIs::Within));
            EXPECT_NE(dialogs_.Boxes.back().Text.find("run Psexec once and accept its licence"), std::string::npos);
            EXPECT_TRUE(ConsoleLines(Form()).empty()) << "no run started";
            EXPECT_EQ(GetFileAttributesA(folder_.File("received.txt").c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(Form().stsbr1->SimpleText(), kReadyLine);
            const auto accepted = ReadUserNumber("Software\\Sysinternals\\PsExec", "EulaAccepted");
            EXPECT_FALSE(accepted.has_value()) << "never accepted on the user's behalf";
        }
    }
}

TEST_F(MainWindow, AllDoneOffersNoRetryListAndANoWaitRunSaysStarted)
{
    FillValidJob();
    Click(*Form().chk5);
    ASSERT_TRUE(ExecuteToEnd());
    EXPECT_EQ(LinesFrom(ConsoleLines(Form()), "Vantrel: Results"),
              (std::vector<std::string>{"Vantrel: Results for 2 computers:", "Vantrel:   2 started",
                                        "Vantrel: PC-LAB-01: started, result not awaited (process ID 4100)",
                                        "Vantrel: PC-LAB-02: started, result not awaited (process ID 4104)",
                                        "Execution Finished"}));
    EXPECT_FALSE(Form().HasRetryList(true));
}

// Wine's msiexec installs for real into this prefix; its first start may take a while.
class RealPackage : public MainWindow {
protected:
    static constexpr auto kInstallerTime = std::chrono::seconds(180);

    void SetUp() override
    {
        MainWindow::SetUp();
        ASSERT_TRUE(CopyFileA(WinPath(VANTREL_DEMO_PACKAGE).c_str(), DemoPackage().c_str(), FALSE));
        folder_.Write("local.txt", "localhost\r\n");
        Form().edt1->SetText(folder_.File("local.txt"));
    }

    static std::string InstalledFile()
    {
        char folder[MAX_PATH] = {};
        GetEnvironmentVariableA("ProgramFiles(x86)", folder, MAX_PATH);
        return std::string(folder) + "\\Vantrel Demo\\vantrel-demo.txt";
    }

    std::vector<std::string> RunWithPackage(const std::string& package, bool uninstall)
    {
        Form().edt2->SetText(package);
        Form().chk7->SetChecked(uninstall);
        return LinesOfARun(kInstallerTime);
    }
};

TEST_F(RealPackage, InstallsAndUninstallsOnThisComputerAndADamagedPackageFails)
{
    const auto installed = RunWithPackage(DemoPackage(), false);
    EXPECT_TRUE(std::count(installed.begin(), installed.end(), "msiexec exited on localhost with error code 0."))
        << ::testing::PrintToString(installed);
    EXPECT_EQ(LinesFrom(installed, "Vantrel: Results"),
              (std::vector<std::string>{"Vantrel: Results for 1 computer:", "Vantrel:   1 done", "Execution Finished"}));
    EXPECT_NE(GetFileAttributesA(InstalledFile().c_str()), INVALID_FILE_ATTRIBUTES) << InstalledFile();

    const auto removed = RunWithPackage(DemoPackage(), true);
    EXPECT_EQ(LinesFrom(removed, "Vantrel: Results"),
              (std::vector<std::string>{"Vantrel: Results for 1 computer:", "Vantrel:   1 done", "Execution Finished"}));
    EXPECT_EQ(GetFileAttributesA(InstalledFile().c_str()), INVALID_FILE_ATTRIBUTES);

    const std::string damaged = kShare + "\\damaged.msi";
    WriteFileBytes(damaged, ReadFileBytes(DemoPackage()).substr(0, 3000));
    const auto failed = RunWithPackage(damaged, false);
    const std::string prefix = "msiexec exited on localhost with error code ";
    const auto report = LinesFrom(failed, prefix);
    ASSERT_FALSE(report.empty()) << ::testing::PrintToString(failed);
    const std::string code = report.front().substr(prefix.size(), report.front().size() - prefix.size() - 1);
    EXPECT_NE(code, "0");
    const auto summary = LinesFrom(failed, "Vantrel: Results");
    ASSERT_EQ(summary.size(), 4u) << ::testing::PrintToString(failed);
    EXPECT_EQ(summary[0], "Vantrel: Results for 1 computer:");
    EXPECT_EQ(summary[1], "Vantrel:   1 failed");
    EXPECT_EQ(summary[2].rfind("Vantrel: localhost: failed (code " + code + ": ", 0), 0u) << summary[2];
    EXPECT_GT(summary[2].size(), ("Vantrel: localhost: failed (code " + code + ": ").size() + 5) << "with its meaning";
    EXPECT_EQ(GetFileAttributesA(InstalledFile().c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---- Save Log

TEST_F(MainWindow, SaveLogWarnsAboutAnEmptyViewAndOtherwiseWritesAnExactCopy)
{
    Click(*Form().sbtbtn5);
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_TRUE(IsBox(dialogs_.Boxes[0], "Warning", TMsgDlgType::mtWarning, "the console view is empty"));
    EXPECT_TRUE(dialogs_.SaveCalls.empty());

    Form().mmo2->Lines().Add("first \xE9");
    Form().mmo2->Lines().Add("");
    Form().mmo2->Lines().Add("last");
    const std::string target = folder_.File("log.txt");
    WriteFileBytes(target, std::string(1000, 'x'));
    dialogs_.SaveAnswers = {target, std::nullopt};
    Click(*Form().sbtbtn5);
    EXPECT_EQ(ReadFileBytes(target), "first \xE9\r\n\r\nlast\r\n") << "replaced, byte for byte";
    ASSERT_EQ(dialogs_.SaveCalls.size(), 1u);
    const TFileDialogSettings& first = dialogs_.SaveCalls[0];
    EXPECT_EQ(first.Title, "Save Console log");
    EXPECT_EQ(first.FileName, "ResultLog.txt");
    EXPECT_EQ(first.Filter, "txt file (*.txt)|*.txt");
    EXPECT_EQ(first.DefaultExt, "txt");
    EXPECT_FALSE(first.ShowReadOnly);
    EXPECT_FALSE(first.OverwritePrompt);
    EXPECT_EQ(first.InitialDir, "");
    Click(*Form().sbtbtn5);
    ASSERT_EQ(dialogs_.SaveCalls.size(), 2u);
    EXPECT_EQ(dialogs_.SaveCalls[1].FileName, target) << "offers the last chosen path";
    EXPECT_EQ(dialogs_.Boxes.size(), 1u);
}

TEST_F(MainWindow, SaveLogReportsAPathThatCannotBeCreated)
{
    Form().mmo2->Lines().Add("line");
    const std::string bad = folder_.File("no-such-folder\\log.txt");
    dialogs_.SaveAnswers = {bad};
    Click(*Form().sbtbtn5);
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_TRUE(IsBox(dialogs_.Boxes[0], kApplicationTitle, TMsgDlgType::mtError,
                      "Cannot create file \"" + bad + "\". ", TTextIs::Beginning));
}

TEST_F(MainWindow, SaveLogDuringARunSavesWhatTheViewHoldsAtThatMoment)
{
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "300");
    FillValidJob();
    Click(*Form().sbtbtn1);
    PumpUntil(App(), [&] { return Form().mmo2->Lines().Count() > 0; });
    const std::string target = folder_.File("during.txt");
    dialogs_.SaveAnswers = {target};
    Click(*Form().sbtbtn5);
    const std::string saved = ReadFileBytes(target);
    EXPECT_FALSE(saved.empty());
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(Form().mmo2->Lines().Text().rfind(saved, 0), 0u) << "a prefix of the final console text";
}

// ---- the preview and the colours

TEST_F(MainWindow, TheListPreviewFollowsExistingFilesOnly)
{
    TForm1& form = Form();
    folder_.Write("lf.txt", "A\nB\nC");
    form.edt1->SetText(folder_.File("lf.txt"));
    EXPECT_EQ(form.edt1->TextColor(), TForm1::FileFoundColor);
    EXPECT_EQ(ConsoleLines(form).size(), 0u);
    EXPECT_EQ(form.mmo1->Lines().Count(), 3);
    EXPECT_EQ(form.mmo1->Lines().Get(2), "C");
    EXPECT_EQ(form.lblTargets->Text(), "Target Computers from lf.txt:");

    form.edt1->SetText(folder_.File("missing.txt"));
    EXPECT_EQ(form.edt1->TextColor(), TForm1::FileMissingColor);
    EXPECT_EQ(form.mmo1->Lines().Count(), 3) << "the earlier preview stays";
    EXPECT_EQ(form.lblTargets->Text(), "Target Computers from lf.txt:");
    form.edt1->SetText(folder_.Path());
    EXPECT_EQ(form.edt1->TextColor(), TForm1::FileMissingColor) << "a folder is not a file";

    folder_.Write("cr.txt", "X\rY\r");
    form.edt1->SetText(folder_.File("cr.txt"));
    EXPECT_EQ(form.mmo1->Lines().Count(), 2);
    folder_.Write("empty.txt", "");
    form.edt1->SetText(folder_.File("empty.txt"));
    EXPECT_EQ(form.edt1->TextColor(), TForm1::FileFoundColor);
    EXPECT_EQ(form.mmo1->Lines().Count(), 0);
    EXPECT_EQ(form.lblTargets->Text(), "Target Computers from empty.txt:");
    EXPECT_TRUE(dialogs_.Boxes.empty());

    form.edt2->SetText(Package());
    EXPECT_EQ(form.edt2->TextColor(), TForm1::FileFoundColor);
    form.edt2->SetText(kShare + "\\nothing.msi");
    EXPECT_EQ(form.edt2->TextColor(), TForm1::FileMissingColor);
}

TEST_F(MainWindow, AListFileBeingWrittenElsewhereIsReportedAndThePreviewKept)
{
    TForm1& form = Form();
    const std::string longList = std::string(100000, 'A') + "\r\nPC-LAST\r\n";
    struct Holder {
        const char* name;
        DWORD access, share;
    };
    const Holder holders[] = {
        {"exclusive.txt", GENERIC_READ | GENERIC_WRITE, 0},
        {"being-written.txt", GENERIC_WRITE, FILE_SHARE_READ},
    };
    for (const Holder& holder : holders) {
        SCOPED_TRACE(holder.name);
        dialogs_.Boxes.clear();
        form.edt1->SetText(folder_.File("lab.txt"));
        folder_.Write(holder.name, longList);
        UniqueHandle held(CreateFileA(folder_.File(holder.name).c_str(), holder.access, holder.share, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.Valid());
        form.edt1->SetText(folder_.File(holder.name));
        ASSERT_EQ(dialogs_.Boxes.size(), 1u);
        EXPECT_TRUE(IsBox(dialogs_.Boxes[0], kApplicationTitle, TMsgDlgType::mtError,
                          "Cannot open file \"" + folder_.File(holder.name) + "\". ", TTextIs::Beginning));
        EXPECT_EQ(form.edt1->TextColor(), TForm1::FileFoundColor);
        EXPECT_EQ(form.mmo1->Lines().Count(), 2) << "no cut-off preview";
        EXPECT_EQ(form.mmo1->Lines().Get(0), "PC-LAB-01");
        EXPECT_EQ(form.lblTargets->Text(), "Target Computers from lab.txt:");
    }
    // A file that others only read is previewed as usual.
    UniqueHandle reader(CreateFileA(folder_.File("being-written.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader.Valid());
    dialogs_.Boxes.clear();
    form.edt1->SetText(folder_.File("being-written.txt"));
    EXPECT_TRUE(dialogs_.Boxes.empty());
    EXPECT_EQ(form.mmo1->Lines().Get(1), "PC-LAST");
}

TEST_F(MainWindow, TheConsoleViewSelectsAndCopiesWholeLinesAndTakesNoTyping)
{
    TMemo& view = *Form().mmo2;
    for (const char* line : {"first", "second \xE9", "third"})
        view.Lines().Add(line);
    SendMessageA(view.Handle(), WM_CHAR, 'x', 0);
    SendMessageA(view.Handle(), WM_PASTE, 0, 0);
    EXPECT_EQ(view.Lines().Text(), "first\r\nsecond \xE9\r\nthird\r\n") << "only the program writes the view";

    const int row = view.LineHeight() + 2;
    SendMessageA(view.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 1));
    SendMessageA(view.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, row + 2));
    SendMessageA(view.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, row + 2));
    EXPECT_EQ(view.SelectionStart(), 0);
    EXPECT_EQ(view.SelectionEnd(), 1);
    SendMessageA(view.Handle(), WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(Form().Handle()), "first\r\nsecond \xE9\r\n");
}

// Keys posted before a popup menu opens are what its own loop reads, as if typed.
void PostKeys(HWND hwnd, std::initializer_list<WPARAM> keys)
{
    for (WPARAM key : keys) {
        PostMessageA(hwnd, WM_KEYDOWN, key, 0);
        PostMessageA(hwnd, WM_KEYUP, key, 0xC0000000);
    }
}

TEST_F(MainWindow, BothViewsHaveAContextMenuWithCopySelectAllAndAddedCommands)
{
    for (TMemo* view : {Form().mmo1.get(), Form().mmo2.get()}) {
        std::vector<TMenuCommand> commands = view->MenuCommands();
        ASSERT_GE(commands.size(), 2u);
        EXPECT_EQ(commands[0].Caption, "Copy");
        EXPECT_EQ(commands[1].Caption, "Select All");
        EXPECT_FALSE(commands[0].IsEnabled()) << "nothing selected";
        EXPECT_FALSE(commands[1].IsEnabled()) << "nothing to select";
    }
    EXPECT_EQ(Form().mmo1->MenuCommands().size(), 10u) << "the target list adds the marks' legend";
    const std::vector<TMenuCommand> console = Form().mmo2->MenuCommands();
    ASSERT_EQ(console.size(), 7u) << "the console view adds the retry lists, the results and Stop";
    EXPECT_EQ(console[3].Caption, "Save Retry List...");
    EXPECT_EQ(console[4].Caption, "Save Retry List with Restart Required...");
    EXPECT_EQ(console[5].Caption, "Save Results...");

    // A view of its own, without the main window's commands.
    TMemo::Args args;
    args.Parent = Form().spnl3->Handle();
    args.Bounds.Width = 100;
    args.Bounds.Height = 60;
    TMemo view(args);
    view.Lines().Add("alpha");
    view.Lines().Add("beta");
    int extraClicks = 0;
    bool extraEnabled = false;
    view.AddMenuCommand("Extra", [&] { ++extraClicks; }, [&] { return extraEnabled; });
    view.AddMenuCommand("Second", [&] { extraClicks += 10; });
    std::vector<TMenuCommand> commands = view.MenuCommands();
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_TRUE(commands[2].Caption.empty()) << "a separator before the added commands";
    EXPECT_EQ(commands[3].Caption, "Extra");
    EXPECT_EQ(commands[4].Caption, "Second");
    EXPECT_FALSE(commands[3].IsEnabled());
    EXPECT_TRUE(commands[1].IsEnabled());

    // The real menu, driven by keys: Down, Down picks Select All.
    PostKeys(view.Handle(), {VK_DOWN, VK_DOWN, VK_RETURN});
    SendMessageA(view.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.Handle()), -1);
    EXPECT_EQ(view.SelectionStart(), 0);
    EXPECT_EQ(view.SelectionEnd(), 1);
    EXPECT_EQ(view.MenuCommands()[0].IsEnabled(), true) << "Copy follows the selection";

    extraEnabled = true;
    PostKeys(view.Handle(), {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    SendMessageA(view.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.Handle()), -1);
    EXPECT_EQ(extraClicks, 1);
    PostKeys(view.Handle(), {VK_ESCAPE});
    SendMessageA(view.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.Handle()), -1);
    EXPECT_EQ(extraClicks, 1) << "Esc closes the menu and runs nothing";
}

// Reads a view from another process, the way automation tools and screen readers do, while
// this thread answers its queries.
struct TViewReading {
    std::string TextA, TextW, Lines;
};

TViewReading ReadFromOutside(TApplication& app, const TScratchFolder& folder, HWND view, int step)
{
    const std::string command = "\"" + WinPath(VANTREL_VIEW_READER_EXE) + "\" " +
                                std::to_string(reinterpret_cast<INT_PTR>(view)) + " \"" + folder.Path() + "\" " +
                                std::to_string(step);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string mutableCommand = command;
    EXPECT_TRUE(CreateProcessA(nullptr, mutableCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    UniqueHandle processHandle(process.hProcess), thread(process.hThread);
    EXPECT_TRUE(PumpUntil(app, [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; },
                          std::chrono::seconds(120)));
    return {ReadFileBytes(folder.File("text-a.txt")), ReadFileBytes(folder.File("text-w.txt")),
            ReadFileBytes(folder.File("lines.txt"))};
}

// What the reader's line report must say for these lines, reading every step-th and the last 50.
std::string ExpectedLineReport(const std::vector<std::string>& lines, int step)
{
    const int count = std::max<int>(1, static_cast<int>(lines.size()));
    std::string report = "count\t" + std::to_string(count) + "\n";
    std::size_t start = 0;
    for (int line = 0; line < count; ++line) {
        const std::string text = line < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(line)] : "";
        if (line % step == 0 || line >= count - 50)
            report += std::to_string(line) + "\t" + std::to_string(start) + "\t" + std::to_string(text.size()) + "\t" +
                      text + "\n";
        start += text.size() + 2;
    }
    return report + "past-end\t-1\n";
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i > 0 ? "\r\n" : "") + lines[i];
    return text;
}

TEST_F(MainWindow, AnotherProcessReadsBothViewsThroughTheStandardQueries)
{
    TForm1& form = Form();
    folder_.Write("readable.txt", "PC-ONE\r\n\r\nPC\tTAB \xE9\r\nPC-LAST");
    form.edt1->SetText(folder_.File("readable.txt"));
    const std::vector<std::string> targets{"PC-ONE", "", "PC\tTAB \xE9", "PC-LAST"};
    TViewReading targetsRead = ReadFromOutside(App(), folder_, form.mmo1->Handle(), 1);
    EXPECT_EQ(targetsRead.TextA, Joined(targets));
    EXPECT_EQ(targetsRead.TextW, Joined(targets)) << "a Unicode client gets the same text";
    EXPECT_EQ(targetsRead.Lines, ExpectedLineReport(targets, 1));

    TViewReading emptyRead = ReadFromOutside(App(), folder_, form.mmo2->Handle(), 1);
    EXPECT_EQ(emptyRead.TextA, "");
    EXPECT_EQ(emptyRead.Lines, "count\t1\n0\t0\t0\t\npast-end\t-1\n") << "an empty view has one empty line";

    std::vector<std::string> console;
    for (int i = 0; i < 100000; ++i)
        console.push_back("Line " + std::to_string(i) + (i % 7 == 0 ? "\twith a tab" : " of the console view"));
    for (const std::string& line : console)
        form.mmo2->Lines().Add(line);
    TViewReading consoleRead = ReadFromOutside(App(), folder_, form.mmo2->Handle(), 97);
    EXPECT_TRUE(consoleRead.TextA == Joined(console)) << "the whole text, " << consoleRead.TextA.size() << " characters";
    EXPECT_TRUE(consoleRead.TextW == Joined(console));
    EXPECT_EQ(consoleRead.Lines, ExpectedLineReport(console, 97));
}

// The object itself: this Wine has no marshaller for accessible objects, so WM_GETOBJECT hands
// out nothing here (the same for its own edit control); on Windows it hands out this object.
TEST_F(MainWindow, AccessibilityClientsReadAViewAsAReadOnlyTextWithAllItsLines)
{
    TForm1& form = Form();
    folder_.Write("readable.txt", "PC-ONE\r\nPC-\xE9\r\n");
    form.edt1->SetText(folder_.File("readable.txt"));
    IAccessible* accessible = NewTextViewAccessible(form.mmo1->Handle());
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role, state;
    ASSERT_EQ(accessible->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
    ASSERT_EQ(accessible->get_accState(self, &state), S_OK);
    EXPECT_NE(state.lVal & STATE_SYSTEM_READONLY, 0);
    BSTR value = nullptr;
    ASSERT_EQ(accessible->get_accValue(self, &value), S_OK);
    EXPECT_EQ(std::wstring(value, SysStringLen(value)), L"PC-ONE\r\nPC-\u00E9");
    SysFreeString(value);

    form.edt1->SetText(folder_.File("lab.txt"));
    ASSERT_EQ(accessible->get_accValue(self, &value), S_OK) << "the value follows the view";
    EXPECT_EQ(std::wstring(value, SysStringLen(value)), L"PC-LAB-01\r\nPC-LAB-02");
    SysFreeString(value);
    accessible->Release();
}

TEST_F(MainWindow, TheKeyboardSelectsLinesAndCopiesThem)
{
    TMemo& view = *Form().mmo2;
    for (int i = 0; i < 100; ++i)
        view.Lines().Add("line " + std::to_string(i));
    view.SetFocus();
    const int rows = ClientBounds(view.Handle()).Height / view.LineHeight();
    auto selection = [&] { return std::make_pair(view.SelectionStart(), view.SelectionEnd()); };
    PressKey(App(), view.Handle(), VK_DOWN, {});
    EXPECT_EQ(selection(), std::make_pair(0, 0)) << "the first key picks the first line in sight";
    PressKey(App(), view.Handle(), VK_DOWN, {});
    EXPECT_EQ(selection(), std::make_pair(1, 1));
    PressKey(App(), view.Handle(), VK_DOWN, {VK_SHIFT});
    PressKey(App(), view.Handle(), VK_DOWN, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(1, 3));
    PressKey(App(), view.Handle(), VK_UP, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(1, 2));
    PressKey(App(), view.Handle(), VK_INSERT, {VK_CONTROL});
    EXPECT_EQ(ClipboardText(Form().Handle()), "line 1\r\nline 2\r\n") << "Ctrl+Insert copies";

    PressKey(App(), view.Handle(), VK_NEXT, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(1, 2 + rows));
    EXPECT_GE(view.TopLine() + rows, 3 + rows) << "the caret stays in sight";
    PressKey(App(), view.Handle(), VK_END, {VK_CONTROL});
    EXPECT_EQ(selection(), std::make_pair(99, 99));
    EXPECT_EQ(view.TopLine(), 100 - rows);
    PressKey(App(), view.Handle(), VK_PRIOR, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(99 - rows, 99));
    PressKey(App(), view.Handle(), VK_HOME, {VK_SHIFT, VK_CONTROL});
    EXPECT_EQ(selection(), std::make_pair(0, 99));
    EXPECT_EQ(view.TopLine(), 0);
    PressKey(App(), view.Handle(), VK_HOME, {});
    PressKey(App(), view.Handle(), VK_END, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(0, 99));
    PressKey(App(), view.Handle(), VK_HOME, {});
    PressKey(App(), view.Handle(), 'C', {VK_CONTROL});
    EXPECT_EQ(ClipboardText(Form().Handle()), "line 0\r\n") << "Ctrl+C copies";
}

TEST_F(MainWindow, ATabIsAsWideAsTheBlanksUpToTheNextMultipleOfEight)
{
    TMemo& view = *Form().mmo1;
    auto widthOf = [&](const std::string& line) {
        view.Lines().SetText(line);
        PumpFor(App(), std::chrono::milliseconds(250));
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE;
        GetScrollInfo(view.Handle(), SB_HORZ, &info);
        return info.nMax;
    };
    // Wide enough to scroll; 62 characters before the first tab, 68 before the second.
    const std::string longLine(60, 'w');
    const int tabbed = widthOf(longLine + "ab\tc");
    EXPECT_EQ(view.Lines().Get(0), longLine + "ab\tc") << "the text itself keeps its tab";
    EXPECT_EQ(tabbed, widthOf(longLine + "ab  c"));
    EXPECT_EQ(widthOf(longLine + "ab\t123\tc"), widthOf(longLine + "ab  123     c"));
    EXPECT_EQ(widthOf(longLine + "12345678\tc"), widthOf(longLine + "12345678    c"));
}

// The view reckons widths from the font's character widths; the system's own measure of the
// widest line must agree, or the last characters of long lines could not be scrolled into sight.
TEST_F(MainWindow, TheHorizontalRangeIsTheWidestLineAsTheSystemMeasuresIt)
{
    for (TMemo* view : {Form().mmo1.get(), Form().mmo2.get()}) {
        const std::string widest = "Mixed WIDTHS: iiii mmmm \xC4\xE9\xFC\xDF 0123456789 !@#$%^&*() " + std::string(40, 'W');
        view->Lines().SetText("short\r\n" + widest);
        view->Lines().Add("ii");
        PumpFor(App(), std::chrono::milliseconds(250));
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE;
        GetScrollInfo(view->Handle(), SB_HORZ, &info);
        EXPECT_EQ(info.nMax + 1, TextSize(view->Handle(), widest).cx + 2 * TMemo::TextMargin);
    }
}

TEST_F(MainWindow, TheConsoleViewKeepsItsEndInSightAsLinesArrive)
{
    TMemo& view = *Form().mmo2;
    for (int i = 0; i < 500; ++i) {
        view.Lines().Add("line " + std::to_string(i));
        view.Lines().ScrollToEnd();
    }
    PumpFor(App(), std::chrono::milliseconds(250));
    const int rows = ClientBounds(view.Handle()).Height / view.LineHeight();
    EXPECT_GT(view.TopLine(), 400);
    EXPECT_GE(view.TopLine() + rows, 500) << "the last line is in sight";
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(view.Handle(), SB_VERT, &info);
    EXPECT_EQ(info.nMax, 499);
    EXPECT_EQ(info.nPos, view.TopLine());
    SendMessageA(view.Handle(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(view.TopLine(), 0) << "the operator may scroll up";
    view.Lines().Add("one more");
    view.Lines().ScrollToEnd();
    EXPECT_GT(view.TopLine(), 400) << "and the next line brings the end back";
}

// ---- options

TEST_F(MainWindow, EveryPathIntoTheTimeoutFieldKeepsDigitsOnlyThenTheLimit)
{
    TForm1& form = Form();
    HWND field = form.edt6->Handle();
    Click(*form.chk6);
    ASSERT_EQ(GetFocus(), field);
    PutOnClipboard(form.Handle(), "ab");

    PressKey(App(), field, VK_INSERT, {VK_SHIFT});
    EXPECT_EQ(form.edt6->Text(), "") << "Shift+Insert pastes no letters";
    PressKey(App(), field, 'V', {VK_CONTROL});
    EXPECT_EQ(form.edt6->Text(), "");

    PutOnClipboard(form.Handle(), "a7b");
    PressKey(App(), field, 'V', {VK_CONTROL});
    EXPECT_EQ(form.edt6->Text(), "7") << "Ctrl+V pastes the digits";
    PutOnClipboard(form.Handle(), " 8-9x5");
    PressKey(App(), field, VK_INSERT, {VK_SHIFT});
    EXPECT_EQ(form.edt6->Text(), "78") << "Shift+Insert pastes the digits, then the limit applies";

    // The platform's own context menu, driven by its keys: P for Paste.
    SendMessageA(field, EM_SETSEL, 0, -1);
    PutOnClipboard(form.Handle(), "x1-2 3");
    PostKeys(field, {'P'});
    SendMessageA(field, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(field), -1);
    App().ProcessMessages();
    EXPECT_EQ(form.edt6->Text(), "12") << "the menu's Paste keeps the digits before the limit cuts";
    EXPECT_EQ(form.edt6->MaxLength(), 2) << "the limit is back after the menu";

    // Text set or inserted from outside the field.
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("4 five 6 7"));
    EXPECT_EQ(form.edt6->Text(), "46");
    SendMessageA(field, EM_SETSEL, 0, -1);
    SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("q3r"));
    EXPECT_EQ(form.edt6->Text(), "3") << "any other way in is repaired after the change";
    PressKey(App(), field, '1', {});
    PressKey(App(), field, 'A', {});
    PressKey(App(), field, VK_SUBTRACT, {});
    EXPECT_EQ(form.edt6->Text(), "31") << "typed keys: digits only";

    form.edt3->SetText("");
    form.edt3->SetFocus();
    PutOnClipboard(form.Handle(), "CORP-1");
    PressKey(App(), form.edt3->Handle(), 'V', {VK_CONTROL});
    EXPECT_EQ(form.edt3->Text(), "CORP-1") << "unfiltered fields paste as the platform does";
}

TEST_F(MainWindow, TheTimeoutFieldTakesDigitsOnlyAndFollowsItsCheckBox)
{
    TForm1& form = Form();
    Click(*form.chk6);
    EXPECT_TRUE(form.chk6->Checked());
    EXPECT_TRUE(form.edt6->Enabled());
    EXPECT_EQ(GetFocus(), form.edt6->Handle());
    for (char c : {'a', '-', ' ', '\t', '4'})
        TypeChar(*form.edt6, c);
    EXPECT_EQ(form.edt6->Text(), "4");
    TypeChar(*form.edt6, '\b');
    EXPECT_EQ(form.edt6->Text(), "");

    PutOnClipboard(form.Handle(), "x1-2 3");
    SendMessageA(form.edt6->Handle(), WM_PASTE, 0, 0);
    EXPECT_EQ(form.edt6->Text(), "12") << "pasted text passes the same filter, then the limit";

    Click(*form.chk6);
    EXPECT_FALSE(form.edt6->Enabled());
    EXPECT_EQ(form.edt6->Text(), "12") << "the typed timeout stays";
    Click(*form.chk6);
    Click(*form.sbtbtn4);
    EXPECT_FALSE(form.chk6->Checked());
    EXPECT_FALSE(form.edt6->Enabled());
    EXPECT_EQ(form.edt6->Text(), "");
}

TEST_F(MainWindow, TheRestartOptionsExcludeEachOtherAndClearRestoresTheDefaults)
{
    TForm1& form = Form();
    Click(*form.chk2);
    Click(*form.chk3);
    EXPECT_FALSE(form.chk2->Checked());
    EXPECT_TRUE(form.chk3->Checked());
    Click(*form.chk2);
    EXPECT_TRUE(form.chk2->Checked());
    EXPECT_FALSE(form.chk3->Checked());
    Click(*form.chk2);
    EXPECT_FALSE(form.chk2->Checked());
    EXPECT_FALSE(form.chk3->Checked());

    Click(*form.chk1);
    Click(*form.chk7);
    EXPECT_TRUE(JobVars.UninstallMode);
    form.edt3->SetText("d");
    form.mmo2->Lines().Add("x");
    Click(*form.sbtbtn4);
    EXPECT_TRUE(form.chk1->Checked());
    EXPECT_FALSE(form.chk7->Checked());
    EXPECT_FALSE(JobVars.UninstallMode);
    EXPECT_EQ(form.edt3->Text(), "");
    EXPECT_EQ(form.mmo2->Lines().Count(), 0);
    EXPECT_EQ(form.lblTargets->Text(), "Target Computers:");
    EXPECT_EQ(form.stsbr1->SimpleText(), kReadyLine);
}

TEST_F(MainWindow, TheBrowseButtonAndAltDownOpenTheListDialog)
{
    TForm1& form = Form();
    form.edt1->SetText(folder_.File("lab.txt"));
    const std::string chosen = folder_.File("chosen.txt");
    WriteFileBytes(chosen, "PC-CHOSEN\r\n");
    dialogs_.OpenAnswers = {chosen, std::nullopt};
    SendMessageA(form.edt1->ButtonHandle(), BM_CLICK, 0, 0);
    ASSERT_EQ(dialogs_.OpenCalls.size(), 1u);
    const TFileDialogSettings& first = dialogs_.OpenCalls[0];
    EXPECT_EQ(first.Filter, "Text files (*.txt)|*.txt");
    EXPECT_EQ(first.DefaultExt, "txt");
    EXPECT_EQ(first.Title, "");
    EXPECT_TRUE(first.ShowReadOnly);
    EXPECT_FALSE(first.FileMustExist);
    EXPECT_TRUE(first.Resizable);
    EXPECT_EQ(first.FileName, folder_.File("lab.txt"));
    EXPECT_EQ(first.InitialDir, folder_.Path());
    EXPECT_EQ(form.edt1->Text(), chosen);
    EXPECT_EQ(form.mmo1->Lines().Get(0), "PC-CHOSEN");
    EXPECT_EQ(GetFocus(), form.edt1->Handle());

    form.edt1->SetText("not*valid");
    SendMessageA(form.edt1->Handle(), WM_SYSKEYDOWN, VK_DOWN, 0);
    ASSERT_EQ(dialogs_.OpenCalls.size(), 2u);
    EXPECT_EQ(dialogs_.OpenCalls[1].FileName, "");
    EXPECT_EQ(dialogs_.OpenCalls[1].InitialDir, folder_.Path()) << "the last chosen file's folder";
    EXPECT_EQ(form.edt1->Text(), "not*valid") << "cancel keeps the text";
}

// ---- start-up without the tool

class StartWithoutTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        char previous[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, previous);
        previousFolder_ = previous;
        SetCurrentDirectoryA(folder_.Path().c_str());
    }
    void TearDown() override { SetCurrentDirectoryA(previousFolder_.c_str()); }

    // Starts and runs the program as its entry does; the pending quit request ends the loop.
    void StartAndRun()
    {
        TVantrelApp app(dialogs_, nullptr);
        statusAfterStart_.clear();
        app.Form1().OnShow = [&](TObject* sender) {
            app.Form1().FormShow(sender);
            statusAfterStart_ = app.Form1().stsbr1->SimpleText();
        };
        app.Run();
    }

    void ExpectOneMissingToolBox()
    {
        ASSERT_EQ(dialogs_.Boxes.size(), 1u);
        EXPECT_TRUE(IsBox(dialogs_.Boxes[0], "Error", TMsgDlgType::mtError, kToolMissing));
        EXPECT_FALSE(dialogs_.Boxes[0].MainWindowVisible) << "shown before any window";
        EXPECT_EQ(statusAfterStart_.rfind("Vantrel ready, using Sysinternals PsExec version ", 0), 0u)
            << "the window is still shown once, with its ready line";
    }

    TScratchFolder folder_{"notool"};
    TScriptedDialogs dialogs_;
    std::string previousFolder_;
    std::string statusAfterStart_;
};

TEST_F(StartWithoutTool, AnEmptyFolderShowsTheMessageOnceAndEnds)
{
    StartAndRun();
    ExpectOneMissingToolBox();
}

TEST_F(StartWithoutTool, AFolderNamedLikeTheToolCountsAsMissing)
{
    CreateDirectoryA(folder_.File("Psexec.exe").c_str(), nullptr);
    StartAndRun();
    ExpectOneMissingToolBox();
}

TEST_F(StartWithoutTool, ACopyBesideTheProgramDoesNotCount)
{
    const std::string beside = BesideProgram("Psexec.exe");
    ASSERT_TRUE(CopyFileA(WinPath(VANTREL_STANDIN_EXE).c_str(), beside.c_str(), FALSE));
    StartAndRun();
    DeleteFileA(beside.c_str());
    ExpectOneMissingToolBox();
    EXPECT_EQ(statusAfterStart_, ReadyLineFor("")) << "nor does its version";
}

TEST_F(StartWithoutTool, WithoutAnyToolTheReadyLineEndsInVersion)
{
    StartAndRun();
    EXPECT_EQ(statusAfterStart_, ReadyLineFor(""));
}

// ---- many computers at a time

const TMenuCommand& MenuCommand(const std::vector<TMenuCommand>& commands, const std::string& caption)
{
    const auto found = std::find_if(commands.begin(), commands.end(),
                                    [&](const TMenuCommand& command) { return command.Caption == caption; });
    if (found == commands.end())
        throw std::runtime_error("no menu command " + caption);
    return *found;
}

class ManyAtATime : public MainWindow {
protected:
    // Runs the list with the count in edt7 and gives the lines the run added to the view.
    std::vector<std::string> RunList(const std::string& list, const std::string& atATime)
    {
        FillValidJob("fleet.txt", list);
        Form().edt7->SetText(atATime);
        return LinesOfARun();
    }

    std::string Journal() const { return folder_.File("journal.txt"); }
    // The retry list with restart required, as Save Retry List writes it.
    std::string SavedRetryList()
    {
        const std::string path = folder_.File("retry-" + std::to_string(++saved_) + ".txt");
        dialogs_.SaveAnswers = {path};
        Form().SaveRetryList(true);
        return ReadFileBytes(path);
    }
    int saved_ = 0;
    void KeepJournal() { SetEnvironmentVariableA("VANTREL_STANDIN_JOURNAL", Journal().c_str()); }
};

const std::string kTenComputers = "PC-01\r\nPC-02\r\nPC-FAIL-03\r\nPC-04\r\nPC-OFFLINE-05\r\npc-01\r\n"
                                  "PC-REBOOT-06\r\nPC-07\r\n  PC-BUSY-08  \r\nPC-09\r\nPC-10\r\n";
const std::vector<std::string> kTenNames = {"PC-01",        "PC-02", "PC-FAIL-03", "PC-04",      "PC-OFFLINE-05",
                                            "PC-REBOOT-06", "PC-07", "PC-BUSY-08", "PC-09", "PC-10"};

TEST_F(ManyAtATime, RunsEachComputerOnceAtMostNAtATimeWithTheSameResultsAsOneList)
{
    const std::vector<std::string> single = RunList(kTenComputers, "1");
    const std::string singleLine = Form().runner1->CommandLine;
    EXPECT_EQ(ReadFileBytes(folder_.File("received.txt")), singleLine) << "1 keeps the list file in one tool";
    EXPECT_EQ(singleLine.rfind("Psexec \"@", 0), 0u);
    const std::string singleRetry = SavedRetryList();

    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "300");
    KeepJournal();
    std::vector<std::string> statuses;
    folder_.Write("fleet.txt", kTenComputers);
    Form().edt7->SetText("4");
    Click(*Form().sbtbtn1);
    PumpUntil(App(), [&] {
        const std::string status = Form().stsbr1->SimpleText();
        if (statuses.empty() || statuses.back() != status)
            statuses.push_back(status);
        return !Form().RunActive();
    });
    const auto console = ConsoleLines(Form());
    const std::vector<std::string> many(console.begin() + static_cast<std::ptrdiff_t>(single.size()), console.end());

    const TJournalReading journal = ReadJournal(Journal());
    EXPECT_LE(journal.MostAtOnce, 4);
    EXPECT_GE(journal.MostAtOnce, 2) << "they did run together";
    std::vector<std::string> expected;
    for (const std::string& name : kTenNames)
        expected.push_back(ComposeComputerCommandLine(JobVars, name));
    std::vector<std::string> started = journal.Started;
    std::sort(started.begin(), started.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(started, expected) << "each computer once, pc-01 being PC-01, by its own command line";

    const auto summary = std::find_if(many.begin(), many.end(),
                                      [](const std::string& line) { return line.rfind("Vantrel: ", 0) == 0; });
    for (auto line = many.begin(); line != summary; ++line) {
        const auto mark = line->find("> ");
        ASSERT_NE(mark, std::string::npos) << *line;
        EXPECT_NE(std::find(kTenNames.begin(), kTenNames.end(), line->substr(0, mark)), kTenNames.end()) << *line;
    }
    EXPECT_NE(std::find(many.begin(), many.end(), "PC-FAIL-03> msiexec exited on PC-FAIL-03 with error code 1603."),
              many.end());
    EXPECT_EQ(LinesFrom(many, "Vantrel: Results"), LinesFrom(single, "Vantrel: Results")) << "the same summary";
    EXPECT_EQ(SavedRetryList(), singleRetry) << "and the same retry list";
    EXPECT_EQ(std::count(many.begin(), many.end(), "Vantrel: Process completed successfully"), 0);
    EXPECT_EQ(std::count(many.begin(), many.end(), "Execution Finished"), 1);
    EXPECT_EQ(many.back(), "Execution Finished");

    ASSERT_GE(statuses.size(), 3u);
    EXPECT_EQ(statuses[1].rfind("Running: ", 0), 0u) << statuses[1];
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Running: 0 of 10 done, 4 running, 6 waiting"), statuses.end());
    EXPECT_EQ(statuses.back(), kReadyLine);
}

TEST_F(ManyAtATime, EveryComputerSucceedingGivesOneSuccessLineBeforeTheSummary)
{
    const std::vector<std::string> lines = RunList("PC-A\r\nPC-B\r\nPC-C\r\n", "64");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Vantrel: Process completed successfully"), 1);
    const auto success = std::find(lines.begin(), lines.end(), "Vantrel: Process completed successfully");
    ASSERT_NE(success, lines.end());
    EXPECT_EQ(*std::next(success), "Vantrel: Results for 3 computers:") << "right before the summary";
    for (const char* name : {"PC-A", "PC-B", "PC-C"})
        EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(name) + "> PsExec exited with error code 0."), 1);
    EXPECT_EQ(Form().runner1->CommandLine, "") << "runner1 does not run a list it does not hold";
}

TEST_F(ManyAtATime, StopEndsEveryChildAndCountsTheUnstartedAsNoResult)
{
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "20000");
    FillValidJob("fleet.txt", "PC-1\r\nPC-2\r\nPC-3\r\nPC-4\r\nPC-5\r\n");
    Form().edt7->SetText("2");
    EXPECT_FALSE(MenuCommand(Form().mmo2->MenuCommands(), "Stop").IsEnabled()) << "nothing runs yet";
    Click(*Form().sbtbtn1);
    ASSERT_TRUE(PumpUntil(App(), [&] { return StandinChildren() == 2; }));
    PumpFor(App(), std::chrono::milliseconds(300));
    EXPECT_EQ(StandinChildren(), 2) << "the third waits";
    const TMenuCommand& stop = MenuCommand(Form().mmo2->MenuCommands(), "Stop");
    ASSERT_TRUE(stop.IsEnabled());
    stop.OnClick();
    ASSERT_TRUE(WaitForRunEnd(std::chrono::seconds(5)));
    EXPECT_TRUE(PumpUntil(App(), [&] { return StandinChildren() == 0; }, std::chrono::seconds(1)))
        << "no child is left";
    const auto lines = ConsoleLines(Form());
    EXPECT_EQ(LinesFrom(lines, "Vantrel: Results"),
              (std::vector<std::string>{"Vantrel: Results for 5 computers:", "Vantrel:   5 no result",
                                        "Vantrel: PC-1: no result",
                                        "Vantrel: PC-2: no result", "Vantrel: PC-3: no result",
                                        "Vantrel: PC-4: no result", "Vantrel: PC-5: no result", "Execution Finished"}));
    EXPECT_EQ(SavedRetryList(), "PC-1\r\nPC-2\r\nPC-3\r\nPC-4\r\nPC-5\r\n");
    EXPECT_EQ(Form().stsbr1->SimpleText(), kReadyLine);
    EXPECT_FALSE(MenuCommand(Form().mmo2->MenuCommands(), "Stop").IsEnabled());
}

TEST_F(ManyAtATime, EscStopsASingleToolRunAndANewExecuteEndsAManyComputerRun)
{
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "20000");
    FillValidJob();
    Click(*Form().sbtbtn1);
    ASSERT_TRUE(PumpUntil(App(), [&] { return StandinChildren() == 1; }));
    PressKey(App(), Form().edt2->Handle(), VK_ESCAPE, {});
    ASSERT_TRUE(WaitForRunEnd(std::chrono::seconds(5)));
    EXPECT_TRUE(PumpUntil(App(), [&] { return StandinChildren() == 0; }, std::chrono::seconds(1)));
    EXPECT_EQ(ConsoleLines(Form()).back(), "Execution Finished");

    Form().edt7->SetText("3");
    Click(*Form().sbtbtn1);
    ASSERT_TRUE(PumpUntil(App(), [&] { return StandinChildren() == 2; })) << "both computers of lab.txt";
    Form().edt7->SetText("1");
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "0");
    ASSERT_TRUE(ExecuteToEnd());
    EXPECT_TRUE(PumpUntil(App(), [&] { return StandinChildren() == 0; }, std::chrono::seconds(1)));
    const auto lines = ConsoleLines(Form());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Execution Finished"), 3) << "every run reports its end";
    EXPECT_EQ(lines.back(), "Execution Finished");
}

TEST_F(ManyAtATime, TheCountFieldSitsInFreeSpaceTakesDigitsOnlyAndRefusesOutOfRange)
{
    TForm1& form = Form();
    const TBounds field = BoundsOf(*form.edt7);
    EXPECT_EQ(field.Left, 504);
    EXPECT_EQ(field.Top, 63);
    EXPECT_EQ(field.Width, 25);
    EXPECT_EQ(field.Height, 21);
    EXPECT_EQ(GetParent(form.edt7->Handle()), form.spnl4->Handle());
    const TBounds caption = BoundsOf(*form.lblAtATime);
    EXPECT_EQ(form.lblAtATime->Text(), "Computers at a time:");
    EXPECT_LT(caption.Right(), field.Left);
    EXPECT_GT(caption.Left, BoundsOf(*form.chk7).Right()) << "clear of the uninstall box";
    EXPECT_GE(caption.Top, BoundsOf(*form.chk6).Bottom());
    EXPECT_EQ(GetWindow(form.edt7->Handle(), GW_HWNDPREV), form.lblAtATime->Handle())
        << "the caption comes right before the field, where automation looks for its name";
    EXPECT_FALSE(form.edt7->Hint().empty());
    EXPECT_EQ(form.edt7->Text(), "1");
    EXPECT_EQ(form.edt7->MaxLength(), 2);

    form.edt7->SetText("");
    for (char c : std::string("a-3 x2.9"))
        TypeChar(*form.edt7, c);
    EXPECT_EQ(form.edt7->Text(), "32");
    form.edt7->SetText("6a4");
    EXPECT_EQ(form.edt7->Text(), "64") << "set from outside, the filter still holds";

    FillValidJob();
    for (const char* refused : {"0", "65", ""}) {
        form.edt7->SetText(refused);
        const std::size_t boxes = dialogs_.Boxes.size();
        Click(*form.sbtbtn1);
        ASSERT_EQ(dialogs_.Boxes.size(), boxes + 1) << refused;
        EXPECT_TRUE(IsBox(dialogs_.Boxes.back(), "Warning", TMsgDlgType::mtWarning,
                          "Computers at a time must be a number from 1 to 64"));
        EXPECT_EQ(GetFocus(), form.edt7->Handle());
        EXPECT_FALSE(form.RunActive());
        EXPECT_EQ(form.stsbr1->SimpleText(), kReadyLine);
    }
    Click(*form.sbtbtn4);
    EXPECT_EQ(form.edt7->Text(), "1") << "Clear sets one at a time again";
}

}  // namespace
