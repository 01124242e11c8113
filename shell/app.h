// shell/app.h -- the process: entry, frame driver and the one exit path, and the state the shell
// shares with the show. Portable declarations; the bodies are in app_win32.cpp (and app.cpp).
#pragma once
#include <cstdint>

struct PlayerState;

extern int32_t      g_active;           // wParam of the last WM_ACTIVATE; cleared by Escape, close, destroy, quit
extern PlayerState* g_player;           // null until the module has loaded
extern uint32_t     g_framesPresented;  // frames RenderFrame has presented since start (tests measure the rate)

[[noreturn]] void AppMain();            // start-up, main loop, shutdown; never returns
[[noreturn]] void AppShutdown();        // releases everything in a fixed order and exits with code 0
void RenderFrame();                     // clear, begin, tick, the show's frame, end, present
