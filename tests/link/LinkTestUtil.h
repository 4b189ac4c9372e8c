// Small helpers shared by the link tests.
#pragma once

#include "link/LinkFailure.h"

#include <chrono>

using Clock = std::chrono::steady_clock;

// A duration in milliseconds, with fractions.
template <typename Rep, typename Period>
double Ms(std::chrono::duration<Rep, Period> d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The reason the link recorded for its latest call.
inline LinkFailure LastReason() { return LinkLastFailure().reason; }
