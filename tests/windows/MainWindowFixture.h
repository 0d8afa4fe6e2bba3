// The fixture of the main-window tests: the window shown beside the stand-in tool in a scratch
// folder of its own, with scripted dialogs, and the checks they share.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>

#include "WindowTestSupport.h"
#include "job/ReadyLine.h"

class TMainWindowTest : public ::testing::Test {
protected:
    TForm1& Form() { return app_->Form1(); }
    TApplication& App() { return app_->Application(); }
    static std::string Package() { return kShare + "\\install.msi"; }
    static std::string DemoPackage() { return kShare + "\\vantrel-demo.msi"; }

    bool WaitForRunEnd(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        return PumpUntil(App(), [&] { return !Form().RunActive(); }, timeout);
    }
    // Execute clicked, and the run it starts waited for.
    bool ExecuteToEnd()
    {
        Click(*Form().sbtbtn1);
        return WaitForRunEnd();
    }

    TScratchFolder folder_{"window"};
    TScriptedDialogs dialogs_;
    std::vector<std::string> opened_;  // the addresses the window asked to open
    TWindowInToolFolder window_{folder_, dialogs_,
                                [this](HWND, const std::string& address) { opened_.push_back(address); }};
    std::unique_ptr<TVantrelApp>& app_ = window_.App;
};

enum class TTextIs { Exactly, Beginning, Within };

// A box as shown: its caption, its kind and its text (or the text's beginning, or a part of it).
inline ::testing::AssertionResult IsBox(const TScriptedDialogs::Box& box, const std::string& caption,
                                        TMsgDlgType type, const std::string& text, TTextIs how = TTextIs::Exactly)
{
    const std::size_t at = box.Text.find(text);
    const bool textFits = how == TTextIs::Exactly     ? box.Text == text
                          : how == TTextIs::Beginning ? at == 0
                                                      : at != std::string::npos;
    if (box.Caption == caption && box.Type == type && textFits)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "a box \"" << box.Caption << "\" of kind " << static_cast<int>(box.Type)
                                         << ": " << box.Text;
}

inline const std::string kStandinVersion = "2.43.0.7";
inline const std::string kReadyLine = ReadyLineFor(kStandinVersion);

inline void TypeChar(const TControl& control, char c)
{
    SendMessageA(control.Handle(), WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 0);
}

// A path in the folder of this test program, which stands in for the program's own folder.
inline std::string BesideProgram(const std::string& name)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return std::filesystem::path(self).parent_path().string() + "\\" + name;
}

// Processes of the stand-in that this test program started, directly or through the runner.
inline int StandinChildren()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiA(entry.szExeFile, "Psexec.exe") == 0)
            ++count;
    CloseHandle(snapshot);
    return count;
}

// A summary line wrapped to fit the view goes on in lines of this beginning.
inline const std::string kContinued = "Vantrel:     ";

// The lines from the last one that begins with prefix, wrapped summary lines joined again.
inline std::vector<std::string> LinesFrom(const std::vector<std::string>& console, const std::string& prefix)
{
    const auto last = std::find_if(console.rbegin(), console.rend(),
                                   [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    std::vector<std::string> lines;
    for (auto line = last == console.rend() ? console.end() : std::prev(last.base()); line != console.end(); ++line) {
        if (line->rfind(kContinued, 0) == 0 && !lines.empty())
            lines.back() += " " + line->substr(kContinued.size());
        else
            lines.push_back(*line);
    }
    return lines;
}

// Keys posted before a popup menu opens are what its own loop reads, as if typed.
inline void PostKeys(HWND hwnd, std::initializer_list<WPARAM> keys)
{
    for (WPARAM key : keys) {
        PostMessageA(hwnd, WM_KEYDOWN, key, 0);
        PostMessageA(hwnd, WM_KEYUP, key, 0xC0000000);
    }
}

// A main window in a folder that holds the stand-in, as an administrator would start it.
class MainWindow : public TMainWindowTest {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "0");
        SetEnvironmentVariableA("VANTREL_STANDIN_RECORD", folder_.File("received.txt").c_str());
        folder_.Write("lab.txt", "PC-LAB-01\r\nPC-LAB-02\r\n");
        WriteFileBytes(Package(), "package");
    }

    void TearDown() override
    {
        if (app_) {
            WaitForRunEnd();
            app_.reset();
        }
        SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", nullptr);
        SetEnvironmentVariableA("VANTREL_STANDIN_RECORD", nullptr);
        SetEnvironmentVariableA("VANTREL_STANDIN_JOURNAL", nullptr);
    }

    // Fills a job that passes every test, with the current account; the list written first if given.
    void FillValidJob(const std::string& listName = "lab.txt", const std::string& list = "")
    {
        if (!list.empty())
            folder_.Write(listName, list);
        Form().edt1->SetText(folder_.File(listName));
        Form().edt2->SetText(Package());
    }

    // Executes and waits for the run's end; the lines the run added to the console view.
    std::vector<std::string> LinesOfARun(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        const auto before = static_cast<std::ptrdiff_t>(ConsoleLines(Form()).size());
        Click(*Form().sbtbtn1);
        EXPECT_TRUE(WaitForRunEnd(timeout));
        const auto console = ConsoleLines(Form());
        return std::vector<std::string>(console.begin() + before, console.end());
    }
};
