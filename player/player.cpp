// player/player.cpp -- the sequencer: tempo, ticks, rows and the song position.
// Portable; runs on whichever thread renders audio slices (the main thread during the pre-fill).
#include "player/player.h"

#include "base/math.h"
#include "module/xm_loader.h"
#include "player/channel.h"
#include "player/step.h"
#include "player/voice.h"

ChannelState g_channels[CHANNEL_COUNT];

// The row the last row tick read, for the following ticks of that row. Kept apart from `row`
// because a pattern loop rewrites `row` at the row tick (to loop_row - 1, possibly -1).
static const PlayerState* g_row_player;   // the module the cells belong to
static const PatternCell* g_row_cells;    // channel_count cells, or null when the row had none
static int32_t            g_row_order;    // order entry and row the last row tick read
static int32_t            g_row_read;

static const PatternCell g_empty_cell = {0, 0, 0, 0, 0};

// The pattern at an order entry, or null when the order table names a pattern the module does not
// hold (an order entry beyond song_length, e.g. a restart position past the end).
static const Pattern* pattern_at(const PlayerState* player, int32_t order)
{
    if (!player->patterns || order < 0 || order > 255) return nullptr;
    int32_t number = player->order_table[order];
    if (number >= player->pattern_slots) return nullptr;
    return &player->patterns[number];
}

static int32_t channels_played(const PlayerState* player)
{
    int32_t n = player->channel_count;
    if (n < 0) return 0;
    return n > CHANNEL_COUNT ? CHANNEL_COUNT : n;
}

PlayerState* player_load(const void* name, SampleProvider provider)
{
    PlayerState* player = xm_load(name, provider);
    if (player) player->tick_callback = player_tick;
    return player;
}

void player_set_bpm(PlayerState* player, int32_t bpm)
{
    // Effect F never asks for less than 32, but a file's default tempo may be 0: a tick of no
    // samples would never let the renderer move on, so the slowest tempo is 1 BPM.
    if (bpm < 1) bpm = 1;
    player->bpm = bpm;
    float ticks_per_second = static_cast<float>(bpm * 2) / 5.0f;
    double samples = (1000.0 / ticks_per_second) * g_output_rate / 1000.0;
    player->samples_per_tick = static_cast<int32_t>(FloatToInt(samples));
}

void player_reset(PlayerState* player)
{
    fill_linear_frequencies();
    fill_vibrato_sine();
    PlayerStoreGlobalVolume(player, player->initial_global_volume);
    player->next_row = -1;
    player->next_order = -1;
    player->speed = player->default_speed;
    player->row = 0;
    player->order_position = 0;
    player->tick_samples_left = 0;
    player->tick = 0;
    player->elapsed_ms = 0;
    player_set_bpm(player, player->default_bpm);
    int32_t n = channels_played(player);
    for (int32_t c = 0; c < n; c++) {
        g_channels[c] = ChannelState{};
        g_channels[c].voice = &g_voices[c];
    }
    g_row_player = nullptr;
    g_row_cells = nullptr;
    g_row_order = 0;
    g_row_read = 0;
}

void player_position(const PlayerState* player, int32_t* order, int32_t* row)
{
    bool known = g_row_player == player;
    *order = known ? g_row_order : player->order_position;
    *row = known ? g_row_read : player->row;
}

void player_tick(PlayerState* player)
{
    if (player->tick == 0) {
        if (player->next_order >= 0) player->order_position = player->next_order;
        if (player->next_row >= 0) player->row = player->next_row;
        // A break (Dxy) may name a row that the next pattern does not have: it starts at row 0.
        const Pattern* pattern = pattern_at(player, player->order_position);
        if (!pattern || player->row >= pattern->rows) player->row = 0;

        process_row(player);

        if (player->next_row == -1) {
            player->next_row = player->row + 1;
            int32_t rows = pattern ? pattern->rows : 0;
            if (player->next_row >= rows) {
                int32_t next = player->order_position + 1;
                // A restart position outside the song would leave the order table: take 0 then.
                if (next >= player->song_length) {
                    next = player->restart_position;
                    if (next < 0 || next >= player->song_length) next = 0;
                }
                player->next_order = next;
                player->next_row = 0;
            }
        }
    } else {
        process_tick(player);
    }
    player->tick++;
    if (player->tick >= player->speed) player->tick = 0;
}

// A voice that a channel left at a trigger plays on at zero gain until its sample ends (a looped
// sample: for ever). Once the mixer has ramped it down it adds nothing to the mix but still costs
// as much as a sounding voice, so it is released at the end of the next tick: the output stays the
// same sample for sample, and the slot is only ever reused by copying the channel's other voice.
static void release_faded_twins(int32_t channels)
{
    for (int32_t c = 0; c < channels; c++) {
        Voice* v = g_channels[c].voice;
        if (!v) continue;
        int32_t slot = static_cast<int32_t>(v - g_voices);
        if (slot < 0 || slot >= MIXED_VOICES) continue;
        Voice* old = &g_voices[slot < 32 ? slot + 32 : slot - 32];
        if (old->sample && old->volume_left == 0 && old->volume_right == 0 && old->ramp_remaining == 0 &&
            old->level_left == 0 && old->level_right == 0)
            old->sample = nullptr;
    }
}

void process_row(PlayerState* player)
{
    player->next_row = -1;
    player->next_order = -1;
    g_row_player = player;
    g_row_cells = nullptr;
    g_row_order = player->order_position;
    g_row_read = player->row;

    const Pattern* pattern = pattern_at(player, player->order_position);
    if (!pattern || !pattern->cells || player->row < 0 || player->row >= pattern->rows) return;
    const PatternCell* cells = pattern->cells + player->row * player->channel_count;
    g_row_cells = cells;

    int32_t n = channels_played(player);
    for (int32_t c = 0; c < n; c++) row_step(player, &g_channels[c], &cells[c]);
    release_faded_twins(n);
}

void process_tick(PlayerState* player)
{
    // Before any row tick of this module there is no row: the channels step with empty cells.
    const PatternCell* cells = g_row_player == player ? g_row_cells : nullptr;
    if (g_row_player == player && !cells) return;  // the row tick skipped a pattern without cells
    int32_t n = channels_played(player);
    for (int32_t c = 0; c < n; c++) tick_step(player, &g_channels[c], cells ? &cells[c] : &g_empty_cell);
    release_faded_twins(n);
}
