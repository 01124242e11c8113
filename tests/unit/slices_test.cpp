// Slice rendering and playback over the null wave device: sizes from the rate, where the ticks
// fall, the elapsed time, the pre-fill, the audio thread following the device's position across
// the 32-bit wrap, and start/stop in the orders the program and its tools use them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/audio_local.h"
#include "audio/mixer.h"
#include "audio/wave_device.h"
#include "audio/wave_device_host.h"
#include "base/heap.h"
#include "module/module.h"
#include "module/stream.h"
#include "player/channel.h"
#include "player/voice.h"

namespace {

// Until the player drives them, a test tick drives the voices: at the first tick voice 0 starts a
// long constant forward loop at step 1.0, so its position counts the frames mixed so far.
struct TickLog {
    std::vector<int32_t> frames;    // voice 0's position at each tick
    std::vector<int32_t> slices;    // g_write_slice at each tick
};
TickLog g_log;
Sample g_tone{};

void test_tick(PlayerState* p)
{
    Voice* v = &g_voices[0];
    if (g_log.frames.empty()) {
        v->sample = &g_tone;
        v->position = 0;
        v->position_fraction = 0;
        v->step = 1;
        v->step_fraction = 0;
        v->direction = 1;
        v->volume_left = v->volume_right = 100;
    }
    g_log.frames.push_back(v->position);
    g_log.slices.push_back(g_write_slice);
    p->row = static_cast<int32_t>(g_log.frames.size());  // something for the position records
    p->order_position = 256 + 3;                          // recorded in 8 bits
}

class Slices : public ::testing::Test {
protected:
    PlayerState player{};
    int32_t blocks_before = 0;

    void SetUp() override
    {
        g_log = TickLog();
        g_tone = Sample{};
        g_tone.data = static_cast<int16_t*>(MemAlloc((200000 + 8) * sizeof(int16_t)));
        for (int i = 0; i < 200001; i++) g_tone.data[i] = 1000;
        g_tone.length = 200000;
        g_tone.loop_start = 0;
        g_tone.loop_length = 200000;
        g_tone.loop_type = 2;
        player.default_bpm = 125;
        player.default_speed = 6;
        player.channel_count = 4;
        player.initial_global_volume = 64;
        player.tick_callback = test_tick;
        blocks_before = MemLiveBlocks();
        set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);
        wave_device_host_fail_open(false);
    }
    void TearDown() override
    {
        audio_close();
        audio_render_end();
        EXPECT_EQ(MemLiveBlocks(), blocks_before);
        MemFree(g_tone.data);
    }
};

TEST_F(Slices, SizesFollowTheRate)
{
    struct Case { int32_t rate, slice, ring, ramp; } cases[] = {
        {44100, 884, 88400, 128}, {22050, 444, 44400, 64}, {48000, 960, 96000, 139}, {8000, 160, 16000, 23},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(audio_set_rate(c.rate));
        EXPECT_EQ(g_slice_frames, c.slice) << c.rate;
        EXPECT_EQ(g_ring_frames, c.ring) << c.rate;
        EXPECT_EQ(g_slice_count, 100) << c.rate;
        EXPECT_EQ(g_ramp_frames, c.ramp) << c.rate;
        EXPECT_EQ(g_ramp_scale, 1.0f / c.ramp) << c.rate;
    }
    EXPECT_FALSE(audio_set_rate(0));
    EXPECT_FALSE(audio_set_rate(7999));
    EXPECT_FALSE(audio_set_rate(192001));
    ASSERT_TRUE(audio_set_rate(44100));
}

TEST_F(Slices, TicksFallBetweenChunksAndElapsedTimeIsRoundedPerChunk)
{
    ASSERT_TRUE(audio_render_begin(&player, 44100));
    EXPECT_EQ(player.samples_per_tick, 882);
    int32_t frames = 0;
    const int16_t* first = audio_render_next(&frames);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(frames, 884);
    EXPECT_EQ(player.elapsed_ms, 20);
    audio_render_next(&frames);
    // Two ticks in the first slice (frames 0 and 882), one in the second, at its frame 880.
    ASSERT_GE(g_log.frames.size(), 3u);
    EXPECT_EQ(g_log.frames[0], 0);
    EXPECT_EQ(g_log.frames[1], 882);
    EXPECT_EQ(g_log.frames[2], 884 + 880);
    EXPECT_EQ(g_log.slices, (std::vector<int32_t>{0, 0, 1}));
    EXPECT_EQ(player.tick_samples_left, 882 - 4);
    for (int s = 2; s < 100; s++) audio_render_next(&frames);
    EXPECT_EQ(player.elapsed_ms, 2005);  // 100 slices: 2004.5 ms exactly
    EXPECT_EQ(g_write_slice, 0);
    EXPECT_EQ(g_slice_positions[0].elapsed_ms, 20);
    EXPECT_EQ(g_slice_positions[0].row, 2);
    EXPECT_EQ(g_slice_positions[0].order_position, 3);
    EXPECT_EQ(g_slice_positions[99].elapsed_ms, 2005);
    // The sound: voice 0 at 100/255 of a constant 1000 from its first frame (a ramp from silence).
    EXPECT_EQ(first[0], 0);
    EXPECT_EQ(first[2 * 200], 392);
    EXPECT_EQ(first[2 * 200 + 1], 392);
    audio_render_end();
    EXPECT_EQ(audio_render_next(&frames), nullptr);
    g_voices[40].sample = &g_tone;  // left over from the first rendering: a second starts afresh
    ASSERT_TRUE(audio_render_begin(&player, 44100));
    EXPECT_EQ(g_voices[40].sample, nullptr);
}

