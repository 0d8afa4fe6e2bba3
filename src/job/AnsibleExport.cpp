#include "AnsibleExport.h"

#include "job/ComputerList.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail)
{
    if (text.size() < tail.size())
        return false;
    const auto sameLetter = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    return std::equal(tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()), sameLetter);
}

bool IsControl(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code < 0x20 || code == 0x7F;
}

std::string HexEscape(char c)
{
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
    return escaped;
}

// Between quote characters, with the quote, the backslash and control characters escaped by a
// backslash: the form both YAML's double quotes and a Python literal read.
std::string BackslashQuoted(std::string_view text, char quote)
{
    std::string quoted(1, quote);
    for (char c : text) {
        if (c == quote || c == '\\')
            quoted += std::string("\\") + c;
        else if (IsControl(c))
            quoted += HexEscape(c);
        else
            quoted += c;
    }
    return quoted + quote;
}

bool AllOf(std::string_view text, const char* allowed)
{
    return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The connection account as Windows writes it; empty when no user name was given.
std::string Account(const TJob& job)
{
    if (job.User.empty())
        return {};
    return job.Domain.empty() ? job.User : job.Domain + "\\" + job.User;
}

// The timeout in whole seconds, when the field holds a number that WinRM can use.
std::optional<std::string> TimeoutSeconds(const TJob& job)
{
    if (!job.Timeout || !AllOf(*job.Timeout, "0123456789"))
        return std::nullopt;
    const std::size_t first = job.Timeout->find_first_not_of('0');
    if (first == std::string::npos)
        return std::nullopt;
    return job.Timeout->substr(first);
}

bool NeedsProvider(const TJob& job)
{
    // win_package tells the kind by the extension; a name without one needs to be told.
    return !EndsWithNoCase(job.PackagePath, ".msi") && !EndsWithNoCase(job.PackagePath, ".msp");
}

std::string Inventory(const TJob& job, const std::vector<std::string>& hosts)
{
    std::string text = "# Written by Vantrel: the computers of the distribution list, each once, reached over\n"
                       "# WinRM (HTTPS on port 5986, NTLM).\n"
                       "[targets]\n";
    for (const std::string& host : hosts)
        text += host + "\n";
    text += "\n[targets:vars]\n"
            "ansible_connection=winrm\n"
            "ansible_port=5986\n"
            "ansible_winrm_scheme=https\n"
            "ansible_winrm_transport=ntlm\n";
    const std::string account = Account(job);
    if (account.empty()) {
        text += "# No account was given in Vantrel: name the one to connect with and to read the share with.\n"
                "# ansible_user='DOMAIN\\\\user'\n"
                "# ansible_become_user='DOMAIN\\\\user'\n";
    } else {
        text += "ansible_user=" + InventoryValue(account) + "\n";
        text += "ansible_become_user=" + InventoryValue(account) + "\n";
    }
    return text;
}

std::string Playbook(const TJob& job, const std::optional<std::string>& productCode)
{
    const std::string verb = job.Uninstall ? "Uninstall " : "Install ";
    const std::string title = YamlScalar(verb + FileNameOf(job.PackagePath));
    std::string text = "# Written by Vantrel. Run it with:\n"
                       "#   " + std::string(AnsibleText::RunCommand) + "\n"
                       "- name: " + title + "\n"
                       "  hosts: targets\n"
                       "  gather_facts: false\n";
    if (const auto timeout = TimeoutSeconds(job))
        text += "  vars:\n"
                "    ansible_winrm_connection_timeout: " + *timeout + "\n";
    text += "  tasks:\n"
            "    - name: " + title + "\n"
            "      ansible.windows.win_package:\n"
            "        path: " + YamlScalar(job.PackagePath) + "\n";
    if (productCode)
        text += "        product_id: " + YamlScalar(*productCode) + "\n";
    if (NeedsProvider(job))
        text += std::string("        provider: ") + (IsPatchPackage(job.PackagePath) ? "msp" : "msi") + "\n";
    text += std::string("        state: ") + (job.Uninstall ? "absent" : "present") + "\n"
            "        expected_return_code: [0, 1641, 3010]\n"
            "      become: true\n"
            "      become_method: runas\n"
            "      become_flags: logon_type=new_credentials logon_flags=netcredentials_only\n";
    if (job.ForceRestart)
        text += "      register: package_result\n"
                "\n"
                "    - name: Restart when the package asks for it\n"
                "      ansible.windows.win_reboot:\n"
                "      when: package_result.reboot_required\n";
    return text;
}

// How each of the window's switches carries over: what has a counterpart, and what has none.
void SwitchNotes(const TJob& job, std::vector<std::string>& carried, std::vector<std::string>& missing)
{
    if (job.Silent)
        carried.push_back("\"No UI on remote machine\" (/qn): win_package always runs msiexec that way.");
    else
        missing.push_back("\"No UI on remote machine\" was cleared, but win_package always runs msiexec without a\n"
                          "    user interface (/qn).");
    if (job.PromptRestart)
        missing.push_back("\"Prompt user for restart if necessary\" (/promptrestart): nobody sees a prompt in a\n"
                          "    WinRM session, and win_package adds /norestart. A restart the package asks for is\n"
                          "    reported as reboot_required.");
    if (job.ForceRestart)
        carried.push_back("\"Force restart after installation\" (/forcerestart): the play restarts a computer\n"
                          "    (win_reboot) when the package asks for a restart; one whose package does not ask\n"
                          "    is left running.");
    if (job.NoProfile)
        missing.push_back("\"Don't load the specified account's profile\" (-e): the WinRM connection decides that.");
    if (job.NoWait)
        missing.push_back("\"Don't wait for process to terminate\" (-d): Ansible waits for each computer's result.");
    if (job.Timeout) {
        if (const auto timeout = TimeoutSeconds(job))
            carried.push_back("\"Timeout (seconds) connecting to target\" (-n " + *job.Timeout +
                              "): ansible_winrm_connection_timeout: " + *timeout + " in deploy.yml.");
        else
            missing.push_back("\"Timeout (seconds) connecting to target\" (-n " + *job.Timeout +
                              "): WinRM takes no such timeout, so Ansible's default applies.");
    }
}

std::string Bullets(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += "  - " + line + "\n";
    return text;
}

std::string Readme(const TJob& job, const std::optional<std::string>& productCode, std::size_t computers)
{
    const std::string account = Account(job);
    std::string text = "The same job for Ansible, written by Vantrel\n"
                       "=============================================\n\n";
    text += std::string(job.Uninstall ? "Uninstalls " : "Installs ") + job.PackagePath + " on the " +
            std::to_string(computers) + (computers == 1 ? " computer" : " computers") +
            " of inventory.ini with the\n"
            "ansible.windows collection (win_package over WinRM). Run it from a host that has Ansible and\n"
            "the collection, in this folder:\n\n"
            "    " + AnsibleText::RunCommand + "\n\n";
    if (account.empty())
        text += "No account was given in Vantrel: in inventory.ini, remove the \"# \" before ansible_user and\n"
                "ansible_become_user and name the account there.\n";
    else
        text += "The account is " + account + ".\n";
    text += "Ansible asks for its password twice: to connect (WinRM, NTLM over HTTPS on port 5986) and to\n"
            "read the package from the share on each computer (become with runas, network credentials\n"
            "only). No password is written to any of these files. The computers' WinRM certificates are\n"
            "checked; for self-signed ones, add ansible_winrm_server_cert_validation=ignore to\n"
            "[targets:vars] in inventory.ini.\n\n";
    if (productCode)
        text += std::string(IsPatchPackage(job.PackagePath) ? "Patch code" : "Product code") +
                " read from the package: " + *productCode + "\n\n";
    else
        text += "The package could not be read for its product code, so the task has no product_id: win_package\n"
                "reads the package on each computer and cannot tell beforehand whether it is installed.\n\n";
    text += "More computers at once\n"
            "  Ansible works on 5 computers at a time. Raise that for one run:\n"
            "    " + std::string(AnsibleText::RunCommand) + " --forks 50\n"
            "  or for every run, in ansible.cfg beside deploy.yml:\n"
            "    [defaults]\n"
            "    forks = 50\n"
            "  To go through a large fleet in batches, add \"serial: 100\" to the play in deploy.yml.\n\n"
            "Keeping the password in a vault instead of typing it\n"
            "  ansible-vault create secrets.yml\n"
            "  and put these two lines into it:\n"
            "    ansible_password: the password\n"
            "    ansible_become_password: the password\n"
            "  then run:\n"
            "    ansible-playbook -i inventory.ini deploy.yml -e @secrets.yml --ask-vault-pass\n\n";
    std::vector<std::string> carried, missing;
    SwitchNotes(job, carried, missing);
    if (!carried.empty())
        text += "How the window's switches carry over\n" + Bullets(carried) + "\n";
    text += "Switches of the window without a counterpart here\n";
    text += missing.empty() ? "  none.\n" : Bullets(missing);
    return text;
}

} // namespace

