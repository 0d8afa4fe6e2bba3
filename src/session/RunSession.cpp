#include "session/RunSession.h"

#include "job/CommandLine.h"

#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace {

// A computer's copy of the tool mostly waits on its remote computer: polled every millisecond,
// dozens of them at once would keep the system busy with nothing but polling. Its lines may
// then show up to this many milliseconds late.
constexpr uint32_t kFleetQuietPauseLimit = 16;
// Now and then the platform refuses to start a process for a passing reason (under Wine, about
// once in a few thousand starts, with an internal error): such a computer is started again, this
// many times in all. Any other refusal (the tool's file gone, renamed, or locked) would meet
// every computer alike.
constexpr int kStartAttempts = 3;
constexpr std::uint32_t kPassingRefusal = 1359;  // ERROR_INTERNAL_ERROR

// Often enough to look live, seldom enough that hundreds of computers' lines and ends do not
// spend the user-interface thread on repainting the marks and the status line.
constexpr unsigned kFleetRefreshMs = 100;

// Without the tool's own connection timeout, a computer is given what the tool gives it by default.
constexpr std::chrono::seconds kDefaultCheckTimeout{3};

std::chrono::milliseconds CheckTimeout(const TJob& job)
{
    const int seconds = job.Timeout ? std::atoi(job.Timeout->c_str()) : 0;
    // A timeout of 0 would find every computer silent before it could answer.
    return seconds > 0 ? std::chrono::seconds(seconds) : kDefaultCheckTimeout;
}

std::string FailureText(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
}

template <typename T>
T& Required(T* given, const char* what)
{
    if (!given)
        throw std::invalid_argument(std::string("a run session needs ") + what);
    return *given;
}

// A computer's copy of the tool has ended when its worker's thread has: that comes once for every
// start, even for a worker stopped before its thread began, which reports no end of its own.
class TThreadEndBackend : public IProcessBackend {
public:
    TThreadEndBackend(std::shared_ptr<IProcessBackend> inner, std::function<void()> ended)
        : inner_(std::move(inner)), ended_(std::move(ended))
    {
    }
    std::unique_ptr<IChildProcess> NewChild() override { return inner_->NewChild(); }
    void Launch(std::function<void()> body) override
    {
        inner_->Launch([body = std::move(body), ended = ended_] {
            body();
            ended();
        });
    }

private:
    std::shared_ptr<IProcessBackend> inner_;
    std::function<void()> ended_;
};

TRunSessionArgs Checked(TRunSessionArgs args)
{
    if (!args.ListRunner)
        throw std::invalid_argument("a run session needs the list runner");
    return args;
}

} // namespace

// One computer of a run on many: its runner while it runs, the starts made, and the system's
// reason when the latest start was refused.
struct TComputerRun {
    std::unique_ptr<TConsoleRunner> Runner;
    int Starts = 0;
    std::optional<std::uint32_t> StartRefused;
};

// A run on many computers: the schedule and each computer's lines, the tool's switches, each
// computer's runs, and the check of which computers answer when the job skips the others.
struct TRunSession::TFleetRun {
    TFleetRun(const TJob& job, const TJobVariables& vars)
        : Fleet(job.Computers.Names(), job.AtATime), Vars(vars), Computers(job.Computers.Size())
    {
    }
    TFleet Fleet;
    TJobVariables Vars;
    std::vector<TComputerRun> Computers;
    // The tool could not be started for a computer: the job said so once and starts no more.
    bool ToolLost = false;
    std::unique_ptr<TReachabilityCheck> Check;
    TReachSettings CheckSettings;
    // Set while the check runs: no computer starts before it is done.
    bool Checking = false;
    std::size_t Checked = 0;
};

// What one run needs to know of itself: superseded runs keep theirs.
struct TRunSession::TRun {
    std::uint64_t Id = 0;
    TRunMonitor Monitor;
    TResultTracker Results{{}, false};
    // Set for a run on many computers at a time; the list runner runs the others.
    std::unique_ptr<TFleetRun> Fleet;
    std::string ListFile, Package;  // as given at the start
};

