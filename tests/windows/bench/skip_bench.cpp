// Prints what skipping the computers that do not answer saves: 64 computers of 1 s each, 8 at a
// time, of which 16 are off and cost the tool its 5-second connection timeout, run through the
// real main window without the check and with it. Beside them, the floor of the run the check
// leaves: the 48 computers that answer alone, without the check. The computers that are on
// answer on a listener of the benchmark's own; those that are off are refused at once, as a
// switched-off computer on the local network is (a silent one would add the timeout once).
//
//   skip_bench [rounds R]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "support/BenchFigures.h"
#include "support/LoopbackListener.h"
#include "support/RedirectedNetwork.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kOn = 48;
constexpr int kOff = 16;
constexpr int kAtATime = 8;
constexpr const char* kSecondsPerComputer = "1000";
constexpr const char* kTimeoutSeconds = "5";

std::string Names(int on, int off)
{
    std::string list;
    // The computers that are off are spread over the list, as they are in a real fleet.
    for (int i = 1, offLeft = off; i <= on + off; ++i) {
        char name[32];
        const bool isOff = offLeft > 0 && i % ((on + off) / std::max(off, 1)) == 0;
        std::snprintf(name, sizeof name, isOff ? "PC-OFFLINE-%02d" : "PC-%02d", i);
        offLeft -= isOff ? 1 : 0;
        list += std::string(name) + "\r\n";
    }
    return list;
}

class TSkipBench {
public:
    TSkipBench()
    {
        WriteFileBytes(kShare + "\\install.msi", "package");
        SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", kSecondsPerComputer);
        TForm1& form = app_->Form1();
        form.Network = std::make_shared<TRedirectedNetwork>(listener_.Port(), closed_.Port());
    }

    // Seconds from Execute to the run's end, and from Execute to the first computer started.
    struct TTimes {
        double total = 0;
        double checking = 0;
        long notReached = 0;  // the summary's computers not reached
    };

    TTimes Run(const std::string& list, bool skip)
    {
        TForm1& form = app_->Form1();
        folder_.Write("fleet.txt", list);
        form.edt1->SetText(folder_.File("fleet.txt"));
        form.edt2->SetText(kShare + "\\install.msi");
        form.edt7->SetText(std::to_string(kAtATime));
        form.chk6->SetChecked(true);
        form.edt6->SetText(kTimeoutSeconds);
        form.chk8->SetChecked(skip);
        TTimes times;
        const auto start = Clock::now();
        Click(*form.sbtbtn1);
        PumpUntil(app_->Application(), [&] {
            if (times.checking == 0 && form.stsbr1->SimpleText().rfind("Checking", 0) != 0)
                times.checking = Seconds(Clock::now() - start);
            return !form.RunActive();
        }, std::chrono::minutes(10));
        times.total = Seconds(Clock::now() - start);
        const auto lines = ConsoleLines(form);
        times.notReached = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.rfind("Vantrel: PC-", 0) == 0 && line.find(": not reached") != std::string::npos;
        });
        Click(*form.sbtbtn4);
        app_->Application().ProcessMessages();
        return times;
    }

private:
    TLoopbackListener listener_;
    TLoopbackListener closed_{TLoopbackListener::TKind::Closed};
    TScratchFolder folder_{"skip-bench"};
    TScriptedDialogs dialogs_;
    TWindowInToolFolder window_{folder_, dialogs_};
    std::unique_ptr<TVantrelApp>& app_ = window_.App;
};

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc == 3 && std::string(argv[1]) == "rounds" ? std::max(1, std::atoi(argv[2])) : 3;
    TSkipBench bench;
    const std::string fleet = Names(kOn, kOff), answering = Names(kOn, 0);
    const double secondsEach = std::atoi(kSecondsPerComputer) / 1000.0, timeout = std::atoi(kTimeoutSeconds);
    const double idealWithout = (kOn * secondsEach + kOff * timeout) / kAtATime, idealWith = kOn * secondsEach / kAtATime;
    std::printf("%d computers x %.0f s, %d at a time, %d of them off (%.0f s connection timeout); %d rounds\n",
                kOn + kOff, secondsEach, kAtATime, kOff, timeout, rounds);
    std::printf("  ideal: %.1f s without the check, %.1f s with it (saving %.1f s)\n", idealWithout, idealWith,
                idealWithout - idealWith);
    std::vector<double> without, with, floor, checking;
    for (int round = 1; round <= rounds; ++round) {
        const auto a = bench.Run(fleet, false);
        const auto b = bench.Run(fleet, true);
        const auto c = bench.Run(answering, false);
        std::printf("  round %d: without the check %.2f s, with it %.2f s (checking %.2f s), the %d that answer "
                    "alone %.2f s; not reached %ld / %ld / %ld\n",
                    round, a.total, b.total, b.checking, kOn, c.total, a.notReached, b.notReached, c.notReached);
        without.push_back(a.total);
        with.push_back(b.total);
        checking.push_back(b.checking);
        floor.push_back(c.total);
    }
    std::printf("  median: without %.2f s, with %.2f s: saving %.2f s (ideal %.1f s); the check's own cost over the "
                "answering computers alone %.2f s (checking phase %.2f s)\n",
                Median(without), Median(with), Median(without) - Median(with), idealWithout - idealWith,
                Median(with) - Median(floor), Median(checking));
    return 0;
}
