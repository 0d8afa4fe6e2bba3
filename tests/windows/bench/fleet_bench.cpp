// Prints how long the real main window takes to reach many computers at a time, against the
// ideal (computers / N, rounded up, times the time per computer) and against the platform's own
// floor: a bare launcher (bare_fleet) doing nothing but the same fan-out with the same stand-in
// and the same command lines, run in turns with the window in the same session. Also how many
// copies of the tool ran at once, where the user-interface thread spent its time, and the
// process's handle count and private memory before and after the runs.
//
//   fleet_bench                                   the standard scenarios, 3 rounds each
//   fleet_bench [computers milliseconds at-a-time] [rounds R]
//   fleet_bench check FOLDER [computers milliseconds at-a-time]
//
// "check" makes one run (1,000 computers of 0-200 ms, 32 at a time, unless given; the time may
// be a range), keeps its console text, results and the stand-in's journal in FOLDER, and exits
// with 1 unless every computer of the list has exactly one result, the stand-in's own success.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "support/BenchFigures.h"
#include "support/CpuTimeWin32.h"
#include "support/MessageTimerWin32.h"
#include "support/TestText.h"

namespace {

using Clock = std::chrono::steady_clock;

// What stands for each computer's name in the command line given to the bare launcher.
constexpr const char* kPlaceholder = "{computer}";

// As the run session polls a computer's copy of the tool while it is quiet.
constexpr uint32_t kFleetQuietPauseLimit = 16;

struct Scenario {
    int computers;
    std::string delay;  // milliseconds, or a range "low-high", as the stand-in reads it
    int atATime;

    // The longest time a computer takes.
    int DelayMs() const
    {
        const std::size_t dash = delay.find('-');
        return std::atoi(dash == std::string::npos ? delay.c_str() : delay.c_str() + dash + 1);
    }
    double IdealSeconds() const { return (computers + atATime - 1) / atATime * DelayMs() / 1000.0; }
    std::string Name() const
    {
        char name[96];
        std::snprintf(name, sizeof name, "%d computers x %s ms, %d at a time", computers, delay.c_str(), atATime);
        return name;
    }
};

// Each figure says where it came from: some Wine versions answer 0 to the platform's queries,
// so those are only trusted when they answer, and counted or read another way otherwise.
struct Footprint {
    DWORD handles = 0;
    const char* handlesSource = "";
    double privateMb = 0;
    const char* memorySource = "";
};

// Far above what this process ever holds; handle values are multiples of 4.
constexpr ULONG_PTR kHighestHandleProbed = 0x40000;

DWORD CountOpenHandles()
{
    DWORD count = 0;
    for (ULONG_PTR value = 4; value <= kHighestHandleProbed; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

// The value in kB of one "Name:   123 kB" line of /proc/self/status, or -1.
long long StatusKb(const std::string& status, const std::string& name)
{
    for (const std::string& line : SplitLines(status))
        if (line.rfind(name + ":", 0) == 0)
            return std::atoll(line.c_str() + name.size() + 1);
    return -1;
}

void MeasureHandles(Footprint& footprint)
{
    DWORD reported = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported > 0) {
        footprint.handles = reported;
        footprint.handlesSource = "GetProcessHandleCount";
        return;
    }
    footprint.handles = CountOpenHandles();
    footprint.handlesSource = "handle values GetHandleInformation accepts";
}

void MeasurePrivateMemory(Footprint& footprint)
{
    constexpr double kBytesPerMb = 1024.0 * 1024.0;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) &&
        memory.PrivateUsage > 0) {
        footprint.privateMb = static_cast<double>(memory.PrivateUsage) / kBytesPerMb;
        footprint.memorySource = "GetProcessMemoryInfo PrivateUsage";
        return;
    }
    // Under Wine the process is a Linux process, and Z: is the Linux root.
    // Files under /proc report a size of 0; the reader reads until the end rather than by size.
    const std::string status = ReadFileBytes("Z:\\proc\\self\\status");
    const struct {
        const char* field;
        const char* source;
    } fields[] = {{"RssAnon", "/proc/self/status RssAnon"}, {"VmData", "/proc/self/status VmData"}};
    for (const auto& field : fields) {
        const long long kb = StatusKb(status, field.field);
        if (kb > 0) {
            footprint.privateMb = kb * 1024.0 / kBytesPerMb;
            footprint.memorySource = field.source;
            return;
        }
    }
    footprint.memorySource = "no source answered";
}

