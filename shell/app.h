// shell/app.h -- the process: entry, frame driver and the one exit path. The state it hands the
// show (g_active, g_player) is declared by the show (show/show.h). Portable declarations; the
// bodies are in app_win32.cpp (and app.cpp).
#pragma once
#include <cstdint>

#include "show/show.h"

extern uint32_t     g_framesPresented;  // frames RenderFrame has presented since start (tests measure the rate)

[[noreturn]] void AppMain();            // start-up, main loop, shutdown; never returns
[[noreturn]] void AppShutdown();        // releases everything in a fixed order and exits with code 0
void RenderFrame();                     // clear, begin, tick, the show's frame, end, present
