// The export for Ansible from the real main window under Wine: the real demo package on a share,
// scripted dialogs, the files as written. check_export.sh runs this and then has Ansible itself
// check what it wrote (VANTREL_EXPORT_DIR), with the package's own product code as msitools
// reads it (VANTREL_DEMO_PRODUCT_CODE).
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <memory>

#include "../MainWindowFixture.h"
#include "job/AnsibleExport.h"
#include "job/CollectData.h"
#include "job/ReadyLine.h"
#include "support/TestText.h"
#include "toolkit/DialogsWin32.h"
#include "toolkit/TextWin32.h"

namespace {

const std::string kPassword = "Zq9#s3cr'et";
const std::string kList = "PC-LAB-01\r\n  pc-lab-02 \r\n\r\n\\\\PC-LAB-01\r\nlocalhost\r\n";

std::string Environment(const char* name)
{
    char value[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The command's entry in the window's system menu: its id and its text.
std::pair<UINT, std::string> ExportMenuItem(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        if (std::string(text).rfind("Export for Ansible", 0) == 0)
            return {GetMenuItemID(menu, i), text};
    }
    return {0, ""};
}

class AnsibleExport : public TMainWindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CopyFileA(WinPath(VANTREL_DEMO_PACKAGE).c_str(), DemoPackage().c_str(), FALSE));
        folder_.Write("fleet.txt", kList);
        readyLine_ = WindowText(Form().stsbr1->Handle());
    }

    void FillJob()
    {
        Form().edt1->SetText(folder_.File("fleet.txt"));
        Form().edt2->SetText(DemoPackage());
        Form().edt3->SetText("CORP");
        Form().edt4->SetText("deploy");
        Form().edt5->SetText(kPassword);
    }

    void PressCtrlE() { PressKey(App(), Form().edt1->Handle(), 'E', {VK_CONTROL}); }

    void ExpectNothingRanAndTheReadyLine()
    {
        EXPECT_FALSE(Form().RunActive());
        EXPECT_TRUE(Form().runner1->CommandLine.empty());
        EXPECT_EQ(WindowText(Form().stsbr1->Handle()), readyLine_);
    }

    // The folder the files go to: the check script's when it gave one, so Ansible can read them.
    std::string ExportFolder(const std::string& job)
    {
        const std::string given = Environment("VANTREL_EXPORT_DIR");
        const std::string folder = given.empty() ? folder_.File(job) : WinPath(given) + "\\" + job;
        std::filesystem::create_directories(folder);
        return folder;
    }

    std::string readyLine_;
};

TEST_F(AnsibleExport, WritesAnInstallAndAnUninstallOfTheRealPackageWithItsOwnProductCode)
{
    const std::string productCode = Environment("VANTREL_DEMO_PRODUCT_CODE");
    ASSERT_EQ(productCode.size(), 38u) << "the check script passes the package's code as msitools reads it";

    FillJob();
    Form().chk3->SetChecked(true);
    Form().chk6->SetChecked(true);
    const std::string install = ExportFolder("install");
    dialogs_.FolderAnswers = {install};
    PressCtrlE();
    ASSERT_EQ(dialogs_.FolderCalls.size(), 1u) << "Ctrl+E exports";
    EXPECT_EQ(Form().edt6->Text(), "3") << "the same default as Execute";
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_TRUE(IsBox(dialogs_.Boxes[0], "Information", TMsgDlgType::mtInformation, install, TTextIs::Within));
    EXPECT_EQ(FilesIn(install), (std::vector<std::string>{"README.txt", "deploy.yml", "inventory.ini"}))
        << "and no temporary file";
    const std::string playbook = ReadFileBytes(install + "\\deploy.yml");
    EXPECT_TRUE(Contains(playbook, "        product_id: '" + productCode + "'\n        state: present\n")) << playbook;
    EXPECT_TRUE(Contains(playbook, "        path: '" + DemoPackage() + "'\n"));
    EXPECT_TRUE(Contains(playbook, "ansible.windows.win_reboot"));
    EXPECT_TRUE(Contains(playbook, "ansible_winrm_connection_timeout: 3\n"));
    const std::string inventory = ReadFileBytes(install + "\\inventory.ini");
    EXPECT_TRUE(Contains(inventory, "[targets]\nPC-LAB-01\npc-lab-02\nlocalhost\n\n")) << inventory;
    EXPECT_TRUE(Contains(inventory, "ansible_user='CORP\\\\deploy'\n"));
    ExpectNothingRanAndTheReadyLine();

    // The uninstall through the system menu, into the folder the dialog now starts in.
    Form().chk7->SetChecked(true);
    const std::string uninstall = ExportFolder("uninstall");
    dialogs_.FolderAnswers = {uninstall};
    const auto [id, text] = ExportMenuItem(Form().Handle());
    EXPECT_EQ(text, "Export for Ansible...\tCtrl+E");
    SendMessageA(Form().Handle(), WM_SYSCOMMAND, id, 0);
    ASSERT_EQ(dialogs_.FolderCalls.size(), 2u);
    EXPECT_EQ(dialogs_.FolderCalls[1].InitialDir, install);
    const std::string removal = ReadFileBytes(uninstall + "\\deploy.yml");
    EXPECT_TRUE(Contains(removal, "        product_id: '" + productCode + "'\n        state: absent\n")) << removal;
    ExpectNothingRanAndTheReadyLine();

    for (const std::string& folder : {install, uninstall})
        for (const std::string& name : FilesIn(folder)) {
            const std::string bytes = ReadFileBytes(folder + "\\" + name);
            EXPECT_FALSE(Contains(bytes, "Zq9#s3cr")) << folder << "\\" << name << " holds the password";
        }
}

