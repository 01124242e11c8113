// The wave device and the audio thread under Wine: open, start, play for a while, stop, close, in
// the orders the program can use them. Needs a sound device (PulseAudio with a null sink here);
// without one the playing tests are skipped, and fail where the headless session should give one.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "audio/audio.h"
#include "audio/audio_local.h"
#include "audio/wave_device.h"
#include "base/heap.h"
#include "module/module.h"
#include "module/stream.h"
#include "player/voice.h"
#include "support/test_device.h"

namespace {

Sample g_tone{};
std::atomic<int32_t> g_ticks;        // ticks so far, on either thread
DWORD   g_main_thread;               // the test's own thread
int32_t g_first_thread_tick_ms;      // elapsed_ms at the audio thread's first tick; read after the stop

// Until the player drives them, a test tick does: a quiet 441 Hz square wave on voice 0.
void test_tick(PlayerState* p)
{
    Voice* v = &g_voices[0];
    if (GetCurrentThreadId() != g_main_thread && g_first_thread_tick_ms < 0) g_first_thread_tick_ms = p->elapsed_ms;
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
        g_main_thread = GetCurrentThreadId();
        g_first_thread_tick_ms = -1;
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
    // Waits until the ticks (50 a second at 125 BPM, 101 of them in the pre-fill) reach n. The device
    // is clocked in real time; the 60 s limit only ends a test whose device or thread has stopped.
    static void wait_ticks(int32_t n)
    {
        const DWORD t0 = GetTickCount();
        while (g_ticks.load() < n && GetTickCount() - t0 < 60000) Sleep(5);
        EXPECT_GE(g_ticks.load(), n) << "the audio thread stopped rendering";
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
    if (!open_or_skip()) QE_SKIP_WITHOUT_SESSION("sound device (PULSE_SERVER unset or no device opens)");
    const DWORD t0 = GetTickCount();
    ASSERT_TRUE(audio_start(&player));
    // The device plays on and the thread renders each slice it leaves: about three seconds of it.
    wait_ticks(101 + 150);
    EXPECT_GT(audio_get_time_ms(&player), 0);
    EXPECT_TRUE(audio_stop(&player));
    const DWORD waited = GetTickCount() - t0;
    EXPECT_EQ(g_thread_exited.load(), 1);
    EXPECT_EQ(g_ring, nullptr);
    // Read once the thread is gone. The pre-fill rendered 100 slices, 2005 ms counted per chunk;
    // 101 ticks of 882 frames end 682 frames into the ring's next pass, so the thread's first tick
    // comes after a 682-frame chunk of 15.46 ms, counted as 15.
    EXPECT_EQ(g_first_thread_tick_ms, 2005 + 15);
    // The thread never runs ahead of the device, which plays in real time: what it rendered after
    // the pre-fill fits in the time it ran, give or take Wine's own buffering (250 ms here, and a
    // poll of 5 ms).
    const int32_t rendered = player.elapsed_ms - 2005;
    EXPECT_LT(rendered, static_cast<int32_t>(waited) + 600);
    audio_close();
    EXPECT_FALSE(wave_device_is_open());
}

TEST_F(AudioWin32, StartTwiceStopTwiceCloseWhilePlaying)
{
    if (!open_or_skip()) QE_SKIP_WITHOUT_SESSION("sound device (PULSE_SERVER unset or no device opens)");
    // Each stop or close comes once the thread has rendered a few ticks of its own.
    ASSERT_TRUE(audio_start(&player));
    wait_ticks(g_ticks.load() + 5);
    ASSERT_TRUE(audio_start(&player));  // afresh: the first ring is stopped and released
    wait_ticks(g_ticks.load() + 5);
    EXPECT_TRUE(audio_stop(&player));
    EXPECT_TRUE(audio_stop(&player));
    ASSERT_TRUE(audio_start(&player));
    wait_ticks(g_ticks.load() + 5);
    audio_close();  // stops the playback first
    EXPECT_EQ(g_audio_player, nullptr);
    EXPECT_TRUE(audio_stop(&player));
    ASSERT_TRUE(open_or_skip());  // and the device opens again
    ASSERT_TRUE(audio_start(&player));
    EXPECT_TRUE(audio_stop(&player));
}

TEST_F(AudioWin32, StopRightAfterStartDoesNotWaitForAStaleExitFlag)
{
    if (!open_or_skip()) QE_SKIP_WITHOUT_SESSION("sound device (PULSE_SERVER unset or no device opens)");
    for (int i = 0; i < 5; i++) {
        ASSERT_TRUE(audio_start(&player));
        EXPECT_TRUE(audio_stop(&player));  // the thread may not have run yet
        EXPECT_EQ(g_thread_exited.load(), 1);
    }
}

}  // namespace
