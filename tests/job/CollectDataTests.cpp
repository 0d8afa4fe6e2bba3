#include "FakeJobForm.h"

#include "job/CollectData.h"

#include <gtest/gtest.h>

namespace {

bool AllTextsEmpty(const TJobVariables& v)
{
    return v.ListFileArg.empty() && v.PackageArg.empty() && v.DomainPart.empty() && v.UserPart.empty()
        && v.PasswordPart.empty() && v.MsiOptions.empty() && v.PsExecOptions.empty();
}

// The account as the command line gets it: the domain with its backslash, the user, the password.
std::vector<std::string> AccountParts(const TJobVariables& v)
{
    return {v.DomainPart, v.UserPart, v.PasswordPart};
}

struct Refusal {
    const char* text;
    JobField focus;
};

// Runs the input stage and checks that it stopped with exactly one box, the focus move and
// nothing filled.
void ExpectRefused(FakeJobForm& form, const Refusal& expected)
{
    TJobVariables vars;
    CollectData(form, vars);
    EXPECT_TRUE(vars.StopRun);
    ASSERT_EQ(form.warnings.size(), 1u);
    EXPECT_EQ(form.warnings[0], expected.text);
    EXPECT_EQ(form.focusMoves, std::vector<JobField>{expected.focus});
    EXPECT_TRUE(form.confirmations.empty());
    EXPECT_TRUE(AllTextsEmpty(vars));
    EXPECT_FALSE(vars.CurrentAccount);
    EXPECT_FALSE(vars.UninstallMode);
}

TJobVariables Collect(FakeJobForm& form)
{
    TJobVariables vars;
    CollectData(form, vars);
    return vars;
}

} // namespace

TEST(CollectData, TestsRunInOrderAndTheFirstFailureWins)
{
    // Each step breaks one more thing than the valid input; the earliest broken one must speak.
    FakeJobForm empty;
    empty.fields[JobField::edt2] = "bad";
    ExpectRefused(empty, {"You must select a distribution list file !", JobField::edt1});

    FakeJobForm missingList;
    missingList.FillValid();
    missingList.existingFiles.clear();
    missingList.fields[JobField::edt2] = "C:\\not\\unc.exe";
    ExpectRefused(missingList, {"The distribution list file doesn't exists !", JobField::edt1});

    FakeJobForm noPackage;
    noPackage.FillValid();
    noPackage.fields[JobField::edt2] = "";
    ExpectRefused(noPackage, {"You must select a package to distribute !", JobField::edt2});

    for (const char* notUnc : {"C:\\share\\install.msi", "\\Server\\install.msi", "//Server/share/install.msi", "\\"}) {
        FakeJobForm form;
        form.FillValid();
        form.fields[JobField::edt2] = notUnc;
        ExpectRefused(form, {"Package must be in a UNC path !", JobField::edt2});
    }

    for (const char* notMsi : {"\\\\Server\\share\\install.MSI", "\\\\Server\\share\\setup.exe", "\\\\", "\\\\ms"}) {
        FakeJobForm form;
        form.FillValid();
        form.fields[JobField::edt2] = notMsi;
        ExpectRefused(form, {"Package must be an msi ro msp file !", JobField::edt2});
    }

    FakeJobForm missingPackage;
    missingPackage.FillValid();
    missingPackage.existingFiles.erase(missingPackage.fields[JobField::edt2]);
    ExpectRefused(missingPackage, {"The package file doesn't exists !", JobField::edt2});
}

TEST(CollectData, PackageEndingNeedsNoDotAndTakesMsp)
{
    for (const char* package : {"\\\\Server\\share\\setupmsi", "\\\\Server\\share\\patch.msp"}) {
        FakeJobForm form;
        form.FillValid();
        form.fields[JobField::edt2] = package;
        form.existingFiles.insert(package);
        const auto vars = Collect(form);
        EXPECT_FALSE(vars.StopRun) << package;
        EXPECT_EQ(vars.PackageArg, std::string("\"") + package + "\"");
    }
}

