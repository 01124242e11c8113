// audio/mixer.h -- the voice mixer: resamples voices 0..63 into a float stereo block, and turns a
// finished block into 16-bit PCM. Portable; runs on whichever thread renders audio slices.
#pragma once
#include <cstdint>

extern int32_t g_ramp_frames;   // output frames per volume ramp (128 at 44100 Hz)
extern float   g_ramp_scale;    // 1 / g_ramp_frames

// Adds the next `frames` output frames of every sounding voice into block (interleaved stereo,
// left first, full scale +-32768; frame-aligned, 8 bytes) and advances the voices. Nothing
// happens for frames < 1.
void mix_voices(float* block, int32_t frames);

// Writes 2 x frames signed 16-bit values: each float rounded to nearest (ties to even) and
// clamped to -32768..32767. Nothing happens for frames < 1 or a null pointer.
void convert_to_pcm16(int16_t* out, const float* block, int32_t frames);
