// A run of the job, below the window: on the whole list in one copy of the tool, or on many
// computers at a time with a copy each. The session owns the runs' runners, schedules, results
// and numbers and Stop; it writes into the console view's lines and tells the window what
// changed through a small listener.
#pragma once

#include "job/ResultTexts.h"
#include "job/ResultTracker.h"
#include "job/Fleet.h"
#include "job/Job.h"
#include "job/JobVariables.h"
#include "job/RunConsole.h"
#include "job/RunMonitor.h"
#include "network/Reachability.h"
#include "runner/ConsoleRunner.h"
#include "toolkit/Strings.h"
#include "toolkit/UiThread.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the window hears of the runs. Every call comes in the user-interface thread.
class IRunListener {
public:
    virtual ~IRunListener() = default;
    // A run started whose computers the target list now marks.
    virtual void MarkedRunStarted() = 0;
    // The marks of the target list's computers changed.
    virtual void MarksChanged() = 0;
    // Lines arrived at the end of the console view.
    virtual void ConsoleGrew() = 0;
    // What the status line says may have changed: a computer started or ended, or a run ended.
    virtual void StatusChanged() = 0;
    // Whether a summary line fits the console view; a line that does not is wrapped.
    virtual bool FitsConsole(std::string_view line) = 0;
};

struct TRunSessionArgs {
    // Owns the runners of the computers that run at a time.
    TComponent* Owner = nullptr;
    // The runner of the whole list, as its owner holds it now (the owner may replace it); its
    // settings are the ones every computer's copy of the tool gets.
    std::function<TConsoleRunner&()> ListRunner;
    // The console view's lines.
    TStrings* Console = nullptr;
    IRunListener* Listener = nullptr;
    TSystemMessage SystemMessage;
    // The time of day for each computer's start and end.
    TClock Clock;
    // Starts each computer's copy of the tool; the platform's own when none (tests script it).
    std::shared_ptr<IProcessBackend> ChildBackend;
    // Whether a file exists: a refused start whose tool is gone is never made again.
    std::function<bool(const std::string& path)> FileExists;
    // The sockets that find out which computers answer before a job that skips the others; the
    // platform's own when there is no function or it gives none (tests give a listener of their
    // own).
    std::function<std::shared_ptr<INetworkBackend>()> Network;
};

class TRunSession {
public:
    // Runs that are still going are stopped when the session goes: their runners go with it.
    TRunSession(IUiThread& ui, TRunSessionArgs args);
    TRunSession(const TRunSession&) = delete;
    TRunSession& operator=(const TRunSession&) = delete;

    // Starts the job, checked and with its computers read, and ends every earlier run first. At
    // one at a time the list runner runs the command line that it holds; at more, or when the
    // computers that do not answer are skipped, each computer gets its own copy of the tool with
    // vars' switches. When a start throws, nothing goes on running.
    void Start(const TJob& job, const TJobVariables& vars);
    // Ends every child of every run at once; each run then ends as after any stop, with its
    // summary and "Execution Finished".
    void Stop();

    // True from an accepted start until the end of the latest run it started.
    bool Active() const { return active_; }
    // "Running: 37 of 200 done, 8 running, 155 waiting" while the latest run is one on many
    // computers at a time, "Checking which computers answer: 120 of 500" before it starts them.
    std::optional<std::string> ProgressText() const;

    // The mark of a list line's computer in the run that the target list marks.
    std::optional<TComputerMark> MarkOfLine(std::string_view line) const;
    // The target list marks no run any more (Clear, a new list). True when it marked one.
    bool ForgetMarks();
    // The console view was emptied: the runs' lines start again, and no results are kept.
    void ConsoleCleared();

    // The latest ended run that started: its retry lists and its results as a CSV file.
    bool HasResults() const { return lastResultsRun_ != nullptr; }
    std::vector<std::string> RetryList(bool withRestartRequired) const;
    std::string ResultsCsv() const;

private:
    struct TFleetRun;
    struct TRun;

    std::shared_ptr<TRun> NewRun(const TJob& job);
    void StartList(const TJob& job);
    void StartFleet(const TJob& job, const TJobVariables& vars);
    // Tries every computer on the tool's port first; those that do not answer are not started.
    void StartCheck(const std::shared_ptr<TRun>& run, const TJob& job);
    void ComputerChecked(TRun& run, const TReachReport& report);
    void CheckDone(const std::shared_ptr<TRun>& run);
    void StartWaitingComputers(const std::shared_ptr<TRun>& run);
    void StartComputer(const std::shared_ptr<TRun>& run, std::size_t computer);
    // A start the platform refused for a passing reason is made again, a few times at most.
    bool StartAgain(const std::shared_ptr<TRun>& run, std::size_t computer);
    std::unique_ptr<TConsoleRunner> NewChildRunner(const std::shared_ptr<TRun>& run, std::size_t computer);
    void runner1NewLine(const std::string& NewLine, TOutputType OutputType, TRun& run);
    void runner1Terminated(const std::shared_ptr<TRun>& run);
    void ChildNewLine(TRun& run, std::size_t computer, const std::string& NewLine, TOutputType OutputType);
    void ShowChildLine(TRun& run, std::size_t computer, const std::string& line);
    void ChildTerminated(const std::shared_ptr<TRun>& run, std::size_t computer);
    void ChildStartFailed(TRun& run, std::size_t computer, const std::exception_ptr& failure, std::uint32_t code);
    void FinishRun(const std::shared_ptr<TRun>& run);
    // Stops every live many-computer run; safe while a stopped run leaves the list.
    void StopFleets();
    void StopFleet(const std::shared_ptr<TRun>& run);
    TConsoleRunner& runner1() const { return args_.ListRunner(); }
    // Keeps an ended run's results for the retry list, unless a newer run's are kept already.
    void KeepResults(const std::shared_ptr<const TRun>& run);
    // The listener hears of run's marks, if it is the run that the target list marks.
    void MarksChanged(const TRun& run);
    // While many computers run, the marks and the status line change with every line and every
    // end; the listener hears of them at once, then at most once per refresh period.
    void FleetMarksChanged(const TRun& run);
    void FleetStatusChanged();
    void RefreshDue();
    void RefreshNow();

    IUiThread& ui_;
    TRunSessionArgs args_;
    IRunListener& listener_;
    // Places the runs' own lines in the console view.
    TRunConsole console_;
    std::uint64_t lastRunId_ = 0;
    bool active_ = false;
    // Runs on many computers that have not ended yet, the latest last.
    std::vector<std::shared_ptr<TRun>> liveFleets_;
    // The run on the whole list, until it has ended.
    std::shared_ptr<TRun> liveList_;
    std::unique_ptr<IPeriodicTimer> refreshTimer_;
    bool marksDue_ = false;
    bool statusDue_ = false;
    // The latest ended run that started: its results for the retry lists and the CSV.
    std::shared_ptr<const TRun> lastResultsRun_;
    // The run whose computers the target list marks; none after Clear or a new list.
    std::shared_ptr<const TRun> markedRun_;
};
