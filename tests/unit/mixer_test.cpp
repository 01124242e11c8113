// The voice mixer: exact output at known positions, loops, ramps, the 16-bit conversion, and
// that chunking the output never changes it while no ramp runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/mixer.h"
#include "base/heap.h"
#include "module/module.h"
#include "player/voice.h"
#include "tools/xmtool/xmtool.h"

namespace {

const float kInv255 = 1.0f / 255.0f;
const uint32_t kHalf = 0x80000000u;  // 0.5 in 2^-32 units

// A sample the way the loader leaves it: data from MemAlloc (so 16 zero bytes precede it), the
// guard frame after the end, eight frames of slack.
struct TestSample {
    Sample s{};
    explicit TestSample(const std::vector<int16_t>& frames, int32_t loop_type = 1, int32_t loop_start = 0,
                        int32_t loop_length = -1)
    {
        int32_t n = static_cast<int32_t>(frames.size());
        s.data = static_cast<int16_t*>(MemAlloc((n + 8) * sizeof(int16_t)));
        memcpy(s.data, frames.data(), n * sizeof(int16_t));
        s.length = n;
        s.loop_type = static_cast<uint8_t>(loop_type);
        s.loop_start = loop_type == 1 ? 0 : loop_start;
        s.loop_length = loop_type == 1 ? n : loop_length;
        int32_t end = s.loop_start + s.loop_length;
        if (loop_type == 2) s.data[end] = s.data[s.loop_start];
        if (loop_type == 4) s.data[end] = s.data[end - 1];
    }
    ~TestSample() { MemFree(s.data); }
};

// A voice already at its gains: no ramp runs.
Voice* steady_voice(int slot, Sample* s, int32_t pos, uint32_t frac, int32_t step, uint32_t step_frac,
                    int32_t left = 128, int32_t right = 128, int32_t direction = 1)
{
    Voice* v = &g_voices[slot];
    v->sample = s;
    v->position = pos;
    v->position_fraction = frac;
    v->step = step;
    v->step_fraction = step_frac;
    v->direction = direction;
    v->volume_left = v->last_target_left = left;
    v->volume_right = v->last_target_right = right;
    v->level_left = left * 256;
    v->level_right = right * 256;
    return v;
}

std::vector<int16_t> ramp_data(int n, int from, int by)
{
    std::vector<int16_t> d(n);
    for (int i = 0; i < n; i++) d[i] = static_cast<int16_t>(from + by * i);
    return d;
}

class Mixer : public ::testing::Test {
protected:
    void SetUp() override
    {
        voices_reset();
        g_ramp_frames = 128;  // 44100 Hz
        g_ramp_scale = 1.0f / 128.0f;
    }
};

TEST_F(Mixer, NothingHappensForZeroFramesOrSilentVoices)
{
    TestSample smp(ramp_data(64, 100, 3), 2, 0, 64);
    steady_voice(0, &smp.s, 5, 123, 1, 456);
    g_voices[1].volume_left = 99;  // silent: null sample
    Voice before[VOICE_COUNT];
    memcpy(before, g_voices, sizeof before);
    alignas(16) float block[16] = {};
    mix_voices(block, 0);
    mix_voices(block, -3);
    EXPECT_EQ(memcmp(before, g_voices, sizeof before), 0);
    for (float f : block) EXPECT_EQ(f, 0.0f);
    mix_voices(block, 8);
    EXPECT_EQ(memcmp(&before[1], &g_voices[1], sizeof(Voice)), 0);
    // Only slots 0..63 are mixed: a voice in a record beyond them neither sounds nor moves.
    alignas(16) float quiet[16] = {};
    voices_reset();
    steady_voice(MIXED_VOICES, &smp.s, 5, 123, 1, 456);
    memcpy(before, g_voices, sizeof before);
    mix_voices(quiet, 8);
    EXPECT_EQ(memcmp(before, g_voices, sizeof before), 0);
    for (float f : quiet) EXPECT_EQ(f, 0.0f);
}

TEST_F(Mixer, SampleWithoutLoopPlaysExactlyItsLengthThenStops)
{
    std::vector<int16_t> d = {1000, -2000, 3000, -4000, 32767, -32768, 7, 0, -1, 12345};
    TestSample smp(d);
    Voice* v = steady_voice(0, &smp.s, 0, 0, 1, 0);
    alignas(16) float block[2 * 16] = {};
    mix_voices(block, 16);
    float g = 128 * kInv255;
    for (int i = 0; i < 16; i++) {
        float want = i < 10 ? static_cast<float>(d[i]) * g : 0.0f;
        EXPECT_EQ(block[2 * i], want) << i;
        EXPECT_EQ(block[2 * i + 1], want) << i;
    }
    EXPECT_EQ(v->sample, nullptr);
    EXPECT_EQ(v->position, 0);
    EXPECT_EQ(v->position_fraction, 0u);
}

TEST_F(Mixer, ForwardLoopWrapsThroughTheGuardFrame)
{
    TestSample smp(ramp_data(150, 0, 10), 2, 100, 50);  // data[i] = 10 i, guard = data[100] = 1000
    Voice* v = steady_voice(0, &smp.s, 149, kHalf, 1, 0, 255, 0);
    alignas(16) float block[2 * 2] = {};
    mix_voices(block, 1);
    EXPECT_EQ(block[0], 1245.0f);  // 1490 and the guard 1000 at weight 0.5
    EXPECT_EQ(v->position, 100);
    EXPECT_EQ(v->position_fraction, kHalf);
    mix_voices(block + 2, 1);
    EXPECT_EQ(block[2], 1005.0f);
    EXPECT_EQ(v->position, 101);
    // A voice that starts past the end (where a sample offset may put it) wraps before its first
    // frame: 160 is 110 in the loop, and 10 x 110 is heard.
    v->position = 160;
    v->position_fraction = 0;
    block[0] = 0.0f;
    mix_voices(block, 1);
    EXPECT_EQ(block[0], 1100.0f);
    EXPECT_EQ(v->position, 111);
}

TEST_F(Mixer, PingPongReflectsTwoToTheMinus32Inside)
{
    struct Case {
        const char* what;
        int32_t pos;
        uint32_t frac;
        int32_t direction;
        int32_t want_pos;
        uint32_t want_frac;
        int32_t want_direction;
        float value;  // data[i] = 10 i, gain 1: 1490 and the guard 1490; 1000 + 0.25 x 10
    } cases[] = {
        {"at the end, 149.5 forward", 149, kHalf, 1, 149, 0x7FFFFFFFu, 2, 1490.0f},
        {"at the start, 100.25 backward", 100, 0x40000000u, 2, 100, 0xBFFFFFFFu, 1, 1002.5f},
    };
    for (const Case& c : cases) {
        voices_reset();
        TestSample smp(ramp_data(150, 0, 10), 4, 100, 50);
        Voice* v = steady_voice(0, &smp.s, c.pos, c.frac, 1, 0, 255, 255, c.direction);
        alignas(16) float block[2] = {};
        mix_voices(block, 1);
        EXPECT_EQ(block[0], c.value) << c.what;
        EXPECT_EQ(v->position, c.want_pos) << c.what;
        EXPECT_EQ(v->position_fraction, c.want_frac) << c.what;
        EXPECT_EQ(v->direction, c.want_direction) << c.what;
        EXPECT_EQ(v->sample, &smp.s) << c.what;
    }
}

// Reflections one at a time, as long as the position lies outside the loop.
void reflect_literally(int64_t& p, int32_t& direction, int64_t a, int64_t b)
{
    if (direction == 1) p = 2 * b - p - 1, direction = 2;
    else p = 2 * a - p - 1, direction = 1;
    for (;;) {
        if (direction == 2 && p < a) p = 2 * a - p - 1, direction = 1;
        else if (direction == 1 && p >= b) p = 2 * b - p - 1, direction = 2;
        else break;
    }
}

TEST_F(Mixer, PingPongStepsOfManyLoopLengthsReflectAsOftenAsNeeded)
{
    struct Case { int32_t pos; uint32_t frac; int32_t direction; int32_t step; uint32_t step_frac; } cases[] = {
        {12, 0, 1, 7, 0},                // 6 frames past the end: exactly one loop there and back
        {11, 0, 2, 13, 0},               // 12 frames before the start: exactly two
        {11, 0, 2, 7, 0},                // 6 before: one
        {12, kHalf, 1, 1000, 0x5EADBEEFu},
        {10, 0x12345678u, 2, 99999, 0xFFFFFFFFu},
        {11, 0x00000003u, 1, 30000, 0x00000001u},
        {11, 0, 2, 4, 1},                // to 6.FFFFFFFF: the reflection meets the end exactly, and turns
    };
    for (const Case& c : cases) {
        voices_reset();
        TestSample smp(std::vector<int16_t>(16, 500), 4, 10, 3);
        Voice* v = steady_voice(0, &smp.s, c.pos, c.frac, c.step, c.step_frac, 128, 128, c.direction);
        alignas(16) float block[2] = {};
        mix_voices(block, 1);
        int64_t s = (int64_t(c.step) << 32) | c.step_frac;
        int64_t p = ((int64_t(c.pos) << 32) | (c.frac & ~1u)) + (c.direction == 1 ? s : -s);
        int32_t direction = c.direction;
        reflect_literally(p, direction, int64_t(10) << 32, int64_t(13) << 32);
        EXPECT_EQ(v->position, int32_t(p >> 32)) << c.step;
        EXPECT_EQ(v->position_fraction, uint32_t(p)) << c.step;
        EXPECT_EQ(v->direction, direction) << c.step;
        EXPECT_GE(v->position, 9);
        EXPECT_LE(v->position, 13);
    }
}

TEST_F(Mixer, ForwardStepsOfManyLoopLengthsWrapIntoTheLoop)
{
    for (int32_t step : {3, 4, 5, 6, 7, 1000, 1001, 1 << 20}) {  // the wrap lands on each of the loop's 3 frames
        voices_reset();
        TestSample smp(std::vector<int16_t>(16, 500), 2, 10, 3);
        Voice* v = steady_voice(0, &smp.s, 12, kHalf, step, 0x40000000u);
        alignas(16) float block[2] = {};
        mix_voices(block, 1);
        int32_t past = 12 + step + 0;  // 12.5 + step.25 = (12 + step).75
        EXPECT_EQ(v->position, 10 + (past - 10) % 3) << step;
        EXPECT_EQ(v->position_fraction, 0xC0000000u) << step;
    }
}

TEST_F(Mixer, LoopsOfOneFrameHoldThatFrame)
{
    for (int32_t type : {2, 4}) {
        voices_reset();
        TestSample smp(ramp_data(8, 100, 10), type, 5, 1);  // the loop is frame 5, 150
        Voice* v = steady_voice(0, &smp.s, 5, 0, 1, 0, 255, 255);
        alignas(16) float block[2 * 4] = {};
        mix_voices(block, 4);
        EXPECT_EQ(v->sample, &smp.s) << type;
        for (int i = 0; i < 4; i++) EXPECT_NEAR(block[2 * i], 150.0f, 0.01f) << type << " " << i;
    }
}

TEST_F(Mixer, ReflectionOntoLoopStartZeroReadsTheZeroMarginBeforeTheData)
{
    TestSample smp(std::vector<int16_t>(50, 1000), 4, 0, 50);
    Voice* v = steady_voice(0, &smp.s, 0, kHalf, 0, kHalf, 255, 255, 2);  // 0.5 backward by 0.5
    alignas(16) float block[2 * 2] = {};
    mix_voices(block, 1);
    EXPECT_EQ(v->position, -1);
    EXPECT_EQ(v->position_fraction, 0xFFFFFFFFu);
    EXPECT_EQ(v->direction, 1);
    mix_voices(block + 2, 1);  // data[-1] (the heap block's zero margin) and data[0]
    EXPECT_EQ(smp.s.data[-1], 0);
    EXPECT_EQ(block[2], 1000.0f);  // weight 1 - 2^-31 rounds to 1 in single precision
}

TEST_F(Mixer, RampFromSilenceReachesTheTargetsInOneRampLength)
{
    TestSample smp(std::vector<int16_t>(1000, 1000), 2, 0, 1000);
    // Shift 2 puts the block a frame off 16-byte alignment, where the mixer starts with one frame alone.
    for (int shift : {0, 2}) {
        Voice* v = steady_voice(0, &smp.s, 0, 0, 1, 0, 128, 128);
        v->level_left = v->level_right = 0;  // a trigger: levels 0, no ramp yet
        v->ramp_remaining = 0;
        alignas(16) float memory[2 * 200 + 2] = {};
        float* block = memory + shift;
        mix_voices(block, 200);
        // From gain 0 to 128/255 in 128 equal steps of 1/255: frame i is 1000 i / 255 (the float
        // sums stray by far less than 0.01), then 1000 x 128/255 from frame 128 on.
        EXPECT_EQ(block[0], 0.0f);
        for (int i = 0; i < 128; i++) ASSERT_NEAR(block[2 * i], 1000.0f * i / 255.0f, 0.01f) << i << " " << shift;
        for (int i = 128; i < 200; i++) ASSERT_EQ(block[2 * i + 1], 1000.0f * (128 * kInv255)) << i << " " << shift;
        EXPECT_EQ(v->level_left, 32768);
        EXPECT_EQ(v->level_right, 32768);
        EXPECT_EQ(v->ramp_remaining, 0);
        EXPECT_EQ(v->ramp_step_left, 0.0f);
    }
}

TEST_F(Mixer, RampSplitAcrossTwoCallsEndsExactlyAtTheTargets)
{
    TestSample smp(std::vector<int16_t>(1000, 1000), 2, 0, 1000);
    Voice* v = steady_voice(0, &smp.s, 0, 0, 1, 0, 100, 60);
    v->level_left = v->level_right = 0;
    alignas(16) float block[2 * 140] = {};
    mix_voices(block, 100);
    // Steps of 100/255 and 60/255 over 128 frames: frame i is 1000 (100 i/128) / 255 on the left,
    // 1000 (60 i/128) / 255 on the right; after 100 frames the levels (x 256) are 100 x 256 x
    // 100/128 = 20000 and 60 x 256 x 100/128 = 12000, with 28 frames of the ramp left.
    for (int i = 0; i < 100; i++) {
        ASSERT_NEAR(block[2 * i], 1000.0f * (0.78125f * i) / 255.0f, 0.01f) << i;
        ASSERT_NEAR(block[2 * i + 1], 1000.0f * (0.46875f * i) / 255.0f, 0.01f) << i;
    }
    EXPECT_EQ(v->ramp_remaining, 28);
    EXPECT_EQ(v->level_left, 20000);
    EXPECT_EQ(v->level_right, 12000);
    EXPECT_FLOAT_EQ(v->ramp_step_left, 100.0f / (255 * 128));

    // The second call goes on from 78.125/255 by the same steps and lands on the targets.
    mix_voices(block + 200, 40);
    for (int i = 0; i < 28; i++) ASSERT_NEAR(block[200 + 2 * i], 1000.0f * (78.125f + 0.78125f * i) / 255.0f, 0.01f) << i;
    EXPECT_EQ(block[200 + 2 * 28], 1000.0f * (100 * kInv255));
    EXPECT_EQ(v->level_left, 100 * 256);
    EXPECT_EQ(v->level_right, 60 * 256);
    EXPECT_EQ(v->ramp_remaining, 0);

    // At 48 kHz (ramps of 139 frames) the float sum of 36 steps to 91/255, rounded to a level and
    // summed on for 103, comes to 23295: a ramp's end takes the targets themselves, 91 x 256.
    voices_reset();
    g_ramp_frames = 139;
    g_ramp_scale = 1.0f / 139.0f;
    v = steady_voice(0, &smp.s, 0, 0, 1, 0, 91, 91);
    v->level_left = v->level_right = 0;
    mix_voices(block, 36);
    mix_voices(block, 140);
    EXPECT_EQ(v->level_left, 91 * 256);
    EXPECT_EQ(v->level_right, 91 * 256);
}

TEST_F(Mixer, OneSidedRampLeavesTheOtherGainConstantAcrossCalls)
{
    TestSample smp(std::vector<int16_t>(1000, -3000), 2, 0, 1000);
    Voice* v = steady_voice(0, &smp.s, 0, 0, 1, 0, 128, 128);
    v->volume_left = 0;  // the note the player left: only the left side changes here
    alignas(16) float block[2 * 160] = {};
    mix_voices(block, 50);
    mix_voices(block + 100, 110);
    for (int i = 0; i < 160; i++) ASSERT_EQ(block[2 * i + 1], -3000.0f * (128 * kInv255)) << i;
    EXPECT_GT(std::fabs(block[0]), std::fabs(block[2 * 100]));  // left falls...
    EXPECT_EQ(block[2 * 128], 0.0f);      // ...to silence after one ramp length
    EXPECT_EQ(v->level_left, 0);
    EXPECT_EQ(v->level_right, 32768);
}

TEST_F(Mixer, BoundariesFarAwayAreFoundExactly)
{
    // 2^24 + 1000 frames: the end lies beyond the reach of a 24-bit distance search.
    const int32_t n = (1 << 24) + 1000;
    std::vector<int16_t> d(n, 0);
    for (int32_t i = 0; i < n; i += 65536) d[i] = 1000;
    {
        TestSample smp(d);
        Voice* v = steady_voice(0, &smp.s, 0, 0, 65536, 0);  // 2^16 frames per output frame
        std::vector<float> block(2 * 1000, 0.0f);
        mix_voices(block.data(), 1000);
        const int32_t frames = (n + 65535) / 65536;  // ceil(D / S) = 257
        EXPECT_EQ(v->sample, nullptr);
        for (int i = 0; i < 1000; i++) ASSERT_EQ(block[2 * i], i < frames ? 1000.0f * (128 * kInv255) : 0.0f) << i;
    }
    {
        TestSample smp(d, 2, 0, n);
        Voice* v = steady_voice(0, &smp.s, 0, 0, 65536, 0);
        std::vector<float> block(2 * 300, 0.0f);
        mix_voices(block.data(), 300);
        EXPECT_EQ(v->position, 300 * 65536 - n);  // wrapped once, exactly
        EXPECT_EQ(v->sample, &smp.s);
    }
}

TEST_F(Mixer, ChunkSizeNeverChangesTheOutputWhileNoRampRuns)
{
    TestSample fwd(ramp_data(300, -9000, 61), 2, 40, 250);
    TestSample pong(ramp_data(200, 8000, -77), 4, 30, 90);
    TestSample tiny(ramp_data(5, 20000, -3000), 4, 1, 3);
    TestSample once(ramp_data(1500, -15000, 19));
    auto setup = [&] {
        voices_reset();
        steady_voice(0, &fwd.s, 3, 0x12345678u, 1, 0x5EADBEEFu, 128, 40);
        steady_voice(5, &pong.s, 31, 0x9ABCDEF1u, 0, 0xBB000001u, 64, 128);
        steady_voice(33, &tiny.s, 2, 0x00000001u, 2, 0x3C00F00Du, 90, 90);
        steady_voice(63, &once.s, 0, 0, 0, 0xC0000001u, 128, 128);
        steady_voice(17, &pong.s, 80, 0x40000000u, 3, 0x10000000u, 10, 100, 2);
    };
    const int total = 884 * 3;
    setup();
    std::vector<float> whole(2 * total, 0.0f);
    mix_voices(whole.data(), total);
    Voice after[VOICE_COUNT];
    memcpy(after, g_voices, sizeof after);

    // Shift 2 puts the block a frame off 16-byte alignment, where the mixer starts with one frame alone.
    for (int chunk : {1, 7, 64, 883, 884}) {
        for (int shift : {0, 2}) {
            setup();
            std::vector<float> pieces(2 * total + 2, 0.0f);
            float* block = pieces.data() + shift;
            for (int done = 0; done < total; done += chunk) mix_voices(block + 2 * done, std::min(chunk, total - done));
            EXPECT_EQ(memcmp(whole.data(), block, whole.size() * sizeof(float)), 0) << "chunk " << chunk << " shift " << shift;
            EXPECT_EQ(memcmp(after, g_voices, sizeof after), 0) << "chunk " << chunk << " shift " << shift;
        }
    }
    EXPECT_EQ(g_voices[63].sample, nullptr);  // the sample without a loop ended on the way
}

TEST_F(Mixer, XmtoolsAvx2MixerGivesTheSameBlocksAsTheProgramsSse2Mixer)
{
    if (!mixer_has_avx2()) GTEST_SKIP() << "no AVX2 on this CPU";
    TestSample fwd(ramp_data(300, -9000, 61), 2, 40, 250);
    TestSample pong(ramp_data(200, 8000, -77), 4, 30, 90);
    TestSample tiny(ramp_data(5, 20000, -3000), 4, 1, 3);
    TestSample once(ramp_data(1500, -15000, 19));
    TestSample full(std::vector<int16_t>(64, -32768), 2, 0, 64);
    auto setup = [&] {
        voices_reset();
        steady_voice(0, &fwd.s, 3, 0x12345678u, 1, 0x5EADBEEFu, 128, 40);
        steady_voice(5, &pong.s, 31, 0x9ABCDEF1u, 0, 0xBB000001u, 64, 128);       // ping-pong, below 1
        steady_voice(17, &pong.s, 80, 0x40000000u, 3, 0x10000000u, 10, 100, 2);   // backward, above 3
        steady_voice(33, &tiny.s, 2, 0x00000001u, 2, 0x3C00F00Du, 90, 90);        // a boundary every frame or two
        steady_voice(40, &once.s, 0, 0, 0, 0xC0000001u, 128, 128);               // ends on the way
        steady_voice(41, &full.s, 0, 0xFFFFFFFFu, 0, 0xFFFFFFFFu, 128, 128);     // full scale, weights near 1
        Voice* r = steady_voice(62, &fwd.s, 100, 0x80000000u, 0, 0x7FFFFFFFu, 128, 0);
        r->level_left = 0;  // a ramp, then fixed gains
        steady_voice(63, &pong.s, 50, 0, 7, 0xFFFFFFFEu, 77, 33, 2);              // many reflections
    };
    // Offsets of 0..3 frames from a 32-byte boundary, and chunks that start and end anywhere in a group.
    const int total = 1900;
    for (int offset = 0; offset < 4; offset++) {
        for (int chunk : {5, 8, 13, 884}) {
            std::vector<float> memory[2];
            float* block[2];
            Voice after[2][VOICE_COUNT];
            for (int wide = 0; wide < 2; wide++) {
                setup();
                memory[wide].assign(2 * total + 16, 0.0f);
                block[wide] = reinterpret_cast<float*>((reinterpret_cast<uintptr_t>(memory[wide].data()) + 31) & ~uintptr_t(31)) + 2 * offset;
                for (int done = 0; done < total; done += chunk)
                    (wide ? mix_voices_avx2 : mix_voices)(block[wide] + 2 * done, std::min(chunk, total - done));
                memcpy(after[wide], g_voices, sizeof after[wide]);
            }
            EXPECT_EQ(memcmp(block[0], block[1], 2 * total * sizeof(float)), 0) << "offset " << offset << " chunk " << chunk;
            EXPECT_EQ(memcmp(after[0], after[1], sizeof after[0]), 0) << "offset " << offset << " chunk " << chunk;
        }
    }
}

TEST(Pcm16, RoundsTiesToEvenAndClamps)
{
    struct Case { float in; int16_t out; } cases[] = {
        {2.5f, 2}, {3.5f, 4}, {-2.5f, -2}, {-3.5f, -4}, {0.49999997f, 0}, {-0.5f, 0}, {1.5f, 2},
        {32766.5f, 32766}, {32767.0f, 32767}, {32767.5f, 32767}, {40000.0f, 32767}, {1e30f, 32767},
        {-32768.0f, -32768}, {-32768.5f, -32768}, {-40000.0f, -32768}, {-1e30f, -32768}, {16448.3f, 16448},
    };
    const int n = sizeof cases / sizeof cases[0];
    // Every length from 1 to n frames, so the values pass through the vector and the tail paths.
    std::vector<float> in(2 * n);
    for (int i = 0; i < 2 * n; i++) in[i] = cases[i % n].in;
    for (int frames = 1; frames <= n; frames++) {
        std::vector<int16_t> out(2 * n + 1, 0x5555);
        convert_to_pcm16(out.data(), in.data(), frames);
        for (int i = 0; i < 2 * frames; i++) ASSERT_EQ(out[i], cases[i % n].out) << "value " << in[i] << " frames " << frames;
        ASSERT_EQ(out[2 * frames], 0x5555);
    }
    int16_t untouched = 7;
    convert_to_pcm16(&untouched, in.data(), 0);
    convert_to_pcm16(nullptr, in.data(), 1);
    convert_to_pcm16(&untouched, nullptr, 1);
    EXPECT_EQ(untouched, 7);
}

TEST_F(Mixer, TwoFullScaleVoicesInPhaseReachTheClamp)
{
    TestSample smp(std::vector<int16_t>(100, 32767), 2, 0, 100);
    steady_voice(0, &smp.s, 0, 0, 1, 0);
    steady_voice(32, &smp.s, 0, 0, 1, 0);
    alignas(16) float block[2 * 4] = {};
    mix_voices(block, 4);
    int16_t out[8];
    convert_to_pcm16(out, block, 4);
    EXPECT_NEAR(block[0], 2 * 32767 * 128 / 255.0, 0.01);
    EXPECT_EQ(out[0], 32767);
}

}  // namespace

