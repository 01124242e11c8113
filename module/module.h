// module/module.h -- the in-memory module and the player state record.
// The loader (xm_loader.cpp) fills the module half; playback start and the player (player/) use
// the playback half; the renderer (audio/) keeps tick_samples_left and elapsed_ms.
#pragma once
#include <cstdint>

struct PlayerState;
struct ModuleStream;

struct PatternCell {            // 5 bytes, as the loader stores them
    uint8_t note;               // 0 none; 1..96 key (1 lowest); 255 key off (the file's 97)
    uint8_t instrument;         // 0 none; 1..128 (above 128 stored as 0)
    uint8_t volume;             // volume-column byte as in the file
    uint8_t effect;
    uint8_t param;
};

struct Pattern {
    int32_t      rows;
    PatternCell* cells;         // rows x channel_count cells, row by row
};

struct EnvelopePoint {
    uint16_t x;                 // tick
    uint16_t y;                 // volume 0..64, or panning 0..64 with 32 the centre
};

// Sample::loop_type, as the loader stores it.
enum SampleLoop { LOOP_NONE = 1, LOOP_FORWARD = 2, LOOP_PINGPONG = 4 };

struct Sample {
    int16_t* data;              // length frames + 8 more (the first is the loop-continuation frame); null when length is 0
    int32_t  length;            // frames
    int32_t  loop_start;        // frames
    int32_t  loop_length;       // frames; the whole length for a sample without a loop
    uint8_t  volume;            // 0..64
    int8_t   finetune;
    int32_t  panning;           // 0..255
    uint8_t  bits;              // 8 or 16 as read; 16 once loaded
    uint8_t  loop_type;         // LOOP_NONE, LOOP_FORWARD or LOOP_PINGPONG
    int8_t   relative_note;     // semitones added to the key
};

// The bits of Instrument::volume_type and panning_type, as in the file.
enum EnvelopeBits { ENVELOPE_ON = 1, ENVELOPE_SUSTAIN = 2, ENVELOPE_LOOP = 4 };

// Instrument::vibrato_type: the auto-vibrato waveforms.
enum VibratoWave { VIBRATO_SINE = 0, VIBRATO_SQUARE = 1, VIBRATO_RAMP_DOWN = 2, VIBRATO_RAMP_UP = 3 };

// PlayerState::flags, as in the file.
enum { LINEAR_PERIODS = 1 };

struct Instrument {
    int32_t       sample_count;         // 0..16
    Sample*       samples[16];          // beyond sample_count: &empty_sample
    uint8_t       keymap[96];           // sample number per key; 16 or more selects empty_sample
    EnvelopePoint volume_points[12];
    EnvelopePoint panning_points[12];
    uint8_t       volume_point_count;
    uint8_t       panning_point_count;
    uint8_t       volume_sustain;
    uint8_t       volume_loop_start;
    uint8_t       volume_loop_end;
    uint8_t       panning_sustain;
    uint8_t       panning_loop_start;
    uint8_t       panning_loop_end;
    uint8_t       volume_type;          // ENVELOPE_* bits
    uint8_t       panning_type;
    uint8_t       vibrato_type;         // VIBRATO_*; the file may hold others (no vibrato)
    uint8_t       vibrato_sweep;
    uint8_t       vibrato_depth;
    uint8_t       vibrato_rate;
    uint16_t      volume_fadeout;       // the file's value doubled
};

// Fills dest with plain (not delta-coded) PCM for one sample: bytes, bits 8 or 16.
typedef void (*SampleProvider)(void* dest, int32_t bytes, int32_t bits, int32_t instrument, int32_t sample);
typedef void (*TickCallback)(PlayerState* player);

struct PlayerState {
    // ---- the module (loader) ----
    Pattern*    patterns;               // pattern_slots entries
    Instrument* instruments;            // instrument_count records
    int32_t     tick_samples_left;      // output samples still to mix before the next tick (renderer)
    int32_t     samples_per_tick;       // tick length in output samples (player_set_bpm)
    int16_t     song_length;            // order entries played
    int16_t     restart_position;       // order entry after the last one
    int16_t     channel_count;          // 1..32
    int32_t     patterns_used;          // 1 + highest pattern among the played order entries
    int32_t     pattern_slots;          // max(stored pattern count, patterns_used)
    int16_t     instrument_count;
    uint16_t    flags;                  // LINEAR_PERIODS: the linear frequency table
    int16_t     default_speed;          // ticks per row at start
    int16_t     default_bpm;            // tempo at start
    uint8_t     order_table[256];
    uint8_t     initial_global_volume;  // 64

    // ---- playback (player, renderer) ----
    int32_t     global_volume;          // 0..64; written by the closing fade on the main thread
                                        // (use PlayerStoreGlobalVolume / PlayerLoadGlobalVolume)
    int32_t     tick;                   // tick within the row, 0 = row tick
    int32_t     speed;                  // ticks per row
    int32_t     bpm;
    int32_t     row;
    int32_t     order_position;
    int32_t     next_row;               // -1 = none
    int32_t     next_order;             // -1 = none
    int32_t     elapsed_ms;             // audio rendered since playback start (renderer)
    TickCallback   tick_callback;       // player_tick, set by player_load
    SampleProvider sample_provider;     // set by player_load; null in the program
};

// The one field two threads share: the closing fade stores it on the main thread while the player
// reads it on the audio thread. Atomic 32-bit accesses, no ordering needed.
inline void PlayerStoreGlobalVolume(PlayerState* p, int32_t v) { __atomic_store_n(&p->global_volume, v, __ATOMIC_RELAXED); }
inline int32_t PlayerLoadGlobalVolume(const PlayerState* p) { return __atomic_load_n(&p->global_volume, __ATOMIC_RELAXED); }
