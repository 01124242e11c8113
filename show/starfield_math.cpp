// show/starfield_math.cpp -- star table, brightness and flight.
// Portable; runs on the main thread during show initialisation and inside the starfield's frame.
#include "show/starfield_math.h"

#include <cmath>

#include "base/math.h"

void BuildStarTable(Star out[kStars])
{
    for (int k = 0; k < kStars; k++) {
        float a = static_cast<float>(Random()) * 6.283184f / 32767.0f;
        float r = static_cast<float>(Random()) * 4000.0f / 32767.0f + 150.0f;
        out[k].x = static_cast<float>(Cos(a)) * r * 100.0f;
        out[k].y = static_cast<float>(Sin(a)) * r * 100.0f;
        out[k].depth = static_cast<float>(Random() & 0x7FF);
    }
}

uint8_t StarBrightness(float depth)
{
    return static_cast<uint8_t>(FloatToInt((2048.0f - depth) * 255.0f / 1024.0f));
}

void StarfieldStep(Star stars[kStars], ColourVertex out[kStars], float frameTime)
{
    float travel = 50.0f * frameTime;
    for (int k = 0; k < kStars; k++) {
        Star* s = &stars[k];
        float q = 1.0f / s->depth;
        out[k].x = q * s->x + 320.0f;
        out[k].y = q * s->y + 240.0f;
        out[k].colour = GreyAllChannels(StarBrightness(s->depth));

        float depth = s->depth - travel;
        if (depth <= 0.0f) {
            depth += 2048.0f;
            // One wrap covers any frame shorter than 41 s. After a longer stall the depth could
            // still be 0 or below, and the next projection would divide by it: wrap it into
            // range instead (the far end, if nothing better is left).
            if (!(depth > 0.0f)) {
                depth = std::isfinite(depth) ? std::fmod(depth, 2048.0f) + 2048.0f : 2048.0f;
                if (!(depth > 0.0f) || depth > 2048.0f) depth = 2048.0f;
            }
        }
        s->depth = depth;
    }
}
