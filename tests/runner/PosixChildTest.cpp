// Real child processes through the POSIX backend.
#include "RealChildScenarios.h"
#include "runner/ProcessPosix.h"

#include <csignal>
#include <unistd.h>

#include <dirent.h>
#include <fcntl.h>

namespace {

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
