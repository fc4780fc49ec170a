#pragma once
// What the benchmark programs share: the clock, a line of timings, and a
// main that runs one mode inside COM.

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

#include "base/win32/ComScope.h"

// Milliseconds from the performance counter.
inline double Now()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / frequency;
}

// One line: name, median, 95th percentile and mean in milliseconds, count.
inline void PrintTimes(const char* name, std::vector<double> times)
{
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    double total = 0;
    for (double time : times)
        total += time;
    const auto at = [&](double share) {
        return times[std::min(times.size() - 1, static_cast<size_t>(share * static_cast<double>(times.size())))];
    };
    std::printf("%s %.4f %.4f %.4f %zu\n", name, at(0.5), at(0.95), total / static_cast<double>(times.size()),
                times.size());
    std::fflush(stdout);
}

// Runs run(argc, argv) in a single-threaded apartment; an exception is
// reported under the program's name and ends it with 1.
inline int BenchMain(const char* program, int argc, char** argv, int (*run)(int, char**))
{
    const TComApartment com(COINIT_APARTMENTTHREADED);
    if (FAILED(com.Result()))
        return 1;
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", program, error.what());
    }
    return 1;
}
