// The title card's fade, the slideshow's order and cross-fade, and the end sequence.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "show/slideshow.h"
#include "show/title_card.h"

TEST(ShowTitleCard, QuadPutsOneTexelOnOnePixel)
{
    const QuadVertex* q = g_titleQuadTemplate;
    // Pixel 192 is texel 0 and pixel 448 texel 256, on both axes.
    float u192 = q[0].u + (q[1].u - q[0].u) * 192.0f / 640.0f;
    float u448 = q[0].u + (q[1].u - q[0].u) * 448.0f / 640.0f;
    float v112 = q[0].v + (q[2].v - q[0].v) * 112.0f / 480.0f;
    float v368 = q[0].v + (q[2].v - q[0].v) * 368.0f / 480.0f;
    EXPECT_FLOAT_EQ(u192, 0.0f);
    EXPECT_FLOAT_EQ(u448, 1.0f);
    EXPECT_FLOAT_EQ(v112, 0.0f);
    EXPECT_FLOAT_EQ(v368, 1.0f);
    EXPECT_EQ(q[3].x, 640.0f);
    EXPECT_EQ(q[3].y, 480.0f);
}

TEST(ShowTitleCard, FadesInFromOneToTwoSecondsAndOutAfterFive)
{
    // Brightness 255 (t - 1) inside (1, 2) and 255 (6 - t) after 5, to the nearest even, in all
    // four bytes. Elsewhere the colour is left alone: the card holds what the last fade-in frame
    // reached, and stays at the quad's black when a long first frame skips the fade-in.
    const struct { float t; bool written; uint32_t grey; } cases[] = {
        {0.0f, false, 0}, {0.9f, false, 0}, {1.0f, false, 0},
        {1.2f, true, 51},    // 1.2f - 1 = 0.20000005: 51.00001
        {1.5f, true, 128},   // 127.5 to the even 128
        {1.8f, true, 204},   // 0.79999995 x 255 = 203.99999
        {2.0f, false, 0}, {2.5f, false, 0}, {4.8f, false, 0}, {5.0f, false, 0},
        {5.1f, true, 230},   // 6 - 5.1f = 0.90000010: 229.50002
        {5.5f, true, 128},
        {5.9f, true, 25},    // 6 - 5.9f = 0.09999990: 25.49998
    };
    for (const QuadVertex& v : g_titleQuadTemplate) EXPECT_EQ(v.colour, 0u);
    for (const auto& c : cases) {
        uint32_t colour = 0x12345678;
        EXPECT_EQ(TitleCardFade(c.t, &colour), c.written) << c.t;
        EXPECT_EQ(colour, c.written ? c.grey * 0x01010101u : 0x12345678u) << c.t;
    }
}

TEST(ShowSlideshow, OrderOnScreenStartsAtSlideOne)
{
    SlideshowState s = g_slideshowStart;
    std::vector<int32_t> shown;
    // 20 frames a second for 60 seconds; record the picture on top whenever it changes.
    int32_t top = -1;
    for (int frame = 0; frame < 1200; frame++) {
        uint8_t level = SlideshowLevel(&s);
        int32_t onTop = (s.crossFade == 1 && level == 255) ? NextSlide(s.index) : s.index;
        if (onTop != top) shown.push_back(top = onTop);
        SlideshowAdvance(&s, 0.05f);
    }
    const std::vector<int32_t> expected = {1, 2, 3, 4, 5, 6, 0, 1, 2};
    EXPECT_EQ(shown, expected);
}

