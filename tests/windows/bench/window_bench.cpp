// Prints how fast the real console view takes a long run of the stand-in, against the bare
// hand-off to the user-interface thread measured in the same process, and how long the list
// preview takes for a large list.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "WindowTestSupport.h"
#include "job/CommandLine.h"
#include "job/JobVariables.h"
#include "support/BenchFigures.h"
#include "support/MessageTimerWin32.h"
#include "support/TestText.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BareHandOff {
    double total = 0, first10k = 0, last10k = 0;
    double inHandOff = 0;  // time inside the hand-off window's handler, for an empty function
};

// The bare blocking hand-off: a worker thread invokes an empty function in the UI thread.
BareHandOff MeasureBareHandOff(TVantrelApp& app, int calls)
{
    std::atomic<bool> done{false};
    BareHandOff result;
    TMessageTimer handOffs(app.Ui().Window(), 0);
    const auto start = Clock::now();
    std::thread worker([&] {
        auto lap = Clock::now();
        for (int i = 1; i <= calls; ++i) {
            app.Ui().Invoke([] {});
            if (i == 10000)
                result.first10k = Seconds(Clock::now() - lap);
            if (i == calls - 10000)
                lap = Clock::now();
        }
        result.last10k = Seconds(Clock::now() - lap);
        done = true;
    });
    PumpUntil(app.Application(), [&] { return done.load(); }, std::chrono::minutes(10));
    worker.join();
    result.total = Seconds(Clock::now() - start);
    result.inHandOff = handOffs.seconds;
    return result;
}

struct RunFigures {
    int delivered = 0;
    double total = 0, first10k = 0, last10k = 0;
    double inHandOff = 0, inPaint = 0;
    int paints = 0;
};

// One whole run in the real window, timed, with the time in the hand-off's handlers and in the
// console view's paints taken apart.
RunFigures MeasureRun(TVantrelApp& app, int expectedLines)
{
    TForm1& form = app.Form1();
    // Nearly every hand-off message delivers one line; the run's start and end bound the rest.
    TMessageTimer handOffs(app.Ui().Window(), 0, {10000, expectedLines - 10000});
    TMessageTimer paints(form.mmo2->Handle(), WM_PAINT);
    const auto startAt = Clock::now();
    Click(*form.sbtbtn1);  // the confirmation is answered OK
    PumpUntil(app.Application(), [&] { return !form.RunActive(); }, std::chrono::minutes(30));
    const auto endAt = Clock::now();

    RunFigures figures;
    figures.delivered = form.runner1->Lines().Count();
    figures.total = Seconds(endAt - startAt);
    figures.first10k = Seconds(handOffs.markedAt[0] - startAt);
    figures.last10k = Seconds(endAt - handOffs.markedAt[1]);
    figures.inHandOff = handOffs.seconds;
    figures.inPaint = paints.seconds;
    figures.paints = paints.count;
    return figures;
}

// The job variables as Execute fills them from the window's fields.
void InitJob(TForm1& form)
{
    form.InitAllVars();
    form.CollectData();
}

// The tool run once more on its own for the job in the window: the lines the view must show.
std::vector<std::string> WhatTheToolWritesFor(TForm1& form, const TScratchFolder& folder)
{
    InitJob(form);
    return WhatTheToolWrites("", ComposeCommandLine(JobVars), folder.File("written.txt"));
}

bool ViewShows(TForm1& form, const std::vector<std::string>& written)
{
    TMemoLines& view = form.mmo2->Lines();
    if (view.Count() < static_cast<int>(written.size()))
        return false;
    for (std::size_t i = 0; i < written.size(); ++i)
        if (view.Get(static_cast<int>(i)) != written[i])
            return false;
    return true;
}

}  // namespace

// Lines added straight into the console view, painted every hundred lines, timed per 10,000.
void MemoOnly(TVantrelApp& app, int lines)
{
    TMemoLines& view = app.Form1().mmo2->Lines();
    auto start = Clock::now();
    for (int i = 1; i <= lines; ++i) {
        view.Add("[PC-BENCH-" + std::to_string(i) + "] msiexec ended, result 0 and some more text to be wide");
        view.ScrollToEnd();
        if (i % 100 == 0) {
            app.Application().ProcessMessages();
        }
        if (i % 10000 == 0) {
            std::printf("lines %d: %.2f s for the last 10,000\n", i, Seconds(Clock::now() - start));
            start = Clock::now();
        }
    }
}

