// show/slideshow.cpp -- slideshow timer and cross-fade level; end sequence glide, fades and timer.
// Portable; runs on the main thread inside the show's frame.
#include "show/slideshow.h"

#include "base/math.h"

const SlideshowState g_slideshowStart = {2.0f, 1, 0};

const QuadVertex g_slideQuadTemplate[4] = {
    {32.0f, 112.0f, 1.0f, 1.0f, 0, 0.0f, 0.0f},
    {288.0f, 112.0f, 1.0f, 1.0f, 0, 1.0f, 0.0f},
    {32.0f, 368.0f, 1.0f, 1.0f, 0, 0.0f, 1.0f},
    {288.0f, 368.0f, 1.0f, 1.0f, 0, 1.0f, 1.0f},
};

int32_t NextSlide(int32_t index)
{
    int32_t next = index + 1;
    return next == kSlides ? 0 : next;
}

uint8_t SlideshowLevel(SlideshowState* s)
{
    float t = s->timer;
    if (t >= 3.0f) {
        if (s->crossFade == 1) {
            s->index = NextSlide(s->index);
            s->crossFade = 0;
        }
        return 255;
    }
    s->crossFade = 1;
    if (t < 2.0f) return static_cast<uint8_t>(FloatToInt(t * 127.5f));
    return 255;
}

void SlideshowAdvance(SlideshowState* s, float frameTime)
{
    s->timer += frameTime;
    if (s->timer > 7.0f) s->timer -= 7.0f;
}

EndPhase EndCardLook(float t, uint32_t* colour, QuadVertex quad[4])
{
    if (t < 2.0f) {
        uint32_t a = static_cast<uint8_t>(FloatToInt(t * 255.0f * 0.5f));
        *colour = WhiteWithAlpha(a);
        // Glides right along a quarter sine wave, from x 32 to the middle of the screen.
        float s = static_cast<float>(Sin(t * 3.141592f / 4.0f));
        float left = s * 160.0f + 32.0f;
        float right = s * 160.0f + 288.0f;
        quad[0].x = left;
        quad[2].x = left;
        quad[1].x = right;
        quad[3].x = right;
        return kEndArrival;
    }
    if (t > 6.0f) {
        uint32_t g = static_cast<uint8_t>(FloatToInt((7.0f - t) * 255.0f));
        *colour = 0xFF000000u | (g << 16) | (g << 8) | g;
        return kEndFade;
    }
    *colour = 0xFFFFFFFFu;
    return kEndHold;
}

bool EndTimerAdvance(float* timer, float frameTime)
{
    *timer += frameTime;
    return *timer > 7.0f;
}
