// What the POSIX process backend offers beyond its interface, for its tests.
#pragma once

// An anonymous pipe for one run, both ends closed on exec: only the two ends that are put on the
// child's standard handles reach it, and no run's pipe leaks into another run's child. On
// failure returns false with errno set.
bool CreateRunPipe(int& readEnd, int& writeEnd);
