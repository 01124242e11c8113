// The starfield's numbers: the table after the globe's draws, brightness, flight and wrap.
#include <gtest/gtest.h>

#include <cmath>

#include "base/math.h"
#include "show/main_effect_math.h"
#include "show/starfield_math.h"

TEST(ShowStars, BrightnessByteWrapsInsteadOfClamping)
{
    const struct { float depth; int byte; } cases[] = {
        {2048.0f, 0}, {1030.0f, 254}, {1024.0f, 255}, {1000.0f, 5}, {1.0f, 254}, {2047.0f, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(StarBrightness(c.depth), c.byte) << c.depth;
}

TEST(ShowStars, TableFollowsTheGlobeDraws)
{
    RandomSeed(4357);
    for (int i = 0; i < 1024; i++) Random();
    static Star stars[kStars];
    BuildStarTable(stars);
    float smallest = 4096.0f;
    for (const Star& s : stars) {
        double r = std::hypot(s.x, s.y);
        ASSERT_GE(r, 150.0 * 100.0 - 1.0);
        ASSERT_LE(r, 4150.0 * 100.0 + 1.0);
        ASSERT_EQ(s.depth, std::floor(s.depth));
        ASSERT_LE(s.depth, 2047.0f);
        if (s.depth < smallest) smallest = s.depth;
    }
    EXPECT_GT(smallest, 0.0f);  // no star starts where the projection would divide by zero

    // The same draws without the globe's 1,024 first give another field.
    RandomSeed(4357);
    static Star other[kStars];
    BuildStarTable(other);
    EXPECT_NE(other[0].depth * 1000 + other[0].x, stars[0].depth * 1000 + stars[0].x);
}

TEST(ShowStars, ProjectedFromTheDepthBeforeTheMoveAndWrappedToTheFarEnd)
{
    static Star stars[kStars];
    static ColourVertex out[kStars];
    for (Star& s : stars) s = {1000.0f, -2000.0f, 1024.0f};
    stars[1] = {1000.0f, -2000.0f, 10.0f};   // 0.5 s from the eye
    stars[2] = {500.0f, 500.0f, 2.0f};

    StarfieldStep(stars, out, 0.2f);  // 10 depth units
    EXPECT_FLOAT_EQ(out[0].x, 1000.0f / 1024.0f + 320.0f);
    EXPECT_FLOAT_EQ(out[0].y, 240.0f - 2000.0f / 1024.0f);
    EXPECT_EQ(out[0].colour, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(stars[0].depth, 1014.0f);
    EXPECT_FLOAT_EQ(out[1].x, 100.0f + 320.0f);  // drawn at depth 10, not 0
    EXPECT_FLOAT_EQ(stars[1].depth, 2048.0f);    // 0 is not kept: back to the far end
    EXPECT_FLOAT_EQ(stars[2].depth, 2040.0f);
    EXPECT_EQ(out[2].colour, GreyAllChannels(StarBrightness(2.0f)));

    StarfieldStep(stars, out, 0.0f);
    EXPECT_EQ(out[1].colour, 0u);                           // far end: dark
    EXPECT_NEAR(out[1].x, 320.0f + 1000.0f / 2048.0f, 1e-4);  // near the centre
    EXPECT_NEAR(out[2].colour & 0xFF, 1u, 1u);

    // A stall longer than the whole flight still leaves every depth in (0, 2048], where the flight
    // would have taken it: 1014 - 5000 = -3986 is 110 modulo 2048.
    StarfieldStep(stars, out, 100.0f);
    EXPECT_EQ(stars[0].depth, 110.0f);
    for (const Star& s : stars) {
        ASSERT_GT(s.depth, 0.0f);
        ASSERT_LE(s.depth, 2048.0f);
    }
}
