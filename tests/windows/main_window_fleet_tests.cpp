// Many computers at a time through the real main window.
#include "MainWindowFixture.h"
#include "job/CommandLine.h"
#include "support/LoopbackListener.h"
#include "support/RedirectedNetwork.h"

namespace {

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

    // The check before a run tries ports of the test's own: PC-... answer, closed-... refuse,
    // silent-... never answer; the stand-in keeps its journal.
    void SkipOnOwnPorts()
    {
        KeepJournal();
        answering_.emplace();
        closed_.emplace(TLoopbackListener::TKind::Closed);
        silent_.emplace(TLoopbackListener::TKind::Silent);
        Form().Network = std::make_shared<TRedirectedNetwork>(answering_->Port(), closed_->Port(), silent_->Port());
        Form().chk8->SetChecked(true);
    }
    std::optional<TLoopbackListener> answering_, closed_, silent_;
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

TEST_F(ManyAtATime, StopEndsEveryChildAndSaysSoWithTheComputersNotStarted)
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
              (std::vector<std::string>{"Vantrel: Results for 5 computers:", "Vantrel:   5 not started",
                                        "Vantrel: PC-1: not started",
                                        "Vantrel: PC-2: not started", "Vantrel: PC-3: not started",
                                        "Vantrel: PC-4: not started", "Vantrel: PC-5: not started", "Execution Finished"}));
    EXPECT_EQ(*(std::find(lines.begin(), lines.end(), "Vantrel: Results for 5 computers:") - 1),
              "Vantrel: The run was stopped.");
    EXPECT_EQ(SavedRetryList(), "PC-1\r\nPC-2\r\nPC-3\r\nPC-4\r\nPC-5\r\n");
    EXPECT_EQ(Form().stsbr1->SimpleText(), kReadyLine);
    EXPECT_FALSE(MenuCommand(Form().mmo2->MenuCommands(), "Stop").IsEnabled());
}

TEST_F(ManyAtATime, AToolGoneMidJobIsToldOnceAndTheComputersNotYetStartedAreNotStarted)
{
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "1500");
    FillValidJob("fleet.txt", "PC-1\r\nPC-2\r\nPC-3\r\nPC-4\r\nPC-5\r\nPC-6\r\n");
    Form().edt7->SetText("2");
    Click(*Form().sbtbtn1);
    ASSERT_TRUE(PumpUntil(App(), [&] { return StandinChildren() == 2; }));
    ASSERT_TRUE(MoveFileA(folder_.File("Psexec.exe").c_str(), folder_.File("Psexec-renamed.exe").c_str()));
    const std::size_t boxes = dialogs_.Boxes.size();
    ASSERT_TRUE(WaitForRunEnd(std::chrono::seconds(20)));
    PumpFor(App(), std::chrono::milliseconds(300));
    ASSERT_EQ(dialogs_.Boxes.size(), boxes + 1) << "one box, not one per computer";
    EXPECT_TRUE(IsBox(dialogs_.Boxes.back(), kApplicationTitle, TMsgDlgType::mtError, "doesn't exist.", TTextIs::Within));
    const auto lines = ConsoleLines(Form());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
                  return line.starts_with("Vantrel: The tool could not be started for PC-3: ");
              }),
              1) << ::testing::PrintToString(lines);
    const auto summary = LinesFrom(lines, "Vantrel: Results");
    EXPECT_EQ(std::vector<std::string>(summary.begin(), summary.begin() + 3),
              (std::vector<std::string>{"Vantrel: Results for 6 computers:", "Vantrel:   2 done", "Vantrel:   4 not started"}));
    EXPECT_EQ(SavedRetryList(), "PC-3\r\nPC-4\r\nPC-5\r\nPC-6\r\n");
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
    EXPECT_EQ(GetParent(form.edt7->Handle()), form.spnl4->Handle());
    const TBounds caption = BoundsOf(*form.lblAtATime);
    EXPECT_EQ(form.lblAtATime->Text(), "PCs at a time:");
    EXPECT_LT(caption.Right(), field.Left);
    EXPECT_GT(caption.Left, BoundsOf(*form.chk1).Left + form.chk1->CaptionWidth()) << "clear of the first option's caption";
    EXPECT_LT(field.Right(), BoundsOf(*form.chk4).Left) << "clear of the profile option";
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

TEST_F(ManyAtATime, ListsWithLinesThatAreNotOneComputerOrWithoutAnyAreRefusedBeforeAnythingStarts)
{
    KeepJournal();
    TForm1& form = Form();
    const std::pair<std::string, std::string> refused[] = {
        {"PC-A\r\nPC-F,PC-G\r\nPC C\r\nPC;D\r\n\"PC-E\"\r\n# comment\r\n" + std::string(80, 'x') + "\r\n",
         "Each line of the distribution list file must name one computer. These lines do not, so nothing was "
         "started:\n\"PC-F,PC-G\"\n\"PC C\"\n\"PC;D\"\n\"\"PC-E\"\"\n\"# comment\"\n\"" + std::string(80, 'x') + "\""},
        {" \r\n\t\r\n", "The distribution list file names no computer: there is nothing to run."}};
    for (const auto& [list, warning] : refused) {
        FillValidJob("fleet.txt", list);
        form.edt7->SetText("4");
        const std::size_t boxes = dialogs_.Boxes.size();
        Click(*form.sbtbtn1);
        ASSERT_EQ(dialogs_.Boxes.size(), boxes + 2) << "the account question, then the refusal: " << list;
        EXPECT_TRUE(IsBox(dialogs_.Boxes.back(), "Warning", TMsgDlgType::mtWarning, warning));
        EXPECT_EQ(GetFocus(), form.edt1->Handle());
        EXPECT_FALSE(form.RunActive());
        EXPECT_EQ(form.stsbr1->SimpleText(), kReadyLine);
    }
    EXPECT_EQ(GetFileAttributesA(Journal().c_str()), INVALID_FILE_ATTRIBUTES) << "nothing started";
    FillValidJob("fleet.txt", "PC-F,PC-G\r\n");
    form.edt7->SetText("1");
    LinesOfARun();
    EXPECT_EQ(ReadJournal(Journal()).Started.size(), 1u) << "one at a time, the file goes to the tool as it is";
}