int main(int argc, char** argv)
{
    if (argc > 2 && std::string(argv[1]) == "--memo") {
        TScratchFolder folder("memo");
        TScriptedDialogs dialogs;
        TWindowInToolFolder window(folder, dialogs);
        TVantrelApp& app = *window.App;
        MemoOnly(app, std::atoi(argv[2]));
        // What one refresh of the view's scroll bars costs.
        HWND view = app.Form1().mmo2->Handle();
        for (BOOL redraw : {TRUE, FALSE}) {
            const auto scrollStart = Clock::now();
            for (int i = 0; i < 200; ++i) {
                SCROLLINFO info{};
                info.cbSize = sizeof info;
                info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
                info.nMax = 100000 + i;
                info.nPage = 10;
                info.nPos = 100000 + i - 9;
                SetScrollInfo(view, SB_VERT, &info, redraw);
            }
            std::printf("SetScrollInfo (redraw %d): %.1f us a call\n", redraw,
                        Seconds(Clock::now() - scrollStart) * 1e6 / 200);
        }
        const auto invalidateStart = Clock::now();
        for (int i = 0; i < 200; ++i) {
            InvalidateRect(view, nullptr, FALSE);
            UpdateWindow(view);
        }
        std::printf("a paint of the view: %.1f us\n", Seconds(Clock::now() - invalidateStart) * 1e6 / 200);
        return 0;
    }
    // Five lines each (four progress messages and the result), and two more; at least 7,000, so
    // that the first and the last 10,000 lines of a run are apart.
    const int computers = std::max(7000, argc > 1 ? std::atoi(argv[1]) : 33333);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    TScratchFolder folder("bench");
    TScriptedDialogs dialogs;
    TWindowInToolFolder window(folder, dialogs);
    TVantrelApp& app = *window.App;
    TForm1& form = app.Form1();
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "0");
    folder.Write("targets.txt", ComputerList("PC-BENCH-", 100000, computers));
    WriteFileBytes(kShare + "\\install.msi", "package");

    // The list preview of a large list.
    folder.Write("big.txt", ComputerList("PC-BENCH-", 100000, 50000));
    const auto previewStart = Clock::now();
    form.edt1->SetText(folder.File("big.txt"));
    const double preview = Seconds(Clock::now() - previewStart);
    std::printf("list preview: 50,000 computers (%zu bytes): %.3f s\n", ReadFileBytes(folder.File("big.txt")).size(),
                preview);

    form.edt1->SetText(folder.File("targets.txt"));
    form.edt2->SetText(kShare + "\\install.msi");
    const std::vector<std::string> written = WhatTheToolWritesFor(form, folder);
    const int expectedLines = static_cast<int>(written.size());
    std::printf("the tool writes %d lines for %d computers\n", expectedLines, computers);

    std::vector<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("-- round %d of %d\n", round, rounds);
        const BareHandOff bareRun = MeasureBareHandOff(app, expectedLines);
        const RunFigures run = MeasureRun(app, expectedLines);
        const double ratio = run.total / bareRun.total;
        ratios.push_back(ratio);
        std::printf("console run: %d lines in %.2f s (%.0f lines/s)\n", run.delivered, run.total,
                    run.delivered / run.total);
        std::printf("bare hand-off: %d calls in %.2f s (%.1f us each, %.1f us of them in its handler); "
                    "last 10,000 / first 10,000: %.2f\n",
                    expectedLines, bareRun.total, bareRun.total * 1e6 / expectedLines,
                    bareRun.inHandOff * 1e6 / expectedLines, bareRun.last10k / bareRun.first10k);
        std::printf("run time / bare hand-off time: %.2f (target at most 1.50)\n", ratio);
        std::printf("run per line: last 10,000 / first 10,000: %.2f (target at most 1.20)\n", run.last10k / run.first10k);
        std::printf("where the run's time goes: hand-off handlers (view, success rule, results, scrolling) %.2f s "
                    "(%.1f us a line), painting %.2f s in %d paints (%.1f a second), the rest (the runner, the child, "
                    "the hand-off itself) %.2f s\n",
                    run.inHandOff, run.inHandOff * 1e6 / run.delivered, run.inPaint, run.paints, run.paints / run.total,
                    run.total - run.inHandOff - run.inPaint);
        const bool exact = ViewShows(form, written);
        std::printf("the console view shows every line the tool wrote, exactly: %s\n", exact ? "yes" : "NO");
        Click(*form.sbtbtn4);  // Clear, for the next round
        form.edt1->SetText(folder.File("targets.txt"));
        form.edt2->SetText(kShare + "\\install.msi");
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("median run time / bare hand-off time over %d rounds: %.2f\n", rounds, ratios[ratios.size() / 2]);
    return 0;
}