TEST_F(Slices, PositionFollowsTheDeviceAcrossTheWrapOf32Bits)
{
    ASSERT_TRUE(audio_set_rate(44100));
    audio_position_reset();
    const uint64_t slice_bytes = 884 * 4;
    uint64_t bytes = 0;
    // Steps of about 5 ms up to 2^32 bytes and on across it; the slice must follow the true count.
    const uint64_t wrap = uint64_t(1) << 32;
    std::vector<uint64_t> points;
    for (uint64_t b = 0; b < 100000; b += 882) points.push_back(b);
    for (uint64_t b = wrap - 10 * slice_bytes; b < wrap + 10 * slice_bytes; b += 1764) points.push_back(b);
    points.push_back(wrap);
    points.push_back(wrap + 4);
    points.push_back(2 * wrap + 123456);
    std::sort(points.begin(), points.end());
    for (uint64_t b : points) {
        // Big jumps are taken in steps below 2^31 bytes, as a polling thread sees them.
        while (b - bytes >= (uint64_t(1) << 31)) {
            bytes += (uint64_t(1) << 31) - 4;
            audio_slice_at(static_cast<uint32_t>(bytes));
        }
        bytes = b;
        int32_t want = static_cast<int32_t>((b / 4 % 88400) / 884);
        ASSERT_EQ(audio_slice_at(static_cast<uint32_t>(b)), want) << b;
    }
    // Across the wrap the 32-bit count alone would jump: 2^30 frames is not a whole ring.
    EXPECT_NE(((wrap / 4) % 88400) / 884, 0u);
}

