// Runs the real stand-in as Vantrel does: a bare "Psexec" command line, output and error on pipes.
#include "toolkit/CommandLineArgs.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/ErrorsWin32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "support/FileBytesWin32.h"

namespace {

struct Pipe {
    UniqueHandle read;
    UniqueHandle write;
};

Pipe InheritablePipe()
{
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE r = nullptr;
    HANDLE w = nullptr;
    CheckWin32(CreatePipe(&r, &w, &sa, 0), "CreatePipe");
    Pipe pipe{UniqueHandle(r), UniqueHandle(w)};
    // Only the child's end may be inherited.
    SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

std::string ReadToEnd(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

struct Child {
    PROCESS_INFORMATION pi{};
    UniqueHandle process;
    UniqueHandle thread;
    Pipe out;
    Pipe err;
};

void Start(Child& child, std::string commandLine)
{
    child.out = InheritablePipe();
    child.err = InheritablePipe();
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = child.out.write.Get();
    si.hStdError = child.err.write.Get();
    CheckWin32(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                   nullptr, &si, &child.pi),
        "CreateProcessA");
    child.process.Reset(child.pi.hProcess);
    child.thread.Reset(child.pi.hThread);
    child.out.write.Reset();
    child.err.write.Reset();
}

struct Result {
    std::string out;
    std::string err;
    DWORD exitCode = 0;
};

Result RunToEnd(const std::string& commandLine)
{
    Child child;
    Start(child, commandLine);
    Result result;
    result.out = ReadToEnd(child.out.read.Get());
    result.err = ReadToEnd(child.err.read.Get());
    WaitForSingleObject(child.process.Get(), INFINITE);
    GetExitCodeProcess(child.process.Get(), &result.exitCode);
    return result;
}

std::string TempPath(const std::string& name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return lines;
}

class StandinWine : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "0");
        SetEnvironmentVariableA("VANTREL_STANDIN_RECORD", record.c_str());
        DeleteFileA(record.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("VANTREL_STANDIN_RECORD", nullptr);
        DeleteFileA(record.c_str());
        DeleteFileA(list.c_str());
    }

    const std::string record = TempPath("vantrel standin record.txt");
    const std::string list = TempPath("vantrel standin list.txt");
};

} // namespace

TEST_F(StandinWine, SuccessfulRunRecordsItsCommandLineByteForByte)
{
    WriteFileBytes(list, "PC01\r\nPC02\nlab-pc3\r");
    const std::string line = "Psexec \"@" + list + "\" -u CORP\\deploy -p " + QuoteArgument("p\xe9 \"x\"\\")
        + "  -e -n 3 msiexec /package \"\\\\vantrel-test\\share\\install.msi\" /qn";
    const Result result = RunToEnd(line);
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_TRUE(result.err.empty());
    const auto lines = LinesOf(result.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.back(), "PsExec exited with error code 0.");
    EXPECT_EQ(ReadFileBytes(record), line);
}

TEST_F(StandinWine, FailingComputersReportInTheToolsWordsAndSetTheFinalLineAndExitCode)
{
    WriteFileBytes(list, "pc1\r\nFAIL-pc\r\nPC-OFFLINE\r\n");
    const Result result = RunToEnd("Psexec \"@" + list + "\"  msiexec /uninstall \"\\\\s\\share\\a.msp\"");
    EXPECT_EQ(result.exitCode, 1603u);
    // Progress messages overwrite each other after a bare carriage return, as on a console.
    const auto lines = LinesOf(result.out);
    ASSERT_EQ(lines.size(), 9u) << result.out;
    EXPECT_EQ(lines[1], "Connecting to pc1...\rStarting PSEXESVC service on pc1...\rConnecting with PsExec service on "
                        "pc1...\rStarting msiexec on pc1...");
    EXPECT_EQ(lines[2], "msiexec exited on pc1 with error code 0.");
    EXPECT_EQ(lines[4], "msiexec exited on FAIL-pc with error code 1603.");
    EXPECT_EQ(lines[5], "Connecting to PC-OFFLINE...");
    EXPECT_EQ(lines[6], "Couldn't access PC-OFFLINE:");
    EXPECT_EQ(lines[7], "The network path was not found.");
    EXPECT_EQ(lines[8], "PsExec exited with error code 1603.");
}

TEST_F(StandinWine, BadArgumentsGiveUsageOnStandardError)
{
    for (const std::string& line : {std::string("Psexec"), "Psexec \"@" + TempPath("no such list.txt") + "\"  msiexec /package \"\\\\s\\a.msi\""}) {
        const Result result = RunToEnd(line);
        EXPECT_EQ(result.exitCode, 2u) << line;
        EXPECT_TRUE(result.out.empty()) << line;
        EXPECT_NE(result.err.find("Usage: Psexec @listfile"), std::string::npos) << line;
        EXPECT_EQ(ReadFileBytes(record), line) << "refused lines are recorded too";
    }
}

TEST_F(StandinWine, EachLineArrivesWhileTheToolStillRuns)
{
    // A long pause per computer: the first line must reach the pipe before the pause ends.
    SetEnvironmentVariableA("VANTREL_STANDIN_DELAY_MS", "20000");
    WriteFileBytes(list, "PC01\r\n");
    Child child;
    Start(child, "Psexec \"@" + list + "\"  msiexec /package \"\\\\s\\a.msi\"");
    std::string first;
    char c = 0;
    DWORD got = 0;
    while (first.find("\r\n") == std::string::npos && ReadFile(child.out.read.Get(), &c, 1, &got, nullptr) && got == 1)
        first += c;
    DWORD exitCode = 0;
    GetExitCodeProcess(child.process.Get(), &exitCode);
    EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_NE(first.find("Stand-in PsExec: 1 computer(s)"), std::string::npos) << first;
    TerminateProcess(child.process.Get(), 1);
    WaitForSingleObject(child.process.Get(), INFINITE);
}

TEST(StandinVersion, FileVersionDiffersFromProductVersion)
{
    char path[] = "Psexec.exe";
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info->dwFileVersionMS, MAKELONG(43, 2));
    EXPECT_EQ(info->dwFileVersionLS, MAKELONG(7, 0));
    EXPECT_EQ(info->dwProductVersionMS, MAKELONG(43, 2));
    EXPECT_EQ(info->dwProductVersionLS, MAKELONG(0, 0));
}
