// player/voice.h -- the voice table: what the player tells the mixer to play, and the one place
// the two meet. The player writes a voice at its ticks; the mixer (audio/) reads and advances it.
// Both run inside slice rendering, never at once, so there are no locks.
#pragma once
#include <cstdint>

struct Sample;

struct Voice {
    int32_t  index;             // the record's own slot; the player derives the twin from it
    int32_t  volume_info;       // copy of the final volume (not read by the mixer)
    int32_t  frequency;         // Hz (not read by the mixer)
    int32_t  panning_info;      // copy of the panning (not read by the mixer)
    int32_t  volume;            // final volume 0..128, the player's working copy
    int32_t  panning;           // 0..255, the player's working copy
    int32_t  start_offset;      // frame at which the next trigger starts
    Sample*  sample;            // null: silent, skipped
    int32_t  volume_left;       // target gain of the left sample, in 255ths (0..128 from the player)
    int32_t  volume_right;      // target gain of the right sample, in 255ths
    int32_t  position;          // integer part of the position, frames from the start of data
    uint32_t position_fraction; // fraction of the position, units of 2^-32
    uint32_t step_fraction;     // fraction of the step per output frame, units of 2^-32
    int32_t  step;              // integer part of the step
    int32_t  direction;         // 1 forward, 2 backward (ping-pong only)
    int32_t  last_target_left;  // volume_left the running ramp heads for
    int32_t  last_target_right;
    int32_t  level_left;        // current left gain x 256, in 255ths (0..65280)
    int32_t  level_right;
    float    ramp_step_left;    // gain added after each ramped frame, fraction of full scale
    float    ramp_step_right;
    int32_t  ramp_remaining;    // output frames left in the ramp; 0 = none
};

enum { VOICE_COUNT = 256, MIXED_VOICES = 64 };
extern Voice   g_voices[VOICE_COUNT];  // the mixer visits slots 0..63
extern int32_t g_output_rate;          // Hz the voices are mixed at: audio_open sets it (44100)

// Every slot silent, its index its own number, step 1: the table as audio_open leaves it.
void voices_reset();
