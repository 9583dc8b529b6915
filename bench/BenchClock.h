// Clocks the benchmarks read: the calling thread's processor time and a
// steady wall clock, both in milliseconds.
#pragma once

#include <chrono>
#include <ctime>

inline double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

inline double WallMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}