Footprint TakeFootprint()
{
    Footprint footprint;
    MeasureHandles(footprint);
    MeasurePrivateMemory(footprint);
    return footprint;
}

// The fields of one CSV row as RFC 4180 writes them (quoted fields, doubled quotes).
std::vector<std::string> CsvFields(const std::string& row)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"')
            fields.back() += row[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

// What one computer left behind in a run: its results rows, its own lines in the console view
// and its starts in the stand-in's journal.
struct TComputerEvidence {
    std::vector<std::vector<std::string>> rows;  // computer, result, code, detail, ...
    std::vector<std::string> lines;              // without the "NAME> " mark
    int starts = 0;

    bool PlainlyDone(const std::string& name) const
    {
        const std::string successReport = "PsExec exited with error code 0.";
        const std::string msiexecDone = "msiexec exited on " + name + " with error code 0.";
        return rows.size() == 1 && rows[0].size() > 2 && rows[0][1] == "done" && rows[0][2] == "0" && starts == 1 &&
               std::count(lines.begin(), lines.end(), successReport) == 1 &&
               std::count(lines.begin(), lines.end(), msiexecDone) == 1;
    }
};

constexpr std::size_t kLastLinesShown = 4;

// The run's outcome as the window, its results and the stand-in tell it.
struct TRunOutcome {
    double seconds = 0;
    double cpuSeconds = 0;
    int mostAtOnce = 0;
    bool ended = true;
    bool successLine = false;            // the window's one success line of the run
    std::vector<std::string> notDone;    // a report line for each computer not plainly done
    std::vector<std::string> unexpected; // results or lines of names not in the list, error boxes

    bool EverythingDone() const { return ended && successLine && notDone.empty() && unexpected.empty(); }
};

// A computer not plainly done: its results rows, its starts and its last lines.
std::string NotDoneReport(const std::string& name, const TComputerEvidence& seen)
{
    std::string report = name + ": ";
    if (seen.rows.empty())
        report += "no results row";
    for (const auto& row : seen.rows) {
        report += (&row == &seen.rows.front() ? "" : "; ") + (row.size() > 1 ? row[1] : "(no result field)");
        if (row.size() > 3 && !row[2].empty())
            report += ", code " + row[2];
        if (row.size() > 3 && !row[3].empty())
            report += " (" + row[3] + ")";
    }
    report += "; started " + std::to_string(seen.starts) + " time(s); last lines:";
    const std::size_t shown = std::min(seen.lines.size(), kLastLinesShown);
    for (std::size_t i = seen.lines.size() - shown; i < seen.lines.size(); ++i)
        report += "\n      | " + seen.lines[i];
    if (seen.lines.empty())
        report += " none";
    return report;
}

TRunOutcome Judge(const std::vector<std::string>& computers, const std::vector<std::string>& console,
                  const std::string& csv, const TJournalReading& journal)
{
    std::map<std::string, TComputerEvidence> evidence;
    for (const std::string& name : computers)
        evidence[name];
    TRunOutcome outcome;
    const auto known = [&](const std::string& name, const std::string& what) {
        if (evidence.count(name))
            return true;
        outcome.unexpected.push_back(what);
        return false;
    };
    const std::vector<std::string> rows = SplitLines(csv);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        auto fields = CsvFields(rows[i]);
        if (!rows[i].empty() && known(fields[0], "results row: " + rows[i]))
            evidence[fields[0]].rows.push_back(std::move(fields));
    }
    for (const std::string& line : console) {
        const std::size_t mark = line.find("> ");
        if (mark != std::string::npos && line.rfind("Vantrel", 0) != 0 && known(line.substr(0, mark), "line: " + line))
            evidence[line.substr(0, mark)].lines.push_back(line.substr(mark + 2));
    }
    for (const std::string& started : journal.Started) {
        const std::size_t from = started.find("\\\\");
        if (from != std::string::npos)
            ++evidence[started.substr(from + 2, started.find_first_of(" \"", from) - from - 2)].starts;
    }
    const std::string successLine = "Vantrel: Process completed successfully";
    outcome.successLine = std::find(console.begin(), console.end(), successLine) != console.end();
    for (const auto& [name, seen] : evidence)
        if (!seen.PlainlyDone(name))
            outcome.notDone.push_back(NotDoneReport(name, seen));
    return outcome;
}