TRunSession::TRunSession(IUiThread& ui, TRunSessionArgs args)
    : ui_(ui),
      args_(Checked(std::move(args))),
      listener_(Required(args_.Listener, "a listener")),
      console_(Required(args_.Console, "the console view's lines"))
{
    refreshTimer_ = ui_.CreateTimer([this] { RefreshDue(); });
    refreshTimer_->SetInterval(kFleetRefreshMs);
}

void TRunSession::Start(const TJob& job, const TJobVariables& vars)
{
    try {
        if (job.RunsWholeList())
            StartList(job);
        else
            StartFleet(job, vars);
    } catch (...) {
        Stop();
        active_ = false;
        throw;
    }
}

std::shared_ptr<TRunSession::TRun> TRunSession::NewRun(const TJob& job)
{
    // Each run watches its own lines: a superseded run may still deliver while the next one runs.
    auto run = std::make_shared<TRun>();
    run->Id = ++lastRunId_;
    run->Results = TResultTracker(job.Computers, job.Uninstall, args_.Clock);
    run->ListFile = job.ListFile;
    run->Package = job.PackagePath;
    markedRun_ = run;
    listener_.MarkedRunStarted();
    return run;
}

void TRunSession::StartList(const TJob& job)
{
    StopFleets();
    auto run = NewRun(job);
    liveList_ = run;
    runner1().OnNewLine = [this, run](TObject*, const std::string& line, TOutputType type) {
        runner1NewLine(line, type, *run);
    };
    runner1().OnTerminated = [this, run](TObject*, std::uint32_t) { runner1Terminated(run); };
    active_ = true;
    runner1().Execute();
}

void TRunSession::StartFleet(const TJob& job, const TJobVariables& vars)
{
    // An earlier run ends as a new start ends it, whichever kind it was.
    Stop();
    auto run = NewRun(job);
    run->Fleet = std::make_unique<TFleetRun>(job, vars);
    liveFleets_.push_back(run);
    active_ = true;
    if (job.SkipNotAnswering)
        StartCheck(run, job);
    else
        StartWaitingComputers(run);
}

void TRunSession::StartCheck(const std::shared_ptr<TRun>& run, const TJob& job)
{
    TFleetRun& fleet = *run->Fleet;
    fleet.CheckSettings.timeout = CheckTimeout(job);
    std::shared_ptr<INetworkBackend> network = args_.Network ? args_.Network() : nullptr;
    fleet.Check = std::make_unique<TReachabilityCheck>(network ? std::move(network) : SystemNetwork(),
                                                       fleet.CheckSettings);
    fleet.Checking = true;
    run->Results.RunBegan();
    FleetStatusChanged();
    // The check reports on a thread of its own; its results are taken in the user-interface thread.
    const std::weak_ptr<TRun> weak = run;
    IUiThread& ui = ui_;
    fleet.Check->Start(
        job.Computers.Names(),
        [this, &ui, weak](const TReachReport& report) {
            ui.Post([this, weak, report] {
                if (const auto live = weak.lock())
                    ComputerChecked(*live, report);
            });
        },
        [this, &ui, weak] {
            ui.Post([this, weak] {
                if (const auto live = weak.lock())
                    CheckDone(live);
            });
        });
}

void TRunSession::ComputerChecked(TRun& run, const TReachReport& report)
{
    TFleetRun& fleet = *run.Fleet;
    if (!fleet.Checking)
        return;
    fleet.Checked = report.checked;
    if (report.reach != Reach::Answered) {
        fleet.Fleet.Schedule.Skip(report.index);
        run.Results.ComputerNotReached(fleet.Fleet.Children[report.index].Computer(),
                                       ReachText(report.reach, fleet.CheckSettings));
        FleetMarksChanged(run);
    }
    FleetStatusChanged();
}

