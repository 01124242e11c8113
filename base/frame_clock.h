// base/frame_clock.h -- the frame clock: seconds between frames, from the performance counter,
// counted in 1/65536 s so the sum of all frame times never drifts from the counter.
// The arithmetic is portable; the counter itself comes from the platform.
#pragma once
#include <cstdint>

extern int64_t g_clockFrequency;  // counts per second at the last reset; only the low 32 bits are used
extern int64_t g_clockLast;       // counter reading up to which time has been handed out
extern float   g_frameTime;       // seconds of the latest tick; 0.0 until the first tick

void FrameClockReset();           // frequency and counter from the platform
void FrameClockTick();            // g_frameTime = time since the previous tick (or the reset)

// The same, given the counter readings; FrameClockTickAt returns q, the frame time in 1/65536 s.
void     FrameClockResetAt(int64_t frequency, int64_t now);
uint32_t FrameClockTickAt(int64_t now);

// Platform boundary (clock_win32.cpp / clock_host.cpp).
int64_t ClockCounter();
int64_t ClockFrequency();
