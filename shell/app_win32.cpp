// shell/app_win32.cpp -- entry, window procedure, main loop and shutdown.
#include <windows.h>

#include "shell/app.h"

int32_t      g_active;
PlayerState* g_player;

void RenderFrame() {}

void AppShutdown()
{
    ExitProcess(0);
}

void AppMain()
{
    AppShutdown();
}
