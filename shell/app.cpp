// shell/app.cpp -- the shell's portable state: the frames presented (app_win32.cpp counts them).
#include "shell/app.h"

uint32_t g_framesPresented;
