// The opening and closing fades over series of frame times: the overlay's opacity and alpha
// byte, when each fade reports completion, and the music's global volume during the closing fade.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "base/frame_clock.h"
#include "module/module.h"
#include "show/fade.h"
#include "show/show.h"
#include "show/show_host.h"

namespace {

// Before any test has touched them (each test runs in a process of its own, and this one first in
// a run of the whole program): the state at load, which FadeReset restores.
TEST(FadeAtLoad, BlackAndWaitingForTheFirstClosingFrame)
{
    for (int pass = 0; pass < 2; pass++) {
        // level, opening done, show ended, volume still to be saved, saved volume
        EXPECT_EQ(std::make_tuple(g_fadeLevel, g_openingDone, g_showEnded, g_volumeCapture, g_savedVolume),
                  std::make_tuple(1.0f, 0, 0, uint8_t{1}, 0));
        for (FadeVertex& v : g_fadeOverlay) EXPECT_EQ(std::exchange(v.colour, 0x7F000000u), 0u);  // then some alpha
        g_fadeLevel = 0.5f, g_openingDone = g_showEnded = 1, g_volumeCapture = 0, g_savedVolume = 7;
        FadeReset();
    }
}

class Fade : public ::testing::Test {
protected:
    PlayerState player = {};

    void SetUp() override
    {
        FadeReset();
        g_hostOverlayDraws = 0;
        g_hostOverlayLevel = -1.0f;
        player.global_volume = 64;
        g_player = &player;
    }
    void TearDown() override { g_player = nullptr; }

    int32_t Opening(float frameTime) { g_frameTime = frameTime; return OpeningFadeStep(); }
    int32_t Closing(float frameTime) { g_frameTime = frameTime; return ClosingFadeStep(); }
};

TEST_F(Fade, AlphaByteRoundsToNearestEven)
{
    struct { float level; uint8_t alpha; } cases[] = {
        { 1.0f, 255 }, { 0.0f, 0 },
        { 0.5f, 128 },                  // 127.5 -> 128 (even)
        { 0.00196078431f, 0 },          // just under 0.5 / 255
        { 0.75f, 191 },                 // 191.25
        { 1.0f / 255.0f, 1 },
    };
    for (auto& c : cases) EXPECT_EQ(FadeAlpha(c.level), c.alpha) << c.level;

    SetFadeOverlayAlpha(0.5f);
    for (const FadeVertex& v : g_fadeOverlay) EXPECT_EQ(v.colour, 0x80000000u);  // black, alpha only
    SetFadeOverlayAlpha(1.0f);
    for (const FadeVertex& v : g_fadeOverlay) EXPECT_EQ(v.colour, 0xFF000000u);
}

TEST_F(Fade, OpeningFallsByHalfPerSecondAndFinishesOnTheFrameAfterZero)
{
    // frame time, level drawn (-1: no draw), level after, result
    struct { float dt; float drawn; float after; int32_t done; } frames[] = {
        { 0.0f,   1.0f,   1.0f,   0 },   // a zero frame time still draws, at full opacity
        { 0.25f,  1.0f,   0.875f, 0 },
        { 0.5f,   0.875f, 0.625f, 0 },
        { 1.0f,   0.625f, 0.125f, 0 },
        { 0.5f,   0.125f, 0.0f,   0 },   // clamped at 0 but not finished yet
        { 0.25f, -1.0f,   0.0f,   1 },   // finds 0: finished, nothing drawn
        { 0.25f, -1.0f,   0.0f,   1 },
    };
    int32_t draws = 0;
    for (auto& f : frames) {
        g_hostOverlayLevel = -1.0f;
        EXPECT_EQ(Opening(f.dt), f.done) << f.dt;
        if (f.drawn >= 0.0f) draws++;
        EXPECT_EQ(g_hostOverlayLevel, f.drawn);
        EXPECT_EQ(g_fadeLevel, f.after);
        EXPECT_EQ(g_hostOverlayDraws, draws);
    }
    EXPECT_EQ(player.global_volume, 64);  // the opening never touches the music
}

TEST_F(Fade, ClosingScalesTheVolumeByTheLevelBeforeEachIncrease)
{
    Opening(2.5f);           // a stall: one frame completes the opening fade
    EXPECT_EQ(g_fadeLevel, 0.0f);
    ASSERT_EQ(Opening(0.1f), 1);

    // From 0 in steps of 0.25 s: the volume is written with the level before the step, and a
    // level of exactly 1.0 is not yet "greater than 1", so the closing needs a ninth frame.
    const int32_t volumes[] = { 64, 56, 48, 40, 32, 24, 16, 8, 0 };
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(g_hostOverlayDraws, 1 + i);
        EXPECT_EQ(Closing(0.25f), i == 8 ? 1 : 0) << i;
        EXPECT_EQ(g_hostOverlayLevel, 0.125f * i);
        EXPECT_EQ(player.global_volume, volumes[i]) << i;
    }
    EXPECT_EQ(g_fadeLevel, 1.0f);
}

