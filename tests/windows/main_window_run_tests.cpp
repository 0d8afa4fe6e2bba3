// Complete runs of the real main window on one list with the stand-in tool as the child process,
// and saving the console view.
#include <system_error>

#include "MainWindowFixture.h"
#include "job/CommandLine.h"

namespace {

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

}  // namespace
