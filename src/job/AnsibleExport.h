// The same job handed to Ansible: an inventory of the list's computers, a playbook with one
// win_package task and a README, composed from the checked job. No password is ever written.
#pragma once

#include "job/Job.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// True for a package whose code is the patch code of its summary, not a product code.
bool IsPatchPackage(const std::string& packagePath);

struct TExportFile {
    std::string Name;
    std::string Text;
};

struct TAnsibleExport {
    // Empty when the job can be exported; otherwise why not, and Files is empty.
    std::string Refusal;
    // Shown before the files are written, which they still are.
    std::string Warning;
    std::vector<TExportFile> Files;  // inventory.ini, deploy.yml, README.txt
};

// The job's computers must have been read from its list; productCode is what the package says of
// itself (nothing when it could not be read).
TAnsibleExport ComposeAnsibleExport(const TJob& job, const std::optional<std::string>& productCode);

// What the operator is told once the files are in folder: where they are and how to run them,
// and first, for a job without an account, that the inventory must name one.
std::string ExportReport(const TJob& job, const std::string& folder);

namespace AnsibleText {
inline constexpr const char* InventoryFile = "inventory.ini";
inline constexpr const char* PlaybookFile = "deploy.yml";
inline constexpr const char* ReadmeFile = "README.txt";
inline constexpr const char* RunCommand =
    "ansible-playbook -i inventory.ini deploy.yml --ask-pass --ask-become-pass";
inline constexpr const char* AccountFirst =
    "No account was given: set ansible_user (and ansible_become_user) in inventory.ini before the play can run.";
inline constexpr const char* NoComputers =
    "The distribution list file names no computer: there is nothing to export.";
inline constexpr const char* UnreachableNames =
    "These lines of the distribution list file are not computer names that Ansible can reach, so nothing was "
    "exported:";
inline constexpr const char* NoProductCodeForUninstall =
    "The package could not be read for its product code (is the share reachable from this computer?). "
    "Ansible needs the product code to uninstall a package, so nothing was exported.";
inline constexpr const char* NoProductCodeForInstall =
    "The package could not be read for its product code (is the share reachable from this computer?). "
    "The playbook installs it without one, so Ansible cannot tell beforehand whether it is already installed.";
} // namespace AnsibleText

// Quoting for the two file formats, exposed for tests.
// A YAML scalar that reads back as exactly the text: single quotes when they suffice.
std::string YamlScalar(std::string_view text);
// An INI inventory value that Ansible reads back as exactly the text (a quoted literal).
std::string InventoryValue(std::string_view text);
// A name that Ansible's inventory takes as one host: letters, digits, dots, hyphens and
// underscores, or an IPv6 address. A leading "\\" is not part of the name.
std::optional<std::string> InventoryHostName(std::string_view computer);
