// The seam between the runner's portable logic and the platform: one run's child process and its
// two pipes, and the launching of the worker thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct TChildStartInfo {
    std::string commandLine;
    // The program file to start; when empty, the system finds it from the command line's first
    // word by its own search rules.
    std::string applicationName;
    uint16_t showWindow = 0;      // the platform's show-window value
    uint32_t creationFlags = 0;   // the creation flag OR the priority class
};

// One run's child and pipes. Created when the run allocates its resources and destroyed when it
// releases them; every operation is called from the worker thread only. Operations that can fail
// return false and leave the reason in LastError().
class IChildProcess {
public:
    virtual ~IChildProcess() = default;

    virtual bool CreateInputPipe() = 0;
    // On failure the input pipe is closed before returning.
    virtual bool CreateOutputPipe() = 0;
    // Starts the child on the pipes' child ends, then closes the parent's copies of those ends.
    virtual bool Start(const TChildStartInfo& info) = 0;

    // Without waiting: true once the child has ended, with its exit code.
    virtual bool HasEnded(uint32_t& exitCode) = 0;
    // Without waiting: how many of the waiting output bytes fit into size, and how many wait.
    virtual void Peek(std::size_t size, std::size_t& copied, std::size_t& available) = 0;
    // Without waiting: true when no output waits and no process can write any more.
    virtual bool OutputClosed() = 0;
    // Reads up to size output bytes; called only after a peek found some, so it returns at once.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // Writes one input item and returns how many of its bytes the pipe took. While the child
    // takes none, waits in small steps and gives up once giveUp() holds. A failure (the child has
    // closed its input) ends the write early too.
    virtual std::size_t Write(const char* data, std::size_t size, const std::function<bool()>& giveUp) = 0;
    // Ends a child that still runs, and whatever it started.
    virtual void Terminate() = 0;
    virtual void CloseProcess() = 0;
    virtual void ClosePipes() = 0;
    // The pause between two polling cycles, in milliseconds; it may end early once the child ends.
    virtual void Pause(uint32_t milliseconds) = 0;

    // The system's code for the latest failure of this thread.
    virtual uint32_t LastError() const = 0;
};

class IProcessBackend {
public:
    virtual ~IProcessBackend() = default;
    virtual std::unique_ptr<IChildProcess> NewChild() = 0;
    // Runs body in a new thread that nobody joins.
    virtual void Launch(std::function<void()> body);
};

// The platform's own backend: Win32 in the Windows build, POSIX natively.
std::shared_ptr<IProcessBackend> DefaultProcessBackend();
