// show/show_host.h -- what the host builds' stand-in for the overlay draw remembers (tests).
#pragma once
#include <cstdint>

extern int32_t g_hostOverlayDraws;   // DrawFadeOverlay calls since the last reset
extern float   g_hostOverlayLevel;   // the fade level the latest overlay was drawn at
