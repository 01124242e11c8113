// base/clock_host.cpp -- a nanosecond counter from the monotonic clock, for the native builds.
#include "base/frame_clock.h"

#include <time.h>

int64_t ClockCounter()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t ClockFrequency()
{
    return 1000000000;
}
