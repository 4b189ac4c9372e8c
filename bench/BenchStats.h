// Figures shared by the bench programs: durations in milliseconds, their
// median, 99th percentile and worst, and the machine's load beside them.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Stats {
    double median = 0, p99 = 0, worst = 0;
};

// Nearest-rank percentiles; an empty set gives zeros.
inline Stats Summarise(std::vector<double> v)
{
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) {
        return v[std::min(v.size() - 1,
                          static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5))];
    };
    return {at(0.5), at(0.99), v.back()};
}

inline void Print(const char* what, const Stats& s, const char* unit = "ms")
{
    std::printf("%-64s median %7.3f  p99 %7.3f  worst %7.3f %s\n", what, s.median, s.p99, s.worst, unit);
}

template <class F>
Stats Time(int runs, F&& f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        t.push_back(Ms(Clock::now() - t0));
    }
    return Summarise(t);
}

// The 1, 5 and 15 minute load averages, so a figure can be read against
// what else the machine was doing.
inline void PrintLoad(const char* when)
{
    std::ifstream in("/proc/loadavg");
    std::string l1, l5, l15;
    in >> l1 >> l5 >> l15;
    std::printf("load average %s: %s %s %s\n", when, l1.c_str(), l5.c_str(), l15.c_str());
}

}  // namespace bench
