// player/player.h -- the module player: load, free, and the tick that drives the voices.
#pragma once
#include <cstdint>

#include "module/module.h"

struct ModuleStream;

PlayerState* player_load(const void* name, SampleProvider provider);  // null on failure
bool         player_free(PlayerState* player);                         // false for null
bool         xm_parse(PlayerState* player, ModuleStream* stream);

void player_set_bpm(PlayerState* player, int32_t bpm);  // bpm and samples_per_tick
void player_tick(PlayerState* player);                  // one tick; only through tick_callback
void process_row(PlayerState* player);
void process_tick(PlayerState* player);
