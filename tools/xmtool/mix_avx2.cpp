// tools/xmtool/mix_avx2.cpp -- the voice mixer with its fixed-gain frames eight at a time in AVX2,
// for xmtool on CPUs that have it. Gives the same floats as the program's SSE2 loops: each frame's
// value is w x (s1 - s0) + s0 from the same operands in single precision, each output adds value x
// gain. The program never has it: it must run on any SSE2 CPU, and 32-bit Windows does not keep
// the stack aligned for 32-byte values.
#include "tools/xmtool/xmtool.h"

#include <immintrin.h>

#include "audio/mixer_local.h"

// Eight frames per pass, then a last four if `quads` is odd; out 16-byte aligned. The loads of
// frames 0..7 go to lanes (0 1 4 5 | 2 3 6 7), so that spreading each value over left and right
// within each 128-bit half gives frames 0..3 and then 4..7 in order.
__attribute__((target("avx2"))) static void mix_eights_avx2(float* out, int32_t quads, const int16_t* data,
                                                            intptr_t& pos, uint32_t& frac, uint32_t step_frac,
                                                            intptr_t step, float& gl, float& gr, float sl, float sr)
{
    const intptr_t groups = quads >> 1;
    const __m256 gains = _mm256_setr_ps(gl, gr, gl, gr, gl, gr, gl, gr);
    const __m256 scale = _mm256_set1_ps(kWeightScale);
    const __m256i low31 = _mm256_set1_epi32(0x7FFFFFFF);
    const __m256i pass_step = _mm256_set1_epi32(static_cast<int32_t>(step_frac * 4));
    const __m256i pick_s0 = _mm256_set1_epi32(0x00000001);  // pmaddwd: (1, 0) picks s0
    const __m256i pick_d = _mm256_set1_epi32(0x0001FFFF);   // (-1, 1) gives s1 - s0
    intptr_t p = pos;
    uint32_t f = frac;
    uint32_t h[8];
    for (int k = 0; k < 8; k++) h[k] = (f + static_cast<uint32_t>(k) * step_frac) >> 1;
    __m256i half = _mm256_setr_epi32(static_cast<int32_t>(h[0]), static_cast<int32_t>(h[1]), static_cast<int32_t>(h[4]),
                                     static_cast<int32_t>(h[5]), static_cast<int32_t>(h[2]), static_cast<int32_t>(h[3]),
                                     static_cast<int32_t>(h[6]), static_cast<int32_t>(h[7]));
    float* end = out + 16 * groups;
    for (intptr_t i = -16 * groups; i != 0; i += 16) {
        // One load per frame, in order, each followed by its step, each going straight to its lane.
        __m128i lo = _mm_cvtsi32_si128(load_pair32(data + p));
        advance(p, f, step_frac, step);
        lo = _mm_insert_epi32(lo, load_pair32(data + p), 1);
        advance(p, f, step_frac, step);
        __m128i hi = _mm_cvtsi32_si128(load_pair32(data + p));
        advance(p, f, step_frac, step);
        hi = _mm_insert_epi32(hi, load_pair32(data + p), 1);
        advance(p, f, step_frac, step);
        lo = _mm_insert_epi32(lo, load_pair32(data + p), 2);
        advance(p, f, step_frac, step);
        lo = _mm_insert_epi32(lo, load_pair32(data + p), 3);
        advance(p, f, step_frac, step);
        hi = _mm_insert_epi32(hi, load_pair32(data + p), 2);
        advance(p, f, step_frac, step);
        hi = _mm_insert_epi32(hi, load_pair32(data + p), 3);
        advance(p, f, step_frac, step);
        __m256i words = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
        __m256 s0 = _mm256_cvtepi32_ps(_mm256_madd_epi16(words, pick_s0));
        __m256 diff = _mm256_cvtepi32_ps(_mm256_madd_epi16(words, pick_d));
        __m256 w = _mm256_mul_ps(_mm256_cvtepi32_ps(half), scale);
        half = _mm256_and_si256(_mm256_add_epi32(half, pass_step), low31);
        __m256 x = _mm256_add_ps(_mm256_mul_ps(w, diff), s0);  // x0 x1 x4 x5 | x2 x3 x6 x7
        _mm256_storeu_ps(end + i, _mm256_add_ps(_mm256_loadu_ps(end + i), _mm256_mul_ps(_mm256_unpacklo_ps(x, x), gains)));
        _mm256_storeu_ps(end + i + 8,
                         _mm256_add_ps(_mm256_loadu_ps(end + i + 8), _mm256_mul_ps(_mm256_unpackhi_ps(x, x), gains)));
    }
    pos = p;
    frac = f;
    mix_quads(end, quads & 1, data, pos, frac, step_frac, step, gl, gr, sl, sr);
}

bool mixer_has_avx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

void mix_voices_avx2(float* block, int32_t frames)
{
    mix_voices_with<mix_eights_avx2>(block, frames);
}
