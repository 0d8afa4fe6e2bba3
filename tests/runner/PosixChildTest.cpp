// Real child processes through the POSIX backend.
#include "RealChildScenarios.h"
#include "runner/ProcessPosix.h"

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <fstream>
#include <unistd.h>

#include <dirent.h>
#include <fcntl.h>

namespace {

using namespace std::chrono_literals;

int CountEntries(const char* folder)
{
    int count = 0;
    if (DIR* directory = opendir(folder)) {
        while (dirent* entry = readdir(directory))
            count += entry->d_name[0] != '.';
        closedir(directory);
    }
    return count;
}

// Whether a process that has not ended is in the group; one that has ended but is not reaped
// yet (its new parent reaps it in its own time) counts as gone.
bool GroupHasLiveMembers(long group)
{
    bool live = false;
    if (DIR* directory = opendir("/proc")) {
        while (dirent* entry = readdir(directory)) {
            std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
            std::string text;
            if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || !std::getline(stat, text))
                continue;
            // pid (name) state parent group ...; the name may hold anything, even brackets.
            const auto afterName = text.rfind(')');
            char state = 0;
            long parent = 0;
            long itsGroup = 0;
            if (afterName != std::string::npos &&
                std::sscanf(text.c_str() + afterName + 1, " %c %ld %ld", &state, &parent, &itsGroup) == 3)
                live = live || (itsGroup == group && state != 'Z' && state != 'X');
        }
        closedir(directory);
    }
    return live;
}

// "group N", as the test child names the group it leaves a process in.
long GroupNamed(const std::string& line)
{
    return line.rfind("group ", 0) == 0 ? std::atol(line.c_str() + 6) : 0;
}

struct TPosixPlatform {
    using Harness = TRunnerHarness;
#if defined(__SANITIZE_THREAD__)
    // The thread checker slows every access: smaller volumes, the same paths.
    static constexpr int Repeats = 20;
    static constexpr long long FloodBytes = 20'000'000;
    static constexpr int Runs = 200;
#else
    static constexpr int Repeats = 100;
    static constexpr long long FloodBytes = 100'000'000;
    static constexpr int Runs = 1000;
#endif
    static std::string Child(const std::string& arguments) { return std::string(VANTREL_TEST_CHILD) + " " + arguments; }
    // An exit status has eight bits here; wider codes are the Windows tests' part.
    static std::vector<uint32_t> ExitCodes() { return {0, 1, 3, 255}; }
    static int CountHandles() { return CountEntries("/proc/self/fd"); }
    static int CountThreads() { return CountEntries("/proc/self/task"); }
    // The group is killed as the run ends; the signal takes a moment to arrive.
    static bool LeftBehindGone(const std::string& line)
    {
        const long group = GroupNamed(line);
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (group > 0 && GroupHasLiveMembers(group) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return group > 0 && !GroupHasLiveMembers(group);
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Posix, RealChild, TPosixPlatform);

// Descriptors this test process passes on to every child of its own, whoever starts it.
std::string DescriptorsPassedOn()
{
    std::string list;
    if (DIR* directory = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(directory)) {
            const int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] != '.' && fd > 2 && fd != dirfd(directory) && !(fcntl(fd, F_GETFD) & FD_CLOEXEC))
                list += " " + std::to_string(fd);
        }
        closedir(directory);
    }
    return list;
}

TEST(PosixChild, NoRunPassesAnyDescriptorButTheStandardOnes)
{
    TRunnerHarness other(DefaultProcessBackend());
    other.runner->CommandLine = TPosixPlatform::Child("sleep 2000");
    other.runner->Execute(); // its pipes are open while this run's child starts

    TRunnerHarness h(DefaultProcessBackend());
    h.runner->CommandLine = TPosixPlatform::Child("inherited" + DescriptorsPassedOn());
    h.runner->Execute();
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(h.output.Lines().back(), "unexpected handles: 0") << h.output.Text();
    other.runner->Stop();
    EXPECT_TRUE(other.RunToEnd());
}

TEST(PosixChild, AChildKilledBySignalReportsItsNumberPlus128)
{
    TRunnerHarness h(DefaultProcessBackend());
    for (int signal : {SIGTERM, SIGKILL}) {
        h.terminations = 0;
        h.runner->CommandLine = TPosixPlatform::Child("signal " + std::to_string(signal));
        h.runner->Execute();
        ASSERT_TRUE(h.RunToEnd());
        EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
        EXPECT_EQ(h.runner->ExitCode(), 128u + static_cast<uint32_t>(signal));
    }
}

TEST(PosixChild, AProgramFileGivenRunsInPlaceOfTheFirstWord)
{
    TRunnerHarness h(DefaultProcessBackend());
    h.runner->ApplicationName = VANTREL_TEST_CHILD;
    h.runner->CommandLine = "Psexec exit 3";
    h.runner->Execute();
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(h.runner->EndStatus(), esChildEnded);
    EXPECT_EQ(h.runner->ExitCode(), 3u);
    EXPECT_EQ(h.output.Lines(), (std::vector<std::string>{"exiting"}));
}

// Straight through the backend: the output pipe closes with the child, since the parent keeps
// none of the child's ends; and the child is reaped only after its group was killed, so that
// the group's number cannot yet belong to another process when the kill is sent.
TEST(PosixChild, ThePipeClosesWithTheChildAndItsGroupIsKilledWhileItsLeaderIsOurs)
{
    auto child = DefaultProcessBackend()->NewChild();
    ASSERT_TRUE(child->CreateInputPipe());
    ASSERT_TRUE(child->CreateOutputPipe());
    TChildStartInfo info;
    info.commandLine = TPosixPlatform::Child("group");
    ASSERT_TRUE(child->Start(info));

    std::string output;
    uint32_t code = 0;
    bool closed = false;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!closed && std::chrono::steady_clock::now() < deadline) {
        std::size_t copied = 0;
        std::size_t available = 0;
        child->Peek(4096, copied, available);
        std::string bytes(available, '\0');
        bytes.resize(available > 0 ? child->Read(bytes.data(), available) : 0);
        output += bytes;
        closed = child->HasEnded(code) && child->OutputClosed();
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(closed) << "the parent's copies of the child's ends keep the pipe open";
    const long group = GroupNamed(output);
    ASSERT_GT(group, 0) << output;
    EXPECT_EQ(kill(static_cast<pid_t>(group), 0), 0) << "the leader was reaped before its group was killed";
    child->CloseProcess();
    EXPECT_EQ(kill(static_cast<pid_t>(group), 0), -1);
    EXPECT_EQ(errno, ESRCH);
    child->ClosePipes();
}

TEST(PosixChild, BothEndsOfARunPipeCloseOnExec)
{
    int read = -1;
    int write = -1;
    ASSERT_TRUE(CreateRunPipe(read, write));
    EXPECT_TRUE(fcntl(read, F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(fcntl(write, F_GETFD) & FD_CLOEXEC);
    close(read);
    close(write);
}

} // namespace