void TRunSession::CheckDone(const std::shared_ptr<TRun>& run)
{
    TFleetRun& fleet = *run->Fleet;
    if (!std::exchange(fleet.Checking, false))
        return;
    StartWaitingComputers(run);
}

void TRunSession::StartWaitingComputers(const std::shared_ptr<TRun>& run)
{
    TFleetRun& fleet = *run->Fleet;
    for (const std::size_t computer : fleet.Fleet.Schedule.StartNext())
        StartComputer(run, computer);
    FleetMarksChanged(*run);
    if (fleet.Fleet.Schedule.Finished())
        FinishRun(run);
    else
        FleetStatusChanged();
}

void TRunSession::StartComputer(const std::shared_ptr<TRun>& run, std::size_t computer)
{
    TFleetRun& fleet = *run->Fleet;
    TComputerRun& computerRun = fleet.Computers[computer];
    computerRun.Runner = NewChildRunner(run, computer);
    ++computerRun.Starts;
    run->Results.ComputerStarted(fleet.Fleet.Children[computer].Computer());
    try {
        computerRun.Runner->Execute();
    } catch (...) {
        // No worker, so no end will be reported: the computer ends here, without a result.
        computerRun.Runner.reset();
        fleet.Fleet.Schedule.Ended(computer);
        throw;
    }
}

bool TRunSession::StartAgain(const std::shared_ptr<TRun>& run, std::size_t computer)
{
    TFleetRun& fleet = *run->Fleet;
    const std::optional<std::uint32_t> refused = std::exchange(fleet.Computers[computer].StartRefused, std::nullopt);
    if (!refused)
        return false;
    if (fleet.Computers[computer].Starts < kStartAttempts && !run->Results.Stopped()) {
        StartComputer(run, computer);
        return true;
    }
    run->Results.ComputerNotStarted(fleet.Fleet.Children[computer].Computer(),
                                    "the system could not start the tool, code " + std::to_string(*refused));
    return false;
}

std::unique_ptr<TConsoleRunner> TRunSession::NewChildRunner(const std::shared_ptr<TRun>& run, std::size_t computer)
{
    // Set up as the list runner, but without an output list (the view shows the child's whole
    // lines) and polled less often while it waits on its computer.
    // The runner outlives nothing of the run: a run that is gone takes no more of its events.
    const std::weak_ptr<TRun> weak = run;
    // The thread may end after the session: it reaches only the user-interface thread, which
    // lives as long as the program.
    IUiThread& ui = ui_;
    auto ended = [this, &ui, weak, computer] {
        ui.Post([this, weak, computer] {
            if (const auto live = weak.lock())
                ChildTerminated(live, computer);
        });
    };
    auto runner = std::make_unique<TConsoleRunner>(
        args_.Owner, ui_,
        std::make_shared<TThreadEndBackend>(args_.ChildBackend ? args_.ChildBackend : DefaultProcessBackend(), ended));
    runner->ApplicationName = runner1().ApplicationName;
    runner->MaxTimeAfterBeginning = runner1().MaxTimeAfterBeginning;
    runner->MaxTimeAfterLastOutput = runner1().MaxTimeAfterLastOutput;
    runner->ShowWindow = runner1().ShowWindow;
    // Without a console of its own: the tool's output goes to the pipe either way, and a console
    // per computer would cost one more console host process at every start.
    runner->CreationFlag = fDETACHED_PROCESS;
    runner->ReturnCode = runner1().ReturnCode;
    runner->QuietPauseLimit = kFleetQuietPauseLimit;
    runner->CommandLine = ComposeComputerCommandLine(run->Fleet->Vars, run->Fleet->Fleet.Children[computer].Computer());
    runner->OnNewLine = [this, weak, computer](TObject*, const std::string& line, TOutputType type) {
        if (const auto live = weak.lock())
            ChildNewLine(*live, computer, line, type);
    };
    // Raised before the end, so heard before it.
    runner->OnStartFailed = [this, weak, computer](TObject*, const std::exception_ptr& failure, std::uint32_t code) {
        ui_.Post([this, weak, computer, failure, code] {
            if (const auto live = weak.lock())
                ChildStartFailed(*live, computer, failure, code);
        });
    };
    return runner;
}

