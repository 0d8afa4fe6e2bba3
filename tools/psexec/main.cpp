// Win32 entry of the stand-in PsExec: the real command line, files, pipes and pauses.
#include "Standin.h"

#include "toolkit/CommandLineArgs.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

void WriteAll(HANDLE out, const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

class Win32Host : public IStandinHost {
public:
    std::optional<std::string> ReadFile(const std::string& path) override
    {
        std::ifstream file(path, std::ios::binary);
        if (!file)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    // Unbuffered writes, one per line, so a reader sees each line as soon as it is written.
    void WriteLine(const std::string& line) override { WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), line + "\r\n"); }
    void WriteError(const std::string& text) override { WriteAll(GetStdHandle(STD_ERROR_HANDLE), text); }
    void Pause(int milliseconds) override
    {
        if (milliseconds > 0)
            Sleep(static_cast<DWORD>(milliseconds));
    }
};

// Lets end-to-end tests compare what arrived with what Vantrel composed, byte for byte.
void RecordCommandLine(const char* commandLine)
{
    const char* path = std::getenv("VANTREL_STANDIN_RECORD");
    if (path == nullptr || *path == '\0')
        return;
    std::ofstream record(path, std::ios::binary | std::ios::trunc);
    record << commandLine;
}

} // namespace

int main()
{
    const char* commandLine = GetCommandLineA();
    RecordCommandLine(commandLine);
    Win32Host host;
    return RunStandin(SplitCommandLine(commandLine), host, DelayFromEnvironment(std::getenv("VANTREL_STANDIN_DELAY_MS")));
}
