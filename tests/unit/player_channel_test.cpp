// One channel tick by tick: envelopes, fadeout, auto-vibrato, the volume column, note delay and
// the commands that change how a note starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "player/channel.h"
#include "player/player.h"
#include "player/step.h"
#include "player/voice.h"
#include "support/test_module.h"

namespace {

ChannelState& Ch(int c) { return g_channels[c]; }

// One field of channel 0 after each of the next `ticks` ticks.
template <typename F>
std::vector<int> Trace(TestModule& m, int ticks, F field)
{
    std::vector<int> out;
    for (int i = 0; i < ticks; i++) {
        m.tick();
        out.push_back(field(Ch(0)));
    }
    return out;
}

void VolumeEnvelope(Instrument& inst, std::vector<EnvelopePoint> points, uint8_t type, uint8_t sustain = 0)
{
    for (size_t i = 0; i < points.size(); i++) inst.volume_points[i] = points[i];
    inst.volume_point_count = static_cast<uint8_t>(points.size());
    inst.volume_type = type;
    inst.volume_sustain = sustain;
}

}  // namespace

TEST(Envelope, TwoPointsFallInTenStepsAndAreDoneAtTheEleventh)
{
    TestModule m(1, {4}, 16);
    int i = m.add_instrument();
    VolumeEnvelope(m.instrument(i), {{0, 64}, {10, 0}}, 1);
    m.set(0, 0, 0, 49, i);
    m.start();
    std::vector<int> done;
    std::vector<int> volume;
    for (int t = 0; t < 13; t++) {
        m.tick();
        volume.push_back(Ch(0).envelope_volume);
        done.push_back(Ch(0).volume_envelope_done);
    }
    EXPECT_EQ(volume, (std::vector<int>{64, 57, 51, 44, 38, 32, 25, 19, 12, 6, 0, 0, 0}));
    EXPECT_EQ(done, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1}));
    // The next note with the instrument runs the finished envelope again from its first point.
    m.set(0, 1, 0, 49, i);
    volume = Trace(m, 5, [](ChannelState& c) { return c.envelope_volume; });
    EXPECT_EQ(volume, (std::vector<int>{0, 0, 0, 64, 57}));
}

