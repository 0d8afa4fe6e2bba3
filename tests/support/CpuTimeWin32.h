// The processor time a process has used, for the benchmarks under Wine.
#pragma once

#include <windows.h>

namespace CpuTime {
inline double Seconds(const FILETIME& kernel, const FILETIME& user)
{
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    constexpr double kTicksPerSecond = 1e7;
    return static_cast<double>(ticks(kernel) + ticks(user)) / kTicksPerSecond;
}
} // namespace CpuTime

// User and kernel time of process so far, in seconds; 0 when the system does not say.
inline double CpuSeconds(HANDLE process = GetCurrentProcess())
{
    FILETIME created, exited, kernel, user;
    return GetProcessTimes(process, &created, &exited, &kernel, &user) ? CpuTime::Seconds(kernel, user) : 0;
}

// The same for the calling thread alone.
inline double ThreadCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    return GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user) ? CpuTime::Seconds(kernel, user) : 0;
}
