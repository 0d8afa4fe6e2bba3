// What the benchmarks reckon their figures with.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double Seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}
