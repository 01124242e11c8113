// The wave device and the audio thread under Wine: open, start, play for a while, stop, close, in
// the orders the program can use them. Needs a sound device (PulseAudio with a null sink here);
// without one the playing tests are skipped.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "audio/audio.h"
#include "audio/audio_local.h"
#include "audio/voice.h"
#include "audio/wave_device.h"
#include "module/module.h"
#include "module/stream.h"
#include "shell/heap.h"

namespace {

Sample g_tone{};
int32_t g_ticks;

// Until the player drives them, a test tick does: a quiet 441 Hz square wave on voice 0.
void test_tick(PlayerState* p)
{
    Voice* v = &g_voices[0];
    if (g_ticks++ == 0) {
        v->sample = &g_tone;
        v->position = 0;
        v->position_fraction = 0;
        v->step = 1;
        v->step_fraction = 0;
        v->direction = 1;
        v->volume_left = v->volume_right = 16;
    }
}

class AudioWin32 : public ::testing::Test {
protected:
    PlayerState player{};
    int32_t blocks_before = 0;

    void SetUp() override
    {
        g_ticks = 0;
        g_tone = Sample{};
        g_tone.data = static_cast<int16_t*>(MemAlloc((100 + 8) * sizeof(int16_t)));
        for (int i = 0; i < 100; i++) g_tone.data[i] = i < 50 ? 8000 : -8000;
        g_tone.data[100] = g_tone.data[0];
        g_tone.length = 100;
        g_tone.loop_length = 100;
        g_tone.loop_type = 2;
        player.default_bpm = 125;
        player.default_speed = 6;
        player.channel_count = 2;
        player.initial_global_volume = 64;
        player.tick_callback = test_tick;
        blocks_before = MemLiveBlocks();
        set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);
    }
    void TearDown() override
    {
        audio_close();
        EXPECT_FALSE(wave_device_is_open());
        EXPECT_EQ(MemLiveBlocks(), blocks_before);
        MemFree(g_tone.data);
    }
    // The device, or a skip when this machine has none.
    bool open_or_skip()
    {
        if (!getenv("PULSE_SERVER")) return false;
        return audio_open(44100, 0);
    }
};

TEST_F(AudioWin32, OpenBeforeTheCallbacksAreRegisteredFailsWithoutTouchingTheDevice)
{
    set_module_io(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(audio_open(44100, 0));
    EXPECT_FALSE(wave_device_is_open());
}

TEST_F(AudioWin32, StopBeforeStartAndWithANullPlayer)
{
    EXPECT_FALSE(audio_stop(nullptr));
    EXPECT_TRUE(audio_stop(&player));
    EXPECT_FALSE(audio_start(&player));  // no device open
    EXPECT_EQ(g_audio_player, nullptr);
}

TEST_F(AudioWin32, PlaysForSecondsThenStopsAndCloses)
{
    if (!open_or_skip()) GTEST_SKIP() << "no sound device (PULSE_SERVER unset or no device opens)";
    ASSERT_TRUE(audio_start(&player));
    EXPECT_EQ(player.elapsed_ms, 2005);
    const DWORD t0 = GetTickCount();
    Sleep(3000);
    const DWORD waited = GetTickCount() - t0;
    // The device has played on: the thread has rendered the slices it left, about 50 a second.
    const int32_t rendered = player.elapsed_ms - 2005;
    EXPECT_GT(rendered, static_cast<int32_t>(waited) - 600);
    EXPECT_LT(rendered, static_cast<int32_t>(waited) + 600);
    EXPECT_GT(audio_get_time_ms(&player), 0);
    EXPECT_GT(g_ticks, 100);
    EXPECT_TRUE(audio_stop(&player));
    EXPECT_EQ(g_thread_exited.load(), 1);
    EXPECT_EQ(g_ring, nullptr);
    audio_close();
    EXPECT_FALSE(wave_device_is_open());
}

TEST_F(AudioWin32, StartTwiceStopTwiceCloseWhilePlaying)
{
    if (!open_or_skip()) GTEST_SKIP() << "no sound device (PULSE_SERVER unset or no device opens)";
    ASSERT_TRUE(audio_start(&player));
    Sleep(300);
    ASSERT_TRUE(audio_start(&player));  // afresh: the first ring is stopped and released
    EXPECT_EQ(player.elapsed_ms, 2005);
    Sleep(300);
    EXPECT_TRUE(audio_stop(&player));
    EXPECT_TRUE(audio_stop(&player));
    ASSERT_TRUE(audio_start(&player));
    Sleep(200);
    audio_close();  // stops the playback first
    EXPECT_EQ(g_audio_player, nullptr);
    EXPECT_TRUE(audio_stop(&player));
    ASSERT_TRUE(open_or_skip());  // and the device opens again
    ASSERT_TRUE(audio_start(&player));
    EXPECT_TRUE(audio_stop(&player));
}

TEST_F(AudioWin32, StopRightAfterStartDoesNotWaitForAStaleExitFlag)
{
    if (!open_or_skip()) GTEST_SKIP() << "no sound device (PULSE_SERVER unset or no device opens)";
    for (int i = 0; i < 5; i++) {
        ASSERT_TRUE(audio_start(&player));
        EXPECT_TRUE(audio_stop(&player));  // the thread may not have run yet
        EXPECT_EQ(g_thread_exited.load(), 1);
    }
}

}  // namespace
