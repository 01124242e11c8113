// show/show_host.cpp -- the show on the host builds: nothing is drawn. The overlay's vertex alpha
// is still computed, and each draw is counted, so the fades can be tested without a device.
#include "show/show_host.h"

#include "show/fade.h"
#include "show/show.h"

int32_t g_hostOverlayDraws;
float   g_hostOverlayLevel;

void DrawFadeOverlay()
{
    SetFadeOverlayAlpha(g_fadeLevel);
    g_hostOverlayLevel = g_fadeLevel;
    g_hostOverlayDraws++;
}
