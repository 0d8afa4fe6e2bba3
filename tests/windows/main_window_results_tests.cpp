// The per-computer results of a run: the marks in the target list, the summary, the retry lists
// and the CSV.
#include <windows.h>

#include <oleacc.h>

#include <map>
#include <set>

#include "MainWindowFixture.h"
#include "toolkit/ContextMenuWin32.h"
#include "toolkit/RegistryWin32.h"

namespace {

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

// The legend's items by the mark they name, with the colour in the middle of each one's swatch
// as the context menu shows it.
std::map<std::string, COLORREF> LegendSwatches(TMemo& view)
{
    const std::vector<TMenuCommand> commands = view.MenuCommands();
    const TContextMenu menu = BuildContextMenu(commands);
    std::map<std::string, COLORREF> swatches;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::string& caption = commands[i].Caption;
        if (caption.rfind("Mark ", 0) != 0)
            continue;
        const UINT id = static_cast<UINT>(i + 1);
        char text[128] = {};
        GetMenuStringA(menu.Menu.Get(), id, text, sizeof text, MF_BYCOMMAND);
        EXPECT_EQ(text, caption) << "the words stay the item's name";
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_BITMAP;
        GetMenuItemInfoA(menu.Menu.Get(), id, FALSE, &item);
        BITMAP size{};
        if (!GetObjectA(item.hbmpItem, sizeof size, &size)) {
            ADD_FAILURE() << caption << " has no swatch";
            continue;
        }
        const TMemoryDC dc(nullptr, item.hbmpItem);
        swatches[caption.substr(caption.find(": ") + 2)] = GetPixel(dc.Get(), size.bmWidth / 2, size.bmHeight / 2);
    }
    return swatches;
}

// The colour in the middle of a line's mark as the view shows it now.
COLORREF DrawnMark(const TMemo& view, int line)
{
    UpdateWindow(view.Handle());
    HDC dc = GetDC(view.Handle());
    const int x = view.Margin() + view.Scaled(TMemo::MarkSize) / 2;
    const int y = (line - view.TopLine()) * view.LineHeight() + view.LineHeight() / 2;
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(view.Handle(), dc);
    return colour;
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
    EXPECT_EQ(AccessibleDescription(Form().mmo1->Handle()), L"PC-SLOW-1: waiting\r\nPC-SLOW-2: waiting")
        << "at one at a time too, every computer waits from the start";
    EXPECT_TRUE(PumpUntil(App(), [&] {
        return AccessibleDescription(Form().mmo1->Handle()) == L"PC-SLOW-1: running\r\nPC-SLOW-2: waiting";
    })) << AccessibleDescription(Form().mmo1->Handle());
    const auto swatches = LegendSwatches(*Form().mmo1);
    EXPECT_EQ(DrawnMark(*Form().mmo1, 0), swatches.at("running"));
    EXPECT_EQ(DrawnMark(*Form().mmo1, 2), swatches.at("waiting")) << "drawn too, not only named";
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
                                                "Mark purple: not reached",
                                                "Mark black: contact lost, outcome unknown",
                                                "Mark orange: interrupted, msiexec may still be running",
                                                "Mark teal: not started", "Mark white: no result"}));
    std::set<COLORREF> colours;
    for (const auto& [mark, colour] : swatches)
        colours.insert(colour);
    EXPECT_EQ(colours.size(), legend.size()) << "each item shows a colour of its own";

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

    // The target list marks each computer, the file's text read as UTF-8 (its byte-order mark is
    // no character of the list); automation reads the marks.
    EXPECT_EQ(Form().mmo1->Lines().Get(0), "PC-LAB-01 ");
    EXPECT_EQ(AccessibleDescription(Form().mmo1->Handle()),
              L"PC-LAB-01 : done\r\nPC-NOSVC-000002: not reached\r\n"
              L"PC-LOST-0000003: contact lost, outcome unknown\r\n"
              L"PC-NOSTART-0004: failed\r\nPC-OFFLINE-0005: not reached");
    // Each mark as the target list draws it is the colour its legend item shows.
    const auto swatches = LegendSwatches(*Form().mmo1);
    const TMemo& targets = *Form().mmo1;
    const std::pair<int, const char*> drawn[] = {
        {0, "done"}, {2, "not reached"}, {3, "contact lost, outcome unknown"}, {4, "failed"}};
    for (const auto& [line, mark] : drawn)
        EXPECT_EQ(DrawnMark(targets, line), swatches.at(mark)) << mark;

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

}  // namespace