TEST_F(Mixer, SilentVoicesMoveAsIfTheyWereMixed)
{
    // A voice at zero gains adds nothing, but its position, direction and end must come out as if
    // every frame had been stepped: compare with the same voices at an audible gain.
    TestSample fwd(ramp_data(300, -9000, 61), 2, 40, 250);
    TestSample pong(ramp_data(200, 8000, -77), 4, 30, 90);
    TestSample once(ramp_data(1500, -15000, 19));
    auto setup = [&](int32_t gain) {
        voices_reset();
        steady_voice(0, &fwd.s, 3, 0x12345679u, 1, 0x5EADBEEFu, gain, gain);
        steady_voice(5, &pong.s, 31, 0x9ABCDEF1u, 0, 0xBB000001u, gain, gain);
        steady_voice(17, &pong.s, 80, 0x40000000u, 3, 0x10000000u, gain, gain, 2);
        steady_voice(63, &once.s, 0, 0, 0, 0xC0000001u, gain, gain);
    };
    const int total = 884 * 3;
    std::vector<float> block(2 * total, 0.0f);
    setup(100);
    for (int done = 0; done < total; done += 883) mix_voices(block.data() + 2 * done, std::min(883, total - done));
    Voice heard[4] = {g_voices[0], g_voices[5], g_voices[17], g_voices[63]};

    setup(0);
    std::fill(block.begin(), block.end(), 0.0f);
    for (int done = 0; done < total; done += 883) mix_voices(block.data() + 2 * done, std::min(883, total - done));
    const int slots[4] = {0, 5, 17, 63};
    for (int i = 0; i < 4; i++) {
        const Voice& v = g_voices[slots[i]];
        EXPECT_EQ(v.position, heard[i].position) << "slot " << slots[i];
        EXPECT_EQ(v.position_fraction, heard[i].position_fraction) << "slot " << slots[i];
        EXPECT_EQ(v.direction, heard[i].direction) << "slot " << slots[i];
        EXPECT_EQ(v.sample, heard[i].sample) << "slot " << slots[i];
    }
    for (float x : block) ASSERT_EQ(x, 0.0f);
}
