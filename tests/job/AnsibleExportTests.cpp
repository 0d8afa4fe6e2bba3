#include "FakeJobForm.h"

#include "job/AnsibleExport.h"
#include "job/CollectData.h"
#include "job/ComputerList.h"
#include "support/TestText.h"

#include <gtest/gtest.h>

namespace {

const std::string kCode = "{6F1C9A52-3B7D-4E8A-9C1F-2D4B6A8E0F13}";

std::string FileText(const TAnsibleExport& exported, const std::string& name)
{
    for (const TExportFile& file : exported.Files)
        if (file.Name == name)
            return file.Text;
    ADD_FAILURE() << "no " << name;
    return {};
}

// The lines of the [targets] group.
std::vector<std::string> InventoryHosts(const std::string& inventory)
{
    std::vector<std::string> hosts;
    std::size_t at = inventory.find("[targets]\n");
    if (at == std::string::npos)
        return hosts;
    at += 10;
    for (std::size_t end; (end = inventory.find('\n', at)) != std::string::npos && end > at; at = end + 1)
        hosts.push_back(inventory.substr(at, end - at));
    return hosts;
}

TJob JobOf(FakeJobForm& form, const std::string& list = "PC-LAB-01\r\nPC-LAB-02\r\n")
{
    TJob job = JobFrom(form);
    job.Computers = TComputerList(list);
    return job;
}

TAnsibleExport Export(const TJob& job)
{
    return ComposeAnsibleExport(job, kCode);
}

FakeJobForm ValidForm()
{
    FakeJobForm form;
    form.FillValid();
    form.fields[JobField::edt5] = "Pa55-w0rd!";
    return form;
}

TEST(AnsibleExport, TheListsComputersAreTrimmedAndEachWrittenOnceInTheFilesOrder)
{
    FakeJobForm form = ValidForm();
    const std::string list = "\xEF\xBB\xBF  PC-LAB-01 \r\n\r\n\\\\pc-lab-02\n\tpc-lab-01\r10.0.0.7\nfe80::1\n\\\\\nPC-LAB-02 \n";
    const TAnsibleExport exported = Export(JobOf(form, list));
    ASSERT_EQ(exported.Refusal, "");
    EXPECT_EQ(InventoryHosts(FileText(exported, "inventory.ini")),
              (std::vector<std::string>{"PC-LAB-01", "pc-lab-02", "10.0.0.7", "fe80::1"}));
    EXPECT_TRUE(Contains(FileText(exported, "README.txt"), "on the 4 computers of inventory.ini"));
}

TEST(AnsibleExport, ListsWithoutAComputerOrWithANameAnsibleCannotTakeAreRefused)
{
    FakeJobForm form = ValidForm();
    EXPECT_EQ(Export(JobOf(form, " \r\n\\\\\r\n")).Refusal, AnsibleText::NoComputers);
    // Every name at fault is named at once, whether no computer may have it or only Ansible refuses it.
    const TAnsibleExport exported =
        Export(JobOf(form, "PC-OK\nPC 01\nPC#1\nsrv:5986\nPC[1:3]\ncaf\xE9\na=b\nPC-F,PC-G\n\"PC-E\"\n"));
    EXPECT_EQ(exported.Refusal, std::string(AnsibleText::UnreachableNames) +
                                    "\n\"PC 01\"\n\"PC#1\"\n\"srv:5986\"\n\"PC[1:3]\"\n\"caf\xE9\"\n\"a=b\"\n"
                                    "\"PC-F,PC-G\"\n\"\"PC-E\"\"");
    EXPECT_TRUE(exported.Files.empty());
}

TEST(AnsibleExport, InstallAndUninstallDifferInTheStateAndTheTitleOnly)
{
    FakeJobForm form = ValidForm();
    const std::string install = FileText(Export(JobOf(form)), "deploy.yml");
    form.checked.insert(JobCheck::chk7);
    const std::string uninstall = FileText(Export(JobOf(form)), "deploy.yml");

    EXPECT_EQ(install,
              "# Written by Vantrel. Run it with:\n"
              "#   ansible-playbook -i inventory.ini deploy.yml --ask-pass --ask-become-pass\n"
              "- name: 'Install install.msi'\n"
              "  hosts: targets\n"
              "  gather_facts: false\n"
              "  tasks:\n"
              "    - name: 'Install install.msi'\n"
              "      ansible.windows.win_package:\n"
              "        path: '\\\\Server\\share\\install.msi'\n"
              "        product_id: '" + kCode + "'\n"
              "        state: present\n"
              "        expected_return_code: [0, 1641, 3010]\n"
              "      become: true\n"
              "      become_method: runas\n"
              "      become_flags: logon_type=new_credentials logon_flags=netcredentials_only\n");
    std::string expected = install;
    expected.replace(expected.find("'Install"), 8, "'Uninstall");
    expected.replace(expected.find("'Install"), 8, "'Uninstall");
    expected.replace(expected.find("state: present"), 14, "state: absent");
    EXPECT_EQ(uninstall, expected);
}

TEST(AnsibleExport, WithoutAProductCodeAnInstallIsWrittenWithAWarningAndAnUninstallRefused)
{
    FakeJobForm form = ValidForm();
    TJob job = JobOf(form, "PC-LAB-01\n");
    TAnsibleExport install = ComposeAnsibleExport(job, std::nullopt);
    EXPECT_EQ(install.Refusal, "");
    EXPECT_EQ(install.Warning, AnsibleText::NoProductCodeForInstall);
    EXPECT_FALSE(Contains(FileText(install, "deploy.yml"), "product_id"));
    EXPECT_TRUE(Contains(FileText(install, "README.txt"), "could not be read for its product code"));

    job.Uninstall = true;
    const TAnsibleExport uninstall = ComposeAnsibleExport(job, std::nullopt);
    EXPECT_EQ(uninstall.Refusal, AnsibleText::NoProductCodeForUninstall);
    EXPECT_TRUE(uninstall.Files.empty());
}

TEST(AnsibleExport, TheAccountGoesIntoTheInventoryQuotedAndNeverThePassword)
{
    FakeJobForm form = ValidForm();
    form.fields[JobField::edt3] = "CORP";
    form.fields[JobField::edt4] = "o'neil";
    const TAnsibleExport exported = Export(JobOf(form));
    const std::string inventory = FileText(exported, "inventory.ini");
    EXPECT_TRUE(Contains(inventory, "\nansible_user='CORP\\\\o\\'neil'\nansible_become_user='CORP\\\\o\\'neil'\n"))
        << inventory;
    EXPECT_TRUE(Contains(inventory, "ansible_connection=winrm\nansible_port=5986\n"));
    EXPECT_TRUE(Contains(inventory, "ansible_winrm_transport=ntlm\n"));
    EXPECT_TRUE(Contains(FileText(exported, "README.txt"), "The account is CORP\\o'neil."));

    form.fields[JobField::edt3] = "";
    form.fields[JobField::edt4] = "1234";
    EXPECT_TRUE(Contains(FileText(Export(JobOf(form)), "inventory.ini"), "\nansible_user='1234'\n"))
        << "a user without a domain stays text, not a number";

    form.fields[JobField::edt4] = "";
    const std::string noAccount = FileText(Export(JobOf(form)), "inventory.ini");
    EXPECT_FALSE(Contains(noAccount, "\nansible_user=")) << "only a commented example";
    EXPECT_TRUE(Contains(noAccount, "# ansible_user='DOMAIN\\\\user'\n"));
    EXPECT_TRUE(Contains(ExportReport(JobOf(form), "C:\\out"),
                         "\n\nNo account was given: set ansible_user (and ansible_become_user) in inventory.ini "
                         "before the play can run. Then run it with:\n"));

    // Every switch, an account and each kind of job: the password reaches no file.
    form.fields[JobField::edt3] = "DOM";
    form.fields[JobField::edt4] = "deploy";
    form.fields[JobField::edt5] = "Zq9#s3cr'et";
    form.checked = {JobCheck::chk1, JobCheck::chk2, JobCheck::chk3, JobCheck::chk4, JobCheck::chk5, JobCheck::chk6};
    for (bool uninstall : {false, true}) {
        TJob job = JobOf(form);
        job.Uninstall = uninstall;
        for (const TExportFile& file : Export(job).Files) {
            EXPECT_FALSE(Contains(file.Text, "Zq9#s3cr")) << file.Name;
            EXPECT_FALSE(Contains(file.Text, YamlScalar("Zq9#s3cr'et"))) << file.Name;
        }
    }
}

TEST(AnsibleExport, ForceRestartAddsARestartOnlyWhenThePackageAsksForOne)
{
    FakeJobForm form = ValidForm();
    EXPECT_FALSE(Contains(FileText(Export(JobOf(form)), "deploy.yml"), "win_reboot"));
    form.checked.insert(JobCheck::chk3);
    const std::string playbook = FileText(Export(JobOf(form)), "deploy.yml");
    EXPECT_TRUE(Contains(playbook, "      register: package_result\n\n"
                                   "    - name: Restart when the package asks for it\n"
                                   "      ansible.windows.win_reboot:\n"
                                   "      when: package_result.reboot_required\n"))
        << playbook;
}

TEST(AnsibleExport, TheTimeoutBecomesTheConnectionTimeoutWhenWinRmCanUseIt)
{
    FakeJobForm form = ValidForm();
    form.checked.insert(JobCheck::chk6);
    for (const auto& [typed, written] : std::vector<std::pair<std::string, std::string>>{{"3", "3"}, {"07", "7"}, {"45", "45"}}) {
        form.fields[JobField::edt6] = typed;
        const TAnsibleExport exported = Export(JobOf(form));
        EXPECT_TRUE(Contains(FileText(exported, "deploy.yml"),
                             "  gather_facts: false\n  vars:\n    ansible_winrm_connection_timeout: " + written + "\n  tasks:\n"))
            << typed;
        EXPECT_TRUE(Contains(FileText(exported, "README.txt"), "(-n " + typed + "): ansible_winrm_connection_timeout"));
    }
    form.fields[JobField::edt6] = "00";
    const TAnsibleExport zero = Export(JobOf(form));
    EXPECT_FALSE(Contains(FileText(zero, "deploy.yml"), "vars:"));
    EXPECT_TRUE(Contains(FileText(zero, "README.txt"), "(-n 00): WinRM takes no such timeout"));

    form.checked.erase(JobCheck::chk6);
    form.fields[JobField::edt6] = "9";
    EXPECT_FALSE(Contains(FileText(Export(JobOf(form)), "deploy.yml"), "timeout"))
        << "an unchecked timeout is ignored, as Execute ignores it";
}

TEST(AnsibleExport, TheReadmeNamesTheSwitchesThatHaveNoCounterpart)
{
    FakeJobForm form = ValidForm();
    const std::string defaults = FileText(Export(JobOf(form)), "README.txt");
    EXPECT_TRUE(Contains(defaults, "Switches of the window without a counterpart here\n  none.\n")) << defaults;
    EXPECT_TRUE(Contains(defaults, "    ansible-playbook -i inventory.ini deploy.yml --ask-pass --ask-become-pass\n"));
    EXPECT_TRUE(Contains(defaults, "--forks 50"));
    EXPECT_TRUE(Contains(defaults, "ansible-vault create"));
    EXPECT_TRUE(Contains(defaults, "Product code read from the package: " + kCode));

    form.checked = {JobCheck::chk2, JobCheck::chk4, JobCheck::chk5};
    const std::string readme = FileText(Export(JobOf(form)), "README.txt");
    const std::string missing = readme.substr(readme.find("without a counterpart here\n"));
    for (const char* name : {"\"No UI on remote machine\" was cleared", "\"Prompt user for restart if necessary\"",
                             "\"Don't load the specified account's profile\"", "\"Don't wait for process to terminate\""})
        EXPECT_TRUE(Contains(missing, std::string("  - ") + name)) << name << "\n" << readme;
    EXPECT_FALSE(Contains(readme, "Force restart"));
}

TEST(AnsibleExport, PathsAndNamesAreQuotedSoThatAnsibleReadsThemBackExactly)
{
    EXPECT_EQ(YamlScalar("\\\\srv\\share\\it's.msi"), "'\\\\srv\\share\\it''s.msi'");
    EXPECT_EQ(YamlScalar("a\tb\"\\"), "\"a\\x09b\\\"\\\\\"");
    EXPECT_EQ(YamlScalar("yes"), "'yes'");
    EXPECT_EQ(InventoryValue("CORP\\new'"), "'CORP\\\\new\\''");
    EXPECT_EQ(InventoryValue("a\x01"), "'a\\x01'");
    EXPECT_EQ(InventoryHostName("\\\\PC-01"), std::optional<std::string>("PC-01"));
    EXPECT_EQ(InventoryHostName("fe80:1"), std::nullopt) << "one colon is a port, not an address";

    FakeJobForm form = ValidForm();
    form.fields[JobField::edt2] = "\\\\srv\\o'share\\setupmsp";
    const std::string patch = FileText(Export(JobOf(form)), "deploy.yml");
    EXPECT_TRUE(Contains(patch, "        path: '\\\\srv\\o''share\\setupmsp'\n")) << patch;
    EXPECT_TRUE(Contains(patch, "        provider: msp\n")) << "no extension to tell the kind by";
    EXPECT_TRUE(IsPatchPackage("\\\\srv\\s\\fix.msp"));
    EXPECT_FALSE(IsPatchPackage("\\\\srv\\s\\fix.msi"));
}

} // namespace
