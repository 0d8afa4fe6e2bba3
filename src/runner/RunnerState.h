// What a runner shares with its workers. It lives as long as the runner or any of its workers,
// so a worker that outlives its runner never reaches freed memory.
#pragma once

#include "runner/RunnerTypes.h"
#include "runner/SyncStrings.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>

struct TRunnerState {
    explicit TRunnerState(TObject* runner) : sender(runner) {}

    // Starts a new run and returns its number; an older run is no longer current from here on,
    // and nothing of its outcome shows any more.
    uint64_t BeginRun()
    {
        std::lock_guard lock(mutex);
        lines.Clear();
        inputLines.Clear();
        endStatus = esBegun;
        exitCode = 0;
        return ++currentRun;
    }

    // Runs change only while run is the current run, so a superseded run writes nothing of the
    // runner's.
    template <typename Change>
    void ChangeIfCurrent(uint64_t run, Change change)
    {
        std::lock_guard lock(mutex);
        if (run == currentRun)
            change();
    }

    bool IsCurrent(uint64_t run)
    {
        std::lock_guard lock(mutex);
        return run == currentRun;
    }

    // Ends every run: the runner is being destroyed.
    void RunnerGone()
    {
        std::lock_guard lock(mutex);
        ++currentRun;
        runnerAlive = false;
        outputLines = nullptr;
    }

    std::mutex mutex;
    uint64_t currentRun = 0; // guarded by mutex

    std::atomic<uint8_t> endStatus{0};
    std::atomic<uint32_t> exitCode{0};
    std::atomic<TReturnCode> outputReturnCode{rcCRLF};
    std::atomic<bool> inputToOutput{false};

    TSyncStringList lines;
    TSyncStringList inputLines;

    // Assigned under the lock for writing; read without it in the user-interface thread, which
    // is the only thread that assigns it.
    std::shared_mutex outputLinesLock;
    TStrings* outputLines = nullptr;

    // The runner as the sender of events; used only while runnerAlive.
    TObject* const sender;
    std::atomic<bool> runnerAlive{true};
};
