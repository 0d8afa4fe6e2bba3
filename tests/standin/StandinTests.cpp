#include "Standin.h"
#include "StandinArgs.h"

#include "job/CommandLine.h"
#include "toolkit/CommandLineArgs.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class FakeHost : public IStandinHost {
public:
    std::map<std::string, std::string> files;
    std::vector<std::string> out;
    std::string err;
    int pausedMs = 0;

    std::optional<std::string> ReadFile(const std::string& path) override
    {
        const auto it = files.find(path);
        return it == files.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    void WriteLine(const std::string& line) override { out.push_back(line); }
    void WriteError(const std::string& text) override { err += text; }
    void Pause(int milliseconds) override { pausedMs += milliseconds; }
};

ParsedArgs Parse(const std::string& commandLine)
{
    return ParseStandinArgs(SplitCommandLine(commandLine));
}

int RunWith(FakeHost& host, const std::string& commandLine, int delayMs = 0)
{
    return RunStandin(SplitCommandLine(commandLine), host, delayMs);
}

const std::string ListPath = "C:\\Lists\\targets.txt";
const std::string Install = "Psexec \"@C:\\Lists\\targets.txt\"  msiexec /package \"\\\\srv\\share\\a.msi\" /qn";

} // namespace

TEST(StandinArgs, AcceptsEveryComposedForm)
{
    TJobVariables vars;
    vars.ListFileArg = "\"@C:\\My Lists\\targets.txt\"";
    vars.PackageArg = "\"\\\\Server\\share\\install.msi\"";
    vars.DomainPart = "MY CORP\\";
    vars.UserPart = "deploy";
    vars.PasswordPart = "pa \"ss\\";
    vars.PsExecOptions = " -e -d -n 3";
    vars.MsiOptions = " /qn /promptrestart /forcerestart";
    for (bool uninstall : {false, true}) {
        for (bool currentAccount : {false, true}) {
            vars.UninstallMode = uninstall;
            vars.CurrentAccount = currentAccount;
            const auto parsed = Parse(ComposeCommandLine(vars));
            ASSERT_TRUE(parsed.request) << parsed.error;
            const auto& r = *parsed.request;
            EXPECT_EQ(r.listFile, "C:\\My Lists\\targets.txt");
            EXPECT_EQ(r.user, currentAccount ? std::nullopt : std::optional<std::string>("MY CORP\\deploy"));
            EXPECT_EQ(r.password, currentAccount ? std::nullopt : std::optional<std::string>("pa \"ss\\"));
            EXPECT_TRUE(r.noProfile && r.noWait);
            EXPECT_EQ(r.timeoutSeconds, 3);
            EXPECT_EQ(r.verb, uninstall ? MsiVerb::Uninstall : MsiVerb::Install);
            EXPECT_EQ(r.package, "\\\\Server\\share\\install.msi");
            EXPECT_EQ(r.msiSwitches, (std::vector<std::string>{"/qn", "/promptrestart", "/forcerestart"}));
        }
    }

    // An empty password written as "" is a value, not a missing one.
    const auto empty = Parse("Psexec \"@l.txt\" -u deploy -p \"\"  msiexec /package \"\\\\s\\a.msi\"");
    ASSERT_TRUE(empty.request) << empty.error;
    EXPECT_EQ(empty.request->password, "");
    EXPECT_TRUE(empty.request->msiSwitches.empty());
}

TEST(StandinArgs, RefusesWhatVantrelWouldNeverCompose)
{
    const std::map<std::string, std::string> refusals = {
        {"Psexec", "no list file (@file) given"},
        {"Psexec msiexec /package \"\\\\s\\a.msi\"", "no list file (@file) given"},
        {"Psexec \"@l.txt\" -e", "no command given"},
        {"Psexec \"@l.txt\" @m.txt msiexec /package x.msi", "the list file is given twice"},
        {"Psexec @ msiexec /package x.msi", "the list file name after @ is missing"},
        {"Psexec \"@l.txt\" -n msiexec /package x.msi", "-n needs a number of seconds"},
        {"Psexec \"@l.txt\" -n -3 msiexec /package x.msi", "-n needs a number of seconds"},
        {"Psexec \"@l.txt\" -u", "-u needs a value"},
        {"Psexec \"@l.txt\" -x msiexec /package x.msi", "unknown argument \"-x\""},
        {"Psexec \"@l.txt\" msiexec", "msiexec needs /package or /uninstall"},
        {"Psexec \"@l.txt\" msiexec /i x.msi", "msiexec needs /package or /uninstall, not \"/i\""},
        {"Psexec \"@l.txt\" msiexec /package", "msiexec needs the package path"},
        {"Psexec \"@l.txt\" msiexec /package x.msi /qn -e", "unknown msiexec switch \"-e\""},
    };
    for (const auto& [line, why] : refusals) {
        const auto parsed = Parse(line);
        EXPECT_FALSE(parsed.request) << line;
        EXPECT_EQ(parsed.error, why) << line;
    }
}

