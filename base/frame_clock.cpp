// base/frame_clock.cpp -- 16.16 frame-time arithmetic with carry-over of the truncated counts.
// Portable; main thread only.
#include "base/frame_clock.h"

int64_t g_clockFrequency;
int64_t g_clockLast;
float   g_frameTime;

void FrameClockResetAt(int64_t frequency, int64_t now)
{
    g_clockFrequency = frequency;
    g_clockLast = now;
}

uint32_t FrameClockTickAt(int64_t now)
{
    const uint64_t f = static_cast<uint32_t>(g_clockFrequency);
    int64_t elapsed = now - g_clockLast;
    uint32_t q;
    if (f == 0 || elapsed <= 0) {
        q = 0;  // no usable frequency, or a counter that stood still (or stepped back)
    } else if (static_cast<uint64_t>(elapsed) >= (f << 16)) {
        q = UINT32_MAX;  // 65,536 s or more since the last tick: the largest time q can hold
    } else {
        q = static_cast<uint32_t>((static_cast<uint64_t>(elapsed) << 16) / f);
    }
    // Consume only the counts that q accounts for; the truncated rest goes to the next tick.
    g_clockLast += static_cast<int64_t>((static_cast<uint64_t>(q) * f) >> 16);
    g_frameTime = static_cast<float>(q) / 65536.0f;
    return q;
}

void FrameClockReset()
{
    FrameClockResetAt(ClockFrequency(), ClockCounter());
}

void FrameClockTick()
{
    FrameClockTickAt(ClockCounter());
}
