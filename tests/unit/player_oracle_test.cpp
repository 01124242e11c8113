// The sequencer against libxmp (a FastTracker 2 compatible player, used only as an oracle): on
// modules that keep to commands where both mean the same, both play the same rows in the same
// order, each for the same number of ticks. Ticks, not sample offsets: libxmp truncates a tick's
// length where this player rounds it.
#include <gtest/gtest.h>
#include <xmp.h>

#include <random>
#include <vector>

#include "audio/audio.h"
#include "module/stream.h"
#include "player/player.h"
#include "support/test_module.h"
#include "support/xm_writer.h"

namespace {

struct RowTicks {
    int order, pattern, row, ticks;
    bool operator==(const RowTicks& o) const
    {
        return order == o.order && pattern == o.pattern && row == o.row && ticks == o.ticks;
    }
};
std::ostream& operator<<(std::ostream& os, const RowTicks& r)
{
    return os << "(" << r.order << " p" << r.pattern << " r" << r.row << " x" << r.ticks << ")";
}

// libxmp's rows up to the song's first loop (its loop_count).
std::vector<RowTicks> OracleRows(std::vector<uint8_t>& image)
{
    std::vector<RowTicks> rows;
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, image.data(), static_cast<long>(image.size())) != 0) {
        xmp_free_context(ctx);
        return rows;
    }
    xmp_start_player(ctx, 44100, 0);
    xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    xmp_set_player(ctx, XMP_PLAYER_MIX, 100);
    xmp_set_player(ctx, XMP_PLAYER_AMP, 0);
    xmp_set_player(ctx, XMP_PLAYER_DSP, 0);
    xmp_set_player(ctx, XMP_PLAYER_VOLUME, 100);
    for (int frame = 0; frame < 200000; frame++) {
        if (xmp_play_frame(ctx) != 0) break;
        xmp_frame_info fi;
        xmp_get_frame_info(ctx, &fi);
        if (fi.loop_count > 0) break;
        if (fi.frame == 0) rows.push_back(RowTicks{fi.pos, fi.pattern, fi.row, 0});
        if (!rows.empty()) rows.back().ticks++;
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return rows;
}

// This player's first `count` rows of the same file, loaded by the program's loader.
std::vector<RowTicks> OurRows(std::vector<uint8_t>& image, size_t count)
{
    std::vector<RowTicks> rows;
    memory_serve_image(image.data(), static_cast<int32_t>(image.size()));
    PlayerState* p = player_load(nullptr, nullptr);
    if (!p) return rows;
    StartPlayback(p);
    for (int guard = 0; guard < 200000; guard++) {
        if (p->tick == 0) {
            if (rows.size() == count) break;
            p->tick_callback(p);
            int32_t order, row;
            player_position(p, &order, &row);
            rows.push_back(RowTicks{order, p->order_table[order], row, 1});
        } else {
            p->tick_callback(p);
            rows.back().ticks++;
        }
    }
    player_free(p);
    return rows;
}

xmw::Instrument Beep()
{
    xmw::Instrument inst;
    inst.name = "beep";
    xmw::Sample s;
    for (int i = 0; i < 32; i++) s.frames.push_back(static_cast<int16_t>(i < 16 ? 60 : -60));
    s.loop = 1;
    s.loop_length = 32;
    inst.samples.push_back(s);
    return inst;
}

// A module with notes, speed and tempo changes and pattern breaks in random places; breaks go to
// rows that every pattern has.
xmw::Module RandomSong(uint32_t seed)
{
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return static_cast<int>(lo + rng() % static_cast<uint32_t>(hi - lo + 1)); };
    xmw::Module m;
    m.channels = 4;
    m.speed = static_cast<uint16_t>(pick(2, 8));
    m.bpm = static_cast<uint16_t>(pick(60, 200));
    m.instruments.push_back(Beep());
    int patterns = pick(2, 4);
    int min_rows = 64;
    for (int i = 0; i < patterns; i++) {
        xmw::Pattern p;
        p.rows = pick(8, 40);
        if (p.rows < min_rows) min_rows = p.rows;
        m.patterns.push_back(p);
    }
    for (auto& p : m.patterns) {
        for (int r = 0; r < p.rows; r++) {
            if (rng() % 4 == 0) p.at(r, 3, m.channels) = {static_cast<uint8_t>(pick(30, 70)), 1, 0, 0, 0};
            if (rng() % 9 == 0) p.at(r, 1, m.channels) = {0, 0, 0, 0x0F, static_cast<uint8_t>(pick(1, 31))};
            if (rng() % 9 == 0) p.at(r, 2, m.channels) = {0, 0, 0, 0x0F, static_cast<uint8_t>(pick(32, 255))};
            if (rng() % 14 == 0) {
                int target = pick(0, min_rows - 1);
                p.at(r, 0, m.channels) = {0, 0, 0, 0x0D, static_cast<uint8_t>((target / 10) * 16 + target % 10)};
            }
        }
    }
    m.orders.clear();
    int orders = pick(3, 7);
    for (int i = 0; i < orders; i++) m.orders.push_back(static_cast<uint8_t>(i < patterns ? i : pick(0, patterns - 1)));
    return m;
}

void ExpectSameRows(xmw::Module m, const char* what)
{
    std::vector<uint8_t> image = xmw::Write(m);
    std::vector<RowTicks> oracle = OracleRows(image);
    ASSERT_GT(oracle.size(), 4u) << what;
    std::vector<RowTicks> ours = OurRows(image, oracle.size());
    EXPECT_EQ(ours, oracle) << what;
}

}  // namespace

TEST(SequencerOracle, PlainSongWithSpeedAndTempo)
{
    xmw::Module m;
    m.channels = 2;
    m.speed = 11;
    m.bpm = 125;
    m.instruments.push_back(Beep());
    xmw::Pattern a, b;
    a.rows = 20;
    b.rows = 41;
    a.at(0, 0, 2) = {49, 1, 0, 0, 0};
    a.at(5, 1, 2) = {0, 0, 0, 0x0F, 3};
    a.at(9, 1, 2) = {0, 0, 0, 0x0F, 100};   // 1102.5 samples a tick: ticks, not samples
    b.at(2, 1, 2) = {0, 0, 0, 0x0F, 0x1F};
    b.at(3, 1, 2) = {0, 0, 0, 0x0F, 1};
    b.at(39, 0, 2) = {0, 0, 0, 0x0D, 0};
    m.patterns = {a, b};
    m.orders = {0, 1, 0, 1};
    ExpectSameRows(m, "plain");
}

TEST(SequencerOracle, PatternLoopFromRowZero)
{
    xmw::Module m;
    m.channels = 2;
    m.speed = 3;
    xmw::Pattern a, b;
    a.rows = 12;
    b.rows = 6;
    a.at(0, 1, 2) = {0, 0, 0, 0x0E, 0x60};
    a.at(5, 1, 2) = {0, 0, 0, 0x0E, 0x62};
    b.at(2, 0, 2) = {0, 0, 0, 0x0F, 5};
    m.patterns = {a, b};
    m.orders = {0, 1, 0};
    ExpectSameRows(m, "loop");
}

TEST(SequencerOracle, RandomSongsWithBreaksSpeedsAndTempos)
{
    for (uint32_t seed = 1; seed <= 40; seed++) {
        SCOPED_TRACE(seed);
        ExpectSameRows(RandomSong(seed), "random");
    }
}