TEST(Standin, OutcomeFollowsTheName)
{
    EXPECT_FALSE(OutcomeFor("LAB-OFFLINE-3").reachable);
    EXPECT_EQ(OutcomeFor("failbox").exitCode, 1603);
    EXPECT_EQ(OutcomeFor("Reboot01").exitCode, 3010);
    EXPECT_EQ(OutcomeFor("offline-fail").exitCode, 53);
    const auto fine = OutcomeFor("PC01");
    EXPECT_TRUE(fine.reachable);
    EXPECT_EQ(fine.exitCode, 0);
}

TEST(Standin, ListFileTakesEveryLineEndAndSkipsEmptyLines)
{
    using Names = std::vector<std::string>;
    EXPECT_EQ(ComputerNames("a\r\nb\nc\rd"), (Names{"a", "b", "c", "d"}));
    EXPECT_EQ(ComputerNames("\r\n\r\n  pc1 \t\r\n\t\n\r\rpc2\r\n"), (Names{"pc1", "pc2"}));
    EXPECT_EQ(ComputerNames(""), Names{});
}

TEST(Standin, AllSucceededEndsWithTheSuccessReport)
{
    FakeHost host;
    host.files[ListPath] = "PC01\r\nPC02\r\n";
    EXPECT_EQ(RunWith(host, Install, 100), 0);
    ASSERT_FALSE(host.out.empty());
    EXPECT_EQ(host.out.back(), "PsExec exited with error code 0.");
    EXPECT_EQ(host.pausedMs, 200);
    EXPECT_TRUE(host.err.empty());
    // Every computer reports its result; nobody's password is printed.
    EXPECT_EQ(std::count_if(host.out.begin(), host.out.end(),
                  [](const std::string& l) { return l.find("result 0") != std::string::npos; }),
        2);
}

TEST(Standin, FirstFailureIsTheExitCode)
{
    FakeHost host;
    host.files[ListPath] = "PC01\nreboot-pc\nfail-pc\noffline-pc\n";
    EXPECT_EQ(RunWith(host, Install), 3010);
    EXPECT_EQ(host.out.back(), "PsExec exited with error code 3010.");
    const auto holds = [&](const std::string& text) {
        return std::any_of(host.out.begin(), host.out.end(),
            [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(holds("[fail-pc] msiexec ended, result 1603"));
    EXPECT_TRUE(holds("[offline-pc] not reachable, result 53"));

    FakeHost noWait;
    noWait.files[ListPath] = "fail-pc\nreboot\n";
    EXPECT_EQ(RunWith(noWait, "Psexec \"@C:\\Lists\\targets.txt\"  -d msiexec /package \"\\\\s\\a.msi\""), 0);
    EXPECT_EQ(noWait.out.back(), "PsExec exited with error code 0.");
}

TEST(Standin, BadArgumentsGiveUsageOnStandardError)
{
    for (const std::string& line : {std::string("Psexec"), std::string("Psexec \"@missing.txt\" msiexec /package \"\\\\s\\a.msi\""),
             std::string("Psexec \"@empty.txt\" msiexec /package \"\\\\s\\a.msi\"")}) {
        FakeHost host;
        host.files["empty.txt"] = "\r\n \r\n";
        EXPECT_EQ(RunWith(host, line), UsageExitCode) << line;
        EXPECT_TRUE(host.out.empty()) << line;
        EXPECT_NE(host.err.find("Usage: Psexec @listfile"), std::string::npos) << line;
    }
}

TEST(Standin, DelayComesFromTheEnvironmentOrTheDefault)
{
    EXPECT_EQ(DelayFromEnvironment(nullptr), DefaultDelayMs);
    EXPECT_EQ(DelayFromEnvironment(""), DefaultDelayMs);
    EXPECT_EQ(DelayFromEnvironment("0"), 0);
    EXPECT_EQ(DelayFromEnvironment("40"), 40);
    EXPECT_EQ(DelayFromEnvironment("12ms"), DefaultDelayMs);
    EXPECT_EQ(DelayFromEnvironment("-5"), DefaultDelayMs);
}