void PrintFailures(const TRunOutcome& outcome)
{
    if (!outcome.ended)
        std::printf("  the run did not end\n");
    if (!outcome.successLine)
        std::printf("  the run's success line is missing\n");
    for (const std::string& report : outcome.notDone)
        std::printf("  not plainly done: %s\n", report.c_str());
    for (const std::string& what : outcome.unexpected)
        std::printf("  unexpected %s\n", what.c_str());
}

// Where the user-interface thread spent its time during a run, from its messages.
class TUiProfile {
public:
    explicit TUiProfile(TVantrelApp& app)
        : handOffWindow_(app.Ui().Window(), 0), lines_(app.Ui().Window(), kInvokeMessage),
          posted_(app.Ui().Window(), kPostMessage), status_(app.Form1().stsbr1->Handle(), SB_SETTEXTA),
          marks_(app.Form1().mmo1->Handle(), 0), consolePaints_(app.Form1().mmo2->Handle(), WM_PAINT)
    {
    }

    void Print(int computers) const
    {
        const auto per = [computers](const TMessageTimer& timer) { return 1e3 * timer.seconds / computers; };
        const double uiCpu = ThreadCpuSeconds() - uiCpuAtStart_;
        const double allCpu = CpuSeconds() - cpuAtStart_;
        std::printf("    CPU ms a computer: the user-interface thread %.2f, the other threads %.2f\n"
                    "    user-interface thread, wall ms a computer: hand-off window %.2f (%d messages), of it line "
                    "deliveries %.2f (%d) and queued calls %.2f (%d); status bar texts %.2f (%d, each with its "
                    "paint); target list %.2f (%d messages); console paints %.2f (%d)\n",
                    1e3 * uiCpu / computers, 1e3 * (allCpu - uiCpu) / computers, per(handOffWindow_),
                    handOffWindow_.count, per(lines_), lines_.count, per(posted_), posted_.count, per(status_),
                    status_.count, per(marks_), marks_.count, per(consolePaints_), consolePaints_.count);
    }

private:
    // The hand-off window's two messages: a blocking hand-off (a line) and a queued call (a
    // computer's end, a run's end).
    static constexpr UINT kInvokeMessage = WM_APP + 1;
    static constexpr UINT kPostMessage = WM_APP + 2;

    TMessageTimer handOffWindow_, lines_, posted_, status_, marks_, consolePaints_;
    double cpuAtStart_ = CpuSeconds();
    double uiCpuAtStart_ = ThreadCpuSeconds();
};

class TFleetBench {
public:
    explicit TFleetBench(std::string evidenceFolder = {}) : evidence_(std::move(evidenceFolder))
    {
        WriteFileBytes(kShare + "\\install.msi", "package");
        SetEnvironmentVariableA("VANTREL_STANDIN_JOURNAL", Journal().c_str());
    }

