// player/channel.h -- the player's per-channel state: one record per pattern channel.
#pragma once
#include <cstdint>

struct Voice;

enum {
    UPDATE_FREQUENCY = 1,
    UPDATE_VOLUME = 2,
    UPDATE_PANNING = 4,
    UPDATE_TRIGGER = 8,
};

struct ChannelState {
    uint8_t key;                        // last note - 1 (0..95)
    uint8_t update_flags;               // UPDATE_*: what the voice update does this tick
    Voice*  voice;                      // the voice the channel drives
    int32_t period;                     // current linear period
    int32_t volume;                     // 0..64
    int32_t panning;                    // 0..255 as set; slides may move it outside
    int32_t period_offset;              // pitch offset for this tick (arpeggio, auto-vibrato)
    int32_t volume_envelope_tick;
    int32_t volume_envelope_point;      // index of the next point
    int32_t volume_envelope_value;      // 16.16
    int32_t envelope_volume;            // 0..64
    int32_t volume_envelope_slope;      // 16.16 per tick
    uint8_t volume_envelope_done;
    int32_t panning_envelope_tick;
    int32_t panning_envelope_point;
    int32_t panning_envelope_value;
    int32_t envelope_panning;           // 0..64, 32 = centre
    int32_t panning_envelope_slope;
    uint8_t panning_envelope_done;
    int32_t fadeout_volume;             // 65536 down to 0 after key-off
    int32_t vibrato_position;           // auto-vibrato phase 0..255
    int32_t vibrato_sweep_counter;
    uint8_t key_off;
    uint8_t instrument;                 // the cell's instrument number - 1
    uint8_t real_key;                   // key + relative_note, modulo 256
    int32_t note_period;                // period of the last note
    int32_t loop_row;                   // pattern-loop start row
    int32_t loop_count;
};

enum { CHANNEL_COUNT = 32 };
extern ChannelState g_channels[CHANNEL_COUNT];
