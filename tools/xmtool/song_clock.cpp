// tools/xmtool/song_clock.cpp -- the tick callback wrapper shared by render and timeline.
// Native only.
#include "tools/xmtool/song_clock.h"

#include <cstdlib>

#include "player/player.h"

SongClock g_song_clock;

// Runs player_tick and notes where the tick starts. The renderer mixes exactly samples_per_tick
// frames after each call (read after the call), so tick starts are the running sum of those.
static void clocked_tick(PlayerState* player)
{
    SongClock& c = g_song_clock;
    // At a row tick, a next order entry at or before the current one is the song starting over:
    // the natural advance past the last entry, or a pattern break on it.
    if (player->tick == 0 && player->next_order >= 0 && player->next_order <= player->order_position && c.ticks > 0) {
        c.loops++;
        c.loop_at = c.next_tick;
    }
    player_tick(player);
    c.tick_start = c.next_tick;
    c.next_tick += player->samples_per_tick;
    c.ticks++;
}

void song_clock_start(PlayerState* player)
{
    g_song_clock = SongClock{0, 0, 0, 0, -1};
    player->tick_callback = clocked_tick;
}

bool parse_count(const char* text, int64_t max, int64_t* value)
{
    if (!text || !*text) return false;
    int64_t v = 0;
    for (const char* p = text; *p; p++) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + (*p - '0');
        if (v > max) return false;
    }
    if (v < 1) return false;
    *value = v;
    return true;
}