void TRunSession::runner1NewLine(const std::string& NewLine, TOutputType OutputType, TRun& run)
{
    runner1().SetOutputLines(args_.Console);
    run.Results.PieceDelivered(NewLine, OutputType);
    MarksChanged(run);
    console_.PieceDelivered(run.Id, run.Monitor, NewLine, OutputType);
    listener_.ConsoleGrew();
}

void TRunSession::runner1Terminated(const std::shared_ptr<TRun>& run)
{
    // Raised in the worker thread: the view and the listener are reached only in the
    // user-interface thread.
    ui_.Post([this, run] { FinishRun(run); });
}

void TRunSession::ChildNewLine(TRun& run, std::size_t computer, const std::string& NewLine, TOutputType OutputType)
{
    TChildLines& child = run.Fleet->Fleet.Children[computer];
    if (const std::optional<std::string> line = child.Piece(NewLine, OutputType))
        ShowChildLine(run, computer, *line);
}

void TRunSession::ShowChildLine(TRun& run, std::size_t computer, const std::string& line)
{
    // The results read the tool's own words, each child's apart; the view shows whose they are.
    run.Results.ChildLine(computer, line);
    FleetMarksChanged(run);
    console_.AddRunLine(run.Id, run.Fleet->Fleet.Children[computer].Marked(line));
    listener_.ConsoleGrew();
}

void TRunSession::ChildTerminated(const std::shared_ptr<TRun>& run, std::size_t computer)
{
    TFleetRun& fleet = *run->Fleet;
    TChildLines& child = fleet.Fleet.Children[computer];
    if (const std::optional<std::string> rest = child.Ended())
        ShowChildLine(*run, computer, *rest);
    fleet.Computers[computer].Runner.reset();
    if (!StartAgain(run, computer))
        fleet.Fleet.Schedule.Ended(computer);
    StartWaitingComputers(run);
}

void TRunSession::ChildStartFailed(TRun& run, std::size_t computer, const std::exception_ptr& failure, std::uint32_t code)
{
    TFleetRun& fleet = *run.Fleet;
    const std::string& tool = runner1().ApplicationName;
    const bool toolGone = !tool.empty() && args_.FileExists && !args_.FileExists(tool);
    if (code == kPassingRefusal && !toolGone) {
        fleet.Computers[computer].StartRefused = code;
        return;
    }
    // The tool was there when the job began: renamed or removed since, every computer would fail
    // alike. Said once, in the view and in one box; the computers not started are counted so.
    if (fleet.ToolLost)
        return;
    fleet.ToolLost = true;
    run.Results.RunStopped();
    fleet.Fleet.Schedule.Stop();
    console_.AddRunLine(run.Id, "Vantrel: The tool could not be started for " + fleet.Fleet.Children[computer].Computer() +
                                    ": " + FailureText(failure) + " No more computers were started.");
    listener_.ConsoleGrew();
    std::rethrow_exception(failure);
}

void TRunSession::FinishRun(const std::shared_ptr<TRun>& ended)
{
    TRun& run = *ended;
    run.Results.RunEnded();
    if (liveList_ == ended)
        liveList_.reset();
    RefreshNow();
    MarksChanged(run);
    KeepResults(ended);
    const auto fits = [this](std::string_view line) { return listener_.FitsConsole(line); };
    const std::vector<std::string> summary = run.Results.SummaryLines(args_.SystemMessage, fits);
    if (run.Fleet)
        console_.RunEnded(run.Id, run.Fleet->Fleet.EveryComputerSucceeded(), summary);
    else
        console_.RunEnded(run.Id, run.Monitor, summary);
    listener_.ConsoleGrew();
    if (run.Id == lastRunId_)
        active_ = false;
    std::erase_if(liveFleets_, [&ended](const std::shared_ptr<TRun>& live) { return live == ended; });
    listener_.StatusChanged();
}

