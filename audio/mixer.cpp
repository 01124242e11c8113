// audio/mixer.cpp -- the program's voice mixer: the voice-by-voice work of audio/mixer_local.h
// over its SSE2 loops, and the conversion of a finished block to 16-bit PCM. Portable x86 (every
// build has SSE2); runs on whichever thread renders audio slices: the audio thread, or the main
// thread during the pre-fill.
#include "audio/mixer.h"

#include <emmintrin.h>

#include "audio/mixer_local.h"

int32_t g_ramp_frames = 128;           // set from the rate by audio_open; 44100 Hz until then
float   g_ramp_scale = 1.0f / 128.0f;

void mix_voices(float* block, int32_t frames)
{
    mix_voices_with<mix_quads>(block, frames);
}

void convert_to_pcm16(int16_t* out, const float* block, int32_t frames)
{
    if (frames < 1 || !out || !block) return;
    // Clamping before rounding gives the same result as after, and keeps the conversion in range.
    const __m128 high = _mm_set1_ps(32767.0f);
    const __m128 low = _mm_set1_ps(-32768.0f);
    const int32_t count = frames * 2;
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128 a = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(block + i), high), low);
        __m128 b = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(block + i + 4), high), low);
        __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));  // rounds to nearest, ties to even
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
    }
    for (; i < count; i++) {
        __m128 v = _mm_max_ss(_mm_min_ss(_mm_set_ss(block[i]), high), low);
        out[i] = static_cast<int16_t>(_mm_cvtss_si32(v));
    }
}
