// show/starfield_math.h -- the star table, the stars' brightness and their flight.
// Portable; starfield_d3d8.cpp draws what these compute.
#pragma once
#include <cstdint>

#include "show/vertices.h"

enum { kStars = 2048 };

struct Star {
    float x, y;             // lateral position, up to 4150 x 100 from the axis
    float depth;            // 0..2048; the projection divides by it
};

// 3 x 2048 Random() draws, angle, radius and depth for each star in turn.
void BuildStarTable(Star out[kStars]);

// (2048 - depth) x 255 / 1024 to the nearest integer, low byte kept. Deliberately not clamped:
// nearer than depth 1024 it wraps and the star dims again (1000 gives 261, i.e. 5).
uint8_t StarBrightness(float depth);

// Projects every star from its depth before this frame's move into out (x, y and colour only),
// then moves it 50 depth units per second nearer, starting again at the far end past 0.
void StarfieldStep(Star stars[kStars], ColourVertex out[kStars], float frameTime);
