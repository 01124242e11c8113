// shell/app.cpp -- the shell's state that the show reads (the active flag, the player).
// Portable, so the show's numbers build and test on every platform; app_win32.cpp writes them.
#include "shell/app.h"

int32_t      g_active;
PlayerState* g_player;
uint32_t     g_framesPresented;
