#include "FakeJobForm.h"

#include "job/CommandLine.h"
#include "toolkit/CommandLineArgs.h"

#include <gtest/gtest.h>

namespace {

// The worked examples' fields: list C:\Lists\targets.txt, package \\Server\share\install.msi.
FakeJobForm ExampleForm(bool withCredentials, const std::string& password)
{
    FakeJobForm form;
    form.FillValid();
    if (withCredentials) {
        form.fields[JobField::edt5] = password;
    } else {
        form.fields[JobField::edt3] = form.fields[JobField::edt4] = form.fields[JobField::edt5] = "";
    }
    form.checked.clear();
    return form;
}

std::string Compose(FakeJobForm& form)
{
    TJobVariables vars;
    CollectData(form, vars);
    EXPECT_FALSE(vars.StopRun);
    return ComposeCommandLine(vars);
}

} // namespace

TEST(ComposeCommandLine, WorkedExamplesCharacterForCharacter)
{
    for (const std::string password : {"x", "Secr3t!", "p@ss\\word"}) {
        const std::size_t n = password.size();

        auto installCred = ExampleForm(true, password);
        installCred.checked = {JobCheck::chk1, JobCheck::chk4, JobCheck::chk6};
        const auto line1 = Compose(installCred);
        EXPECT_EQ(line1, "Psexec \"@C:\\Lists\\targets.txt\" -u CORP\\deploy -p " + password
                + "  -e -n 3 msiexec /package \"\\\\Server\\share\\install.msi\" /qn");
        EXPECT_EQ(line1.size(), 108 + n);

        auto uninstallCred = ExampleForm(true, password);
        uninstallCred.checked = {JobCheck::chk7, JobCheck::chk5};
        const auto line3 = Compose(uninstallCred);
        EXPECT_EQ(line3, "Psexec \"@C:\\Lists\\targets.txt\" -u CORP\\deploy -p " + password
                + "  -d msiexec /uninstall \"\\\\Server\\share\\install.msi\"");
        EXPECT_EQ(line3.size(), 101 + n);
    }

    auto installCurrent = ExampleForm(false, "");
    installCurrent.checked = {JobCheck::chk1};
    const auto line2 = Compose(installCurrent);
    EXPECT_EQ(line2, "Psexec \"@C:\\Lists\\targets.txt\"  msiexec /package \"\\\\Server\\share\\install.msi\" /qn");
    EXPECT_EQ(line2.size(), 81u);

    auto uninstallCurrent = ExampleForm(false, "");
    uninstallCurrent.checked = {JobCheck::chk7, JobCheck::chk1, JobCheck::chk3};
    const auto line4 = Compose(uninstallCurrent);
    EXPECT_EQ(line4,
        "Psexec \"@C:\\Lists\\targets.txt\"  msiexec /uninstall \"\\\\Server\\share\\install.msi\" /qn /forcerestart");
    EXPECT_EQ(line4.size(), 97u);
}

TEST(ComposeCommandLine, CredentialsReachTheToolAsSingleArguments)
{
    struct Case {
        std::string domain, user, password;
    };
    const Case cases[] = {
        {"", "deploy", ""},                       // an empty password must not let -p swallow the next switch
        {"", "", "only password"},                 // an empty -u value stays an argument
        {"MY CORP", "de ploy", "pa ss"},
        {"CORP", "deploy", "say \"hi\" -s"},       // a typed quote can't open a new argument
        {"CORP", "deploy", "tab\tand trailing\\"},
        {"CORP", "deploy", "\\\"\\\\\""},
    };
    for (const auto& c : cases) {
        auto form = ExampleForm(true, c.password);
        form.fields[JobField::edt3] = c.domain;
        form.fields[JobField::edt4] = c.user;
        form.checked = {JobCheck::chk1, JobCheck::chk4};
        TJobVariables vars;
        CollectData(form, vars);
        ASSERT_FALSE(vars.StopRun);
        EXPECT_EQ(vars.PasswordPart, c.password) << "the variables keep the text as typed";

        const auto args = SplitCommandLine(ComposeCommandLine(vars));
        const std::string expectedUser = c.domain.empty() ? c.user : c.domain + "\\" + c.user;
        const std::vector<std::string> expected = {"Psexec", "@C:\\Lists\\targets.txt", "-u", expectedUser, "-p",
            c.password, "-e", "msiexec", "/package", "\\\\Server\\share\\install.msi", "/qn"};
        EXPECT_EQ(args, expected) << c.password;
    }
}

TEST(ComposeComputerCommandLine, OnlyTheListArgumentChangesToTheComputerWithoutTheBanner)
{
    auto form = ExampleForm(true, "pass word");
    form.checked = {JobCheck::chk1, JobCheck::chk4, JobCheck::chk6};
    TJobVariables vars;
    CollectData(form, vars);
    const std::string whole = ComposeCommandLine(vars);
    const std::string tail = whole.substr(whole.find(" -u "));
    EXPECT_EQ(ComposeComputerCommandLine(vars, "PC01"), "Psexec \\\\PC01 -nobanner" + tail);
    EXPECT_EQ(ComposeComputerCommandLine(vars, "\\\\PC01"), "Psexec \\\\PC01 -nobanner" + tail)
        << "a name listed with its backslashes gets no second pair";
    EXPECT_EQ(ComposeComputerCommandLine(vars, "LAB PC"), "Psexec \"\\\\LAB PC\" -nobanner" + tail)
        << "a blank cannot split the name into two arguments";
    EXPECT_EQ(SplitCommandLine(ComposeComputerCommandLine(vars, "PC01"))[6], "pass word");
}
