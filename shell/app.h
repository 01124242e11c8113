// shell/app.h -- the process: entry, window procedure, frame driver and the one exit path.
#pragma once
#include <cstdint>

struct PlayerState;

extern int32_t      g_active;   // wParam of the last WM_ACTIVATE; cleared by Escape, close, destroy, quit
extern PlayerState* g_player;   // null until the module has loaded

[[noreturn]] void AppMain();
[[noreturn]] void AppShutdown();
void RenderFrame();
