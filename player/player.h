// player/player.h -- the module player: load, and the tick that drives the voices. (player_free
// stops the sound before it releases the module, so the sound's interface holds it: audio/audio.h.)
#pragma once
#include <cstdint>

#include "module/module.h"

PlayerState* player_load(const void* name, SampleProvider provider);  // xm_load with player_tick set; null on failure

void player_set_bpm(PlayerState* player, int32_t bpm);  // bpm and samples_per_tick
void player_tick(PlayerState* player);                  // one tick; only through tick_callback
void process_row(PlayerState* player);
void process_tick(PlayerState* player);

// What playback start does to the player before the first tick: the playback fields from the
// module's defaults, the first channel_count channels cleared, channel i bound to voice i, and
// the player's tables of frequencies and vibrato filled. The voice table itself is audio_open's.
// Used by playback start, xmtool and the tests.
void player_reset(PlayerState* player);

// The order entry and row that the current tick plays. `row` itself may differ: a pattern loop
// rewrites it at its row tick (to the loop row - 1) for the advance.
void player_position(const PlayerState* player, int32_t* order, int32_t* row);
