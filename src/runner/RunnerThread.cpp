#include "runner/RunnerThread.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kInitialBufferSize = 1024;
// How long the worker reads on after the child's end while something keeps the output pipe open:
// until this many quiet cycles in a row, and at most until this many ticks after the end.
constexpr int kQuietCyclesAfterEnd = 50;
constexpr int32_t kReadOnTicks = 2;

bool IsStartUpError(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const TCreatePipeError&) {
        return true;
    } catch (const TCreateProcessError&) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

TRunnerThread::TRunnerThread(TRunContext context, TRunSettings settings)
    : context_(std::move(context)), settings_(std::move(settings))
{
}

void TRunnerThread::Start()
{
    context_.backend->Launch([self = shared_from_this()] { self->Body(); });
}

void TRunnerThread::Body()
{
    // A worker stopped before its thread began starts nothing and raises no event, but its run
    // ends with an outcome of its own, not the earlier run's.
    if (stopRequested_) {
        SetEndStatus(esStopped);
    } else {
        try {
            RunCommand();
        } catch (...) {
            // Nothing may escape a thread; RunCommand has already reported what it must.
        }
    }
    finished_ = true;
}

void TRunnerThread::SetEndStatus(uint8_t status)
{
    context_.state->ChangeIfCurrent(context_.run, [&] { context_.state->endStatus = status; });
}

template <typename Error>
void TRunnerThread::Fail(const IChildProcess& child, const std::string& message)
{
    // Taken now: the clean-up and the termination handler make system calls of their own.
    failureCode_ = child.LastError();
    throw Error(message);
}

void TRunnerThread::RunCommand()
{
    SetEndStatus(esBegun);
    std::unique_ptr<IChildProcess> child;
    bool pipeStage = false;
    bool processStage = false;
    std::exception_ptr failure;
    try {
        child = context_.backend->NewChild();
        readBuffer_.assign(kInitialBufferSize, 0);
        SetEndStatus(esCreatingPipes);
        if (!child->CreateInputPipe())
            Fail<TCreatePipeError>(*child, "Cannot create the input pipe of " + settings_.CommandLine);
        if (!child->CreateOutputPipe())
            Fail<TCreatePipeError>(*child, "Cannot create the output pipe of " + settings_.CommandLine);
        pipeStage = true;
        // The child of a run stopped or replaced meanwhile would still reach remote computers.
        if (StopRequested()) {
            SetEndStatus(esStopped);
        } else {
            SetEndStatus(esStartingChild);
            StartChild(*child);
            processStage = true;
            SetEndStatus(esChildRunning);
            pendingLine_.clear();
            lastDeliveryPartial_ = false;
            lastReadEndedWithCR_ = false;
            PollingLoop(*child);
        }
    } catch (...) {
        failure = std::current_exception();
        if (failureCode_ == 0 && child)
            failureCode_ = child->LastError();
        // Before a child ran, the code its termination handler gets is the system's reason.
        if (!processStage)
            childExitCode_ = failureCode_;
    }
    // The unfinished last line once more, however the run ended, so that a reader knows it is
    // all there is.
    if (processStage && !pendingLine_.empty())
        HandOverLine(pendingLine_, otBeginningOfLine);
    CleanUp(child.get(), processStage, pipeStage);
    child.reset();
    Finish(failure, failureCode_);
}

void TRunnerThread::StartChild(IChildProcess& child)
{
    TChildStartInfo info;
    info.commandLine = settings_.CommandLine;
    info.applicationName = settings_.ApplicationName;
    info.showWindow = ShowWindowValues.at(settings_.ShowWindow);
    info.creationFlags = CreationFlagValues.at(settings_.CreationFlag) | settings_.PriorityClass;
    if (!child.Start(info))
        Fail<TCreateProcessError>(child, settings_.CommandLine + " doesn't exist.");
    context_.timer->StartCounting(context_.run);
    childEnded_ = false;
    childExitCode_ = STILL_ACTIVE_CODE;
}

void TRunnerThread::PollingLoop(IChildProcess& child)
{
    for (;;) {
        uint32_t exitCode = 0;
        childEnded_ = child.HasEnded(exitCode);
        childExitCode_ = childEnded_ ? exitCode : STILL_ACTIVE_CODE;
        if (childEnded_ && !ticksAtEnd_)
            ticksAtEnd_ = context_.timer->TimeAfterBeginning.load();

        std::size_t copied = 0;
        std::size_t available = 0;
        child.Peek(readBuffer_.size(), copied, available);
        bool readAll = true;
        bool wrote = false;
        quietCyclesAfterEnd_ = childEnded_ && copied == 0 ? quietCyclesAfterEnd_ + 1 : 0;
        if (copied > 0) {
            if (readBuffer_.size() < available)
                readBuffer_.resize(available);
            std::fill(readBuffer_.begin(), readBuffer_.end(), 0);
            const std::size_t count = child.Read(readBuffer_.data(), readBuffer_.size());
            SplitRead(count);
            readAll = count >= available;
        } else {
            wrote = WriteInput(child);
        }
        child.Pause(NextPause(copied == 0 && !wrote));
        if (CycleEndsRun(childEnded_ && ReadOnOver(child, readAll)))
            return;
    }
}