TEST_F(AnsibleExport, TheChecksOfExecuteComeFirstAndARefusedJobAsksForNoFolder)
{
    PressCtrlE();
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_EQ(dialogs_.Boxes[0].Text, JobText::NoListFile);
    EXPECT_EQ(GetFocus(), Form().edt1->Handle());
    FillJob();
    Form().edt2->SetText(kShare + "\\missing.msi");
    PressCtrlE();
    ASSERT_EQ(dialogs_.Boxes.size(), 2u);
    EXPECT_EQ(dialogs_.Boxes[1].Text, JobText::PackageMissing);

    // A package that is no installer database: an uninstall cannot be exported, an install can.
    WriteFileBytes(kShare + "\\damaged.msi", "not a package");
    Form().edt2->SetText(kShare + "\\damaged.msi");
    Form().chk7->SetChecked(true);
    PressCtrlE();
    ASSERT_EQ(dialogs_.Boxes.size(), 3u);
    EXPECT_EQ(dialogs_.Boxes[2].Text, AnsibleText::NoProductCodeForUninstall);
    EXPECT_TRUE(dialogs_.FolderCalls.empty());

    Form().chk7->SetChecked(false);
    dialogs_.FolderAnswers = {folder_.Path()};
    PressCtrlE();
    ASSERT_EQ(dialogs_.Boxes.size(), 5u);
    EXPECT_EQ(dialogs_.Boxes[3].Text, AnsibleText::NoProductCodeForInstall);
    EXPECT_FALSE(Contains(ReadFileBytes(folder_.File("deploy.yml")), "product_id"));
    ExpectNothingRanAndTheReadyLine();

    // Without an account nothing asks about running with the operator's own: nothing runs. The
    // report says what the inventory needs first.
    Form().edt2->SetText(DemoPackage());
    for (TEdit* field : {Form().edt3.get(), Form().edt4.get(), Form().edt5.get()})
        field->SetText("");
    dialogs_.FolderAnswers = {folder_.Path()};
    dialogs_.Answers = {TModalResult::mrOk};
    PressCtrlE();
    ASSERT_EQ(dialogs_.Boxes.size(), 7u) << "the replace question and the report only";
    EXPECT_EQ(dialogs_.Boxes[5].Caption, "Confirm");
    EXPECT_TRUE(Contains(dialogs_.Boxes[5].Text, "Replace them?"));
    EXPECT_TRUE(IsBox(dialogs_.Boxes[6], "Information", TMsgDlgType::mtInformation, AnsibleText::AccountFirst,
                      TTextIs::Within));
    ExpectNothingRanAndTheReadyLine();
}

