// Small helpers shared by the link tests.
#pragma once

#include "link/LinkFailure.h"

#include <chrono>
#include <cstdint>

using Clock = std::chrono::steady_clock;

// The TCP tests reach this address only.
constexpr const char* kLoopback = "127.0.0.1";
constexpr std::uint16_t kWrappedPort = 14464;  // 80000 modulo 65536

// A duration in milliseconds, with fractions.
template <typename Rep, typename Period>
double Ms(std::chrono::duration<Rep, Period> d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The reason the link recorded for its latest call.
inline LinkFailure LastReason() { return LinkLastFailure().reason; }