bool IsPatchPackage(const std::string& packagePath)
{
    return packagePath.ends_with("msp");
}

std::string YamlScalar(std::string_view text)
{
    if (std::none_of(text.begin(), text.end(), IsControl)) {
        std::string quoted = "'";
        for (char c : text)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        return quoted + "'";
    }
    return BackslashQuoted(text, '"');
}

std::string InventoryValue(std::string_view text)
{
    // Ansible reads a value as a Python literal when it can: quoting makes "123" or "True" stay text.
    return BackslashQuoted(text, '\'');
}

std::optional<std::string> InventoryHostName(std::string_view computer)
{
    while (!computer.empty() && computer.front() == '\\')
        computer.remove_prefix(1);
    const bool hostName = AllOf(computer, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_");
    const bool ipv6 = AllOf(computer, "0123456789abcdefABCDEF:") && std::count(computer.begin(), computer.end(), ':') >= 2;
    if (!hostName && !ipv6)
        return std::nullopt;
    return std::string(computer);
}

TAnsibleExport ComposeAnsibleExport(const TJob& job, const std::optional<std::string>& productCode)
{
    TAnsibleExport result;
    if (job.Computers.Empty()) {
        result.Refusal = AnsibleText::NoComputers;
        return result;
    }
    std::vector<std::string> hosts;
    std::vector<std::string> refused;
    for (const std::string& computer : job.Computers.Names()) {
        const auto host = IsOneComputerName(computer) ? InventoryHostName(computer) : std::nullopt;
        if (host)
            hosts.push_back(*host);
        else
            refused.push_back(computer);
    }
    if (!refused.empty()) {
        result.Refusal = AnsibleText::UnreachableNames + NameLines(refused);
        return result;
    }
    if (!productCode) {
        if (job.Uninstall) {
            result.Refusal = AnsibleText::NoProductCodeForUninstall;
            return result;
        }
        result.Warning = AnsibleText::NoProductCodeForInstall;
    }
    result.Files = {{AnsibleText::InventoryFile, Inventory(job, hosts)},
                    {AnsibleText::PlaybookFile, Playbook(job, productCode)},
                    {AnsibleText::ReadmeFile, Readme(job, productCode, hosts.size())}};
    return result;
}

std::string ExportReport(const TJob& job, const std::string& folder)
{
    std::string text = "The job for Ansible was written to " + folder + ": " + AnsibleText::InventoryFile + ", " +
                       AnsibleText::PlaybookFile + " and " + AnsibleText::ReadmeFile + ".\n\n";
    if (Account(job).empty())
        text += std::string(AnsibleText::AccountFirst) + " Then run it with:\n";
    else
        text += "Run it with:\n";
    return text + AnsibleText::RunCommand;
}