TEST(CollectData, CurrentAccountNeedsAllThreeEmptyAndAnOk)
{
    FakeJobForm declined;
    declined.FillValid();
    declined.fields[JobField::edt3] = declined.fields[JobField::edt4] = declined.fields[JobField::edt5] = "";
    declined.confirmAnswer = false;
    const auto stopped = Collect(declined);
    EXPECT_TRUE(stopped.StopRun);
    EXPECT_EQ(declined.confirmations,
        std::vector<std::string>{"Process will run distribiution with your existing account, continue ?"});
    EXPECT_TRUE(declined.warnings.empty());
    EXPECT_TRUE(declined.focusMoves.empty());
    EXPECT_TRUE(AllTextsEmpty(stopped));
    EXPECT_FALSE(stopped.CurrentAccount);

    FakeJobForm agreed = declined;
    agreed.confirmations.clear();
    agreed.confirmAnswer = true;
    const auto current = Collect(agreed);
    EXPECT_FALSE(current.StopRun);
    EXPECT_TRUE(current.CurrentAccount);
    EXPECT_EQ(agreed.confirmations.size(), 1u);
    EXPECT_EQ(AccountParts(current), (std::vector<std::string>{"", "", ""}));

    // A job that only gets written down asks nothing: no run would use the account.
    FakeJobForm unasked = declined;
    unasked.confirmations.clear();
    TJobVariables written;
    EXPECT_TRUE(CollectData(unasked, written, TAccountQuestion::None).has_value());
    EXPECT_TRUE(unasked.confirmations.empty());
    EXPECT_TRUE(written.CurrentAccount);

    const auto withOnly = [&](JobField field, const std::string& text) {
        FakeJobForm form = declined;
        form.confirmations.clear();
        form.fields[field] = text;
        const auto collected = Collect(form);
        EXPECT_TRUE(form.confirmations.empty()) << text;
        EXPECT_FALSE(collected.CurrentAccount) << text;
        return collected;
    };
    // A lone blank in the domain is text, and it keeps its backslash.
    const auto blank = withOnly(JobField::edt3, " ");
    EXPECT_FALSE(blank.StopRun);
    EXPECT_EQ(blank.DomainPart, " \\");

    const auto user = withOnly(JobField::edt4, "deploy");
    EXPECT_EQ(AccountParts(user), (std::vector<std::string>{"", "deploy", ""}));
}

TEST(CollectData, FillsTextsExactlyAsTyped)
{
    FakeJobForm form;
    form.FillValid();
    form.fields[JobField::edt1] = " C:\\My Lists\\t.txt ";
    form.fields[JobField::edt5] = " pass word\" ";
    form.existingFiles.insert(form.fields[JobField::edt1]);
    const auto vars = Collect(form);
    EXPECT_EQ(vars.ListFileArg, "\"@ C:\\My Lists\\t.txt \"");
    EXPECT_EQ(vars.PackageArg, "\"\\\\Server\\share\\install.msi\"");
    EXPECT_EQ(AccountParts(vars), (std::vector<std::string>{"CORP\\", "deploy", " pass word\" "}));
}

TEST(CollectData, SwitchesFollowTheCheckBoxesInOrder)
{
    FakeJobForm form;
    form.FillValid();
    const auto plain = Collect(form);
    EXPECT_EQ(plain.MsiOptions, " /qn");
    EXPECT_EQ(plain.PsExecOptions, "");
    EXPECT_FALSE(plain.UninstallMode);

    form.checked = {JobCheck::chk7, JobCheck::chk6, JobCheck::chk5, JobCheck::chk4, JobCheck::chk3, JobCheck::chk2,
        JobCheck::chk1};
    form.fields[JobField::edt6] = "0";
    const auto full = Collect(form);
    EXPECT_EQ(full.MsiOptions, " /qn /promptrestart /forcerestart");
    EXPECT_EQ(full.PsExecOptions, " -e -d -n 0");
    EXPECT_TRUE(full.UninstallMode);

    form.checked.clear();
    form.fields[JobField::edt6] = "15";
    const auto none = Collect(form);
    EXPECT_EQ(none.MsiOptions, "");
    EXPECT_EQ(none.PsExecOptions, "");
    EXPECT_EQ(form.fields[JobField::edt6], "15");
}

