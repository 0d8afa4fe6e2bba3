#include "Standin.h"
#include "StandinArgs.h"

#include "job/CommandLine.h"
#include "toolkit/CommandLineArgs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

class FakeHost : public IStandinHost {
public:
    std::map<std::string, std::string> files;
    std::string raw;  // standard output as written
    std::vector<std::string> out;  // ... split into lines at CR LF, CR or LF, as Vantrel's runner does
    std::string err;
    int pausedMs = 0;

    std::optional<std::string> ReadFile(const std::string& path) override
    {
        const auto it = files.find(path);
        return it == files.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    void Write(const std::string& text) override
    {
        raw += text;
        out.clear();
        std::size_t start = 0;
        for (auto end = raw.find_first_of("\r\n"); end != std::string::npos; end = raw.find_first_of("\r\n", start)) {
            out.push_back(raw.substr(start, end - start));
            start = end + (raw.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        }
    }
    void WriteError(const std::string& text) override { err += text; }
    void Pause(int milliseconds) override { pausedMs += milliseconds; }
    std::string LocalComputerName() override { return "BUILDHOST"; }
    LocalRun RunLocally(const std::string& commandLine, bool wait) override
    {
        localRuns.push_back({commandLine, wait});
        Write("(local output)\r\n");
        return localResult;
    }

    std::vector<std::pair<std::string, bool>> localRuns;
    LocalRun localResult{true, 0, {}};
};

bool Holds(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

ParsedArgs Parse(const std::string& commandLine)
{
    return ParseStandinArgs(SplitCommandLine(commandLine));
}

int RunWith(FakeHost& host, const std::string& commandLine, int delayMs = 0, int connectTimeoutMs = 0)
{
    return RunStandin(SplitCommandLine(commandLine), host, delayMs, connectTimeoutMs);
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

TEST(StandinArgs, TakesTheComputersByNameAndTheBannerSwitch)
{
    TJobVariables vars;
    vars.PackageArg = "\"\\\\Server\\share\\install.msi\"";
    vars.PsExecOptions = " -e";
    vars.MsiOptions = " /qn";
    const auto one = Parse(ComposeComputerCommandLine(vars, "PC-01"));
    ASSERT_TRUE(one.request) << one.error;
    EXPECT_EQ(one.request->computers, std::vector<std::string>{"PC-01"});
    EXPECT_TRUE(one.request->listFile.empty());
    EXPECT_TRUE(one.request->noBanner && one.request->noProfile);
    EXPECT_EQ(one.request->user, "");

    const auto several = Parse("Psexec \\\\A,b-2 msiexec /package x.msi");
    ASSERT_TRUE(several.request) << several.error;
    EXPECT_EQ(several.request->computers, (std::vector<std::string>{"A", "b-2"}));
    EXPECT_FALSE(several.request->noBanner);
}

TEST(StandinArgs, RefusesWhatVantrelWouldNeverCompose)
{
    const std::map<std::string, std::string> refusals = {
        {"Psexec", "no list file (@file) given"},
        {"Psexec msiexec /package \"\\\\s\\a.msi\"", "no list file (@file) given"},
        {"Psexec \"@l.txt\" -e", "no command given"},
        {"Psexec \"@l.txt\" @m.txt msiexec /package x.msi", "the list file is given twice"},
        {"Psexec @ msiexec /package x.msi", "the list file name after @ is missing"},
        {"Psexec \"@l.txt\" \\\\A msiexec /package x.msi", "the computers are given twice"},
        {"Psexec \\\\A,,B msiexec /package x.msi", "a computer name after \\\\ is missing in \"\\\\A,,B\""},
        {"Psexec \\\\ msiexec /package x.msi", "a computer name after \\\\ is missing in \"\\\\\""},
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
    EXPECT_EQ(OutcomeFor("LAB-OFFLINE-3").failure, FailureStage::Access);
    EXPECT_EQ(OutcomeFor("LAB-OFFLINE-3").errorText, "The network path was not found.");
    EXPECT_EQ(OutcomeFor("Denied-7").failure, FailureStage::Access);
    EXPECT_EQ(OutcomeFor("Denied-7").errorText, "Access is denied.");
    EXPECT_EQ(OutcomeFor("\\\\").failure, FailureStage::Access);
    EXPECT_EQ(OutcomeFor("PC-NOSVC-1").failure, FailureStage::Service);
    EXPECT_EQ(OutcomeFor("pc-lost-1").failure, FailureStage::Contact);
    EXPECT_EQ(OutcomeFor("pc-lost-1").errorText, "The handle is invalid.");
    EXPECT_EQ(OutcomeFor("PC-NOSTART-2").failure, FailureStage::StartMsiexec);
    EXPECT_EQ(OutcomeFor("PC-NOSTART-2").exitCode, 2);
    EXPECT_EQ(OutcomeFor("failbox").exitCode, 1603);
    EXPECT_EQ(OutcomeFor("Reboot01").exitCode, 3010);
    EXPECT_EQ(OutcomeFor("BUSY-2").exitCode, 1618);
    EXPECT_EQ(OutcomeFor("offline-fail").exitCode, 53);
    const auto fine = OutcomeFor("PC01");
    EXPECT_EQ(fine.failure, FailureStage::None);
    EXPECT_EQ(fine.exitCode, 0);
}

TEST(Standin, LocalComputerIsKnownByEveryUsualName)
{
    for (const char* name : {"localhost", "LocalHost", ".", "127.0.0.1", "buildhost", "BUILDHOST"})
        EXPECT_TRUE(IsLocalComputer(name, "BuildHost")) << name;
    for (const char* name : {"localhost2", "127.0.0.2", "BUILDHOST-2", ""})
        EXPECT_FALSE(IsLocalComputer(name, "BuildHost")) << name;
    EXPECT_FALSE(IsLocalComputer("", ""));
}

TEST(Standin, AllSucceededEndsWithTheSuccessReport)
{
    FakeHost host;
    host.files[ListPath] = "PC01\r\nPC02\r\n";
    EXPECT_EQ(RunWith(host, Install, 100), 0);
    EXPECT_EQ(host.out, (std::vector<std::string>{"Stand-in PsExec: 2 computer(s) from " + ListPath,
        "Connecting to PC01...", "Starting PSEXESVC service on PC01...", "Connecting with PsExec service on PC01...",
        "Starting msiexec on PC01...", "msiexec exited on PC01 with error code 0.",
        "Connecting to PC02...", "Starting PSEXESVC service on PC02...", "Connecting with PsExec service on PC02...",
        "Starting msiexec on PC02...", "msiexec exited on PC02 with error code 0.",
        "PsExec exited with error code 0."}));
    EXPECT_NE(host.raw.find("Connecting to PC01...\rStarting PSEXESVC service on PC01...\rConnecting with PsExec "
                            "service on PC01...\rStarting msiexec on PC01...\r\nmsiexec exited on PC01"),
              std::string::npos) << "progress messages overwrite each other after a bare carriage return";
    EXPECT_EQ(host.pausedMs, 200);
    EXPECT_TRUE(host.err.empty());
    EXPECT_TRUE(host.localRuns.empty());
}

TEST(Standin, OneNamedComputerWithoutTheBannerReadsNoFile)
{
    FakeHost host;
    EXPECT_EQ(RunWith(host, "Psexec \\\\PC-FAIL-1 -nobanner msiexec /package \"\\\\srv\\share\\a.msi\" /qn", 40), 1603);
    EXPECT_EQ(host.out, (std::vector<std::string>{"Connecting to PC-FAIL-1...",
        "Starting PSEXESVC service on PC-FAIL-1...", "Connecting with PsExec service on PC-FAIL-1...",
        "Starting msiexec on PC-FAIL-1...", "msiexec exited on PC-FAIL-1 with error code 1603.",
        "PsExec exited with error code 1603."}));
    EXPECT_EQ(host.pausedMs, 40) << "the whole time per computer";
}

TEST(Standin, EachComputerReportsInTheRealToolsWordsAndTheFirstFailureIsTheExitCode)
{
    FakeHost host;
    host.files[ListPath] = "PC01\nreboot-pc\nfail-pc\noffline-pc\ndenied-pc\nbusy-pc\n";
    EXPECT_EQ(RunWith(host, Install), 3010);
    EXPECT_EQ(host.out.back(), "PsExec exited with error code 3010.");
    EXPECT_TRUE(Holds(host.out, "msiexec exited on fail-pc with error code 1603."));
    EXPECT_TRUE(Holds(host.out, "msiexec exited on busy-pc with error code 1618."));
    const auto after = [&](const std::string& line) {
        const auto at = std::find(host.out.begin(), host.out.end(), line);
        return at == host.out.end() || at + 1 == host.out.end() ? std::string() : *(at + 1);
    };
    EXPECT_EQ(after("Couldn't access offline-pc:"), "The network path was not found.");
    EXPECT_EQ(after("Couldn't access denied-pc:"), "Access is denied.");
    EXPECT_FALSE(Holds(host.out, "Starting msiexec on offline-pc...")) << "nothing starts where nothing was reached";

    FakeHost noWait;
    noWait.files[ListPath] = "fail-pc\nreboot\n";
    EXPECT_EQ(RunWith(noWait, "Psexec \"@C:\\Lists\\targets.txt\"  -d msiexec /package \"\\\\s\\a.msi\""), 0);
    EXPECT_TRUE(Holds(noWait.out, "msiexec started on fail-pc with process ID 4100."));
    EXPECT_TRUE(Holds(noWait.out, "msiexec started on reboot with process ID 4104."));
    EXPECT_EQ(noWait.out.back(), "PsExec exited with error code 0.");
}

TEST(Standin, TheLocalComputerRunsTheRemoteCommandForReal)
{
    FakeHost host;
    host.files[ListPath] = "localhost\nPC01\n";
    host.localResult = {true, 1620, {}};
    const std::string uninstall =
        "Psexec \"@C:\\Lists\\targets.txt\"  msiexec /uninstall \"\\\\srv\\share\\a.msi\" /qn /forcerestart";
    EXPECT_EQ(RunWith(host, uninstall), 1620);
    ASSERT_EQ(host.localRuns.size(), 1u);
    EXPECT_EQ(host.localRuns[0].first, "msiexec /uninstall \"\\\\srv\\share\\a.msi\" /qn /forcerestart");
    EXPECT_TRUE(host.localRuns[0].second) << "awaited";
    EXPECT_EQ(std::vector<std::string>(host.out.begin() + 4, host.out.begin() + 7),
        (std::vector<std::string>{"Starting msiexec on localhost...", "(local output)",
            "msiexec exited on localhost with error code 1620."}));

    FakeHost failed;
    failed.files[ListPath] = "buildhost\n";
    failed.localResult = {false, 2, "The system cannot find the file specified."};
    EXPECT_EQ(RunWith(failed, Install), 2);
    EXPECT_TRUE(Holds(failed.out, "PsExec could not start msiexec on buildhost:"));
    EXPECT_TRUE(Holds(failed.out, "The system cannot find the file specified."));

    FakeHost noWait;
    noWait.files[ListPath] = "127.0.0.1\n";
    noWait.localResult = {true, 777, {}};
    EXPECT_EQ(RunWith(noWait, "Psexec \"@C:\\Lists\\targets.txt\"  -d msiexec /package \"\\\\s\\a.msi\""), 0);
    ASSERT_EQ(noWait.localRuns.size(), 1u);
    EXPECT_FALSE(noWait.localRuns[0].second);
    EXPECT_TRUE(Holds(noWait.out, "msiexec started on 127.0.0.1 with process ID 777."));
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
    EXPECT_EQ(TimeoutFromEnvironment(nullptr), DefaultConnectTimeoutMs);
    EXPECT_EQ(TimeoutFromEnvironment("1200"), 1200);
    EXPECT_EQ(TimeoutFromEnvironment("0-200"), DefaultConnectTimeoutMs) << "a range means nothing for a timeout";
    EXPECT_EQ(DelayFromEnvironment("0-200"), DelayRange(0, 200));
    for (const char* refused : {"200-0", "0-", "x-5", "0-60001", "0-2x"})
        EXPECT_EQ(DelayFromEnvironment(refused), DefaultDelayMs) << refused;
}

// Each computer draws its own time from a range, spread over the whole range, and the same copy
// gives the same computer the same time; a whole run pauses exactly the times drawn.
TEST(Standin, ARangeGivesEachComputerItsOwnTimeWithinIt)
{
    const DelayRange range(0, 200);
    int lowest = 200, highest = 0;
    for (std::uint32_t seed = 0; seed < 500; ++seed) {
        const int ms = range.For(seed * 4, 0);
        EXPECT_EQ(ms, range.For(seed * 4, 0));
        lowest = std::min(lowest, ms);
        highest = std::max(highest, ms);
    }
    EXPECT_LE(lowest, 10);
    EXPECT_GE(highest, 190);
    EXPECT_GE(lowest, 0);
    EXPECT_LE(highest, 200);

    FakeHost host;
    host.files[ListPath] = "PC-1\nPC-2\nPC-3\n";
    ASSERT_EQ(RunStandin(SplitCommandLine(Install), host, range, DefaultConnectTimeoutMs, 77), 0);
    EXPECT_EQ(host.pausedMs, range.For(77, 0) + range.For(77, 1) + range.For(77, 2));
}

TEST(Standin, EachFailureComesAtItsStageInTheRealToolsWordsWithTheSystemsText)
{
    FakeHost host;
    host.files[ListPath] = "PC-NOSVC-1\nPC-LOST-2\nPC-NOSTART-3\n";
    EXPECT_EQ(RunWith(host, Install), 5);
    EXPECT_EQ(host.raw.substr(host.raw.find("Connecting to PC-NOSVC-1")),
        "Connecting to PC-NOSVC-1...\rStarting PSEXESVC service on PC-NOSVC-1...\r\n"
        "Could not start PSEXESVC service on PC-NOSVC-1:\r\nAccess is denied.\r\n"
        "Connecting to PC-LOST-2...\rStarting PSEXESVC service on PC-LOST-2...\rConnecting with PsExec service on "
        "PC-LOST-2...\rStarting msiexec on PC-LOST-2...\r\n"
        "Error communicating with PsExec service on PC-LOST-2:\r\nThe handle is invalid.\r\n"
        "Connecting to PC-NOSTART-3...\rStarting PSEXESVC service on PC-NOSTART-3...\rConnecting with PsExec service on "
        "PC-NOSTART-3...\rStarting msiexec on PC-NOSTART-3...\r\n"
        "PsExec could not start msiexec on PC-NOSTART-3:\r\nThe system cannot find the file specified.\r\n"
        "PsExec exited with error code 5.\r\n");
}

TEST(Standin, ReadsItsListAsAPlainToolWouldTakingEachLineAsItStands)
{
    EXPECT_EQ(ListedComputers("\xEF\xBB\xBFPC01 \r\n\\\\\r\n\r\n \t\r\nPC02\rPC03\nPC04"),
              (std::vector<std::string>{"\xEF\xBB\xBFPC01 ", "\\\\", "PC02", "PC03", "PC04"}));
    EXPECT_EQ(ListedComputers(""), std::vector<std::string>{});

    FakeHost host;
    host.files[ListPath] = "\xEF\xBB\xBFPC01 \r\n\\\\\r\n";
    EXPECT_EQ(RunWith(host, Install), 53);
    EXPECT_TRUE(Holds(host.out, "msiexec exited on \xEF\xBB\xBFPC01  with error code 0."));
    EXPECT_TRUE(Holds(host.out, "Couldn't access \\\\:"));
}

TEST(Standin, AComputerThatIsOffIsGivenUpOnlyAfterTheConnectionTimeout)
{
    const std::string offline = "Psexec \\\\PC-OFFLINE-1 -nobanner msiexec /package x.msi";
    const std::string withTimeout = "Psexec \\\\PC-OFFLINE-1 -nobanner -n 5 msiexec /package x.msi";
    FakeHost byDefault;
    EXPECT_EQ(RunWith(byDefault, offline, 40, 700), 53);
    EXPECT_EQ(byDefault.pausedMs, 10 + 700) << "one progress step, then the default timeout";
    FakeHost bySwitch;
    EXPECT_EQ(RunWith(bySwitch, withTimeout, 40, 700), 53);
    EXPECT_EQ(bySwitch.pausedMs, 10 + 5000) << "-n's seconds";
    EXPECT_TRUE(Holds(bySwitch.out, "Couldn't access PC-OFFLINE-1:"));

    // A computer that answers, if only to refuse, is told at once.
    FakeHost denied;
    EXPECT_EQ(RunWith(denied, "Psexec \\\\PC-DENIED-1 -nobanner -n 5 msiexec /package x.msi", 40, 700), 5);
    EXPECT_EQ(denied.pausedMs, 10);
}
