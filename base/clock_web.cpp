// base/clock_web.cpp -- the frame clock's counter in the browser: performance.now() in the
// clock's own 16.16 fixed point, so a count is 1/65536 s and a tick's time is the count itself.
#include "base/frame_clock.h"

#include <emscripten/emscripten.h>

int64_t ClockCounter()
{
    return static_cast<int64_t>(emscripten_get_now() * 65.536);  // milliseconds x 65536 / 1000
}

int64_t ClockFrequency()
{
    return 65536;
}
