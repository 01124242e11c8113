// The voice update: final volume and gains, panning with its envelope, frequency and step, and the
// hand-over of a sounding note to the twin voice.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "player/channel.h"
#include "player/player.h"
#include "player/step.h"
#include "player/voice.h"
#include "support/test_module.h"

namespace {

struct VoiceUpdate : ::testing::Test {
    PlayerState player{};
    ChannelState ch{};
    Sample sample{};
    int16_t data[16] = {};

    void SetUp() override
    {
        g_output_rate = 44100;
        voices_reset();
        player_reset(&player);  // fills the frequency table
        player.flags = 1;
        player.global_volume = 64;
        sample.data = data;
        sample.length = 8;
        sample.loop_length = 8;
        sample.loop_type = 2;
        ch.voice = &g_voices[3];
        ch.volume = 64;
        ch.envelope_volume = 64;
        ch.fadeout_volume = 65536;
        ch.panning = 128;
        ch.envelope_panning = 32;
        ch.period = 4608;
    }
    void Update(uint8_t flags)
    {
        ch.update_flags = flags;
        update_voice(&ch, &sample, &player);
    }
};

}  // namespace

TEST_F(VoiceUpdate, FinalVolumeAndGains)
{
    struct Case { int volume, envelope, fadeout, global, final_volume, left, right; };
    const Case cases[] = {
        {64, 64, 65536, 64, 128, 63, 64},  // 127.5 rounds to the even 128
        {64, 64, 65536, 32, 64, 31, 32},
        {32, 64, 65536, 64, 64, 31, 32},
        {64, 64, 0, 64, 0, 0, 0},
        {1, 1, 65536, 64, 0, 0, 0},        // 0.031...
        {64, 33, 65536, 64, 66, 32, 33},   // 65.74 -> 66
    };
    for (const Case& c : cases) {
        ch.volume = c.volume;
        ch.envelope_volume = c.envelope;
        ch.fadeout_volume = c.fadeout;
        player.global_volume = c.global;
        Update(UPDATE_PANNING | UPDATE_VOLUME);
        Voice& v = g_voices[3];
        EXPECT_EQ(v.volume, c.final_volume) << c.volume << " " << c.envelope << " " << c.global;
        EXPECT_EQ(v.volume_info, c.final_volume);
        EXPECT_EQ(v.volume_left, c.left);
        EXPECT_EQ(v.volume_right, c.right);
    }
}

TEST_F(VoiceUpdate, PanningWithItsEnvelope)
{
    // (channel panning, envelope panning) -> voice panning. The envelope moves the panning by
    // (128 - |p - 128|) / 32 whole steps of its distance from 32: 161 takes 95 / 32 = 2 of them.
    const int cases[][3] = {{128, 64, 255}, {128, 0, 0}, {128, 32, 128}, {20, 64, 20}, {20, 0, 20},
                            {100, 40, 124}, {240, 0, 240}, {300, 32, 255}, {-9, 32, 0}, {161, 64, 225}, {161, 0, 97}};
    for (auto& c : cases) {
        ch.panning = c[0];
        ch.envelope_panning = c[1];
        Update(UPDATE_PANNING);
        EXPECT_EQ(g_voices[3].panning, c[2]) << c[0] << " " << c[1];
        EXPECT_EQ(g_voices[3].panning_info, c[2]);
    }
}

TEST_F(VoiceUpdate, FrequencyAndStep)
{
    ch.period = 4608;
    Update(UPDATE_FREQUENCY);
    EXPECT_EQ(g_voices[3].frequency, 8363);
    EXPECT_EQ(g_voices[3].step, 0);
    EXPECT_EQ(g_voices[3].step_fraction, 814485521u);
    g_output_rate = 0;  // before any output rate is set the voice steps as at 44100 Hz
    Update(UPDATE_FREQUENCY);
    EXPECT_EQ(g_voices[3].step_fraction, 814485521u);
    g_output_rate = 44100;
    ch.period = 3840;  // an octave up
    Update(UPDATE_FREQUENCY);
    EXPECT_EQ(g_voices[3].frequency, 16726);
    ch.period = 4608 - 3 * 768;  // three octaves up: above the rate, step 1 and a fraction
    Update(UPDATE_FREQUENCY);
    EXPECT_EQ(g_voices[3].frequency, 66904);
    EXPECT_EQ(g_voices[3].step, 1);
    EXPECT_EQ(g_voices[3].step_fraction, 2220916875u);  // 22804 / 44100 = 0.51709750... of 2^32
}