// A loop from point 1 to point 2 of (0, 64) (2, 32) (4, 0), by hand: 64 48 32 16, then back at
// point 1 (tick 2 of the envelope) every two ticks. The loop needs its flag and a start that
// names a point. The panning envelope steps the same way.
TEST(Envelope, LoopsNeedTheirFlagAndAStartThatNamesAPoint)
{
    const struct { uint8_t type, loop_start; std::vector<int> want; } cases[] = {
        {1 | 4, 1, {64, 48, 32, 16, 32, 16, 32, 16}},
        {1, 1, {64, 48, 32, 16, 0, 0, 0, 0}},
        {1 | 4, 3, {64, 48, 32, 16, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        for (bool panning : {false, true}) {
            TestModule m(1, {4}, 16);
            Instrument& inst = m.instrument(m.add_instrument());
            const EnvelopePoint points[] = {{0, 64}, {2, 32}, {4, 0}};
            std::copy(points, points + 3, panning ? inst.panning_points : inst.volume_points);
            (panning ? inst.panning_point_count : inst.volume_point_count) = 3;
            (panning ? inst.panning_type : inst.volume_type) = c.type;
            (panning ? inst.panning_loop_start : inst.volume_loop_start) = c.loop_start;
            (panning ? inst.panning_loop_end : inst.volume_loop_end) = 2;
            m.set(0, 0, 0, 49, 1);
            m.start();
            std::vector<int> got = Trace(m, 8, [&](ChannelState& ch) { return panning ? ch.envelope_panning : ch.envelope_volume; });
            EXPECT_EQ(got, c.want) << int(c.type) << " " << int(c.loop_start) << " " << panning;
        }
    }
}

TEST(Envelope, SustainHoldsUntilKeyOffThenTheNextSegmentAndTheFadeoutRun)
{
    TestModule m(1, {4}, 4);
    int i = m.add_instrument();
    VolumeEnvelope(m.instrument(i), {{0, 64}, {2, 32}, {6, 0}}, 1 | 2, 1);
    m.instrument(i).volume_fadeout = 8192;
    m.set(0, 0, 0, 49, i);
    m.set(0, 2, 0, 255);
    m.start();
    std::vector<int> volume = Trace(m, 14, [](ChannelState& c) { return c.envelope_volume; });
    // held at point 1 from tick 2; the key-off at tick 8 releases it along the segment to (6, 0)
    EXPECT_EQ(volume, (std::vector<int>{64, 48, 32, 32, 32, 32, 32, 32, 32, 24, 16, 8, 0, 0}));
    EXPECT_EQ(Ch(0).volume_envelope_done, 1);
    EXPECT_EQ(Ch(0).fadeout_volume, 65536 - 6 * 8192);
}

TEST(Envelope, KeyOffWithoutVolumeEnvelopeSilencesAtTheRowTick)
{
    TestModule m(1, {2}, 3);
    int i = m.add_instrument();
    m.set(0, 0, 0, 49, i);
    m.set(0, 1, 0, 0, 0, 0, 20, 0x00);  // K00: key off whatever the parameter
    m.start();
    std::vector<int> volume = Trace(m, 4, [](ChannelState& c) { return c.envelope_volume; });
    EXPECT_EQ(volume, (std::vector<int>{64, 64, 64, 0}));
    EXPECT_EQ(g_voices[0].volume, 0);
}

TEST(AutoVibrato, SweepGrowsLinearlyOverItsTicks)
{
    TestModule m(1, {2}, 16);
    int i = m.add_instrument();
    m.instrument(i).vibrato_type = 1;  // square: +64 while the phase stays at 0
    m.instrument(i).vibrato_depth = 16;
    m.instrument(i).vibrato_sweep = 10;
    m.set(0, 0, 0, 49, i);
    m.start();
    std::vector<int> offset = Trace(m, 13, [](ChannelState& c) { return c.period_offset; });
    EXPECT_EQ(offset, (std::vector<int>{0, 1, 3, 4, 6, 8, 9, 11, 12, 14, 16, 16, 16}));
}

TEST(AutoVibrato, WaveformsAndAnUndefinedType)
{
    // (type, phase) -> w x depth 64 >> 6 = w
    // The phase then moves on by the rate (200), modulo 256.
    const int cases[][4] = {{0, 64, 64, 8}, {0, 192, -64, 136}, {0, 0, 0, 200}, {0, 255, -2, 199}, {1, 127, 64, 71},
                            {1, 128, -64, 72}, {2, 0, 0, 200}, {2, 127, -64, 71}, {2, 128, 64, 72},
                            {3, 0, 0, 200}, {3, 128, 64, 72}, {3, 129, -64, 73}, {7, 64, 0, 8}, {1, 55, 64, 255}};
    PlayerState player{};
    player_reset(&player);  // fills the sine table
    for (auto& c : cases) {
        Instrument inst{};
        inst.vibrato_type = static_cast<uint8_t>(c[0]);
        inst.vibrato_depth = 64;
        inst.vibrato_rate = 200;
        ChannelState ch{};
        ch.vibrato_position = c[1];
        auto_vibrato(&ch, &inst);
        EXPECT_EQ(ch.period_offset, c[2]) << "type " << c[0] << " phase " << c[1];
        EXPECT_EQ(ch.vibrato_position, c[3]) << "type " << c[0] << " phase " << c[1];
        EXPECT_TRUE(ch.update_flags & UPDATE_FREQUENCY);
    }
}

TEST(Notes, ToneAndInstrumentOnlyCells)
{
    TestModule m(1, {4}, 2);
    int a = m.add_instrument(40);
    int b = m.add_instrument(20);
    m.set(0, 0, 0, 49, a);
    m.set(0, 1, 0, 61, b, 0, 3, 0x10);  // tone portamento: old key, instrument, period; restart
    m.set(0, 2, 0, 0, a, 0x30);          // instrument without note: reset, no restart
    m.start();
    m.tick();
    Voice* first = Ch(0).voice;
    EXPECT_EQ(Ch(0).period, 4608);
    m.tick();
    first->position = 30;  // the mixer moved on
    m.tick();
    EXPECT_EQ(Ch(0).key, 48);
    EXPECT_EQ(Ch(0).instrument, 0);
    EXPECT_EQ(Ch(0).period, 4608);
    EXPECT_EQ(Ch(0).volume, 40);   // instrument b is ignored, a is reset
    EXPECT_NE(Ch(0).voice, first); // restarted in the twin
    EXPECT_EQ(Ch(0).voice->position, 0);
    m.tick();
    Ch(0).voice->position = 17;
    Ch(0).key_off = 1;
    m.tick();
    EXPECT_EQ(Ch(0).volume, 0x20);
    EXPECT_EQ(Ch(0).key_off, 0);
    EXPECT_EQ(Ch(0).voice->position, 17);
}

TEST(VolumeColumn, SlideAtSpeed11LowersBy110StoppingAtZero)
{
    TestModule m(1, {2}, 11);
    int i = m.add_instrument(64);
    m.set(0, 0, 0, 49, i, 0x6A);
    m.start();
    std::vector<int> volume = Trace(m, 11, [](ChannelState& c) { return c.volume; });
    EXPECT_EQ(volume, (std::vector<int>{54, 44, 34, 24, 14, 4, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Ch(0).voice->volume, 0);  // and the voice is silent too
}

TEST(VolumeColumn, RowAndTickActions)
{
    struct Case { uint8_t v; int volume_row, volume_tick, panning_row, panning_tick; };
    const Case cases[] = {
        {0x10, 0, 0, 128, 128},   {0x50, 64, 64, 128, 128},  {0x55, 32, 32, 128, 128},
        {0x73, 35, 38, 128, 128}, {0x83, 29, 29, 128, 128},  {0x9F, 47, 47, 128, 128},
        {0xB5, 32, 32, 128, 128}, {0xC3, 32, 32, 48, 48},    {0xDF, 32, 32, 113, 98},
        {0xE2, 32, 32, 130, 132}, {0xEF, 32, 32, 143, 158},
    };
    for (const Case& c : cases) {
        TestModule m(1, {2}, 2);
        int i = m.add_instrument(32, 128);
        m.set(0, 0, 0, 49, i);
        m.set(0, 1, 0, 0, 0, c.v);  // without an instrument, whose reset would update the voice anyway
        m.start();
        for (int t = 0; t < 3; t++) m.tick();
        EXPECT_EQ(Ch(0).volume, c.volume_row) << std::hex << int(c.v);
        EXPECT_EQ(Ch(0).panning, c.panning_row) << std::hex << int(c.v);
        EXPECT_EQ(Ch(0).voice->panning, c.panning_row) << std::hex << int(c.v);  // heard at once
        m.tick();
        EXPECT_EQ(Ch(0).volume, c.volume_tick) << std::hex << int(c.v);
        EXPECT_EQ(Ch(0).panning, c.panning_tick) << std::hex << int(c.v);
        EXPECT_EQ(Ch(0).voice->panning, c.panning_tick) << std::hex << int(c.v);
    }
}

TEST(VolumeColumn, PortamentoByteChangesThePeriodWithoutRestart)
{
    TestModule m(1, {2}, 1);
    int i = m.add_instrument();
    m.set(0, 0, 0, 49, i);
    m.set(0, 1, 0, 61, 0, 0xF0);
    m.start();
    m.tick();
    Voice* v = Ch(0).voice;
    v->position = 21;
    m.tick();
    EXPECT_EQ(Ch(0).voice, v);
    EXPECT_EQ(v->position, 21);
    EXPECT_EQ(Ch(0).period, 4608 - 12 * 64);
    EXPECT_EQ(v->frequency, 16726);
}

TEST(Effects, SetVolumeIsIgnoredAndArpeggioStepsBySemitones)
{
    TestModule m(1, {1}, 4);
    int i = m.add_instrument(50);
    m.set(0, 0, 0, 49, i, 0, 0, 0x47);
    m.start();
    std::vector<int> offset = Trace(m, 4, [](ChannelState& c) { return c.period_offset; });
    EXPECT_EQ(offset, (std::vector<int>{0, 4 * 64, 7 * 64, 0}));
    TestModule a(1, {1}, 4);  // with Amiga periods the arpeggio leaves the pitch alone
    a.p()->flags = 0;
    a.set(0, 0, 0, 49, a.add_instrument(50), 0, 0, 0x47);
    a.start();
    EXPECT_EQ(Trace(a, 4, [](ChannelState& c) { return c.period_offset; }), (std::vector<int>{0, 0, 0, 0}));

    TestModule n(1, {1}, 2);
    i = n.add_instrument(50);
    n.set(0, 0, 0, 49, i, 0, 12, 0x10);
    n.start();
    n.tick();
    EXPECT_EQ(Ch(0).volume, 50);
}

TEST(NoteDelay, StartsAtTickYOrNever)
{
    // (param, speed) -> tick at which the voice starts, or -1
    const int cases[][3] = {{0xD0, 6, -1}, {0xD3, 6, 3}, {0xD6, 6, -1}, {0xD9, 6, -1}};
    for (auto& c : cases) {
        TestModule m(1, {2}, c[1]);
        int i = m.add_instrument();
        m.set(0, 0, 0, 49, i, 0, 14, static_cast<uint8_t>(c[0]));
        m.start();
        int started = -1;
        for (int t = 0; t < c[1]; t++) {
            m.tick();
            if (started < 0 && Ch(0).voice->sample) started = t;
        }
        EXPECT_EQ(started, c[2]) << std::hex << c[0];
    }
}

// The old note sounds on as it is until the delayed restart: the instrument reset on the delay
// row (fadeout back to full) does not reach its voice at the row tick.
TEST(NoteDelay, TheOldNoteKeepsItsFadeUntilTheRestart)
{
    TestModule m(1, {3}, 4);
    int i = m.add_instrument();
    VolumeEnvelope(m.instrument(i), {{0, 64}, {1, 64}}, 1);
    m.instrument(i).volume_fadeout = 8192;
    m.set(0, 0, 0, 49, i);
    m.set(0, 1, 0, 255);                  // key-off: the fadeout runs
    m.set(0, 2, 0, 0, i, 0, 14, 0xD2);    // no note, the instrument, the restart at tick 2
    m.start();
    for (int t = 0; t < 8; t++) m.tick();
    const int faded = Ch(0).voice->volume;
    m.tick();  // row 2, tick 0
    EXPECT_EQ(Ch(0).voice->volume, faded);
    m.tick();
    m.tick();  // tick 2: the restart, at full volume again
    EXPECT_GT(Ch(0).voice->volume, faded);
}

TEST(NoteDelay, WithoutANoteRestartsTheLastNoteWithAnInstrumentReset)
{
    // The delayed cell's volume column (set volume 0x20, or set panning 0) waits for the restart
    // too; the restart takes the instrument's volume 48 and panning 100 first.
    const struct { uint8_t column; int volume, panning; } cases[] = {{0x30, 0x20, 100}, {0xC0, 48, 0}};
    for (const auto& c : cases) {
        TestModule m(1, {2}, 4);
        int i = m.add_instrument(48, 100);
        m.set(0, 0, 0, 49, i, 0x18);
        m.set(0, 1, 0, 0, 0, c.column, 14, 0xD2);
        m.start();
        for (int t = 0; t < 4; t++) m.tick();
        Voice* before = Ch(0).voice;
        before->position = 40;
        m.tick();  // row 1, tick 0: the old note goes on unchanged
        EXPECT_EQ(Ch(0).voice, before);
        EXPECT_EQ(Ch(0).volume, 8);
        EXPECT_EQ(Ch(0).panning, 100);
        m.tick();
        EXPECT_EQ(Ch(0).voice, before);
        m.tick();  // tick 2: the restart, then the column
        EXPECT_NE(Ch(0).voice, before);
        EXPECT_EQ(Ch(0).voice->position, 0);
        EXPECT_EQ(Ch(0).volume, c.volume) << std::hex << int(c.column);
        EXPECT_EQ(Ch(0).panning, c.panning) << std::hex << int(c.column);
        EXPECT_EQ(Ch(0).period, 4608);
    }
}

TEST(Notes, InstrumentWithoutSampleAndKeysBeyondTheKeymapStaySilent)
{
    TestModule m(2, {2}, 1);
    int i = m.add_instrument();
    m.instrument(i).keymap[50] = 16;
    m.set(0, 0, 0, 51, i);   // keymap entry 16: the empty sample
    m.set(0, 0, 1, 49, 9);   // instrument beyond the table
    m.set(0, 1, 0, 120, i);  // not a key: ignored as a note
    m.start();
    m.tick();
    EXPECT_EQ(Ch(0).voice->sample, nullptr);
    EXPECT_EQ(Ch(1).voice->sample, nullptr);
    m.tick();
    EXPECT_EQ(Ch(0).key, 50);
}

// Linear periods: 7680 - 64 x key - finetune / 2, so C-4 (note 49) is 4608, a semitone is 64 and
// a finetune of -128 (a semitone down) adds 64. Notes 1 and 96 are the lowest and highest keys.
TEST(Notes, FinetuneAndRelativeNoteMoveTheLinearPeriod)
{
    const int cases[][4] = {{49, 0, 0, 4608}, {49, -128, 0, 4672}, {49, 127, 0, 4545}, {49, -16, 0, 4616},
                            {49, 0, 12, 3840}, {61, 0, -12, 4608}, {1, 0, 0, 7680}, {96, 0, 0, 1600}};
    for (auto& c : cases) {
        TestModule m(1, {1}, 1);
        int i = m.add_instrument();
        m.sample_of(i).finetune = static_cast<int8_t>(c[1]);
        m.sample_of(i).relative_note = static_cast<int8_t>(c[2]);
        m.set(0, 0, 0, static_cast<uint8_t>(c[0]), i);
        m.start();
        m.tick();
        EXPECT_EQ(Ch(0).period, c[3]) << c[0] << " " << c[1] << " " << c[2];
    }
    // A key far above the frequencies worked out ahead (note 96 with relative note 127: key 222,
    // period -6528) gets 8363 x 2^((4608 + 6528) / 768) = 8363 x 2^14.5 = 193774682.47 Hz.
    TestModule m(1, {1}, 1);
    int i = m.add_instrument();
    m.sample_of(i).relative_note = 127;
    m.set(0, 0, 0, 96, i);
    m.start();
    m.tick();
    EXPECT_EQ(Ch(0).period, -6528);
    EXPECT_EQ(Ch(0).voice->frequency, 193774682);
}

TEST(Notes, WithoutTheLinearTableAKeyGetsTheAmigaPeriodOfTheSamePitch)
{
    TestModule m(1, {1}, 1);
    m.p()->flags = 0;
    int i = m.add_instrument();
    m.set(0, 0, 0, 49, i);
    m.start();
    m.tick();
    EXPECT_EQ(Ch(0).period, 1712);
    EXPECT_EQ(Ch(0).voice->frequency, 8362);  // 14317056 / 1712, truncated
}
