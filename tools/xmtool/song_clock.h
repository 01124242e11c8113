// tools/xmtool/song_clock.h -- follows playback tick by tick for the render and timeline commands:
// where each tick starts in the output, and how often the song has jumped back to its start.
#pragma once
#include <cstdint>

#include "module/module.h"

struct SongClock {
    int64_t tick_start;     // output sample frame at which the last tick began
    int64_t next_tick;      // output sample frame at which the next tick begins
    int64_t ticks;          // ticks played
    int32_t loops;          // jumps back in the order list so far (the song's end, or a break there)
    int64_t loop_at;        // output frame at which the last such jump happened, -1 before
};

extern SongClock g_song_clock;

// Routes the tick callback of a player just reset for playback through the clock. The callback
// still runs player_tick unchanged, so the sound is the same.
void song_clock_start(PlayerState* player);

// Parses a count argument: digits only, value 1..max. False for anything else.
bool parse_count(const char* text, int64_t max, int64_t* value);
