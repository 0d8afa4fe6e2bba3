#include "CollectData.h"

namespace {

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool StopWith(IJobForm& form, TJobVariables& vars, const char* text, JobField focus)
{
    form.ShowWarning(text);
    form.FocusField(focus);
    vars.StopRun = true;
    return false;
}

bool ListFileAccepted(IJobForm& form, TJobVariables& vars)
{
    const std::string list = form.FieldText(JobField::edt1);
    if (list.empty())
        return StopWith(form, vars, JobText::NoListFile, JobField::edt1);
    if (!form.FileExists(list))
        return StopWith(form, vars, JobText::ListFileMissing, JobField::edt1);
    return true;
}

bool PackageAccepted(IJobForm& form, TJobVariables& vars)
{
    if (form.FieldText(JobField::edt2).empty())
        return StopWith(form, vars, JobText::NoPackage, JobField::edt2);
    if (form.FieldText(JobField::edt2).compare(0, 2, "\\\\") != 0)
        return StopWith(form, vars, JobText::PackageNotUnc, JobField::edt2);
    const std::string package = form.FieldText(JobField::edt2);
    if (!EndsWith(package, "msi") && !EndsWith(package, "msp"))
        return StopWith(form, vars, JobText::PackageNotMsi, JobField::edt2);
    if (!form.FileExists(form.FieldText(JobField::edt2)))
        return StopWith(form, vars, JobText::PackageMissing, JobField::edt2);
    return true;
}

bool NoCredentialsGiven(IJobForm& form)
{
    return form.FieldText(JobField::edt3).empty() && form.FieldText(JobField::edt4).empty()
        && form.FieldText(JobField::edt5).empty();
}

// The text between double quotes. Appended piece by piece: GCC 12 warns falsely about a
// prefix joined to a temporary string in optimised builds.
std::string Quoted(const std::string& prefix, const std::string& text)
{
    std::string quoted(1, '"');
    quoted += prefix;
    quoted += text;
    quoted += '"';
    return quoted;
}

void FillTexts(IJobForm& form, TJobVariables& vars)
{
    vars.ListFileArg = Quoted("@", form.FieldText(JobField::edt1));
    vars.PackageArg = Quoted("", form.FieldText(JobField::edt2));
    vars.DomainPart = form.FieldText(JobField::edt3);
    if (!vars.DomainPart.empty())
        vars.DomainPart += '\\';
    vars.UserPart = form.FieldText(JobField::edt4);
    vars.PasswordPart = form.FieldText(JobField::edt5);
}

void FillOptions(IJobForm& form, TJobVariables& vars)
{
    if (form.Checked(JobCheck::chk1))
        vars.MsiOptions += " /qn";
    if (form.Checked(JobCheck::chk2))
        vars.MsiOptions += " /promptrestart";
    if (form.Checked(JobCheck::chk3))
        vars.MsiOptions += " /forcerestart";

    if (form.Checked(JobCheck::chk4))
        vars.PsExecOptions += " -e";
    if (form.Checked(JobCheck::chk5))
        vars.PsExecOptions += " -d";
    if (form.Checked(JobCheck::chk6)) {
        // The operator sees the default that was used.
        if (form.FieldText(JobField::edt6).empty())
            form.SetFieldText(JobField::edt6, JobText::DefaultTimeout);
        vars.PsExecOptions += " -n " + form.FieldText(JobField::edt6);
    }
}

} // namespace

void CollectData(IJobForm& form, TJobVariables& vars)
{
    if (!ListFileAccepted(form, vars) || !PackageAccepted(form, vars))
        return;

    if (NoCredentialsGiven(form)) {
        if (!form.Confirm(JobText::ConfirmCurrentAccount)) {
            vars.StopRun = true;
            return;
        }
        vars.CurrentAccount = true;
    }

    FillTexts(form, vars);
    FillOptions(form, vars);
    if (form.Checked(JobCheck::chk7))
        vars.UninstallMode = true;
}
