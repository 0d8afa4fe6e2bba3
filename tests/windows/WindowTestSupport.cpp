#include "WindowTestSupport.h"

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

std::string WinPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
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

std::string ReadFileBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot read " + path);
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write " + path);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::vector<std::string> SplitOutputLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
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
    return SplitOutputLines(ReadFileBytes(outputFile));
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