// A child that keeps quiet is polled less and less often, up to the limit, so that many runs at
// once spare the system their polling; output or input brings the pause back to 1 ms. Once the
// child has ended, the reading on counts its cycles at 1 ms.
uint32_t TRunnerThread::NextPause(bool cycleWasQuiet)
{
    if (childEnded_ || !cycleWasQuiet)
        pause_ = 1;
    else
        pause_ = std::min(pause_ * 2, std::max<uint32_t>(settings_.QuietPauseLimit, 1));
    return pause_;
}

// After the child's end, output may still be on its way: a short read leaves some behind, and a
// system may show the last writes a moment late. The run ends once the pipe is empty and closed;
// when something the child started keeps it open, after a short grace of quiet cycles; and when
// that something keeps writing, at the cap, after which it is ended with the run.
bool TRunnerThread::ReadOnOver(IChildProcess& child, bool readAll)
{
    return ReadOnCapReached() || (readAll && (child.OutputClosed() || quietCyclesAfterEnd_ > kQuietCyclesAfterEnd));
}

bool TRunnerThread::ReadOnCapReached() const
{
    const auto& timer = *context_.timer;
    return ticksAtEnd_ && timer.IsActiveRun(context_.run) && timer.TimeAfterBeginning - *ticksAtEnd_ >= kReadOnTicks;
}

bool TRunnerThread::TimeLimitReached() const
{
    const auto& timer = *context_.timer;
    if (!timer.IsActiveRun(context_.run))
        return false;
    const bool overall = settings_.MaxTimeAfterBeginning > 0 &&
                         timer.TimeAfterBeginning > settings_.MaxTimeAfterBeginning;
    const bool silence = settings_.MaxTimeAfterLastOutput > 0 &&
                         timer.TimeAfterLastOutput > settings_.MaxTimeAfterLastOutput;
    return overall || silence;
}

// What ends the run by time at this moment: the time limits while the child runs, the read-on's
// cap after its end. Also tested while a write waits for a child that reads nothing.
bool TRunnerThread::TimeIsUp() const
{
    return childEnded_ ? ReadOnCapReached() : TimeLimitReached();
}

// Once the child has ended, the run can only end as ended: reading on merely delays that, so
// neither a time limit nor a stop may turn it into another outcome. A stop ends the reading on.
bool TRunnerThread::CycleEndsRun(bool readOnOver)
{
    auto& state = *context_.state;
    if (childEnded_) {
        if (!readOnOver && !StopRequested())
            return false;
        state.ChangeIfCurrent(context_.run, [&] {
            state.exitCode = childExitCode_;
            state.endStatus = esChildEnded;
        });
        return true;
    }
    if (StopRequested()) {
        SetEndStatus(esStopped);
        return true;
    }
    if (TimeLimitReached()) {
        SetEndStatus(esTimedOut);
        return true;
    }
    return false;
}

void TRunnerThread::SplitRead(std::size_t count)
{
    std::string current = pendingLine_;
    // Whether this read added to the unfinished piece: only then is that piece handed over, so a
    // read that a stop cut before its first byte, or one of nothing but NULs, hands over nothing
    // and the last piece reaches the caller exactly twice.
    bool extended = false;
    const char* bytes = readBuffer_.data();
    bool lastWasCR = false;
    std::size_t i = 0;
    while (i < count && !StopRequested()) {
        const char c = bytes[i];
        lastWasCR = c == '\r';
        if (c == '\0' || (c == '\n' && i == 0 && lastReadEndedWithCR_)) {
            ++i; // NUL is dropped; an LF that completes the previous read's CR is no new break
            continue;
        }
        if (c != '\r' && c != '\n') {
            current += c;
            extended = true;
            ++i;
            continue;
        }
        const bool pair = c == '\r' && i + 1 < count && bytes[i + 1] == '\n';
        SetOutputReturnCode(pair ? rcCRLF : rcLF);
        lastWasCR = lastWasCR && !pair;
        i += pair ? 2 : 1;
        HandOverLine(current, otEntireLine);
        current.clear();
        extended = false;
    }
    lastReadEndedWithCR_ = lastWasCR;
    pendingLine_ = std::move(current);
    if (extended)
        HandOverLine(pendingLine_, otBeginningOfLine);
}

