// module/xm_loader.h -- the XM loader: a module read into a new record and released again, the
// shared empty records the player resolves to, and the reason for the last rejected file (for tools).
#pragma once
#include <cstdint>

#include "module/module.h"

struct ModuleStream;

// A new record with the module the stream `name` opens read into it (the playback half left at 0),
// or null with nothing allocated. player_load (player/player.h) makes it playable.
PlayerState* xm_load(const void* name, SampleProvider provider);
bool         xm_parse(PlayerState* player, ModuleStream* stream);  // into a zero-filled record
void         xm_free(PlayerState* player);  // the module's tables, then the record (not null)

// Zero-filled, shared by everything without a real one: an instrument number beyond
// instrument_count, a keymap entry of 16 or more, a sample slot beyond sample_count. Never freed.
extern Instrument empty_instrument;
extern Sample     empty_sample;

// Why the last xm_parse returned false: one line naming the problem and where it is, e.g.
// "truncated: file ends at byte 1200 in sample 0 of instrument 3 (needs 256 bytes from byte 1000)".
// Empty after a successful parse. The program never looks at it; xmtool prints it.
const char* xm_last_error();
int32_t     xm_last_error_offset();     // byte offset the reason names, or -1

// What a module that loaded guarantees the player (the fuzz target checks each):
// - channel_count 1..32; song_length 0..256; restart_position < song_length (0 when that is 0);
// - order_table[i] < pattern_slots for i < song_length; every pattern slot has 1..256 rows and cells;
// - cell notes are 0, 1..96 or 255; cell instruments 0..128;
// - envelope point counts 0..12, sustain and loop indices at most the last point (0 without points);
// - sample loop_start + loop_length <= length, loop_type 1, 2 or 4; data holds length + 8 frames;
//   samples[k] for k >= sample_count is &empty_sample.
// Not checked (used as read): keymap entries (16 or more select empty_sample at play time),
// default_speed and default_bpm, flags, envelope x order, vibrato type.

// Limits beyond which a file is rejected (the player's tables are sized by them).
enum {
    XM_MAX_CHANNELS = 32,
    XM_MAX_ORDERS = 256,
    XM_MAX_ROWS = 256,
    XM_MAX_PATTERNS = 256,
    XM_MAX_SAMPLES = 16,
    XM_MAX_ENVELOPE_POINTS = 12,
};
