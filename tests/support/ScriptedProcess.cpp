#include "support/ScriptedProcess.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

TScriptCycle Output(std::string bytes)
{
    TScriptCycle cycle;
    cycle.output = std::move(bytes);
    return cycle;
}

TScriptCycle Exit(uint32_t code, std::string bytes)
{
    TScriptCycle cycle = Output(std::move(bytes));
    cycle.exitCode = code;
    return cycle;
}

TScript Script(std::vector<TScriptCycle> cycles)
{
    TScript script;
    script.cycles = std::move(cycles);
    return script;
}

void TScriptLog::Add(std::string entry)
{
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
}

std::vector<std::string> TScriptLog::Entries() const
{
    std::lock_guard lock(mutex_);
    return entries_;
}

std::optional<std::string> TScriptLog::Find(const std::string& prefix) const
{
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries_)
        if (entry.rfind(prefix, 0) == 0)
            return entry;
    return std::nullopt;
}

TScriptedChild::TScriptedChild(TScript script, std::shared_ptr<TScriptLog> log)
    : script_(std::move(script)), log_(std::move(log))
{
}

void TScriptedChild::Note(std::string entry)
{
    if (script_.onCall)
        script_.onCall(entry);
    log_->Add(std::move(entry));
}

bool TScriptedChild::CreateInputPipe()
{
    Note("CreateInputPipe");
    if (script_.failInputPipe)
        lastError_ = script_.errorCode;
    return !script_.failInputPipe;
}

bool TScriptedChild::CreateOutputPipe()
{
    Note("CreateOutputPipe");
    if (script_.failOutputPipe) {
        Note("CloseInputPipe");
        lastError_ = script_.errorCode;
    }
    return !script_.failOutputPipe;
}

bool TScriptedChild::Start(const TChildStartInfo& info)
{
    const std::string application = info.applicationName.empty() ? "" : ":" + info.applicationName;
    Note("Start:" + info.commandLine + ":" + std::to_string(info.showWindow) + ":" +
         std::to_string(info.creationFlags) + application);
    const bool refused = script_.failStart || starts_++ < script_.refusedStarts;
    if (refused)
        lastError_ = script_.errorCode;
    return !refused;
}

bool TScriptedChild::HasEnded(uint32_t& exitCode)
{
    if (nextCycle_ < script_.cycles.size()) {
        auto& cycle = script_.cycles[nextCycle_++];
        if (cycle.before)
            cycle.before();
        pipe_ += cycle.output;
        readLimit_ = cycle.readLimit;
        if (cycle.exitCode && !exitCode_)
            exitCode_ = cycle.exitCode;
    } else if (!exitCode_ && ++idleCycles_ > script_.idleCyclesLimit) {
        exitCode_ = 0xDEAD;
    }
    if (exitCode_)
        exitCode = *exitCode_;
    return exitCode_.has_value();
}

void TScriptedChild::Peek(std::size_t size, std::size_t& copied, std::size_t& available)
{
    available = pipe_.size();
    copied = std::min(size, available);
    Note("Peek:" + std::to_string(size) + ":" + std::to_string(available));
}

// Closed once the child has ended, its output is read and the script has nothing more to add.
bool TScriptedChild::OutputClosed()
{
    return exitCode_ && pipe_.empty() && nextCycle_ >= script_.cycles.size() && !script_.pipeHeldOpen;
}

std::size_t TScriptedChild::Read(char* buffer, std::size_t size)
{
    std::size_t count = std::min(size, pipe_.size());
    if (readLimit_)
        count = std::min(count, *readLimit_);
    std::memcpy(buffer, pipe_.data(), count);
    pipe_.erase(0, count);
    Note("Read:" + std::to_string(size) + ":" + std::to_string(count));
    return count;
}

std::size_t TScriptedChild::Write(const char* data, std::size_t size, const std::function<bool()>& giveUp)
{
    std::size_t taken = size;
    if (script_.inputCapacity)
        taken = std::min(size, *script_.inputCapacity - inputTaken_);
    inputTaken_ += taken;
    Note("Write:" + std::string(data, taken));
    if (taken == size)
        return taken;
    if (script_.onBlockedWrite)
        script_.onBlockedWrite();
    // Bounded, so that a worker that never gives up fails its test instead of hanging it.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!giveUp() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return taken;
}

void TScriptedChild::Terminate()
{
    Note("Terminate");
}

void TScriptedChild::CloseProcess()
{
    Note("CloseProcess");
}

void TScriptedChild::ClosePipes()
{
    Note("ClosePipes");
}

// Quick while the script plays; like the real loop once the child only idles. A pause longer
// than the usual millisecond is logged.
void TScriptedChild::Pause(uint32_t milliseconds)
{
    if (milliseconds != 1)
        Note("Pause:" + std::to_string(milliseconds));
    if (nextCycle_ < script_.cycles.size())
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TScriptedBackend::AddScript(TScript script)
{
    std::lock_guard lock(mutex_);
    scripts_.push_back(std::move(script));
}

std::shared_ptr<TScriptLog> TScriptedBackend::LogOfRun(std::size_t run) const
{
    std::lock_guard lock(mutex_);
    return run < logs_.size() ? logs_[run] : nullptr;
}

std::size_t TScriptedBackend::Runs() const
{
    std::lock_guard lock(mutex_);
    return logs_.size();
}

std::unique_ptr<IChildProcess> TScriptedBackend::NewChild()
{
    std::lock_guard lock(mutex_);
    TScript script;
    if (!scripts_.empty()) {
        script = std::move(scripts_.front());
        scripts_.pop_front();
    }
    if (script.failAllocation)
        throw std::bad_alloc();
    logs_.push_back(std::make_shared<TScriptLog>());
    return std::make_unique<TScriptedChild>(std::move(script), logs_.back());
}

void TScriptedBackend::Launch(std::function<void()> body)
{
    std::unique_lock lock(mutex_);
    if (holdThreads_) {
        held_.push_back(std::move(body));
        return;
    }
    lock.unlock();
    IProcessBackend::Launch(std::move(body));
}

void TScriptedBackend::HoldThreads()
{
    std::lock_guard lock(mutex_);
    holdThreads_ = true;
}

void TScriptedBackend::ReleaseThreads()
{
    std::vector<std::function<void()>> held;
    {
        std::lock_guard lock(mutex_);
        held.swap(held_);
        holdThreads_ = false;
    }
    for (auto& body : held)
        IProcessBackend::Launch(std::move(body));
}