// Returns whether anything reached the child.
bool TRunnerThread::WriteInput(IChildProcess& child)
{
    auto& state = *context_.state;
    const auto giveUp = [this] { return StopRequested() || TimeIsUp(); };
    bool wrote = false;
    while (!StopRequested()) {
        // The queue belongs to the newest run only.
        std::optional<std::string> item;
        state.ChangeIfCurrent(context_.run, [&] { item = state.inputLines.First(); });
        if (!item)
            return wrote;
        const std::size_t length = item->size();
        const bool complete = length > 0 && item->back() == '\n';
        if (readBuffer_.size() < length)
            readBuffer_.resize(length);
        std::fill(readBuffer_.begin(), readBuffer_.end(), 0);
        std::memcpy(readBuffer_.data(), item->data(), length);
        const std::size_t written = length > 0 ? child.Write(readBuffer_.data(), length, giveUp) : 0;
        wrote = wrote || written > 0;
        if (written < length && giveUp()) {
            // Cut short: only what the child took is echoed, and the rest stays first in the
            // queue, where the caller sees what never reached the child.
            if (written > 0 && state.inputToOutput)
                EchoInput(item->substr(0, written), false);
            state.ChangeIfCurrent(context_.run, [&] {
                if (state.inputLines.Count() > 0)
                    state.inputLines.Put(0, item->substr(written));
            });
            return wrote;
        }
        if (state.inputToOutput)
            EchoInput(*item, complete);
        state.ChangeIfCurrent(context_.run, [&] {
            if (state.inputLines.Count() > 0)
                state.inputLines.Delete(0);
        });
    }
    return wrote;
}

void TRunnerThread::EchoInput(const std::string& item, bool complete)
{
    if (lastDeliveryPartial_)
        pendingLine_ += item;
    else
        pendingLine_ = item;
    if (complete) {
        HandOverLine(pendingLine_, otEntireLine);
        pendingLine_.clear();
    } else {
        HandOverLine(pendingLine_, otBeginningOfLine);
    }
}

void TRunnerThread::HandOverLine(const std::string& text, TOutputType type)
{
    try {
        auto& state = *context_.state;
        state.ChangeIfCurrent(context_.run, [&] { state.lines.Add(text); });
        context_.timer->NoteOutput(context_.run);
        // Once the runner is gone the user-interface thread may be ending too: leave it alone.
        if (!state.runnerAlive)
            return;
        handedLine_ = text;
        handedType_ = type;
        context_.ui->Invoke([this] { DeliverLine(); });
    } catch (...) {
        // A failed delivery, the line handler's own exception included, must not end the run.
    }
}

void TRunnerThread::SetOutputReturnCode(TReturnCode code)
{
    auto& state = *context_.state;
    state.ChangeIfCurrent(context_.run, [&] { state.outputReturnCode = code; });
}

void TRunnerThread::DeliverLine()
{
    auto& state = *context_.state;
    // Once the runner is destroyed its owner may be gone too: nothing more reaches them. Once a
    // newer run has begun, the view's last line may be the newer run's: an older run's piece
    // could replace it, so what an older run still delivers is dropped.
    if (!state.runnerAlive || !state.IsCurrent(context_.run))
        return;
    if (TStrings* output = state.outputLines) {
        output->BeginUpdate();
        try {
            if (output->Count() == 0) {
                if (handedType_ == otEntireLine)
                    output->Add(handedLine_);
                else
                    output->SetText(handedLine_);
            } else if (lastDeliveryPartial_) {
                output->Put(output->Count() - 1, handedLine_);
            } else {
                output->Add(handedLine_);
            }
        } catch (...) {
            output->EndUpdate();
            throw;
        }
        output->EndUpdate();
    }
    lastDeliveryPartial_ = handedType_ == otBeginningOfLine;
    if (settings_.OnNewLine)
        settings_.OnNewLine(state.sender, handedLine_, handedType_);
}

void TRunnerThread::CleanUp(IChildProcess* child, bool processStage, bool pipeStage)
{
    if (processStage) {
        // A child that ended by itself is never terminated, whatever else was asked.
        if (!childEnded_)
            child->Terminate();
        context_.timer->StopCounting(context_.run);
        child->CloseProcess();
    }
    if (pipeStage)
        child->ClosePipes();
    readBuffer_.clear();
    readBuffer_.shrink_to_fit();
}

void TRunnerThread::Finish(const std::exception_ptr& failure, uint32_t failureCode)
{
    auto& state = *context_.state;
    // The user has stopped or replaced this run: a failure to start it is no news to them.
    const bool abandoned = StopRequested();
    const bool startFailed = failure && IsStartUpError(failure) && state.runnerAlive && !abandoned;
    if (startFailed && settings_.OnStartFailed) {
        try {
            settings_.OnStartFailed(state.sender, failure, failureCode);
        } catch (...) {
            // Its end is reported below all the same.
        }
    }
    if (settings_.OnTerminated && state.runnerAlive) {
        try {
            settings_.OnTerminated(state.sender, childExitCode_);
        } catch (...) {
            // The run's outcome is recorded below all the same.
        }
    }
    if (failure) {
        state.ChangeIfCurrent(context_.run, [&] {
            const uint8_t status = state.endStatus;
            if (IsStage(status)) {
                state.exitCode = failureCode;
                state.endStatus = static_cast<uint8_t>(status + 1);
            }
        });
    }
    stopRequested_ = true;
    // The application shows start-up failures in its error box, in the user-interface thread.
    if (startFailed && !settings_.OnStartFailed)
        context_.ui->Post([failure] { std::rethrow_exception(failure); });
}