TEST(CollectData, EmptyTimeoutBecomesThreeInTheFieldToo)
{
    FakeJobForm form;
    form.FillValid();
    form.checked.insert(JobCheck::chk6);
    const auto vars = Collect(form);
    EXPECT_EQ(vars.PsExecOptions, " -n 3");
    EXPECT_EQ(form.fields[JobField::edt6], "3");

    // A refused job never touches the timeout field.
    FakeJobForm refused;
    refused.checked.insert(JobCheck::chk6);
    Collect(refused);
    EXPECT_EQ(refused.fields[JobField::edt6], "");
}

TEST(ResetJobVariables, ClearsEveryTextAndFlag)
{
    FakeJobForm form;
    form.FillValid();
    form.checked = {JobCheck::chk1, JobCheck::chk4, JobCheck::chk7};
    TJobVariables vars = Collect(form);
    vars.StopRun = vars.CurrentAccount = true;
    ResetJobVariables(vars);
    EXPECT_TRUE(AllTextsEmpty(vars));
    EXPECT_FALSE(vars.StopRun);
    EXPECT_FALSE(vars.CurrentAccount);
    EXPECT_FALSE(vars.UninstallMode);
}

namespace {

std::optional<std::string> RefusalOf(const std::string& list, int atATime = 2, bool skipNotAnswering = false)
{
    TJob job;
    job.Computers = TComputerList(list);
    job.AtATime = atATime;
    job.SkipNotAnswering = skipNotAnswering;
    return ComputersRefusal(job);
}

} // namespace

TEST(ComputersRefusal, AJobPerComputerTakesOnlyListsOfSingleComputerNames)
{
    for (const char* one : {"PC-01", "\\\\pc_02", "  srv.corp.example.com.  ", "10.0.0.7", "fe80::1", "\xC3\x91" "AND\xC3\x9A-01",
                            "a23456789012345678901234567890123456789012345678901234567890123"})
        EXPECT_TRUE(IsOneComputerName(one)) << one;
    for (const char* notOne : {"PC-F,PC-G", "PC C", "PC;D", "\"PC-E\"", "# comment", "\\\\\\PC", "a..b", ".pc", "PC/1",
                               "a234567890123456789012345678901234567890123456789012345678901234"})
        EXPECT_FALSE(IsOneComputerName(notOne)) << notOne;
    std::string labels;
    for (int i = 0; i < 25; ++i)
        labels += "abcdefghi.";
    EXPECT_TRUE(IsOneComputerName(labels + "abc"));    // 253 bytes
    EXPECT_FALSE(IsOneComputerName(labels + "abcd"));  // 254

    EXPECT_EQ(RefusalOf(" \r\n\\\\\r\n"), JobText::NoComputers);
    EXPECT_EQ(RefusalOf("PC-A\r\nPC-B\r\n"), std::nullopt);
    EXPECT_EQ(RefusalOf("PC-A\r\nPC-F,PC-G\r\nPC C\r\n"),
              std::string(JobText::NotOneComputerEach) + "\n\"PC-F,PC-G\"\n\"PC C\"");
    // The whole list goes to the tool as it is; the check gives each bad line a result of its own.
    EXPECT_EQ(RefusalOf("PC-A\r\nPC C\r\n", 1), std::nullopt);
    EXPECT_EQ(RefusalOf("PC-A\r\nPC C\r\n", 1, true), std::nullopt);
    EXPECT_EQ(RefusalOf(" \r\n", 1, true), JobText::NoComputers);
    std::string many;
    for (int i = 0; i < 23; ++i)
        many += "PC " + std::to_string(i) + "\n";
    const std::string refusal = *RefusalOf(many);
    EXPECT_TRUE(refusal.ends_with("\n\"PC 19\"\nand 3 more")) << refusal;
}
