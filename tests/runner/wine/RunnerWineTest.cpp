// The runner with the Windows backend and the message-window user-interface thread, against real
// child processes. Sized for Wine, where every hand-off costs a fraction of a millisecond.
#include "runner/RealChildScenarios.h"
#include "runner/ProcessWin32.h"
#include "toolkit/HandlesWin32.h"
#include "support/TestText.h"
#include "toolkit/wine/WinUi.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <tlhelp32.h>

#include <algorithm>

#include <cstdio>

namespace {

using namespace std::chrono_literals;

using TWinHarness = TRunnerHarnessOf<TWinUi>;

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

std::string Child(const std::string& arguments)
{
    return Quoted(WinPath(VANTREL_TEST_CHILD)) + " " + arguments;
}

std::string SelfPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

int CountOwnThreads()
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    return count;
}

struct TWinePlatform {
    using Harness = TWinHarness;
    // Every hand-off costs a fraction of a millisecond here: a few repeats, a few megabytes.
    static constexpr int Repeats = 2;
    static constexpr long long FloodBytes = 4'000'000;
    static constexpr int Runs = 50;
    static std::string Child(const std::string& arguments) { return ::Child(arguments); }
    static std::vector<uint32_t> ExitCodes() { return {0, 1, 259, 0xC0000005, 0xFFFFFFFF}; }
    static int CountHandles()
    {
        DWORD handles = 0;
        GetProcessHandleCount(GetCurrentProcess(), &handles);
        return static_cast<int>(handles);
    }
    static int CountThreads() { return CountOwnThreads(); }
    // "pid N": the process the child left behind, which the job ends with the run.
    static bool LeftBehindGone(const std::string& line)
    {
        if (line.rfind("pid ", 0) != 0)
            return false;
        UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::stoul(line.substr(4)))));
        return !process.Valid() || WaitForSingleObject(process.Get(), 2000) == WAIT_OBJECT_0;
    }
};

} // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Wine, RealChild, TWinePlatform);

namespace {

class WineChild : public ::testing::Test {
protected:
    WineChild() : h(DefaultProcessBackend()) {}

    void Run(const std::string& commandLine, std::chrono::milliseconds timeout = 60s)
    {
        h.terminations = 0;
        h.output.Clear();
        h.runner->CommandLine = commandLine;
        h.runner->Execute();
        ASSERT_TRUE(h.RunToEnd(timeout)) << commandLine;
    }

    TWinHarness h;
};

TEST_F(WineChild, TheChildInheritsNothingButItsPipes)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    UniqueHandle event(CreateEventA(&inheritable, TRUE, FALSE, nullptr));
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, &inheritable, 0));
    UniqueHandle readEnd(read), writeEnd(write);

    TWinHarness other(DefaultProcessBackend());
    other.runner->CommandLine = Child("sleep 3000");
    other.runner->Execute();

    auto value = [](const UniqueHandle& handle) { return std::to_string(reinterpret_cast<uintptr_t>(handle.Get())); };
    Run(Child("inherited " + value(event) + " " + value(readEnd) + " " + value(writeEnd)));
    EXPECT_EQ(h.output.Lines().back(), "unexpected handles: 0") << h.output.Text();
    other.runner->Stop();
    EXPECT_TRUE(other.RunToEnd());
}

TEST_F(WineChild, TheFileGivenIsStartedWhateverTheCommandLinesFirstWordNames)
{
    const std::string path = WinPath(VANTREL_TEST_CHILD);
    h.runner->ApplicationName = path;
    Run("Psexec exit 3");
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(h.runner->ExitCode(), 3u);

    h.runner->ApplicationName = path + ".gone";
    Run(Child("exit 0"));
    EXPECT_EQ(h.runner->EndStatus(), esFailedStartingChild) << "the file given, or nothing";
}

// A NULL DACL would let any user's process open the pipe and write into the run.
TEST(WinePipes, ARunsPipesCarryADaclAndNeitherEndIsInheritable)
{
    UniqueHandle read, write;
    ASSERT_TRUE(CreateRunPipe(read, write));
    for (HANDLE end : {read.Get(), write.Get()}) {
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(GetSecurityInfo(end, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                  &descriptor),
                  static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_NE(dacl, nullptr) << "a NULL DACL grants everyone access";
        BYTE everyone[SECURITY_MAX_SID_SIZE] = {};
        DWORD everyoneSize = sizeof everyone;
        ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyoneSize));
        EXPECT_GT(dacl->AceCount, 0);
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            void* ace = nullptr;
            ASSERT_TRUE(GetAce(dacl, i, &ace));
            EXPECT_FALSE(EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, everyone)) << "ace " << i;
        }
        LocalFree(descriptor);
        DWORD flags = 0;
        ASSERT_TRUE(GetHandleInformation(end, &flags));
        EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    }
}

