// The process backend of the native build: the child runs the command line through /bin/sh -c,
// in a process group of its own so that terminating it also ends what it started. The child is
// reaped only after its group was killed: until then its number, which is the group's, cannot
// be given to another process, so the kill reaches nothing but what our child started.
#include "runner/ConsoleRunner.h"
#include "runner/ProcessBackend.h"
#include "runner/ProcessPosix.h"
#include "toolkit/Handles.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// A file descriptor, closed when its holder goes.
using TFd = UniqueHandleOf<FreedBy<int, close, -1>>;

bool CreatePipe(TFd& readEnd, TFd& writeEnd)
{
    int read = -1;
    int write = -1;
    if (!CreateRunPipe(read, write))
        return false;
    readEnd.Reset(read);
    writeEnd.Reset(write);
    return true;
}

// A write to a child that closed its input must fail with EPIPE, not end our process; the
// signal is blocked for this thread and taken back if it was raised.
class TSigpipeBlock {
public:
    TSigpipeBlock()
    {
        sigemptyset(&pipeSet_);
        sigaddset(&pipeSet_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSet_, &previous_);
    }
    ~TSigpipeBlock()
    {
        timespec zero = {};
        while (sigtimedwait(&pipeSet_, nullptr, &zero) > 0) {
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    TSigpipeBlock(const TSigpipeBlock&) = delete;
    TSigpipeBlock& operator=(const TSigpipeBlock&) = delete;

private:
    sigset_t pipeSet_;
    sigset_t previous_;
};

std::string FirstToken(const std::string& commandLine)
{
    const auto begin = commandLine.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    const auto end = commandLine.find_first_of(" \t", begin);
    return commandLine.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// The command line for the shell: with a program file given, that file runs in place of the
// command line's first word, and the rest of the line are its arguments, as on Windows.
std::string ShellCommand(const TChildStartInfo& info)
{
    if (info.applicationName.empty())
        return info.commandLine;
    std::string quoted = "'";
    for (char c : info.applicationName)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    const std::string program = FirstToken(info.commandLine);
    const std::size_t rest = program.empty() ? info.commandLine.size() : info.commandLine.find(program) + program.size();
    return "exec " + quoted + info.commandLine.substr(rest);
}

bool IsExecutableFile(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool ProgramExists(const std::string& program)
{
    if (program.empty())
        return false;
    if (program.find('/') != std::string::npos)
        return IsExecutableFile(program);
    const char* path = getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const auto end = directories.find(':', start);
        std::string directory = directories.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (IsExecutableFile((directory.empty() ? "." : directory) + "/" + program))
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

class TPosixChild : public IChildProcess {
public:
    ~TPosixChild() override
    {
        // A child still there at this point was started and never reaped: end it.
        CloseProcess();
    }

    bool CreateInputPipe() override { return Record(CreatePipe(inputRead_, inputWrite_)); }

    bool CreateOutputPipe() override
    {
        if (Record(CreatePipe(outputRead_, outputWrite_)))
            return true;
        const int saved = errno;
        inputRead_.Reset();
        inputWrite_.Reset();
        lastError_ = static_cast<uint32_t>(saved);
        return false;
    }

    bool Start(const TChildStartInfo& info) override
    {
        // As on Windows, a command line whose program cannot be found does not start at all.
        const bool found = info.applicationName.empty() ? ProgramExists(FirstToken(info.commandLine))
                                                        : IsExecutableFile(info.applicationName);
        if (!found) {
            lastError_ = ENOENT;
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, inputRead_.Get(), STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outputWrite_.Get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outputWrite_.Get(), STDERR_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setpgroup(&attributes, 0);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        std::string command = ShellCommand(info);
        char shell[] = "/bin/sh";
        char dashC[] = "-c";
        char* argv[] = {shell, dashC, command.data(), nullptr};
        const int result = posix_spawn(&pid_, shell, &actions, &attributes, argv, environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (result != 0) {
            pid_ = 0;
            lastError_ = static_cast<uint32_t>(result);
            return false;
        }
        // Our copies of the child's ends would keep the output pipe open after the child ends.
        inputRead_.Reset();
        outputWrite_.Reset();
        return true;
    }

    // Looks without reaping: the child stays ours until CloseProcess.
    bool HasEnded(uint32_t& exitCode) override
    {
        if (!ended_ && pid_ > 0) {
            siginfo_t info = {};
            if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_)
                Ended(info);
        }
        exitCode = exitCode_;
        return ended_;
    }

    void Peek(std::size_t size, std::size_t& copied, std::size_t& available) override
    {
        int count = 0;
        if (ioctl(outputRead_.Get(), FIONREAD, &count) != 0 || count < 0)
            count = 0;
        available = static_cast<std::size_t>(count);
        copied = std::min(size, available);
    }

    bool OutputClosed() override
    {
        pollfd state = {outputRead_.Get(), POLLIN, 0};
        int waiting = 0;
        return poll(&state, 1, 0) == 1 && (state.revents & POLLHUP) &&
               ioctl(outputRead_.Get(), FIONREAD, &waiting) == 0 && waiting == 0;
    }

    std::size_t Read(char* buffer, std::size_t size) override
    {
        for (;;) {
            const ssize_t count = read(outputRead_.Get(), buffer, size);
            if (count >= 0)
                return static_cast<std::size_t>(count);
            if (errno != EINTR)
                return Record(false), 0;
        }
    }

    // Waits in small steps, so that a stop or a time limit reaches a worker whose child reads no
    // input.
    std::size_t Write(const char* data, std::size_t size, const std::function<bool()>& giveUp) override
    {
        TSigpipeBlock block;
        const int fd = inputWrite_.Get();
        const int flags = fcntl(fd, F_GETFL);
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        std::size_t taken = 0;
        while (taken < size && !giveUp()) {
            const ssize_t written = write(fd, data + taken, size - taken);
            if (written > 0) {
                taken += static_cast<std::size_t>(written);
            } else if (written < 0 && errno == EAGAIN) {
                pollfd wait = {fd, POLLOUT, 0};
                poll(&wait, 1, 10);
            } else if (!(written < 0 && errno == EINTR)) {
                break;
            }
        }
        fcntl(fd, F_SETFL, flags);
        return taken;
    }

    void Terminate() override
    {
        if (pid_ > 0 && !ended_)
            kill(-pid_, SIGKILL);
    }

    // Whatever the child left running in its group ends with the run, as in a job object; then
    // the child is reaped, and its number is free for others.
    void CloseProcess() override
    {
        if (pid_ <= 0)
            return;
        kill(-pid_, SIGKILL);
        siginfo_t info = {};
        while (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED) < 0 && errno == EINTR) {
        }
        if (!ended_)
            Ended(info);
        pid_ = 0;
    }

    void ClosePipes() override
    {
        inputRead_.Reset();
        outputWrite_.Reset();
        outputRead_.Reset();
        inputWrite_.Reset();
    }

    void Pause(uint32_t milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

    uint32_t LastError() const override { return lastError_; }

private:
    bool Record(bool ok)
    {
        if (!ok)
            lastError_ = static_cast<uint32_t>(errno);
        return ok;
    }

    // A child killed by a signal reports 128 plus the signal's number, as a shell does.
    void Ended(const siginfo_t& info)
    {
        ended_ = true;
        exitCode_ = static_cast<uint32_t>(info.si_status);
        if (info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED)
            exitCode_ += 128u;
    }


    TFd inputRead_, inputWrite_, outputRead_, outputWrite_;
    pid_t pid_ = 0;
    bool ended_ = false;
    uint32_t exitCode_ = 0;
    uint32_t lastError_ = 0;
};

class TPosixBackend : public IProcessBackend {
public:
    std::unique_ptr<IChildProcess> NewChild() override { return std::make_unique<TPosixChild>(); }
};

} // namespace

bool CreateRunPipe(int& readEnd, int& writeEnd)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
}

std::shared_ptr<IProcessBackend> DefaultProcessBackend()
{
    return std::make_shared<TPosixBackend>();
}

TConsoleRunner::TConsoleRunner(TComponent* owner, IUiThread& ui) : TConsoleRunner(owner, ui, DefaultProcessBackend())
{
}
