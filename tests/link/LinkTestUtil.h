// Small helpers shared by the link tests.
#pragma once

#include <chrono>

using Clock = std::chrono::steady_clock;

// A duration in milliseconds, with fractions.
template <typename Rep, typename Period>
double Ms(std::chrono::duration<Rep, Period> d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}