// Sets the device's position and waits until the audio thread has read it and then read once
// more: the second read comes after the renders the first one asked for, so the thread is idle
// and its state can be read. The thread polls every 5 ms; the 10 s limit only ends a test whose
// thread has stopped polling.
void device_at(uint64_t bytes)
{
    wave_device_host_set_position(static_cast<uint32_t>(bytes));
    const int32_t target = wave_device_host_position_reads() + 2;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (wave_device_host_position_reads() < target && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(wave_device_host_position_reads(), target) << "the audio thread stopped polling";
}

TEST_F(Slices, StartPreFillsTheRingAndTheThreadFollowsTheDevice)
{
    ASSERT_TRUE(audio_open(44100, 0));
    ASSERT_TRUE(audio_start(&player));
    // The device stands at byte 0 until a test moves it, so the thread renders nothing yet.
    device_at(0);
    EXPECT_EQ(g_write_slice, 0);
    EXPECT_EQ(player.elapsed_ms, 2005);
    EXPECT_EQ(audio_get_time_ms(&player), 20);  // the slice heard first
    EXPECT_EQ(audio_get_row(&player), 2);
    EXPECT_EQ(audio_get_order(&player), 3);
    EXPECT_EQ(audio_get_row(nullptr), 0);
    EXPECT_EQ(g_ring[2 * 200], 392);
    EXPECT_EQ(g_ring[2 * (88400 - 1)], 392);
    EXPECT_EQ(wave_device_host_prepared_bytes(), 88400u * 4);  // the whole ring, 16-bit stereo
    EXPECT_TRUE(wave_device_host_playing());

    const int32_t heard_at_3 = g_slice_positions[3].elapsed_ms;
    // The device enters slice 3: the thread renders slices 0, 1 and 2 again, and no more.
    device_at(3 * 884 * 4 + 100);
    EXPECT_EQ(g_audible_slice.load(), 3);
    EXPECT_EQ(g_write_slice, 3);
    EXPECT_EQ(audio_get_time_ms(&player), heard_at_3);  // slice 3 still holds the pre-fill's sound
    EXPECT_EQ(player.elapsed_ms, 2005 + 60);             // three more slices of 20.045 ms
    // A second start renders the whole ring again from slice 0, wherever the thread had got to.
    ASSERT_TRUE(audio_start(&player));
    device_at(0);
    EXPECT_EQ(g_write_slice, 0);
    EXPECT_EQ(player.elapsed_ms, 2005);
    EXPECT_EQ(audio_get_time_ms(&player), 20);
    EXPECT_TRUE(audio_stop(&player));
    EXPECT_EQ(g_thread_exited.load(), 1);
    EXPECT_FALSE(wave_device_host_playing());  // the device lets go of the ring before it is freed
    EXPECT_EQ(wave_device_host_prepared_bytes(), 0u);
    EXPECT_EQ(g_ring, nullptr);
    EXPECT_EQ(audio_get_time_ms(&player), 0);
}

// The thread follows the device through positions it cannot read and across the wrap of the
// 32-bit byte count: after each move it has rendered exactly the slices the device has left.
TEST_F(Slices, ThreadKeepsTheLastGoodPositionAndFollowsTheDeviceAcrossTheWrap)
{
    ASSERT_TRUE(audio_open(44100, 0));
    ASSERT_TRUE(audio_start(&player));
    const uint64_t slice = 884 * 4, ring = 100 * slice, wrap = uint64_t(1) << 32;
    struct Step { int32_t fail_every; uint64_t bytes; } steps[] = {
        {1, 50 * slice + 8},             // every read fails: the device seems to stand still
        {0, 50 * slice + 8},             // readable again: slices 0..49 are rendered
        {2, 70 * slice},                 // every other read fails: a failure is not byte 0
        {3, ring + 10 * slice},          // on into the second pass of the ring
        {2, wrap / 2 - 4},               // big moves, each below 2^31 bytes, as a polling thread sees them
        {2, wrap - 2 * slice},
        {2, wrap + 5 * slice + 4},       // the 32-bit count wraps to 20 KB
        {2, wrap + 40 * slice},
    };
    int32_t rendered = 0, at = 0;  // slices the thread has rendered, and the slice it should be at
    for (const Step& step : steps) {
        wave_device_host_fail_position(step.fail_every);
        device_at(step.bytes);
        device_at(step.bytes);  // and a few reads more, some of which fail: nothing more is rendered
        const int32_t want = step.fail_every == 1 ? at : static_cast<int32_t>(step.bytes / 4 % 88400 / 884);
        rendered += (want - at + 100) % 100;
        at = want;
        EXPECT_EQ(g_audible_slice.load(), want) << step.bytes;
        EXPECT_EQ(g_write_slice, want) << step.bytes;
    }
    wave_device_host_fail_position(0);
    EXPECT_TRUE(audio_stop(&player));
    // Each slice is one or two chunks, each rounded by at most half a millisecond.
    EXPECT_NEAR(player.elapsed_ms - 2005, rendered * 20.045, rendered * 1.0);
}

TEST_F(Slices, StartAndStopInEveryOrderTheProgramUses)
{
    // Stop with a null player: false, nothing touched.
    g_stop_request.store(0);
    EXPECT_FALSE(audio_stop(nullptr));
    EXPECT_EQ(g_stop_request.load(), 0);
    // Stop before any start: true, only the stop request and the player change.
    EXPECT_TRUE(audio_stop(&player));
    EXPECT_EQ(g_stop_request.load(), 1);
    EXPECT_EQ(g_audio_player, nullptr);
    EXPECT_FALSE(audio_start(nullptr));
    EXPECT_FALSE(audio_start(&player));  // no device open

    // Open before the module I/O callbacks are registered: false, the device untouched.
    set_module_io(nullptr, nullptr, nullptr, nullptr, nullptr);
    int32_t opens = wave_device_host_open_calls();
    EXPECT_FALSE(audio_open(44100, 0));
    EXPECT_EQ(wave_device_host_open_calls(), opens);
    EXPECT_FALSE(wave_device_is_open());
    set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);
    wave_device_host_fail_open(true);
    EXPECT_FALSE(audio_open(44100, 0));
    wave_device_host_fail_open(false);
    EXPECT_FALSE(audio_open(1000, 0));

    // Open, start twice (the second starts afresh), stop twice, close twice.
    ASSERT_TRUE(audio_open(44100, 0));
    ASSERT_TRUE(audio_start(&player));
    g_voices[40].sample = &g_tone;  // left over from the first playback
    ASSERT_TRUE(audio_start(&player));
    EXPECT_EQ(g_voices[40].sample, nullptr);
    EXPECT_EQ(player.elapsed_ms, 2005);
    for (int i = 0; i < 4; i++) EXPECT_EQ(g_channels[i].voice, &g_voices[i]);
    EXPECT_TRUE(audio_stop(&player));
    EXPECT_TRUE(audio_stop(&player));
    EXPECT_EQ(MemLiveBlocks(), blocks_before);
    audio_close();
    audio_close();
    EXPECT_FALSE(wave_device_is_open());

    // Close, or open again, while playing stops the playback first.
    for (int reopen = 0; reopen < 2; reopen++) {
        ASSERT_TRUE(audio_open(22050, 0));
        ASSERT_TRUE(audio_start(&player));
        EXPECT_EQ(player.samples_per_tick, 441);
        EXPECT_FALSE(audio_render_begin(&player, 44100));  // not while a device is open
        if (reopen) EXPECT_TRUE(audio_open(44100, 0)); else audio_close();
        EXPECT_EQ(g_audio_player, nullptr) << reopen;
    }
}

}  // namespace
