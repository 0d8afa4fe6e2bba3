#include "JobVariables.h"

TJobVariables JobVars;

void ResetJobVariables(TJobVariables& vars)
{
    vars.StopRun = false;
    vars.CurrentAccount = false;
    vars.MsiOptions.clear();
    vars.PsExecOptions.clear();
    vars.ListFileArg.clear();
    vars.PackageArg.clear();
    vars.DomainPart.clear();
    vars.UserPart.clear();
    vars.PasswordPart.clear();
    vars.UninstallMode = false;
}
