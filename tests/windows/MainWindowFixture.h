// The fixture of the main-window tests: the window shown beside the stand-in tool in a scratch
// folder of its own, with scripted dialogs, and the checks they share.
#pragma once

#include <gtest/gtest.h>

#include "WindowTestSupport.h"

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
