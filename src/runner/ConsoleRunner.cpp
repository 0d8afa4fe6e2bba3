#include "runner/ConsoleRunner.h"

#include <mutex>

TConsoleRunner::TConsoleRunner(TComponent* owner, IUiThread& ui, std::shared_ptr<IProcessBackend> backend)
    : TComponent(owner), TRunnerStateHolder(this), InputToOutput(state_->inputToOutput),
      ui_(ui), backend_(std::move(backend))
{
}

TConsoleRunner::~TConsoleRunner()
{
    Stop();
    state_->RunnerGone();
    if (timer_)
        timer_->Detach();
}

void TConsoleRunner::Execute()
{
    if (CommandLine.empty())
        return;
    Stop();
    if (!timer_)
        timer_ = std::make_shared<TProcessTimer>(ui_);

    TRunContext context;
    context.state = state_;
    context.run = state_->BeginRun();
    context.timer = timer_;
    context.ui = &ui_;
    context.backend = backend_;
    timer_->SetActiveRun(context.run);

    TRunSettings settings;
    settings.CommandLine = CommandLine;
    settings.ApplicationName = ApplicationName;
    settings.MaxTimeAfterBeginning = MaxTimeAfterBeginning;
    settings.MaxTimeAfterLastOutput = MaxTimeAfterLastOutput;
    settings.OnNewLine = OnNewLine;
    settings.OnTerminated = OnTerminated;
    settings.OnStartFailed = OnStartFailed;
    settings.PriorityClass = PriorityClass;
    settings.ShowWindow = ShowWindow;
    settings.CreationFlag = CreationFlag;
    settings.QuietPauseLimit = QuietPauseLimit;

    worker_ = std::make_shared<TRunnerThread>(std::move(context), std::move(settings));
    worker_->Start();
}

void TConsoleRunner::Stop()
{
    if (!worker_)
        return;
    worker_->Stop();
    worker_.reset();
}

void TConsoleRunner::SetOutputLines(TStrings* lines)
{
    std::unique_lock lock(state_->outputLinesLock);
    if (state_->outputLines != lines)
        state_->outputLines = lines;
}
