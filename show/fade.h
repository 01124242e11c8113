// show/fade.h -- the opening and closing fades: the overlay's opacity and the music's volume.
// Portable state and numbers; the overlay is drawn by DrawFadeOverlay (show.h).
#pragma once
#include <cstdint>

// Pre-transformed, untextured vertex (D3DFVF_XYZRHW | D3DFVF_DIFFUSE, 0x44, stride 20).
struct FadeVertex {
    float    x, y, z, rhw;      // pixels; z = rhw = 1.0
    uint32_t colour;            // ARGB; only the alpha byte ever changes, the colour stays black
};
static_assert(sizeof(FadeVertex) == 20, "stride 20: the 0x44 vertex format");

extern float      g_fadeLevel;      // overlay opacity 0.0..1.0; starts at 1.0 (fully black)
extern int32_t    g_openingDone;    // 1 once the opening fade has completed
extern int32_t    g_showEnded;      // 1 once the closing fade has completed; never cleared
extern uint8_t    g_volumeCapture;  // 1 until the first closing frame has saved the volume
extern int32_t    g_savedVolume;    // the player's global volume at the first closing frame (0..64)
extern FadeVertex g_fadeOverlay[4]; // full screen, triangle-strip order

// Alpha byte for an opacity: the nearest integer to level * 255 (ties to even), low byte kept.
uint8_t FadeAlpha(float level);

// Writes FadeAlpha(level) into the alpha byte of the four overlay vertices.
void SetFadeOverlayAlpha(float level);

// Back to the state at load (tests).
void FadeReset();