    // Runs one scenario in the window and leaves the window as Clear leaves it.
    TRunOutcome Run(const Scenario& scenario, bool profile = false)
    {
        TForm1& form = app_->Form1();
        const std::vector<std::string> computers = Prepare(scenario);
        form.edt1->SetText(List());
        form.edt2->SetText(kShare + "\\install.msi");
        form.edt7->SetText(std::to_string(scenario.atATime));
        std::optional<TUiProfile> ui;
        if (profile)
            ui.emplace(*app_);
        const double cpuBefore = CpuSeconds();
        const auto start = Clock::now();
        Click(*form.sbtbtn1);
        const bool ended = PumpUntil(app_->Application(), [&] { return !form.RunActive(); }, std::chrono::minutes(30));
        const double seconds = Seconds(Clock::now() - start);
        const double cpu = CpuSeconds() - cpuBefore;
        if (ui)
            ui->Print(scenario.computers);
        ui.reset();
        const std::vector<std::string> console = ConsoleLines(form);
        const std::size_t boxesBefore = dialogs_.Boxes.size();
        const std::string csv = SavedResults(form);
        const TJournalReading journal = ReadJournal(Journal());
        TRunOutcome outcome = Judge(computers, console, csv, journal);
        outcome.ended = ended;
        if (commandForm_.empty())
            commandForm_ = CommandForm(journal.Started, computers.front());
        if (Sorted(journal.Started) != ExpectedCommandLines(computers) && outcome.notDone.empty())
            outcome.unexpected.push_back("command lines: not one a computer for every computer of the list");
        NoteErrorBoxes(boxesBefore, outcome);
        outcome.seconds = seconds;
        outcome.cpuSeconds = cpu;
        outcome.mostAtOnce = journal.MostAtOnce;
        KeepEvidence(console, csv);
        Click(*form.sbtbtn4);
        app_->Application().ProcessMessages();
        return outcome;
    }

    // The same scenario through the bare launcher, with the command lines the window gave.
    TRunOutcome RunBare(const Scenario& scenario)
    {
        const std::vector<std::string> computers = Prepare(scenario);
        std::string commandLine = "\"" + std::string(WinPath(VANTREL_BARE_FLEET_EXE)) + "\" \"" +
                                  folder_.File("Psexec.exe") + "\" \"" + List() + "\" " +
                                  std::to_string(scenario.atATime) + " \"" + Escaped(commandForm_) + "\"";
        const std::vector<std::string> said = WhatTheToolWrites("", commandLine, folder_.File("bare.txt"));
        TRunOutcome outcome;
        const std::string line = said.empty() ? std::string() : said.front();
        std::sscanf(line.c_str(), "bare: %lf s; cpu %lf s", &outcome.seconds, &outcome.cpuSeconds);
        const TJournalReading journal = ReadJournal(Journal());
        outcome.mostAtOnce = journal.MostAtOnce;
        // The launcher has no success line of its own: its copies' reports are counted instead.
        outcome.successLine = true;
        if (!Contains(line, "succeeded " + std::to_string(computers.size()) + " of"))
            outcome.notDone.push_back("the bare launcher said: " + line);
        if (Sorted(journal.Started) != ExpectedCommandLines(computers))
            outcome.unexpected.push_back("command lines: not the window's, one a computer for every computer");
        return outcome;
    }

    // The same fan-out through the console process runner alone, set up as the window sets up a
    // computer's runner, with no window, session or results: what the runner costs above the
    // bare launcher, and so what the rest of Vantrel costs above the runner.
    TRunOutcome RunRunnersAlone(const Scenario& scenario)
    {
        const std::vector<std::string> computers = Prepare(scenario);
        const TConsoleRunner& model = *app_->Form1().runner1;
        std::vector<std::unique_ptr<TConsoleRunner>> runners(computers.size());
        std::size_t next = 0, running = 0, ended = 0, reported = 0;
        std::function<void()> startMore = [&] {
            for (; running < static_cast<std::size_t>(scenario.atATime) && next < computers.size(); ++next, ++running) {
                auto runner = std::make_unique<TConsoleRunner>(nullptr, app_->Ui());
                runner->ApplicationName = model.ApplicationName;
                runner->CreationFlag = fDETACHED_PROCESS;
                runner->QuietPauseLimit = kFleetQuietPauseLimit;
                runner->CommandLine = CommandFor(computers[next]);
                runner->OnNewLine = [&reported](TObject*, const std::string& line, TOutputType type) {
                    reported += type == otEntireLine && line == "PsExec exited with error code 0." ? 1 : 0;
                };
                const std::size_t computer = next;
                runner->OnTerminated = [&, computer](TObject*, std::uint32_t) {
                    app_->Ui().Post([&, computer] {
                        runners[computer].reset();
                        --running;
                        ++ended;
                        startMore();
                    });
                };
                runner->Execute();
                runners[next] = std::move(runner);
            }
        };
        const double cpuBefore = CpuSeconds();
        const auto start = Clock::now();
        startMore();
        TRunOutcome outcome;
        outcome.ended =
            PumpUntil(app_->Application(), [&] { return ended == computers.size(); }, std::chrono::minutes(30));
        outcome.seconds = Seconds(Clock::now() - start);
        outcome.cpuSeconds = CpuSeconds() - cpuBefore;
        outcome.mostAtOnce = ReadJournal(Journal()).MostAtOnce;
        outcome.successLine = reported == computers.size();
        return outcome;
    }

