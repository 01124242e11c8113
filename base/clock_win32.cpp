// base/clock_win32.cpp -- the performance counter.
#include "base/frame_clock.h"

#include <windows.h>

int64_t ClockCounter()
{
    LARGE_INTEGER v;
    QueryPerformanceCounter(&v);
    return v.QuadPart;
}

int64_t ClockFrequency()
{
    LARGE_INTEGER v;
    QueryPerformanceFrequency(&v);
    return v.QuadPart;
}