TEST(ShowSlideshow, CrossFadeAlphaAndTheSkippedAdvance)
{
    // The next slide fades in at 127.5 t up to 2.0 (with the cross-fade flag raised), is opaque
    // from 2.0, and from 3.0 on (3.0 itself included) becomes the slide shown, once.
    const struct { float t; uint8_t fading; int32_t index; int level; int32_t index_after; uint8_t fading_after; } cases[] = {
        {0.0f, 0, 4, 0, 4, 1},   {1.0f, 0, 4, 128, 4, 1},  // 127.5 to the even 128
        {1.99f, 1, 4, 254, 4, 1}, {2.0f, 1, 4, 255, 4, 1}, {2.5f, 0, 4, 255, 4, 1},
        {3.0f, 1, 4, 255, 5, 0},  {3.0f, 0, 4, 255, 4, 0}, {6.9f, 1, 6, 255, 0, 0},
    };
    for (const auto& c : cases) {
        SlideshowState s = {c.t, c.fading, c.index};
        EXPECT_EQ(SlideshowLevel(&s), c.level) << c.t;
        EXPECT_EQ(s.index, c.index_after) << c.t;
        EXPECT_EQ(s.crossFade, c.fading_after) << c.t;
    }

    // The timer drops by 7 only once past 7.0.
    SlideshowState w = {6.5f, 0, 3};
    SlideshowAdvance(&w, 0.5f);
    EXPECT_EQ(w.timer, 7.0f);
    SlideshowAdvance(&w, 0.25f);
    EXPECT_EQ(w.timer, 0.25f);

    // A frame from below 3.0 to past 7.0 skips the advance: same slide, same cross-fade again.
    SlideshowState s = {2.5f, 1, 6};
    SlideshowLevel(&s);
    SlideshowAdvance(&s, 5.0f);
    EXPECT_FLOAT_EQ(s.timer, 0.5f);
    EXPECT_EQ(SlideshowLevel(&s), 64);  // 63.75
    EXPECT_EQ(s.index, 6);
    EXPECT_EQ(s.crossFade, 1);
    EXPECT_EQ(NextSlide(6), 0);
}

TEST(ShowEndSequence, GlidesHoldsDarkensAndQuits)
{
    QuadVertex quad[4];
    std::memcpy(quad, g_slideQuadTemplate, sizeof quad);
    for (int i = 0; i < 4; i++) {  // x 32..288, y 112..368, no colour until the card's own
        EXPECT_EQ(quad[i].x, i & 1 ? 288.0f : 32.0f);
        EXPECT_EQ(quad[i].y, i & 2 ? 368.0f : 112.0f);
        EXPECT_EQ(quad[i].colour, 0u);
    }
    uint32_t colour = 0;

    EXPECT_EQ(EndCardLook(0.0f, &colour, quad), kEndArrival);
    EXPECT_EQ(colour, 0x00FFFFFFu);
    EXPECT_FLOAT_EQ(quad[0].x, 32.0f);
    EXPECT_FLOAT_EQ(quad[3].x, 288.0f);

    EXPECT_EQ(EndCardLook(1.0f, &colour, quad), kEndArrival);
    EXPECT_EQ(colour, 0x80FFFFFFu);  // 127.5 to the nearest even
    EXPECT_NEAR(quad[0].x, 32.0f + 160.0f * 0.7071068f, 1e-3);
    EXPECT_EQ(quad[0].x, quad[2].x);
    EXPECT_EQ(quad[1].x, quad[3].x);

    EXPECT_EQ(EndCardLook(1.999f, &colour, quad), kEndArrival);
    const float left = quad[0].x, right = quad[1].x;
    EXPECT_NEAR(left, 192.0f, 0.01f);
    EXPECT_NEAR(right, 448.0f, 0.01f);

    // From 2.0 on the quad stays where the last arrival frame left it.
    const struct { float t; EndPhase phase; uint32_t colour; } later[] = {
        {2.0f, kEndHold, 0xFFFFFFFFu}, {6.0f, kEndHold, 0xFFFFFFFFu},
        {6.5f, kEndFade, 0xFF808080u}, {6.9f, kEndFade, 0xFF191919u}  /* 6.9f is 6.9000001: 25.49 */, {7.0f, kEndFade, 0xFF000000u},
        {3.0f, kEndHold, 0xFFFFFFFFu},  // the hold writes its white, whatever came before
    };
    for (const auto& c : later) {
        EXPECT_EQ(EndCardLook(c.t, &colour, quad), c.phase) << c.t;
        EXPECT_EQ(colour, c.colour) << c.t;
        EXPECT_EQ(quad[0].x, left);
        EXPECT_EQ(quad[1].x, right);
    }
    EXPECT_EQ(quad[0].y, 112.0f);
    EXPECT_EQ(quad[3].y, 368.0f);

    float timer = 0.0f;
    int frames = 0;
    while (!EndTimerAdvance(&timer, 0.25f)) frames++;
    EXPECT_EQ(frames, 28);                          // 7.0 is not past 7.0; 7.25 is
    EXPECT_TRUE(EndTimerAdvance(&timer, 0.0f));     // and every frame after
}