void TRunSession::Stop()
{
    if (liveList_ && runner1().Running())
        liveList_->Results.RunStopped();
    runner1().Stop();
    StopFleets();
}

void TRunSession::StopFleets()
{
    // A copy: a run that ends while its children stop leaves the list.
    const auto fleets = liveFleets_;
    for (const auto& fleet : fleets)
        StopFleet(fleet);
}

void TRunSession::StopFleet(const std::shared_ptr<TRun>& run)
{
    TFleetRun& fleet = *run->Fleet;
    if (!fleet.Fleet.Schedule.Finished())
        run->Results.RunStopped();
    fleet.Fleet.Schedule.Stop();
    if (std::exchange(fleet.Checking, false)) {
        // Nothing was started yet: the run ends here, with what the check had found.
        fleet.Check->Cancel();
        FinishRun(run);
        return;
    }
    for (const TComputerRun& computer : fleet.Computers) {
        if (computer.Runner)
            computer.Runner->Stop();
    }
}

std::optional<std::string> TRunSession::ProgressText() const
{
    if (!active_ || liveFleets_.empty() || liveFleets_.back()->Id != lastRunId_)
        return std::nullopt;
    const TFleetRun& fleet = *liveFleets_.back()->Fleet;
    if (fleet.Checking)
        return "Checking which computers answer: " + std::to_string(fleet.Checked) + " of " +
               std::to_string(fleet.Fleet.Schedule.Total());
    return fleet.Fleet.Schedule.ProgressText();
}

std::optional<TComputerMark> TRunSession::MarkOfLine(std::string_view line) const
{
    if (!markedRun_)
        return std::nullopt;
    return markedRun_->Results.MarkOfLine(line);
}

bool TRunSession::ForgetMarks()
{
    if (!markedRun_)
        return false;
    markedRun_.reset();
    return true;
}

void TRunSession::ConsoleCleared()
{
    console_.Cleared();
    lastResultsRun_.reset();
}

void TRunSession::KeepResults(const std::shared_ptr<const TRun>& run)
{
    // Only a run that started has results worth trying again; a superseded run that ends late
    // does not replace a newer one's. An ended run's results change no more.
    if (run->Results.Started() && (!lastResultsRun_ || run->Id > lastResultsRun_->Id))
        lastResultsRun_ = run;
}

void TRunSession::MarksChanged(const TRun& run)
{
    if (markedRun_.get() == &run)
        listener_.MarksChanged();
}

void TRunSession::FleetMarksChanged(const TRun& run)
{
    if (markedRun_.get() != &run)
        return;
    marksDue_ = true;
    if (!refreshTimer_->Enabled())
        RefreshDue();
}

void TRunSession::FleetStatusChanged()
{
    statusDue_ = true;
    if (!refreshTimer_->Enabled())
        RefreshDue();
}

void TRunSession::RefreshDue()
{
    // A quiet period ends the refreshes; the next change is told at once again.
    refreshTimer_->SetEnabled(marksDue_ || statusDue_);
    RefreshNow();
}

void TRunSession::RefreshNow()
{
    const bool marks = std::exchange(marksDue_, false);
    const bool status = std::exchange(statusDue_, false);
    if (marks)
        listener_.MarksChanged();
    if (status)
        listener_.StatusChanged();
}

std::vector<std::string> TRunSession::RetryList(bool withRestartRequired) const
{
    return lastResultsRun_ ? lastResultsRun_->Results.RetryList(withRestartRequired) : std::vector<std::string>{};
}

std::string TRunSession::ResultsCsv() const
{
    if (!lastResultsRun_)
        return {};
    const TRun& run = *lastResultsRun_;
    return ::ResultsCsv(run.Results, run.ListFile, run.Package, args_.SystemMessage);
}
