// A substitute for the child that plays a script cycle by cycle: what the end test reports, what
// appears in the output pipe, how much one read may take, and what happens between cycles. It
// records every call the worker makes, so tests can check the exact order of a run.
#pragma once

#include "runner/ProcessBackend.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct TScriptCycle {
    // Runs in the worker thread as the cycle begins, before the end test.
    std::function<void()> before;
    // Bytes that reach the output pipe as the cycle begins.
    std::string output;
    // The child has ended with this code by the end test of this cycle.
    std::optional<uint32_t> exitCode;
    // At most this many bytes for the read of this cycle (a short read).
    std::optional<std::size_t> readLimit;
};

// A cycle that writes bytes; one whose child has ended with a code (after writing bytes).
TScriptCycle Output(std::string bytes);
TScriptCycle Exit(uint32_t code, std::string bytes = {});

struct TScript {
    // The run cannot allocate what it needs before its buffers.
    bool failAllocation = false;
    bool failInputPipe = false;
    bool failOutputPipe = false;
    bool failStart = false;
    // The first this many starts fail with errorCode, the later ones succeed.
    std::size_t refusedStarts = 0;
    uint32_t errorCode = 2;
    // Something the child started keeps the output pipe open after the child's end.
    bool pipeHeldOpen = false;
    // The child takes at most this many input bytes in all; a write beyond them blocks until the
    // worker gives up, and onBlockedWrite runs (in the worker thread) as it starts to wait.
    std::optional<std::size_t> inputCapacity;
    std::function<void()> onBlockedWrite;
    std::vector<TScriptCycle> cycles;
    // Sees every call as it is logged, in the worker thread.
    std::function<void(const std::string& call)> onCall;
    // After the last scripted cycle the child runs on silently; this many more cycles and it is
    // taken to have ended with code 0xDEAD, so a faulty test cannot hang.
    std::size_t idleCyclesLimit = 20'000;
};

TScript Script(std::vector<TScriptCycle> cycles);

// What the worker did, in order ("CreateInputPipe", "Start", "Write:abc", "Terminate", ...).
class TScriptLog {
public:
    void Add(std::string entry);
    std::vector<std::string> Entries() const;
    std::optional<std::string> Find(const std::string& prefix) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

class TScriptedChild : public IChildProcess {
public:
    TScriptedChild(TScript script, std::shared_ptr<TScriptLog> log);

    bool CreateInputPipe() override;
    bool CreateOutputPipe() override;
    bool Start(const TChildStartInfo& info) override;
    bool HasEnded(uint32_t& exitCode) override;
    void Peek(std::size_t size, std::size_t& copied, std::size_t& available) override;
    bool OutputClosed() override;
    std::size_t Read(char* buffer, std::size_t size) override;
    std::size_t Write(const char* data, std::size_t size, const std::function<bool()>& giveUp) override;
    void Terminate() override;
    void CloseProcess() override;
    void ClosePipes() override;
    void Pause(uint32_t milliseconds) override;
    uint32_t LastError() const override { return lastError_; }

private:
    void Note(std::string entry);

    TScript script_;
    std::shared_ptr<TScriptLog> log_;
    std::size_t nextCycle_ = 0;
    std::size_t idleCycles_ = 0;
    std::string pipe_;
    std::optional<std::size_t> readLimit_;
    std::optional<uint32_t> exitCode_;
    std::size_t inputTaken_ = 0;
    uint32_t lastError_ = 0;
    std::size_t starts_ = 0;
};

// Hands out one scripted child per run, the scripts in order. Optionally holds each worker
// thread back until the test releases it, to act before a worker has begun.
class TScriptedBackend : public IProcessBackend {
public:
    explicit TScriptedBackend(bool holdThreads = false) : holdThreads_(holdThreads) {}

    void AddScript(TScript script);
    std::shared_ptr<TScriptLog> LogOfRun(std::size_t run) const;
    std::size_t Runs() const;

    std::unique_ptr<IChildProcess> NewChild() override;
    void Launch(std::function<void()> body) override;
    // Starts the threads held back so far; later ones start at once until HoldThreads.
    void ReleaseThreads();
    void HoldThreads();

private:
    bool holdThreads_;
    mutable std::mutex mutex_;
    std::deque<TScript> scripts_;
    std::vector<std::shared_ptr<TScriptLog>> logs_;
    std::vector<std::function<void()>> held_;
};