// The tables stand for the platform's own values, entry by entry.
TEST(WineValues, ShowWindowCreationFlagAndReturnCodeValuesAreThePlatforms)
{
    const std::pair<TShowWindow, int> shows[] = {
        {swHIDE, SW_HIDE}, {swMAXIMIZE, SW_MAXIMIZE}, {swMINIMIZE, SW_MINIMIZE}, {swRESTORE, SW_RESTORE},
        {swSHOW, SW_SHOW}, {swSHOWDEFAULT, SW_SHOWDEFAULT}, {swSHOWMAXIMIZED, SW_SHOWMAXIMIZED},
        {swSHOWMINIMIZED, SW_SHOWMINIMIZED}, {swSHOWMINNOACTIVE, SW_SHOWMINNOACTIVE}, {swSHOWNA, SW_SHOWNA},
        {swSHOWNOACTIVATE, SW_SHOWNOACTIVATE}, {swSHOWNORMAL, SW_SHOWNORMAL}};
    ASSERT_EQ(std::size(shows), ShowWindowValues.size());
    for (std::size_t i = 0; i < std::size(shows); ++i) {
        EXPECT_EQ(shows[i].first, i);
        EXPECT_EQ(ShowWindowValues[shows[i].first], shows[i].second) << i;
    }
    const std::pair<TCreationFlag, DWORD> flags[] = {
        {fCREATE_DEFAULT_ERROR_MODE, CREATE_DEFAULT_ERROR_MODE}, {fCREATE_NEW_CONSOLE, CREATE_NEW_CONSOLE},
        {fCREATE_NEW_PROCESS_GROUP, CREATE_NEW_PROCESS_GROUP}, {fCREATE_SEPARATE_WOW_VDM, CREATE_SEPARATE_WOW_VDM},
        {fCREATE_SHARED_WOW_VDM, CREATE_SHARED_WOW_VDM}, {fCREATE_SUSPENDED, CREATE_SUSPENDED},
        {fCREATE_UNICODE_ENVIRONMENT, CREATE_UNICODE_ENVIRONMENT}, {fDEBUG_PROCESS, DEBUG_PROCESS},
        {fDEBUG_ONLY_THIS_PROCESS, DEBUG_ONLY_THIS_PROCESS}, {fDETACHED_PROCESS, DETACHED_PROCESS}};
    ASSERT_EQ(std::size(flags), CreationFlagValues.size());
    for (std::size_t i = 0; i < std::size(flags); ++i) {
        EXPECT_EQ(flags[i].first, i);
        EXPECT_EQ(CreationFlagValues[flags[i].first], flags[i].second) << i;
    }
    EXPECT_EQ(NORMAL_PRIORITY_CLASS_VALUE, static_cast<uint32_t>(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(STILL_ACTIVE_CODE, static_cast<uint32_t>(STILL_ACTIVE));
    EXPECT_EQ(rcCRLF, 0);
    EXPECT_EQ(rcLF, 1);
    EXPECT_EQ(otEntireLine, 0);
    EXPECT_EQ(otBeginningOfLine, 1);
}

// The program ends during a run without a word to the runner: the child must not survive it.
TEST_F(WineChild, NoChildOutlivesTheProgram)
{
    Run(Quoted(SelfPath()) + " --host", 20s);
    DWORD childId = 0;
    for (const auto& line : h.output.Lines())
        if (line.rfind("pid ", 0) == 0)
            childId = static_cast<DWORD>(std::stoul(line.substr(4)));
    ASSERT_NE(childId, 0u) << h.output.Text();
    UniqueHandle child(OpenProcess(SYNCHRONIZE, FALSE, childId));
    if (child.Valid()) {
        EXPECT_EQ(WaitForSingleObject(child.Get(), 1000), WAIT_OBJECT_0);
    }
}

// Started by NoChildOutlivesTheProgram: runs a child and ends the process in the middle.
int HostAndQuitDuringARun()
{
    TWinUi ui;
    TConsoleRunner runner(nullptr, ui);
    runner.CommandLine = Child("pid-sleep 60000");
    runner.OnNewLine = [](TObject*, const std::string& line, TOutputType) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        if (line.rfind("pid ", 0) == 0)
            ExitProcess(0);
    };
    runner.Execute();
    ui.RunUntil([] { return false; }, 20s);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--host")
        return HostAndQuitDuringARun();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
