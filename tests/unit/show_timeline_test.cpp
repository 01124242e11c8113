// The title card's fade, the slideshow's order and cross-fade, and the end sequence.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "show/slideshow.h"
#include "show/title_card.h"

namespace {

// Runs the title card's fade over the given frame times, as its loop does (fade from the timer
// before the frame's tick, then the timer moves on); returns the colour of each frame drawn.
std::vector<uint32_t> TitleFrames(const std::vector<float>& frameTimes)
{
    std::vector<uint32_t> colours;
    uint32_t colour = g_titleQuadTemplate[0].colour;
    float timer = 0.0f;
    for (float dt : frameTimes) {
        if (!(timer < kTitleCardSeconds)) break;
        TitleCardFade(timer, &colour);
        colours.push_back(colour);
        timer += dt;
    }
    return colours;
}

}  // namespace

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

TEST(ShowTitleCard, HoldsTheLastFadeInFrame)
{
    // Frames of 0.3 s: timers 0, .3, .6, .9, 1.2, 1.5, 1.8, 2.1 ... The last fade-in frame is at
    // 1.8 (0.8 x 255 = 204), and that brightness holds until the fade-out.
    std::vector<float> dts(30, 0.3f);
    std::vector<uint32_t> c = TitleFrames(dts);
    EXPECT_EQ(c[3], 0u);                        // 0.9: still black
    EXPECT_EQ(c[4], GreyAllChannels(51));       // 1.2 -> 0.2 x 255
    EXPECT_EQ(c[6], GreyAllChannels(204));
    EXPECT_EQ(c[7], GreyAllChannels(204));      // 2.1: held, not full brightness
    EXPECT_EQ(c[16], GreyAllChannels(204));     // 4.8
    EXPECT_NEAR(c[17] & 0xFF, 229.5, 1.0);      // 5.1 after 17 float sums: (6 - t) x 255
    EXPECT_EQ(c.size(), 20u);                   // the loop ends at 6.0: 0 .. 5.7

    uint32_t colour = 0x12345678;
    EXPECT_TRUE(TitleCardFade(1.5f, &colour));
    EXPECT_EQ(colour, GreyAllChannels(128));    // 127.5 to the nearest even
    EXPECT_FALSE(TitleCardFade(1.0f, &colour)); // the windows are open at both ends
    EXPECT_FALSE(TitleCardFade(2.0f, &colour));
    EXPECT_FALSE(TitleCardFade(5.0f, &colour));
    EXPECT_EQ(colour, GreyAllChannels(128));
}

TEST(ShowTitleCard, FirstFrameLongerThanTwoSecondsSkipsTheFadeIn)
{
    std::vector<uint32_t> c = TitleFrames({2.5f, 1.0f, 1.0f, 0.5f, 0.5f, 0.5f});
    // Timers 0, 2.5, 3.5, 4.5, 5.0, 5.5: black until the fade-out window, then (6 - t).
    ASSERT_EQ(c.size(), 6u);
    for (int i = 0; i < 5; i++) EXPECT_EQ(c[i], 0u) << i;
    EXPECT_EQ(c[5], GreyAllChannels(128));
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
    const struct { float t; int level; } levels[] = {
        {0.0f, 0}, {1.0f, 128}, {1.99f, 254}, {2.0f, 255}, {2.5f, 255}, {3.0f, 255},
    };
    for (const auto& c : levels) {
        SlideshowState s = {c.t, 0, 4};
        EXPECT_EQ(SlideshowLevel(&s), c.level) << c.t;
    }

    // The first frame at 3.0 or later advances once, and only once.
    SlideshowState s = {2.9f, 1, 4};
    SlideshowLevel(&s);
    SlideshowAdvance(&s, 0.2f);
    EXPECT_EQ(SlideshowLevel(&s), 255);
    EXPECT_EQ(s.index, 5);
    EXPECT_EQ(s.crossFade, 0);
    SlideshowLevel(&s);
    EXPECT_EQ(s.index, 5);

    // A frame from below 3.0 to past 7.0 skips the advance: same slide, same cross-fade again.
    s = {2.5f, 1, 6};
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
