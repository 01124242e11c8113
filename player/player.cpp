// player/player.cpp -- the sequencer.
// Portable; runs on whichever thread renders audio slices.
#include "player/player.h"

#include "audio/audio.h"
#include "gfx/math.h"
#include "player/channel.h"

ChannelState g_channels[CHANNEL_COUNT];

void player_set_bpm(PlayerState* player, int32_t bpm)
{
    player->bpm = bpm;
    float ticks_per_second = static_cast<float>(bpm * 2) / 5.0f;
    double samples = (1000.0 / ticks_per_second) * g_output_rate / 1000.0;
    player->samples_per_tick = static_cast<int32_t>(FloatToInt(samples));
}

void player_tick(PlayerState* player) {}
void process_row(PlayerState* player) {}
void process_tick(PlayerState* player) {}
