#pragma once

#include <ctime>

// The CPU time the calling thread has used, in seconds: unlike the wall clock it hardly moves
// with the machine's other load, so it shows the program's own work steadily.
inline double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
