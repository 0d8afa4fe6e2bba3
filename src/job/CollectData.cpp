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

void FillTexts(const TJob& job, TJobVariables& vars)
{
    vars.ListFileArg = Quoted("@", job.ListFile);
    vars.PackageArg = Quoted("", job.PackagePath);
    vars.DomainPart = job.Domain;
    if (!vars.DomainPart.empty())
        vars.DomainPart += '\\';
    vars.UserPart = job.User;
    vars.PasswordPart = job.Password;
}

void FillOptions(const TJob& job, TJobVariables& vars)
{
    if (job.Silent)
        vars.MsiOptions += " /qn";
    if (job.PromptRestart)
        vars.MsiOptions += " /promptrestart";
    if (job.ForceRestart)
        vars.MsiOptions += " /forcerestart";

    if (job.NoProfile)
        vars.PsExecOptions += " -e";
    if (job.NoWait)
        vars.PsExecOptions += " -d";
    if (job.Timeout)
        vars.PsExecOptions += " -n " + *job.Timeout;
}

} // namespace

TJob JobFrom(IJobForm& form)
{
    TJob job;
    job.ListFile = form.FieldText(JobField::edt1);
    job.PackagePath = form.FieldText(JobField::edt2);
    job.Domain = form.FieldText(JobField::edt3);
    job.User = form.FieldText(JobField::edt4);
    job.Password = form.FieldText(JobField::edt5);
    job.CurrentAccount = NoCredentialsGiven(form);
    job.Silent = form.Checked(JobCheck::chk1);
    job.PromptRestart = form.Checked(JobCheck::chk2);
    job.ForceRestart = form.Checked(JobCheck::chk3);
    job.NoProfile = form.Checked(JobCheck::chk4);
    job.NoWait = form.Checked(JobCheck::chk5);
    if (form.Checked(JobCheck::chk6))
        job.Timeout = form.FieldText(JobField::edt6);
    job.Uninstall = form.Checked(JobCheck::chk7);
    return job;
}

std::optional<std::string> ComputersRefusal(const TJob& job)
{
    if (job.RunsWholeList())
        return std::nullopt;
    if (job.Computers.Empty())
        return JobText::NoComputers;
    if (job.SkipNotAnswering)
        return std::nullopt;
    const std::vector<std::string> refused = NamesNotOneComputer(job.Computers);
    if (refused.empty())
        return std::nullopt;
    return JobText::NotOneComputerEach + NameLines(refused);
}

std::optional<TJob> CollectData(IJobForm& form, TJobVariables& vars, TAccountQuestion question)
{
    if (!ListFileAccepted(form, vars) || !PackageAccepted(form, vars))
        return std::nullopt;

    if (question == TAccountQuestion::Ask && NoCredentialsGiven(form) && !form.Confirm(JobText::ConfirmCurrentAccount)) {
        vars.StopRun = true;
        return std::nullopt;
    }
    // The operator sees the default that was used.
    if (form.Checked(JobCheck::chk6) && form.FieldText(JobField::edt6).empty())
        form.SetFieldText(JobField::edt6, JobText::DefaultTimeout);

    const TJob job = JobFrom(form);
    vars.CurrentAccount = job.CurrentAccount;
    FillTexts(job, vars);
    FillOptions(job, vars);
    vars.UninstallMode = job.Uninstall;
    return job;
}
