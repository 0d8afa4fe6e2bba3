// What the Windows process backend offers beyond its interface, for its tests.
#pragma once

#include "toolkit/HandlesWin32.h"

// An anonymous pipe for one run that only this process's user and the system may open, with
// neither end inheritable: only the child's two ends are let through when it starts.
bool CreateRunPipe(UniqueHandle& readEnd, UniqueHandle& writeEnd);
