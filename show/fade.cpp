// show/fade.cpp -- the opening and closing fades. Portable; main thread, once per frame.
// One opacity serves both fades: the closing fade rises from wherever the opening left it.
#include "show/fade.h"

#include "base/frame_clock.h"
#include "base/math.h"
#include "module/module.h"
#include "show/show.h"

int32_t      g_active;
PlayerState* g_player;

float      g_fadeLevel = 1.0f;
int32_t    g_openingDone;
int32_t    g_showEnded;
uint8_t    g_volumeCapture = 1;
int32_t    g_savedVolume;
FadeVertex g_fadeOverlay[4] = {
    {   0.0f,   0.0f, 1.0f, 1.0f, 0 },
    { 640.0f,   0.0f, 1.0f, 1.0f, 0 },
    {   0.0f, 480.0f, 1.0f, 1.0f, 0 },
    { 640.0f, 480.0f, 1.0f, 1.0f, 0 },
};

void FadeReset()
{
    g_fadeLevel = 1.0f;
    g_openingDone = 0;
    g_showEnded = 0;
    g_volumeCapture = 1;
    g_savedVolume = 0;
    SetFadeOverlayAlpha(0.0f);
}

uint8_t FadeAlpha(float level)
{
    // level * 255 is exact in double, so this rounds the true product (0.5 -> 128, ties to even).
    return static_cast<uint8_t>(FloatToInt(static_cast<double>(level) * 255.0));
}

void SetFadeOverlayAlpha(float level)
{
    uint32_t alpha = static_cast<uint32_t>(FadeAlpha(level)) << 24;
    for (FadeVertex& v : g_fadeOverlay) v.colour = (v.colour & 0x00FFFFFFu) | alpha;
}

int32_t OpeningFadeStep()
{
    if (!(g_fadeLevel > 0.0f)) return 1;  // the frame that finds 0 draws nothing
    DrawFadeOverlay();
    g_fadeLevel = g_fadeLevel - 0.5f * g_frameTime;
    if (g_fadeLevel < 0.0f) g_fadeLevel = 0.0f;
    return 0;
}

int32_t ClosingFadeStep()
{
    // The volume is saved once, on the first closing frame, and scaled from that every frame.
    // Before the sound subsystems run there is no player, and only the picture fades.
    if (g_volumeCapture == 1) {
        if (g_player) g_savedVolume = PlayerLoadGlobalVolume(g_player);
        g_volumeCapture = 0;
    }
    DrawFadeOverlay();
    if (g_player) {
        // The level before this frame's increase. Frame times are multiples of 1/65536 s, so the
        // level is a multiple of 2^-17 and (1 - level) * saved is exact in double: the conversion
        // rounds the true product, ties to even. A plain 32-bit store:
        // the audio thread picks it up at its next voice update, a ring length (~2 s) later.
        double volume = (1.0 - static_cast<double>(g_fadeLevel)) * static_cast<double>(g_savedVolume);
        PlayerStoreGlobalVolume(g_player, static_cast<int32_t>(FloatToInt(volume)));
    }
    g_fadeLevel = g_fadeLevel + 0.5f * g_frameTime;
    if (g_fadeLevel > 1.0f) {
        g_fadeLevel = 1.0f;
        return 1;
    }
    return 0;
}
