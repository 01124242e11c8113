// show/title_card.cpp -- the title card's quad and fade.
// Portable; runs on the main thread inside the title card's own loop.
#include "show/title_card.h"

#include "base/math.h"

// 2.5 texture widths over 640 pixels and 1.875 texture heights over 480: one texel per pixel.
const QuadVertex g_titleQuadTemplate[4] = {
    {0.0f, 0.0f, 1.0f, 1.0f, 0, -0.75f, -0.4375f},
    {640.0f, 0.0f, 1.0f, 1.0f, 0, 1.75f, -0.4375f},
    {0.0f, 480.0f, 1.0f, 1.0f, 0, -0.75f, 1.4375f},
    {640.0f, 480.0f, 1.0f, 1.0f, 0, 1.75f, 1.4375f},
};

bool TitleCardFade(float t, uint32_t* colour)
{
    float v;
    if (t > 1.0f && t < 2.0f) {
        v = t - 1.0f;
    } else if (t > 5.0f) {
        v = 6.0f - t;
    } else {
        return false;  // black before the first second, held between the fades
    }
    uint32_t c = static_cast<uint8_t>(FloatToInt(v * 255.0f));
    *colour = GreyAllChannels(c);
    return true;
}
