// audio/mixer_local.h -- what the mixer's SSE2 loops share with its wider AVX2 loop
// (audio/mixer_avx2.cpp): the position arithmetic, the pair load and the hook between them.
#pragma once
#include <cstdint>
#include <cstring>
#include <emmintrin.h>

static const float kWeightScale = 1.0f / 2147483648.0f;  // 2^-31: weight units per fraction>>1

// ---- position arithmetic -------------------------------------------------------------------
// In the loops the position is an integer part wide enough to index with, and the fraction with
// its lowest bit already cleared. Clearing bit 0 before each step and then adding step_fraction
// is the same, carry included, as adding step_fraction with bit 0 cleared to an already-even
// fraction; only the stored fraction gets step_fraction's bit 0 back (see mix_voice).
// Deliberate: the dropped bit is how the weight (fraction >> 1) x 2^-31 has always been formed.

static inline void advance(intptr_t& pos, uint32_t& frac_even, uint32_t step_frac_even, intptr_t step)
{
#if defined(__i386__) || defined(__x86_64__)
    // add, then add with carry: the compilers do not find this pair on their own.
    asm("add %[sf], %[f]\n\tadc %[st], %[p]"
        : [f] "+r"(frac_even), [p] "+r"(pos)
        : [sf] "r"(step_frac_even), [st] "r"(step)
        : "cc");
#else
    // The same pair spelled out, for processors without x86's carry flag (WebAssembly).
    const uint32_t sum = frac_even + step_frac_even;
    pos += step + (sum < frac_even ? 1 : 0);
    frac_even = sum;
#endif
}

static inline int32_t load_pair32(const int16_t* p)
{
    int32_t v;
    memcpy(&v, p, sizeof v);  // data[pos] and data[pos + 1], unaligned
    return v;
}

static inline __m128i load_pair(const int16_t* p) { return _mm_cvtsi32_si128(load_pair32(p)); }

// A wider loop for the fixed-gain frames of a run: mixes the longest whole number of its groups
// from the start of `frames` (out frame-aligned, any further alignment) exactly as the SSE2 loops
// would, advances pos and frac past them, and returns the frames it mixed. Null unless a build
// has checked that the CPU runs it (mixer_use_avx2); the program never installs one.
typedef int32_t (*MixWideLoop)(float* out, int32_t frames, const int16_t* data, intptr_t* pos, uint32_t* frac,
                               uint32_t step_frac, intptr_t step, float gl, float gr);
extern MixWideLoop g_mix_wide;