TEST_F(AnsibleExport, ExistingFilesAreReplacedOnlyWhenTheOperatorAgrees)
{
    FillJob();
    folder_.Write("inventory.ini", "old inventory");
    dialogs_.FolderAnswers = {folder_.Path(), folder_.Path()};
    dialogs_.Answers = {TModalResult::mrCancel};
    PressCtrlE();
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_TRUE(IsBox(dialogs_.Boxes[0], "Confirm", TMsgDlgType::mtConfirmation,
                      "These files already exist in " + folder_.Path() + ":\ninventory.ini\n\nReplace them?"));
    EXPECT_EQ(ReadFileBytes(folder_.File("inventory.ini")), "old inventory");
    EXPECT_EQ(GetFileAttributesA(folder_.File("deploy.yml").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing written";

    PressCtrlE();
    ASSERT_EQ(dialogs_.Boxes.size(), 3u) << "the question, then the report";
    EXPECT_TRUE(Contains(ReadFileBytes(folder_.File("inventory.ini")), "[targets]\n"));
    EXPECT_TRUE(Contains(ReadFileBytes(folder_.File("deploy.yml")), "state: present"));
}

TEST_F(AnsibleExport, AFolderThatCannotBeWrittenIsReportedAndGetsNoFile)
{
    FillJob();
    const std::string gone = folder_.File("gone");
    dialogs_.FolderAnswers = {gone};
    PressCtrlE();
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_TRUE(IsBox(dialogs_.Boxes[0], kApplicationTitle, TMsgDlgType::mtError,
                      "Cannot create file \"" + gone + "\\inventory.ini\". ", TTextIs::Beginning));
    EXPECT_EQ(GetFileAttributesA(gone.c_str()), INVALID_FILE_ATTRIBUTES);

    // A name taken by a folder: no file of the three is replaced, and no temporary file is left.
    const std::string locked = folder_.File("locked");
    std::filesystem::create_directories(locked + "\\deploy.yml");
    dialogs_.FolderAnswers = {locked};
    PressCtrlE();
    ASSERT_EQ(dialogs_.Boxes.size(), 2u);
    EXPECT_TRUE(IsBox(dialogs_.Boxes[1], kApplicationTitle, TMsgDlgType::mtError,
                      "Cannot replace file \"" + locked + "\\deploy.yml\". ", TTextIs::Beginning));
    EXPECT_EQ(FilesIn(locked), std::vector<std::string>{"deploy.yml"});
    EXPECT_EQ(WindowText(Form().stsbr1->Handle()), readyLine_);
}

// The platform's folder dialog itself, owned by the main window and closed as soon as it is up.
TEST_F(AnsibleExport, TheFolderDialogIsModalToTheMainWindowAndCentredOnIt)
{
    TScratchFolder start("folder-dialog");
    TFileDialogSettings settings = Form().AnsibleFolderDialog;
    settings.InitialDir = start.Path();
    HWND owner = nullptr;
    bool ownerEnabled = true;
    TBounds at{};
    std::atomic<bool> found{false};
    std::thread answer([&] {
        for (int i = 0; i < 400 && !found; ++i) {
            if (HWND dialog = FindWindowA(nullptr, settings.Title.c_str())) {
                Sleep(300);
                owner = GetWindow(dialog, GW_OWNER);
                ownerEnabled = IsWindowEnabled(Form().Handle()) != FALSE;
                at = ScreenBounds(dialog);
                found = true;
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            }
            Sleep(50);
        }
    });
    // Another window of the program is the active one, in a corner: the dialog still belongs to
    // the main window.
    const HWND stray = CreateWindowExA(0, "STATIC", "stray", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                       nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(stray);
    TWin32Dialogs dialogs;
    dialogs.SetOwner(Form().Handle());
    const std::optional<std::string> chosen = dialogs.ChooseFolder(settings);
    answer.join();
    DestroyWindow(stray);

    ASSERT_TRUE(found) << "the dialog came up with its title";
    EXPECT_EQ(chosen, std::nullopt) << "closing it chooses nothing";
    EXPECT_EQ(owner, Form().Handle());
    EXPECT_FALSE(ownerEnabled) << "the main window takes no input meanwhile";
    const TBounds window = ScreenBounds(Form().Handle());
    EXPECT_NEAR(at.Left + at.Width / 2, window.Left + window.Width / 2, 2);
    EXPECT_NEAR(at.Top + at.Height / 2, window.Top + window.Height / 2, 2);
    EXPECT_TRUE(IsWindowEnabled(Form().Handle()));
}

}  // namespace