    // Waits until every copy of the tool has ended and the window has handled what that posted.
    void Settle()
    {
        PumpUntil(app_->Application(), [&] { return ReadJournal(Journal()).StillRunning == 0; },
                  std::chrono::minutes(1));
        PumpFor(app_->Application(), kSettleTime);
    }

private:
    static constexpr std::chrono::milliseconds kSettleTime{2000};

    std::string Journal() const { return folder_.File("journal.txt"); }
    std::string List() const { return folder_.File("fleet.txt"); }

    std::vector<std::string> Prepare(const Scenario& scenario)
    {
        const std::string list = ComputerList("PC-FLEET-", 1000, scenario.computers);
        folder_.Write("fleet.txt", list);
        DeleteFileA(Journal().c_str());
        SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", scenario.delay.c_str());
        return SplitLines(list);
    }

    // A box during the run (a start-up error, say) tells what no line of the view may tell; the
    // question whether to run as the current account is every run's.
    void NoteErrorBoxes(std::size_t shownInTheRun, TRunOutcome& outcome)
    {
        for (std::size_t i = boxesSeen_; i < shownInTheRun; ++i)
            if (dialogs_.Boxes[i].Type != TMsgDlgType::mtConfirmation)
                outcome.unexpected.push_back("box \"" + dialogs_.Boxes[i].Caption + "\": " + dialogs_.Boxes[i].Text);
        boxesSeen_ = dialogs_.Boxes.size();
    }

    // The results as the window saves them; nothing when it has none.
    std::string SavedResults(TForm1& form)
    {
        const std::string file = folder_.File("results.csv");
        DeleteFileA(file.c_str());
        dialogs_.SaveAnswers = {file};
        form.SaveResults();
        return GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES ? std::string() : ReadFileBytes(file);
    }

    // Every computer's command line in the form the window gave, sorted.
    std::vector<std::string> ExpectedCommandLines(const std::vector<std::string>& computers) const
    {
        std::vector<std::string> lines;
        for (const std::string& computer : computers)
            lines.push_back(CommandFor(computer));
        return Sorted(lines);
    }

    static std::vector<std::string> Sorted(std::vector<std::string> lines)
    {
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    std::string CommandFor(const std::string& computer) const
    {
        std::string commandLine = commandForm_;
        const std::size_t at = commandLine.find(kPlaceholder);
        if (at != std::string::npos)
            commandLine.replace(at, std::string(kPlaceholder).size(), computer);
        return commandLine;
    }

    // The command line of computer's copy with the name replaced by the launcher's placeholder;
    // nothing when no copy ran for it.
    static std::string CommandForm(const std::vector<std::string>& started, const std::string& computer)
    {
        for (std::string commandLine : started) {
            const std::size_t at = commandLine.find("\\\\" + computer);
            const std::size_t after = at + 2 + computer.size();
            const bool wholeName =
                after == commandLine.size() || commandLine[after] == ' ' || commandLine[after] == '"';
            if (at != std::string::npos && wholeName)
                return commandLine.replace(at + 2, computer.size(), kPlaceholder);
        }
        return {};
    }

    // An argument in double quotes for the launcher's C runtime: its own quotes and the
    // backslashes before them escaped.
    static std::string Escaped(const std::string& text)
    {
        std::string escaped;
        std::size_t backslashes = 0;
        for (const char c : text) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            escaped.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            backslashes = 0;
            escaped += c;
        }
        escaped.append(2 * backslashes, '\\');
        return escaped;
    }

