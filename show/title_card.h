// show/title_card.h -- the title card: a 256 x 256 picture shown 1:1 in the middle of the screen,
// black for a second, fading in, holding, fading out by the sixth second.
// The fade arithmetic is portable (title_card.cpp); RunTitleCard is the platform layer.
#pragma once
#include <cstdint>

#include "show/vertices.h"

// The whole screen, with texture coordinates that put one texel on one pixel: the picture lands
// on x 192..448, y 112..368 and clamped addressing repeats its edge texels around it.
extern const QuadVertex g_titleQuadTemplate[4];

constexpr float kTitleCardSeconds = 6.0f;

// The fade for the title timer t: inside the fade-in window (1, 2) or the fade-out window (5, ..)
// the colour becomes the brightness in all four bytes; elsewhere *colour is left as it is, so the
// hold shows whatever the last fade-in frame reached. Returns whether the colour was written.
bool TitleCardFade(float t, uint32_t* colour);

// Plays the title card to its end, or until a WM_QUIT is taken from the queue (platform layer).
void RunTitleCard();
