#include "WindowTestSupport.h"

#include "toolkit/BoundsWin32.h"
#include "toolkit/Strings.h"

#include <oleacc.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <thread>

namespace {

BOOL CALLBACK FindVisibleWindow(HWND hwnd, LPARAM found)
{
    if (IsWindowVisible(hwnd)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

bool AnyWindowOfThisThreadVisible()
{
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), FindVisibleWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

template <typename T>
T Next(std::deque<T>& queue, T otherwise)
{
    if (queue.empty())
        return otherwise;
    T answer = queue.front();
    queue.pop_front();
    return answer;
}

}  // namespace

TModalResult TScriptedDialogs::ShowMessageBox(const std::string& caption, const std::string& text,
                                              TMsgDlgType type, bool okCancel)
{
    Boxes.push_back({caption, text, type, okCancel, AnyWindowOfThisThreadVisible()});
    if (WhileBoxIsUp)
        WhileBoxIsUp();
    return Next(Answers, TModalResult::mrOk);
}

std::optional<std::string> TScriptedDialogs::OpenFile(const TFileDialogSettings& settings)
{
    OpenCalls.push_back(settings);
    return Next(OpenAnswers, std::optional<std::string>{});
}

std::optional<std::string> TScriptedDialogs::SaveFile(const TFileDialogSettings& settings)
{
    SaveCalls.push_back(settings);
    return Next(SaveAnswers, std::optional<std::string>{});
}

std::optional<std::string> TScriptedDialogs::ChooseFolder(const TFileDialogSettings& settings)
{
    FolderCalls.push_back(settings);
    return Next(FolderAnswers, std::optional<std::string>{});
}

TScratchFolder::TScratchFolder(const std::string& name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "vantrel-" + name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TScratchFolder::~TScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TScratchFolder::Write(const std::string& name, const std::string& bytes) const
{
    WriteFileBytes(File(name), bytes);
}

TWindowInToolFolder::TWindowInToolFolder(const TScratchFolder& folder, IDialogs& dialogs, TOpenAddress openAddress)
{
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    previousFolder_ = previous;
    if (!CopyFileA(WinPath(VANTREL_STANDIN_EXE).c_str(), folder.File("Psexec.exe").c_str(), FALSE))
        throw std::runtime_error("cannot copy the stand-in tool into " + folder.Path());
    SetCurrentDirectoryA(folder.Path().c_str());
    App = std::make_unique<TVantrelApp>(dialogs, std::move(openAddress));
    App->Form1().Show();
    App->Application().ProcessMessages();
}

TWindowInToolFolder::~TWindowInToolFolder()
{
    App.reset();
    SetCurrentDirectoryA(previousFolder_.c_str());
}

std::vector<std::string> WhatTheToolWrites(const std::string& applicationName, std::string commandLine,
                                           const std::string& outputFile)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE file = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                              CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write " + outputFile);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION started{};
    const bool ran = CreateProcessA(applicationName.empty() ? nullptr : applicationName.c_str(), commandLine.data(),
                                    nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started);
    CloseHandle(file);
    if (!ran)
        throw std::runtime_error("cannot start " + commandLine);
    WaitForSingleObject(started.hProcess, INFINITE);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return SplitLines(ReadFileBytes(outputFile));
}

bool PumpUntil(TApplication& application, const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        application.ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    application.ProcessMessages();
    return true;
}

void PumpFor(TApplication& application, std::chrono::milliseconds duration)
{
    const auto until = std::chrono::steady_clock::now() + duration;
    PumpUntil(application, [&] { return std::chrono::steady_clock::now() >= until; }, duration * 2);
}

void PressKey(TApplication& app, HWND target, WPARAM key, std::initializer_list<int> modifiers)
{
    BYTE state[256] = {};
    GetKeyboardState(state);
    const auto saved = std::to_array(state);
    for (int modifier : modifiers)
        state[modifier] = 0x80;
    SetKeyboardState(state);
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
    app.ProcessMessages();
    SetKeyboardState(const_cast<BYTE*>(saved.data()));
}

void Click(const TControl& control)
{
    SendMessageA(control.Handle(), BM_CLICK, 0, 0);
}

std::vector<std::string> ConsoleLines(TForm1& form)
{
    std::vector<std::string> lines;
    for (int i = 0; i < form.mmo2->Lines().Count(); ++i)
        lines.push_back(form.mmo2->Lines().Get(i));
    return lines;
}

TJournalReading ReadJournal(const std::string& path)
{
    TJournalReading reading;
    for (const std::string& line : SplitLines(ReadFileBytes(path))) {
        if (line.size() < 2)
            continue;
        if (line[0] == '+') {
            reading.Started.push_back(line.substr(line.find(' ', 2) + 1));
            reading.MostAtOnce = std::max(reading.MostAtOnce, ++reading.StillRunning);
        } else {
            --reading.StillRunning;
        }
    }
    return reading;
}

TBounds BoundsOf(const TControl& control)
{
    return control.Bounds();
}

LOGFONTA FontOf(HWND hwnd)
{
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

SIZE TextSize(HWND hwnd, const std::string& text)
{
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return SIZE{size.cx, metrics.tmHeight};
}

std::vector<TPlace> MainWindowLayoutAt96(TForm1& form)
{
    return {
        {form.spnl1.get(), "TPanel", {3, 3, 536, 118}},     {form.spnl3.get(), "TPanel", {3, 127, 536, 176}},
        {form.spnl4.get(), "TPanel", {3, 309, 536, 86}},    {form.spnl2.get(), "TPanel", {3, 401, 536, 79}},
        {form.stsbr1.get(), "msctls_statusbar32", {0, 483, 542, 19}},
        {form.edt1.get(), "Edit", {8, 16, 523, 21}},        {form.edt3.get(), "Edit", {8, 90, 154, 21}},
        {form.edt4.get(), "Edit", {191, 90, 161, 21}},      {form.edt5.get(), "Edit", {378, 90, 153, 21}},
        {form.edt2.get(), "Edit", {8, 53, 523, 21}},        {form.chk1.get(), "Button", {8, 1, 141, 20}},
        {form.chk2.get(), "Button", {8, 21, 192, 20}},      {form.chk3.get(), "Button", {8, 41, 164, 20}},
        {form.chk4.get(), "Button", {288, 1, 213, 20}},     {form.chk5.get(), "Button", {288, 21, 187, 20}},
        {form.chk6.get(), "Button", {288, 41, 209, 20}},    {form.edt6.get(), "Edit", {504, 40, 25, 21}},
        {form.chk7.get(), "Button", {8, 65, 321, 20}},      {form.mmo1.get(), "TMemo", {4, 16, 168, 156}},
        {form.mmo2.get(), "TMemo", {178, 16, 354, 156}},    {form.sbtbtn1.get(), "Button", {8, 6, 97, 68}},
        {form.sbtbtn4.get(), "Button", {114, 6, 97, 68}},   {form.sbtbtn5.get(), "Button", {220, 6, 97, 68}},
        {form.sbtbtn3.get(), "Button", {328, 6, 97, 68}},   {form.sbtbtn2.get(), "Button", {434, 6, 97, 68}},
        {form.edt7.get(), "Edit", {255, 0, 25, 21}},        {form.chk8.get(), "Button", {329, 65, 200, 20}},
    };
}

std::wstring AccessibleDescription(HWND view)
{
    IAccessible* accessible = nullptr;
    if (AccessibleObjectFromWindow(view, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                   reinterpret_cast<void**>(&accessible)) != S_OK)
        return L"(no accessible object)";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    const HRESULT result = accessible->get_accDescription(self, &text);
    std::wstring description = result == S_OK && text ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    accessible->Release();
    return description;
}

std::vector<std::string> SplitRows(const std::string& csv)
{
    std::vector<std::string> rows;
    for (std::size_t start = 0, end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2)
        rows.push_back(csv.substr(start, end + 2 - start));
    return rows;
}
