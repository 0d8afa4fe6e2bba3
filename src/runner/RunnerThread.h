// The worker of one run: starts the child on two pipes, polls its output and its end, splits the
// output into lines, writes queued input, enforces the time limits and hands every piece of text
// to the user-interface thread.
#pragma once

#include "runner/ProcessBackend.h"
#include "runner/ProcessTimer.h"
#include "runner/RunnerState.h"
#include "runner/RunnerTypes.h"
#include "toolkit/UiThread.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The run's settings, copied from the runner when the worker is created.
struct TRunSettings {
    std::string CommandLine;
    std::string ApplicationName;
    int32_t MaxTimeAfterBeginning = 0;
    int32_t MaxTimeAfterLastOutput = 0;
    TNewLineEvent OnNewLine;
    TTerminateEvent OnTerminated;
    TStartFailedEvent OnStartFailed;
    uint32_t PriorityClass = NORMAL_PRIORITY_CLASS_VALUE;
    TShowWindow ShowWindow = swHIDE;
    TCreationFlag CreationFlag = fCREATE_NEW_CONSOLE;
    uint32_t QuietPauseLimit = 1;
};

// The services a worker uses; all of them outlive it through shared ownership, except the
// user-interface thread, which lives until the program ends.
struct TRunContext {
    std::shared_ptr<TRunnerState> state;
    uint64_t run = 0;
    std::shared_ptr<TProcessTimer> timer;
    IUiThread* ui = nullptr;
    std::shared_ptr<IProcessBackend> backend;
};

class TRunnerThread : public std::enable_shared_from_this<TRunnerThread> {
public:
    TRunnerThread(TRunContext context, TRunSettings settings);

    // Starts the thread, which keeps the worker alive until its run has ended.
    void Start();
    // Never waits: the worker sees the flag at its next test.
    void Stop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }
    bool Finished() const { return finished_; }

private:
    void Body();
    void RunCommand();
    void StartChild(IChildProcess& child);
    void PollingLoop(IChildProcess& child);
    bool ReadOnOver(IChildProcess& child, bool readAll);
    bool ReadOnCapReached() const;
    bool TimeLimitReached() const;
    bool TimeIsUp() const;
    bool CycleEndsRun(bool readOnOver);
    void SplitRead(std::size_t count);
    bool WriteInput(IChildProcess& child);
    uint32_t NextPause(bool cycleWasQuiet);
    void EchoInput(const std::string& item, bool complete);
    void SetOutputReturnCode(TReturnCode code);
    void HandOverLine(const std::string& text, TOutputType type);
    void DeliverLine();
    void CleanUp(IChildProcess* child, bool processStage, bool pipeStage);
    void Finish(const std::exception_ptr& failure, uint32_t failureCode);

    template <typename Error>
    [[noreturn]] void Fail(const IChildProcess& child, const std::string& message);

    void SetEndStatus(uint8_t status);

    TRunContext context_;
    TRunSettings settings_;

    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> finished_{false};

    // Between the worker and one delivery in the user-interface thread; the blocking hand-off
    // orders every access.
    std::string handedLine_;
    TOutputType handedType_ = otEntireLine;
    bool lastDeliveryPartial_ = false;

    // The run's own state, worker thread only.
    std::vector<char> readBuffer_;
    bool childEnded_ = false;
    uint32_t childExitCode_ = STILL_ACTIVE_CODE;
    std::string pendingLine_;
    bool lastReadEndedWithCR_ = false;
    // Cycles in a row, since the child's end, whose peek found nothing.
    int quietCyclesAfterEnd_ = 0;
    // The pause after the latest cycle.
    uint32_t pause_ = 1;
    // The tick source's count when the child's end was first seen.
    std::optional<int32_t> ticksAtEnd_;
    uint32_t failureCode_ = 0;
};
