// Prints how fast the real console view takes a long run of the stand-in, against the bare
// hand-off to the user-interface thread measured in the same process, and how long the list
// preview takes for a large list.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "WindowTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

std::string ComputerList(int count)
{
    std::string list;
    for (int i = 0; i < count; ++i)
        list += "PC-BENCH-" + std::to_string(100000 + i) + "\r\n";
    return list;
}

struct BareHandOff {
    double total = 0, first10k = 0, last10k = 0;
};

// The bare blocking hand-off: a worker thread invokes an empty function in the UI thread.
BareHandOff MeasureBareHandOff(TVantrelApp& app, int calls)
{
    std::atomic<bool> done{false};
    BareHandOff result;
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
    return result;
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
        CopyFileA(WinPath(VANTREL_STANDIN_EXE).c_str(), folder.File("Psexec.exe").c_str(), FALSE);
        SetCurrentDirectoryA(folder.Path().c_str());
        TScriptedDialogs dialogs;
        TVantrelApp app(dialogs, nullptr);
        app.Form1().Show();
        MemoOnly(app, std::atoi(argv[2]));
        SetCurrentDirectoryA("C:\\");
        return 0;
    }
    const int computers = argc > 1 ? std::atoi(argv[1]) : 33334;  // three lines each, then one
    TScratchFolder folder("bench");
    CopyFileA(WinPath(VANTREL_STANDIN_EXE).c_str(), folder.File("Psexec.exe").c_str(), FALSE);
    SetCurrentDirectoryA(folder.Path().c_str());
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "0");
    folder.Write("targets.txt", ComputerList(computers));
    WriteFileBytes(kShare + "\\install.msi", "package");

    TScriptedDialogs dialogs;
    TVantrelApp app(dialogs, nullptr);
    TForm1& form = app.Form1();
    form.Show();
    app.Application().ProcessMessages();

    // The list preview of a large list.
    folder.Write("big.txt", ComputerList(50000));
    const auto previewStart = Clock::now();
    form.edt1->SetText(folder.File("big.txt"));
    const double preview = Seconds(Clock::now() - previewStart);
    std::printf("list preview: 50,000 computers (%zu bytes): %.3f s\n", ReadFileBytes(folder.File("big.txt")).size(),
                preview);

    const int expectedLines = computers * 3 + 1;
    const BareHandOff bareRun = MeasureBareHandOff(app, expectedLines);
    const double bare = bareRun.total;

    form.edt1->SetText(folder.File("targets.txt"));
    form.edt2->SetText(kShare + "\\install.msi");
    std::atomic<bool> watching{true};
    Clock::time_point startAt, firstDone, lastStart;
    std::thread watcher([&] {
        while (watching) {
            const int count = form.runner1->Lines().Count();
            const auto now = Clock::now();
            if (count >= 10000 && firstDone == Clock::time_point{})
                firstDone = now;
            if (count >= expectedLines - 10000 && lastStart == Clock::time_point{})
                lastStart = now;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    startAt = Clock::now();
    SendMessageA(form.sbtbtn1->Handle(), BM_CLICK, 0, 0);  // the confirmation is answered OK
    PumpUntil(app.Application(), [&] { return !form.RunActive(); }, std::chrono::minutes(30));
    const auto endAt = Clock::now();
    watching = false;
    watcher.join();

    const int delivered = form.runner1->Lines().Count();
    const double total = Seconds(endAt - startAt);
    std::printf("console run: %d lines in %.2f s (%.0f lines/s), console view holds %d lines\n", delivered, total,
                delivered / total, form.mmo2->Lines().Count());
    std::printf("bare hand-off: %d calls in %.2f s (%.1f us each)\n", expectedLines, bare, bare * 1e6 / expectedLines);
    std::printf("bare hand-off: first 10,000 %.2f s, last 10,000 %.2f s (last/first %.2f)\n", bareRun.first10k,
                bareRun.last10k, bareRun.last10k / bareRun.first10k);
    std::printf("run time / bare hand-off time: %.2f\n", total / bare);
    const double first = Seconds(firstDone - startAt);
    const double last = Seconds(endAt - lastStart);
    std::printf("first 10,000 lines: %.2f s, last 10,000 lines: %.2f s (last/first %.2f)\n", first, last, last / first);
    SetCurrentDirectoryA("C:\\");
    return 0;
}
