// A small child process for the runner's tests, one scenario per first argument. Portable: it
// builds natively and for Windows, and writes raw bytes to its standard output.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <dirent.h>
#include <unistd.h>
#endif

namespace {

void Write(const std::string& bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void Nap(long milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

long Number(int argc, char** argv, int index, long fallback)
{
    return index < argc ? std::strtol(argv[index], nullptr, 0) : fallback;
}

// "line N" lines, then an unterminated tail, flushed as they go so reads split anywhere.
int Lines(long count)
{
    for (long i = 0; i < count; ++i)
        std::printf("line %ld\r\n", i);
    Write("tail without break");
    return 0;
}

// Lines of the given length whose text says their number, total bytes at least the given size.
int Flood(long long bytes, long lineLength)
{
    std::string line;
    long long written = 0;
    for (long long n = 0; written < bytes; ++n) {
        line = std::to_string(n);
        line.resize(static_cast<std::size_t>(lineLength), '.');
        line += "\n";
        Write(line);
        written += static_cast<long long>(line.size());
    }
    return 0;
}

// Echoes every line of its input with a prefix, until "quit" or the end of its input.
int Echo()
{
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        if (std::strncmp(buffer, "quit", 4) == 0)
            break;
        std::printf("got:%s", buffer);
        std::fflush(stdout);
    }
    return 0;
}

// Reports the handles it inherited that it should not have: on Windows those of the handle
// values given, on POSIX every descriptor beyond the standard three except those given, which
// the test process itself inherited from its own parent.
int Inherited(int argc, char** argv)
{
    int unexpected = 0;
#ifdef _WIN32
    for (int i = 2; i < argc; ++i) {
        auto value = static_cast<uintptr_t>(std::strtoull(argv[i], nullptr, 0));
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            std::printf("inherited %s\n", argv[i]);
            ++unexpected;
        }
    }
#else
    DIR* directory = opendir("/proc/self/fd");
    const int own = directory ? dirfd(directory) : -1;
    while (dirent* entry = directory ? readdir(directory) : nullptr) {
        if (entry->d_name[0] == '.')
            continue;
        const int fd = std::atoi(entry->d_name);
        bool allowed = fd <= 2 || fd == own;
        for (int i = 2; i < argc; ++i)
            allowed = allowed || fd == std::atoi(argv[i]);
        if (!allowed) {
            std::printf("inherited %d\n", fd);
            ++unexpected;
        }
    }
    if (directory)
        closedir(directory);
#endif
    std::printf("unexpected handles: %d\n", unexpected);
    return 0;
}

// Writes a line every 3 ms for eight seconds: what a child left behind that keeps writing. It
// outlives the pipe's closing, so that only being ended ends it.
int Chatter()
{
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
#endif
    for (int i = 0; i < 8000 / 3; ++i) {
        std::printf("still here\n");
        std::fflush(stdout);
        Nap(3);
    }
    return 0;
}

// Leaves a process of its own behind that keeps the output pipe open, sleeping or, when chatty,
// writing all the time, then ends with code. A chatty one first names what it leaves behind:
// "pid N" on Windows, "group N" (its process group) on POSIX.
int Orphan(const char* self, long code, bool chatty)
{
#ifdef _WIN32
    std::string commandLine = "\"" + std::string(self) + (chatty ? "\" chatter" : "\" sleep 8000");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
        if (chatty)
            std::printf("pid %lu\n", started.dwProcessId);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    std::printf("leaving a process behind\n");
    std::fflush(stdout);
    ExitProcess(static_cast<UINT>(code));
#else
    (void)self;
    if (chatty)
        std::printf("group %ld\n", static_cast<long>(getpgrp()));
    std::printf("leaving a process behind\n");
    std::fflush(stdout);
    if (fork() == 0) {
        if (chatty)
            Chatter();
        else
            Nap(8000);
        std::_Exit(0);
    }
    std::_Exit(static_cast<int>(code));
#endif
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "partial") {
        Write("first\r\nsecond\r\nno break at the end");
    } else if (mode == "breaks") {
        Write("crlf\r\nlf\ncr\rmixed\n\rafter\r\r\nend\n");
    } else if (mode == "nul") {
        Write(std::string("a\0b\0\0c\r\n\0\0d\n", 13));
    } else if (mode == "split-crlf") {
        Write("one\r");
        std::fflush(stdout);
        Nap(200);
        Write("\ntwo\r\n");
    } else if (mode == "lines") {
        return Lines(Number(argc, argv, 2, 10240));
    } else if (mode == "flood") {
        return Flood(std::strtoll(argc > 2 ? argv[2] : "1000000", nullptr, 0), Number(argc, argv, 3, 79));
    } else if (mode == "exit") {
        std::printf("exiting\n");
        std::fflush(stdout);
#ifdef _WIN32
        ExitProcess(static_cast<UINT>(std::strtoul(argc > 2 ? argv[2] : "0", nullptr, 0)));
#else
        std::_Exit(static_cast<int>(Number(argc, argv, 2, 0)));
#endif
    } else if (mode == "sleep") {
        Nap(Number(argc, argv, 2, 60000));
    } else if (mode == "pid-sleep") {
#ifdef _WIN32
        std::printf("pid %lu\n", GetCurrentProcessId());
#endif
        std::fflush(stdout);
        Nap(Number(argc, argv, 2, 60000));
    } else if (mode == "busy") {
        volatile unsigned long spin = 0;
        for (;;)
            spin = spin + 1;
    } else if (mode == "tick") {
        const long count = Number(argc, argv, 2, 5);
        for (long i = 0; i < count; ++i) {
            std::printf("tick %ld\n", i);
            std::fflush(stdout);
            Nap(Number(argc, argv, 3, 300));
        }
    } else if (mode == "echo") {
        return Echo();
    } else if (mode == "inherited") {
        return Inherited(argc, argv);
    } else if (mode == "orphan") {
        return Orphan(argv[0], Number(argc, argv, 2, 0), false);
    } else if (mode == "orphan-chatter") {
        return Orphan(argv[0], Number(argc, argv, 2, 0), true);
    } else if (mode == "chatter") {
        return Chatter();
#ifndef _WIN32
    } else if (mode == "group") {
        std::printf("group %ld\n", static_cast<long>(getpgrp()));
    } else if (mode == "signal") {
        std::fflush(stdout);
        std::raise(static_cast<int>(Number(argc, argv, 2, SIGTERM)));
        return 1;
#endif
    } else {
        std::fprintf(stderr, "unknown scenario '%s'\n", mode.c_str());
        return 2;
    }
    return 0;
}
