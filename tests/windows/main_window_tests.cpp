// The real main window under Wine, driven by messages: its layout, its fields and options, the
// input Execute refuses, and the start without the tool.
#include <windows.h>

#include <commctrl.h>

#include "MainWindowFixture.h"
#include "toolkit/TextWin32.h"
#include "resource_ids.h"

namespace {

const char* const kToolMissing =
    "Can't find Psexec.exe, Vantrel will not function, please copy Psexec.exe into Vantrel Folder and try again";

std::string ClassOf(HWND hwnd)
{
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
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
    EXPECT_EQ(SendMessageA(form.ToolTipsHandle(), TTM_GETTOOLCOUNT, 0, 0), 22) << "every control with a hint";

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
                               form.edt7.get(),    form.chk8.get(),    form.sbtbtn1.get(), form.sbtbtn4.get(), form.sbtbtn5.get(), form.sbtbtn3.get(),
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

}  // namespace
