// tools/capture/clock_capture.cpp -- the frame clock's counter, counting presented frames.
// The counter runs at F x 65536 counts a second and moves 65536 counts at each Present, so each
// frame lasts exactly 1/F s. The frame clock's 16.16 arithmetic truncates each frame time (1092 or
// 1093 sixty-fifths of a millisecond at 60 frames a second) and carries the rest, so N frames after
// a reset add up to N/F s without drift. A frequency of F alone would not do: the carry would then
// have nothing to keep.
#include "base/frame_clock.h"
#include "tools/capture/capture.h"

int64_t ClockCounter()
{
    return g_capturePresents * 65536;
}

int64_t ClockFrequency()
{
    return static_cast<int64_t>(g_capture.fps) * 65536;
}