TEST_F(Fade, EscapeDuringTheOpeningCarriesOnFromThePresentLevel)
{
    Opening(0.25f);
    Opening(0.25f);
    ASSERT_EQ(g_fadeLevel, 0.75f);

    // The volume drops at once to (1 - 0.75) of what it was, then follows the rising level.
    // The volume is saved only on the first closing frame: the second frame scales 64 again,
    // not the 16 the first frame wrote.
    EXPECT_EQ(Closing(0.25f), 0);
    EXPECT_EQ(g_hostOverlayLevel, 0.75f);
    EXPECT_EQ(player.global_volume, 16);
    EXPECT_EQ(g_savedVolume, 64);
    EXPECT_EQ(Closing(0.25f), 0);  // level now exactly 1.0: not finished
    EXPECT_EQ(player.global_volume, 8);
    EXPECT_EQ(Closing(0.0f), 0);   // no time passed: still exactly 1.0
    EXPECT_EQ(player.global_volume, 0);
    EXPECT_EQ(Closing(0.001f), 1);
    EXPECT_EQ(g_fadeLevel, 1.0f);
}

TEST_F(Fade, ClosingStallCompletesInOneFrame)
{
    player.global_volume = 40;
    g_fadeLevel = 0.0f;
    EXPECT_EQ(Closing(2.5f), 1);
    EXPECT_EQ(player.global_volume, 40);  // written with the level before the jump
    EXPECT_EQ(g_fadeLevel, 1.0f);
}

TEST_F(Fade, EscapeBeforeTheFirstFrameSilencesAtOnce)
{
    // Escape during the title card: the first frame is already a closing one, at level 1.0.
    EXPECT_EQ(Closing(0.02f), 1);
    EXPECT_EQ(g_hostOverlayLevel, 1.0f);
    EXPECT_EQ(FadeAlpha(g_hostOverlayLevel), 255);
    EXPECT_EQ(player.global_volume, 0);
}

TEST_F(Fade, ClosingVolumeTiesRoundToEven)
{
    // (1 - level) * saved landing on .5: the nearest even integer, never truncation.
    struct { float level; int32_t saved; int32_t volume; } cases[] = {
        { 0.5f,   63, 32 },   // 31.5
        { 0.5f,   61, 30 },   // 30.5
        { 0.75f,  58, 14 },   // 14.5
        { 0.75f,  62, 16 },   // 15.5
        { 0.875f, 60, 8 },    // 7.5
        { 0.1f,   64, 58 },   // 57.6: rounds up, where truncation would give 57
    };
    for (auto& c : cases) {
        FadeReset();
        player.global_volume = c.saved;
        g_fadeLevel = c.level;
        Closing(0.0f);
        EXPECT_EQ(player.global_volume, c.volume) << c.level << " x " << c.saved;
    }
}

TEST_F(Fade, ClosingWithoutAPlayerFadesOnlyThePicture)
{
    g_player = nullptr;
    g_fadeLevel = 0.5f;
    EXPECT_EQ(Closing(0.5f), 0);
    EXPECT_EQ(g_hostOverlayLevel, 0.5f);
    EXPECT_EQ(Closing(0.5f), 0);
    EXPECT_EQ(Closing(0.5f), 1);
    EXPECT_EQ(g_volumeCapture, 0);
}

}  // namespace