    void KeepEvidence(const std::vector<std::string>& console, const std::string& csv) const
    {
        if (evidence_.empty())
            return;
        std::string text;
        for (const std::string& line : console)
            text += line + "\r\n";
        WriteFileBytes(evidence_ + "\\console.txt", text);
        WriteFileBytes(evidence_ + "\\results.csv", csv);
        CopyFileA(Journal().c_str(), (evidence_ + "\\journal.txt").c_str(), FALSE);
    }

    std::string evidence_;
    std::string commandForm_;
    std::size_t boxesSeen_ = 0;
    TScratchFolder folder_{"fleet-bench"};
    TScriptedDialogs dialogs_;
    TWindowInToolFolder window_{folder_, dialogs_};
    std::unique_ptr<TVantrelApp>& app_ = window_.App;
};

std::string Joined(const std::vector<double>& values)
{
    std::string text;
    char figure[32];
    for (const double value : values) {
        std::snprintf(figure, sizeof figure, "%s%.2f", text.empty() ? "" : ", ", value);
        text += figure;
    }
    return text;
}

std::string Range(const std::vector<int>& values)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return *low == *high ? std::to_string(*low) : std::to_string(*low) + " to " + std::to_string(*high);
}

// One scenario alone against its ideal: at one at a time the window runs one copy on the whole
// list, which no launcher of one copy per computer matches.
void RunAgainstTheIdeal(TFleetBench& bench, const Scenario& scenario)
{
    const TRunOutcome outcome = bench.Run(scenario);
    std::printf("%s: %.2f s, ideal %.2f s, ratio %.2f; most at once %d; every computer succeeded: %s\n",
                scenario.Name().c_str(), outcome.seconds, scenario.IdealSeconds(),
                outcome.seconds / scenario.IdealSeconds(), outcome.mostAtOnce, outcome.EverythingDone() ? "yes" : "NO");
    PrintFailures(outcome);
}

// The window and the bare launcher in turns, the launcher first in every other round so that a
// machine growing busier or quieter weighs on both alike.
void RunAgainstTheFloor(TFleetBench& bench, const Scenario& scenario, int rounds)
{
    std::printf("%s (ideal %.2f s):\n", scenario.Name().c_str(), scenario.IdealSeconds());
    std::vector<double> ratios, vantrelSeconds, bareSeconds;
    std::vector<int> vantrelAtOnce, bareAtOnce;
    bool allDone = true;
    for (int round = 1; round <= rounds; ++round) {
        TRunOutcome vantrel, bare;
        if (round % 2 == 1) {
            vantrel = bench.Run(scenario, round == 1);
            bare = bench.RunBare(scenario);
        } else {
            bare = bench.RunBare(scenario);
            vantrel = bench.Run(scenario);
        }
        ratios.push_back(vantrel.seconds / bare.seconds);
        vantrelSeconds.push_back(vantrel.seconds);
        bareSeconds.push_back(bare.seconds);
        vantrelAtOnce.push_back(vantrel.mostAtOnce);
        bareAtOnce.push_back(bare.mostAtOnce);
        std::printf("  round %d: Vantrel %.2f s (most at once %d, CPU %.2f s), bare %.2f s (most at once %d, CPU "
                    "%.2f s), Vantrel / bare %.2f; every computer succeeded: %s\n",
                    round, vantrel.seconds, vantrel.mostAtOnce, vantrel.cpuSeconds, bare.seconds, bare.mostAtOnce,
                    bare.cpuSeconds, ratios.back(), vantrel.EverythingDone() && bare.EverythingDone() ? "yes" : "NO");
        PrintFailures(vantrel);
        PrintFailures(bare);
        if (round == 1) {
            const TRunOutcome runners = bench.RunRunnersAlone(scenario);
            std::printf("    the runners alone, without window or session: %.2f s (most at once %d, CPU %.2f s), "
                        "runners / bare %.2f; every computer succeeded: %s\n",
                        runners.seconds, runners.mostAtOnce, runners.cpuSeconds, runners.seconds / bare.seconds,
                        runners.EverythingDone() ? "yes" : "NO");
        }
        allDone = allDone && vantrel.EverythingDone() && bare.EverythingDone();
    }
    std::printf("  median Vantrel / bare %.2f (rounds %s); median Vantrel %.2f s (%.2f x ideal), bare %.2f s (%.2f x "
                "ideal); most at once: Vantrel %s, bare %s; every computer succeeded: %s\n",
                Median(ratios), Joined(ratios).c_str(), Median(vantrelSeconds),
                Median(vantrelSeconds) / scenario.IdealSeconds(), Median(bareSeconds),
                Median(bareSeconds) / scenario.IdealSeconds(), Range(vantrelAtOnce).c_str(), Range(bareAtOnce).c_str(),
                allDone ? "yes" : "NO");
}