TEST_F(VoiceUpdate, BelowHundredHertzTheStepIsThatOf100Hz)
{
    ch.period = 4608 + 5 * 768;  // 8363 / 32 = 261 Hz
    ch.period_offset = -768 * 2;  // two more octaves down: 65 Hz
    Update(UPDATE_FREQUENCY);
    EXPECT_EQ(g_voices[3].frequency, 65);
    EXPECT_EQ(g_voices[3].step, 0);
    EXPECT_EQ(g_voices[3].step_fraction, 9739154u);  // 100 / 44100 = 0.0022675737 of 2^32
}

TEST_F(VoiceUpdate, AmigaPeriodZeroLeavesFrequencyAndStepAlone)
{
    Voice& v = g_voices[3];
    v.frequency = 1234;
    v.step = 2;
    v.step_fraction = 77;
    ch.period = 64;
    ch.period_offset = 64;  // raised by the offset to period 0, which would divide by zero
    player.flags = 0;
    Update(UPDATE_FREQUENCY);
    EXPECT_EQ(v.frequency, 1234);
    EXPECT_EQ(v.step, 2);
    EXPECT_EQ(v.step_fraction, 77u);
    player.flags = 1;  // linear period 0 is a pitch like any other: 8363 Hz six octaves up
    Update(UPDATE_FREQUENCY);
    EXPECT_EQ(v.frequency, 8363 * 64);
}

TEST_F(VoiceUpdate, TriggerMovesASoundingNoteToTheTwinAndBack)
{
    Update(UPDATE_TRIGGER | UPDATE_VOLUME);
    EXPECT_EQ(ch.voice, &g_voices[3]);  // a silent voice restarts in place
    EXPECT_EQ(g_voices[3].sample, &sample);
    g_voices[3].position = 5;
    g_voices[3].level_left = 9999;
    g_voices[3].start_offset = 3;

    Update(UPDATE_TRIGGER);
    EXPECT_EQ(ch.voice, &g_voices[35]);
    Voice& old = g_voices[3];
    EXPECT_EQ(old.sample, &sample);     // goes on playing, ramping to zero
    EXPECT_EQ(old.position, 5);
    EXPECT_EQ(old.level_left, 9999);
    EXPECT_EQ(old.volume_left, 0);
    EXPECT_EQ(old.volume_right, 0);
    EXPECT_EQ(old.volume, 0);
    EXPECT_EQ(old.volume_info, 0);
    Voice& fresh = g_voices[35];
    EXPECT_EQ(fresh.index, 35);
    EXPECT_EQ(fresh.position, 3);       // the start offset, within the sample
    EXPECT_EQ(fresh.start_offset, 0);
    EXPECT_EQ(fresh.level_left, 0);
    EXPECT_EQ(fresh.ramp_remaining, 0);
    EXPECT_EQ(fresh.direction, 1);
    EXPECT_EQ(fresh.volume, 128);       // the copy keeps the last volume

    fresh.start_offset = 8;             // at the loop end: starts at 0
    Update(UPDATE_TRIGGER);
    EXPECT_EQ(ch.voice, &g_voices[3]);
    EXPECT_EQ(g_voices[3].index, 3);
    EXPECT_EQ(g_voices[3].position, 0);
    EXPECT_EQ(g_voices[35].volume_left, 0);
}

namespace {
ChannelState& Ch(int c) { return g_channels[c]; }
}  // namespace

TEST(VoiceRelease, TheLeftVoiceIsReleasedOnceItsRampDownIsOver)
{
    TestModule m(1, {4}, 2);
    int i = m.add_instrument();
    m.set(0, 0, 0, 49, i);
    m.set(0, 1, 0, 49, i);
    m.start();
    m.tick();
    m.tick();
    g_voices[0].level_left = g_voices[0].level_right = 32768;  // sounding, as the mixer leaves it
    m.tick();  // row 1: the note moves to voice 32, voice 0 ramps down
    ASSERT_EQ(Ch(0).voice, &g_voices[32]);
    EXPECT_EQ(g_voices[0].sample, &m.sample_of(i));
    m.tick();
    EXPECT_EQ(g_voices[0].sample, &m.sample_of(i));  // the mixer has not ramped it down yet
    g_voices[0].level_left = g_voices[0].level_right = 0;  // what the mixer leaves after the ramp
    g_voices[0].ramp_remaining = 0;
    m.tick();
    EXPECT_EQ(g_voices[0].sample, nullptr);
    EXPECT_NE(g_voices[32].sample, nullptr);
}
