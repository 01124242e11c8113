// The sequencer, tick by tick: tempo, the row advance, pattern break, pattern loop, speed and
// tempo changes, on modules built in memory.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "player/player.h"
#include "support/test_module.h"

namespace {

struct Row {
    int order, row, ticks;
    bool operator==(const Row& o) const { return order == o.order && row == o.row && ticks == o.ticks; }
};
std::ostream& operator<<(std::ostream& os, const Row& r) { return os << "(" << r.order << "," << r.row << " x" << r.ticks << ")"; }

// The rows played by the next `ticks` ticks, with the number of ticks each lasted.
std::vector<Row> PlayRows(TestModule& m, int ticks)
{
    std::vector<Row> rows;
    for (int i = 0; i < ticks; i++) {
        bool row_tick = m.p()->tick == 0;
        m.tick();
        if (row_tick) rows.push_back(Row{m.p()->order_position, m.p()->row, 0});
        rows.back().ticks++;
    }
    return rows;
}

}  // namespace

TEST(Sequencer, TempoGivesTheTickLengthRoundedToEven)
{
    TestModule m(1, {1});
    m.start();
    const int cases[][2] = {{125, 882}, {100, 1102}, {32, 3445}, {255, 432}};
    for (auto& c : cases) {
        player_set_bpm(m.p(), c[0]);
        EXPECT_EQ(m.p()->samples_per_tick, c[1]) << c[0] << " BPM";
        EXPECT_EQ(m.p()->bpm, c[0]);
    }
    // A file's tempo of 0 would make ticks of no samples, on which the renderer never moves on.
    player_set_bpm(m.p(), 0);
    EXPECT_EQ(m.p()->bpm, 1);
    EXPECT_EQ(m.p()->samples_per_tick, 110250);
}

TEST(Sequencer, PlaysEveryRowThenContinuesAtTheRestartPosition)
{
    TestModule m(2, {2, 3, 1}, 11);
    m.p()->restart_position = 1;
    m.start();
    std::vector<Row> expect = {{0, 0, 11}, {0, 1, 11}, {1, 0, 11}, {1, 1, 11}, {1, 2, 11}, {2, 0, 11},
                               {1, 0, 11}, {1, 1, 11}};
    EXPECT_EQ(PlayRows(m, 8 * 11), expect);
}

TEST(Sequencer, PatternBreakTargets)
{
    // D15 is decimal; D63 is the last row a break names; D64 is above 63 and becomes row 0 (the
    // patterns have 128 rows, so no row is cut for want of rows); a break on the last order entry
    // goes to entry 0, not to the restart position.
    TestModule m(2, {128, 128, 128}, 1);
    m.p()->restart_position = 2;
    m.set(0, 0, 1, 0, 0, 0, 13, 0x15);
    m.set(1, 15, 0, 0, 0, 0, 13, 0x63);
    m.set(2, 63, 1, 0, 0, 0, 13, 0x64);
    m.start();
    std::vector<Row> expect = {{0, 0, 1}, {1, 15, 1}, {2, 63, 1}, {0, 0, 1}, {1, 15, 1}};
    EXPECT_EQ(PlayRows(m, 5), expect);
}

TEST(Sequencer, BreakToARowThePatternLacksStartsAtRowZero)
{
    TestModule m(1, {4, 8}, 1);
    m.set(0, 0, 0, 0, 0, 0, 13, 0x20);
    m.start();
    std::vector<Row> expect = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}};
    EXPECT_EQ(PlayRows(m, 3), expect);
}

TEST(Sequencer, PatternLoopPlaysItsRowsThreeTimes)
{
    TestModule m(2, {10}, 1);
    m.set(0, 4, 1, 0, 0, 0, 14, 0x60);
    m.set(0, 7, 1, 0, 0, 0, 14, 0x62);
    m.start();
    // `row` itself is rewritten at the loop's end (to loop_row - 1): the row played is the one the
    // row tick read.
    std::vector<int> rows;
    for (int i = 0; i < 20; i++) {
        m.tick();
        int32_t order, row;
        player_position(m.p(), &order, &row);
        rows.push_back(row);
    }
    std::vector<int> expect = {0, 1, 2, 3, 4, 5, 6, 7, 4, 5, 6, 7, 4, 5, 6, 7, 8, 9, 0, 1};
    EXPECT_EQ(rows, expect);
}

TEST(Sequencer, SpeedAndTempoCommands)
{
    TestModule m(1, {8}, 6);
    m.set(0, 1, 0, 0, 0, 0, 15, 0x1F);  // 31 ticks per row
    m.set(0, 2, 0, 0, 0, 0, 15, 0x00);  // speed 0: every tick is a row tick
    m.set(0, 5, 0, 0, 0, 0, 15, 0x03);
    m.set(0, 6, 0, 0, 0, 0, 15, 0x20);  // 32 BPM
    m.start();
    std::vector<Row> expect = {{0, 0, 6}, {0, 1, 31}, {0, 2, 1}, {0, 3, 1}, {0, 4, 1}, {0, 5, 3}};
    EXPECT_EQ(PlayRows(m, 6 + 31 + 3 + 3), expect);
    EXPECT_EQ(m.p()->samples_per_tick, 882);
    m.tick();  // the row tick of row 6: that very tick is already 3445 samples long
    EXPECT_EQ(m.p()->bpm, 32);
    EXPECT_EQ(m.p()->samples_per_tick, 3445);
}

TEST(Sequencer, RowTickAt125BpmSpeed11Lasts9702Samples)
{
    TestModule m(1, {2}, 11);
    m.start();
    EXPECT_EQ(m.p()->speed * m.p()->samples_per_tick, 9702);
}

TEST(Sequencer, OrderTableNamingAMissingPatternDoesNotLeaveTheModule)
{
    // A restart position past the song's last entry (2 of entries 0 and 1) and a pattern number
    // without a pattern: the player keeps going at order 0 and reads nothing it does not have.
    TestModule m(1, {2, 2, 2});
    m.p()->song_length = 2;
    m.p()->pattern_slots = 2;  // the third lies in memory beyond the module's patterns
    m.p()->restart_position = 2;
    m.p()->order_table[1] = 2;
    m.start();
    std::vector<Row> expect = {{0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {0, 0, 1}};
    m.p()->speed = 1;
    EXPECT_EQ(PlayRows(m, 4), expect);
}