TEST_F(ManyAtATime, SkippingComputersThatDoNotAnswerStartsOnlyTheOthersAndGivesEachOtherItsReason)
{
    EXPECT_FALSE(Form().chk8->Checked()) << "off unless asked for";
    EXPECT_EQ(Form().chk8->Text(), "Skip computers that do not answer");
    EXPECT_NE(Form().chk8->Hint().find("port 445"), std::string::npos) << Form().chk8->Hint();
    SkipOnOwnPorts();
    // At 1 at a time the computers that answer run one after another, each with its own tool.
    const std::vector<std::string> lines =
        RunList("PC-A\r\nclosed-pc\r\nPC-B\r\nnothing-here.invalid\r\nbad name\r\n", "1");

    const TJournalReading journal = ReadJournal(Journal());
    EXPECT_EQ(journal.Started, (std::vector<std::string>{ComposeComputerCommandLine(JobVars, "PC-A"),
                                                          ComposeComputerCommandLine(JobVars, "PC-B")}));
    EXPECT_EQ(journal.MostAtOnce, 1);
    EXPECT_EQ(LinesFrom(lines, "Vantrel: Results"),
              (std::vector<std::string>{"Vantrel: Results for 5 computers:", "Vantrel:   2 done",
                                        "Vantrel:   3 not reached",
                                        "Vantrel: closed-pc: not reached (connection refused on port 445)",
                                        "Vantrel: nothing-here.invalid: not reached (name not found)",
                                        "Vantrel: bad name: not reached (not a valid computer name)",
                                        "Execution Finished"}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Vantrel: Process completed successfully"), 0)
        << "a computer not reached is not a success";
    EXPECT_EQ(SavedRetryList(), "closed-pc\r\nnothing-here.invalid\r\nbad name\r\n");
    EXPECT_EQ(AccessibleDescription(Form().mmo1->Handle()),
              L"PC-A: done\r\nclosed-pc: not reached\r\nPC-B: done\r\nnothing-here.invalid: not reached\r\n"
              L"bad name: not reached");
    dialogs_.SaveAnswers = {folder_.File("results.csv")};
    Form().SaveResults();
    const auto rows = SplitRows(ReadFileBytes(folder_.File("results.csv")));
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[2].rfind("closed-pc,not reached,,connection refused on port 445,", 0), 0u) << rows[2];

    Click(*Form().sbtbtn4);
    EXPECT_FALSE(Form().chk8->Checked()) << "Clear unticks it";
}

TEST_F(ManyAtATime, StopDuringTheCheckStartsNothingAndEndsTheRunAtOnce)
{
    SkipOnOwnPorts();
    FillValidJob("fleet.txt", "PC-A\r\nsilent-pc\r\nPC-B\r\n");
    Form().edt7->SetText("2");
    Form().chk6->SetChecked(true);
    Form().edt6->SetText("30");
    Click(*Form().sbtbtn1);
    ASSERT_TRUE(PumpUntil(App(), [&] { return Form().stsbr1->SimpleText() == "Checking which computers answer: 2 of 3"; }))
        << Form().stsbr1->SimpleText();
    PressKey(App(), Form().edt2->Handle(), VK_ESCAPE, {});
    EXPECT_FALSE(Form().RunActive()) << "nothing runs whose end the run would wait for";
    EXPECT_EQ(Form().stsbr1->SimpleText(), kReadyLine);
    PumpFor(App(), std::chrono::milliseconds(300));
    EXPECT_EQ(StandinChildren(), 0);
    EXPECT_EQ(GetFileAttributesA(Journal().c_str()), INVALID_FILE_ATTRIBUTES) << "no copy of the tool ever started";
    const auto lines = ConsoleLines(Form());
    EXPECT_EQ(LinesFrom(lines, "Vantrel: The run was stopped."),
              (std::vector<std::string>{"Vantrel: The run was stopped.", "Vantrel: Results for 3 computers:",
                                        "Vantrel:   3 not started", "Vantrel: PC-A: not started",
                                        "Vantrel: silent-pc: not started", "Vantrel: PC-B: not started",
                                        "Execution Finished"}))
        << ::testing::PrintToString(lines);
    EXPECT_EQ(SavedRetryList(), "PC-A\r\nsilent-pc\r\nPC-B\r\n") << "all of them, for the next run";
}

}  // namespace
