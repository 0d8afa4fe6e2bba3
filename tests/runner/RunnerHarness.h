// A runner under test, with a user-interface thread served by the test's own loop, that records
// every event; and a backend wrapper that counts live worker threads so that each test ends only after its workers.
#pragma once

#include "runner/ConsoleRunner.h"
#include "support/QueueUiThread.h"

#include <atomic>
#include <utility>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

struct TPiece {
    std::string text;
    TOutputType type;
    bool operator==(const TPiece&) const = default;
};

// How a failed expectation shows a piece.
inline void PrintTo(const TPiece& piece, std::ostream* out)
{
    *out << (piece.type == otEntireLine ? "entire \"" : "beginning \"") << piece.text << '"';
}

// What the one error posted to the user-interface thread says, a start failure being expected.
inline std::string OnePostedStartFailure(const std::vector<std::exception_ptr>& errors)
{
    if (errors.size() != 1)
        return std::to_string(errors.size()) + " errors posted";
    try {
        std::rethrow_exception(errors[0]);
    } catch (const TCreateProcessError& error) {
        return error.what();
    }
}

class TCountingBackend : public IProcessBackend {
public:
    explicit TCountingBackend(std::shared_ptr<IProcessBackend> inner) : inner_(std::move(inner)) {}
    std::unique_ptr<IChildProcess> NewChild() override { return inner_->NewChild(); }
    void Launch(std::function<void()> body) override
    {
        ++live;
        inner_->Launch([this, body = std::move(body)]() mutable {
            body();
            body = nullptr; // releases the worker before it counts as gone
            --live;
        });
    }
    std::atomic<int> live{0};

private:
    std::shared_ptr<IProcessBackend> inner_;
};

// TUi is an IUiThread that also offers RunUntil(done, timeout) and TakePostedErrors().
template <typename TUi>
class TRunnerHarnessOf {
public:
    template <typename... UiArguments>
    explicit TRunnerHarnessOf(std::shared_ptr<IProcessBackend> inner, UiArguments&&... uiArguments)
        : ui(std::forward<UiArguments>(uiArguments)...), backend(std::make_shared<TCountingBackend>(std::move(inner))),
          runner(std::make_unique<TConsoleRunner>(nullptr, ui, backend))
    {
        runner->CommandLine = "child";
        runner->SetOutputLines(&output);
        Bind(*runner);
    }

    ~TRunnerHarnessOf()
    {
        runner.reset();
        WaitForWorkers();
    }

    void Bind(TConsoleRunner& r)
    {
        r.OnNewLine = [this](TObject*, const std::string& line, TOutputType type) {
            pieces.push_back({line, type});
            returnCodes.push_back(runner ? runner->OutputReturnCode() : rcCRLF);
        };
        r.OnTerminated = [this](TObject*, uint32_t code) {
            terminatedCode = code;
            ++terminations;
        };
    }

    bool WaitForWorkers(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        return ui.RunUntil([this] { return backend->live == 0; }, timeout);
    }

    // Runs the loop until the run has ended and its worker is gone.
    bool RunToEnd(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        return ui.RunUntil([this] { return terminations > 0 && backend->live == 0; }, timeout);
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const auto& piece : pieces)
            texts.push_back(piece.text);
        return texts;
    }

    TUi ui;
    std::shared_ptr<TCountingBackend> backend;
    std::unique_ptr<TConsoleRunner> runner;
    TStringList output;
    std::vector<TPiece> pieces;
    std::vector<TReturnCode> returnCodes;
    std::atomic<int> terminations{0};
    std::atomic<uint32_t> terminatedCode{0};
};

using TRunnerHarness = TRunnerHarnessOf<TQueueUiThread>;