int RunBenchmark(const std::vector<Scenario>& scenarios, int rounds)
{
    TFleetBench bench;
    // A first run as wide as the widest scenario creates what every later run reuses (fonts,
    // timers, the tool's first start, the heap's room for that many runs at once).
    const int widest = std::max_element(scenarios.begin(), scenarios.end(), [](const Scenario& a, const Scenario& b) {
                           return a.atATime < b.atATime;
                       })->atATime;
    bench.Run({2 * widest, "500", widest});
    bench.Settle();
    const Footprint before = TakeFootprint();
    for (const Scenario& scenario : scenarios) {
        if (scenario.atATime == 1)
            RunAgainstTheIdeal(bench, scenario);
        else
            RunAgainstTheFloor(bench, scenario, rounds);
    }
    bench.Settle();
    const Footprint after = TakeFootprint();
    std::printf("handles (%s): %lu before, %lu after (%+.1f%%)\n", before.handlesSource, before.handles, after.handles,
                100.0 * (double(after.handles) - before.handles) / before.handles);
    std::printf("private memory (%s): %.1f MB before, %.1f MB after (%+.1f%%)\n", before.memorySource, before.privateMb,
                after.privateMb, 100.0 * (after.privateMb - before.privateMb) / before.privateMb);
    return 0;
}

// One run, judged computer by computer, its evidence kept in folder; then the bare launcher on
// the same list under the same load, to tell the platform's own failures from Vantrel's.
int RunCheck(const std::string& folder, const Scenario& scenario)
{
    TFleetBench bench(folder);
    const TRunOutcome outcome = bench.Run(scenario);
    std::printf("%s: %.2f s; most at once %d; %s\n", scenario.Name().c_str(), outcome.seconds, outcome.mostAtOnce,
                outcome.EverythingDone() ? "pass" : "FAIL");
    PrintFailures(outcome);
    const TRunOutcome bare = bench.RunBare(scenario);
    std::printf("  the bare launcher on the same list: %.2f s; most at once %d; %s\n", bare.seconds, bare.mostAtOnce,
                bare.EverythingDone() ? "every copy succeeded" : "NOT every copy succeeded");
    PrintFailures(bare);
    return outcome.EverythingDone() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "check" && args.size() >= 2) {
        const Scenario scenario = args.size() == 5
                                      ? Scenario{std::atoi(args[2].c_str()), args[3], std::atoi(args[4].c_str())}
                                      : Scenario{1000, "0-200", 32};
        return RunCheck(args[1], scenario);
    }
    int rounds = 3;
    if (args.size() >= 2 && args[args.size() - 2] == "rounds") {
        rounds = std::max(1, std::atoi(args.back().c_str()));
        args.resize(args.size() - 2);
    }
    if (args.size() == 3)
        return RunBenchmark({{std::atoi(args[0].c_str()), args[1], std::atoi(args[2].c_str())}}, rounds);
    return RunBenchmark({{64, "1000", 1}, {64, "1000", 8}, {64, "1000", 32}, {1000, "200", 32}}, rounds);
}
