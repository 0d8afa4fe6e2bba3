// What the Windows process backend offers beyond its interface, for its tests.
#pragma once

#include "toolkit/HandlesWin32.h"

// An anonymous pipe for one run, with the process's default security, so that only this user
// and the system can open it, and with neither end inheritable: only the child's two ends are let
// through when it starts.
bool CreateRunPipe(UniqueHandle& readEnd, UniqueHandle& writeEnd);
