// A non-visual component that runs one command line as a hidden child console process, splits
// its output into lines, mirrors them into the caller's list, announces each piece, feeds queued
// input, enforces two time limits and reports the end of the run.
#pragma once

#include "runner/ProcessBackend.h"
#include "runner/ProcessTimer.h"
#include "runner/RunnerState.h"
#include "runner/RunnerThread.h"
#include "runner/RunnerTypes.h"
#include "runner/SyncStrings.h"
#include "toolkit/Component.h"
#include "toolkit/UiThread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// The state a runner shares with its workers, held in a base so that it exists before the
// settings that refer into it.
struct TRunnerStateHolder {
    explicit TRunnerStateHolder(TObject* runner) : state_(std::make_shared<TRunnerState>(runner)) {}
    std::shared_ptr<TRunnerState> state_;
};

class TConsoleRunner : public TComponent, private TRunnerStateHolder {
public:
    // ui serves every hand-off and the tick source; it must outlive the runner. A worker that
    // outlives its runner stops using ui as soon as it sees the runner gone, so keep ui alive
    // (shut down, if need be) until the process ends to cover the moment in between.
    // With the platform's own process backend.
    TConsoleRunner(TComponent* owner, IUiThread& ui);
    // With a chosen backend, such as the scripted child of the tests.
    TConsoleRunner(TComponent* owner, IUiThread& ui, std::shared_ptr<IProcessBackend> backend);
    // Asks a running worker to stop and never waits for it: the worker keeps what it still needs
    // alive by itself, and raises no event once the runner is gone.
    ~TConsoleRunner() override;
    TConsoleRunner(const TConsoleRunner&) = delete;
    TConsoleRunner& operator=(const TConsoleRunner&) = delete;

    // Starts a run and returns at once; an earlier run is asked to stop and not waited for.
    // Clears Lines, InputLines and the earlier run's EndStatus and ExitCode.
    void Execute();
    // Never waits. A run stopped (or replaced by Execute) before its child has started never
    // starts it and shows no start-up error; stopped so, it ends with EndStatus 9.
    void Stop();

    void SetOutputLines(TStrings* lines);
    TStrings* OutputLines() const { return state_->outputLines; }

    // Every piece of output of the current run, in order. Safe to read while a run goes on.
    TSyncStringList& Lines() { return state_->lines; }
    // Items queued for the child's standard input; the caller may add to it during a run. When
    // a stop or a time limit cuts the writing of an item short, only what the child took is
    // echoed, and the rest stays first in the queue until the next Execute.
    TSyncStringList& InputLines() { return state_->inputLines; }

    uint8_t EndStatus() const { return state_->endStatus; }
    uint32_t ExitCode() const { return state_->exitCode; }
    TReturnCode OutputReturnCode() const { return state_->outputReturnCode; }

    // True from Execute until the worker has ended or was stopped.
    bool Running() const { return worker_ && !worker_->Finished() && !worker_->StopRequested(); }
    // The tick source, created by the first Execute.
    TProcessTimer* Timer() const { return timer_.get(); }

    // Stored settings. All but InputToOutput reach the next run only.
    std::string CommandLine;
    // The program file that a run starts, by its full path; empty: the system looks up the
    // command line's first word. The command line is passed as it is either way.
    std::string ApplicationName;
    TNewLineEvent OnNewLine;
    TTerminateEvent OnTerminated;
    // When set, a start-up failure is handed to it instead of the application's error box: a
    // caller that starts many children says so once.
    TStartFailedEvent OnStartFailed;
    int32_t MaxTimeAfterBeginning = 0;
    int32_t MaxTimeAfterLastOutput = 0;
    TShowWindow ShowWindow = swHIDE;
    TCreationFlag CreationFlag = fCREATE_NEW_CONSOLE;
    TReturnCode ReturnCode = rcCRLF;
    const uint32_t PriorityClass = NORMAL_PRIORITY_CLASS_VALUE;
    // The longest pause, in milliseconds, between two polling cycles while the child writes
    // nothing: each quiet cycle doubles the pause up to this, and output brings it back to 1 ms.
    // At the default of 1 the child is polled every millisecond; a caller that runs many children
    // at once raises it, trading a little latency for far fewer system calls.
    uint32_t QuietPauseLimit = 1;
    // Read afresh by the worker each time it echoes input, so a change reaches a running run.
    std::atomic<bool>& InputToOutput;

private:
    IUiThread& ui_;
    std::shared_ptr<IProcessBackend> backend_;
    std::shared_ptr<TProcessTimer> timer_;
    std::shared_ptr<TRunnerThread> worker_;
};
