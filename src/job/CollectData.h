// The input stage of a distribution: tests the main window's fields in a fixed order and, when
// they all pass, fills the job variables.
#pragma once

#include "job/Job.h"
#include "job/JobVariables.h"

#include <optional>
#include <string>

enum class JobField { edt1, edt2, edt3, edt4, edt5, edt6 };
enum class JobCheck { chk1, chk2, chk3, chk4, chk5, chk6, chk7 };

// What the input stage needs of the main window. The window implements it over its controls,
// message boxes and the file attribute query; tests script it.
class IJobForm {
public:
    virtual ~IJobForm() = default;
    virtual std::string FieldText(JobField field) = 0;
    virtual void SetFieldText(JobField field, const std::string& text) = 0;
    virtual bool Checked(JobCheck check) = 0;
    virtual void FocusField(JobField field) = 0;
    // A modal warning box with one OK button.
    virtual void ShowWarning(const std::string& text) = 0;
    // A modal confirmation box; true when the operator answers OK.
    virtual bool Confirm(const std::string& text) = 0;
    // True when the path names an existing entry that is not a folder.
    virtual bool FileExists(const std::string& path) = 0;
};

namespace JobText {
inline constexpr const char* NoListFile = "You must select a distribution list file !";
inline constexpr const char* ListFileMissing = "The distribution list file doesn't exists !";
inline constexpr const char* NoPackage = "You must select a package to distribute !";
inline constexpr const char* PackageNotUnc = "Package must be in a UNC path !";
inline constexpr const char* PackageNotMsi = "Package must be an msi ro msp file !";
inline constexpr const char* PackageMissing = "The package file doesn't exists !";
inline constexpr const char* ConfirmCurrentAccount =
    "Process will run distribiution with your existing account, continue ?";
inline constexpr const char* DefaultTimeout = "3";
inline constexpr const char* NoComputers = "The distribution list file names no computer: there is nothing to run.";
inline constexpr const char* NotOneComputerEach =
    "Each line of the distribution list file must name one computer. These lines do not, so nothing was "
    "started:";
} // namespace JobText

// The job that the fields describe, read as they stand, without any test; its computers are left
// to the caller, who reads the list file. The timeout is the field's text when its box is ticked.
TJob JobFrom(IJobForm& form);

// Why the job cannot take its computers when each runs on its own: none at all, or lines that
// name more than one computer or none (the tool would read "PC1,PC2" as two), unless the check
// before the run gives such a line a result of its own. Nothing when it can, and nothing when the
// whole list goes to one tool as it is.
std::optional<std::string> ComputersRefusal(const TJob& job);

// Whether a job without an account asks before it goes on: a run does, since it would run with
// the operator's own account; a job only written down for another tool has nothing to run.
enum class TAccountQuestion { Ask, None };

// Tests the fields and, when they all pass, returns the job they describe and fills vars, which
// must have been reset, from it. The first failed test shows its warning, moves the focus to the
// field at fault and sets StopRun; so does a declined confirmation, which leaves the focus alone.
// A stopped job changes nothing else.
std::optional<TJob> CollectData(IJobForm& form, TJobVariables& vars,
                                TAccountQuestion question = TAccountQuestion::Ask);
