// audio/mixer_local.h -- the voice mixer's work, voice by voice: resampling the sounding voices
// into a float stereo block. Portable x86 (every build has SSE2). The program's mixer
// (audio/mixer.cpp) builds mix_voices_with over its SSE2 loop for fixed gains; xmtool builds it
// over a wider loop of its own that gives the same floats.
//
// Each voice is mixed as a sequence of runs. A run is a stretch of output frames inside which
// neither a sample boundary nor the end of a volume ramp falls, so the per-frame loops test
// nothing; the boundary is found once per run by an exact division on 32.32 values.
#pragma once
#include <cassert>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>

#include "audio/mixer.h"
#include "base/math.h"
#include "module/module.h"
#include "player/voice.h"

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

static const float kInv255 = 1.0f / 255.0f;         // the single-precision value nearest 1/255
static const float kInv256 = 1.0f / 256.0f;

enum { DIRECTION_BACKWARD = 2 };

// One resampled value: data[pos] + w x (data[pos + 1] - data[pos]), all in single precision.
static inline float frame_value(const int16_t* data, intptr_t pos, uint32_t frac_even)
{
    float s0 = static_cast<float>(data[pos]);
    float d = static_cast<float>(data[pos + 1] - data[pos]);
    float w = static_cast<float>(static_cast<int32_t>(frac_even >> 1)) * kWeightScale;
    return w * d + s0;
}

static inline int64_t voice_position(const Voice* v)
{
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(v->position)) << 32) | v->position_fraction);
}

static inline void set_voice_position(Voice* v, int64_t p)
{
    v->position = static_cast<int32_t>(static_cast<uint64_t>(p) >> 32);
    v->position_fraction = static_cast<uint32_t>(p);
}

// ---- the per-frame loops -------------------------------------------------------------------

// One frame per pass, gains moving by their steps after each frame: the ramps, and the odd frame
// of a run without a ramp (steps 0, so the gains stay the fixed ones). Out of line: it runs for a
// few frames at the ends of runs, and one copy keeps the program's executable small.
__attribute__((noinline)) static void mix_ramped(float* out, int32_t frames, const int16_t* data, intptr_t& pos, uint32_t& frac,
                              uint32_t step_frac, intptr_t step, float& gl, float& gr, float sl, float sr)
{
    float l = gl, r = gr;
    for (int32_t i = 0; i < frames; i++) {
        float x = frame_value(data, pos, frac);
        out[0] += x * l;
        out[1] += x * r;
        l += sl;
        r += sr;
        advance(pos, frac, step_frac, step);
        out += 2;
    }
    gl = l;
    gr = r;
}

// The values of the next four frames, one per lane, interpolated in the lane's own weight; moves
// the position on by four steps and the weights by one pass.
static inline __m128 four_values(const int16_t* data, intptr_t& p, uint32_t& f, uint32_t step_frac, intptr_t step,
                                 __m128i& half, __m128i pass_step)
{
    // pmaddwd over (data[pos], data[pos + 1]) word pairs: (1, 0) picks s0, (-1, 1) gives s1 - s0.
    const __m128i pick_s0 = _mm_set1_epi32(0x00000001);
    const __m128i pick_d = _mm_set1_epi32(0x0001FFFF);
    const __m128 scale = _mm_set1_ps(kWeightScale);
    const __m128i low31 = _mm_set1_epi32(0x7FFFFFFF);
    __m128i a = load_pair(data + p);
    advance(p, f, step_frac, step);
    __m128i b = load_pair(data + p);
    advance(p, f, step_frac, step);
    __m128i c = load_pair(data + p);
    advance(p, f, step_frac, step);
    __m128i d = load_pair(data + p);
    advance(p, f, step_frac, step);
    __m128i words = _mm_unpacklo_epi64(_mm_unpacklo_epi32(a, b), _mm_unpacklo_epi32(c, d));
    __m128 s0 = _mm_cvtepi32_ps(_mm_madd_epi16(words, pick_s0));
    __m128 diff = _mm_cvtepi32_ps(_mm_madd_epi16(words, pick_d));
    __m128 w = _mm_mul_ps(_mm_cvtepi32_ps(half), scale);
    half = _mm_and_si128(_mm_add_epi32(half, pass_step), low31);
    return _mm_add_ps(_mm_mul_ps(w, diff), s0);
}

// The (fraction >> 1) weights of a pass's four frames, from the first frame's fraction.
static inline __m128i first_halves(uint32_t frac, uint32_t step_frac)
{
    return _mm_setr_epi32(static_cast<int32_t>(frac >> 1), static_cast<int32_t>((frac + step_frac) >> 1),
                          static_cast<int32_t>((frac + 2 * step_frac) >> 1), static_cast<int32_t>((frac + 3 * step_frac) >> 1));
}

// Four frames per pass with fixed gains; out must be 16-byte aligned. Each frame's value is formed
// once, in its own lane, and then spread over its left and right outputs. The weights are carried
// in a vector of (fraction >> 1) values, one per frame, that move by 2 x step_frac modulo 2^31 per
// pass (four steps of step_frac / 2).
static inline void mix_quads(float* out, int32_t quads, const int16_t* data, intptr_t& pos, uint32_t& frac,
                             uint32_t step_frac, intptr_t step, float& gl, float& gr, float, float)
{
    const __m128 gains = _mm_setr_ps(gl, gr, gl, gr);
    const __m128i pass_step = _mm_set1_epi32(static_cast<int32_t>(step_frac * 2));
    __m128i half = first_halves(frac, step_frac);
    intptr_t p = pos;
    uint32_t f = frac;
    float* end = out + 8 * static_cast<intptr_t>(quads);
    for (intptr_t i = -8 * static_cast<intptr_t>(quads); i != 0; i += 8) {
        __m128 x = four_values(data, p, f, step_frac, step, half, pass_step);  // xa xb xc xd
        _mm_store_ps(end + i, _mm_add_ps(_mm_load_ps(end + i), _mm_mul_ps(_mm_unpacklo_ps(x, x), gains)));
        _mm_store_ps(end + i + 4, _mm_add_ps(_mm_load_ps(end + i + 4), _mm_mul_ps(_mm_unpackhi_ps(x, x), gains)));
    }
    pos = p;
    frac = f;
}

// A ramp four frames per pass; out must be 16-byte aligned. The gains are formed exactly as one
// frame at a time forms them, each from the one before plus its step: the vector of frames 2 and 3
// is (l1 r1 l1 r1) + (sl sr sl sr) + (0 0 sl sr), and the added zeros change no gain (a gain never
// reaches -0: a sum that cancels to zero is +0).
static inline void mix_ramp_quads(float* out, int32_t quads, const int16_t* data, intptr_t& pos, uint32_t& frac,
                                  uint32_t step_frac, intptr_t step, float& gl, float& gr, float sl, float sr)
{
    const __m128i pass_step = _mm_set1_epi32(static_cast<int32_t>(step_frac * 2));
    const __m128 steps = _mm_setr_ps(sl, sr, sl, sr);
    const __m128 second = _mm_setr_ps(0.0f, 0.0f, sl, sr);
    __m128 g = _mm_add_ps(_mm_setr_ps(gl, gr, gl, gr), second);  // l0 r0 l1 r1
    __m128i half = first_halves(frac, step_frac);
    intptr_t p = pos;
    uint32_t f = frac;
    float* end = out + 8 * static_cast<intptr_t>(quads);
    for (intptr_t i = -8 * static_cast<intptr_t>(quads); i != 0; i += 8) {
        __m128 x = four_values(data, p, f, step_frac, step, half, pass_step);
        __m128 h = _mm_add_ps(_mm_add_ps(_mm_movehl_ps(g, g), steps), second);  // l2 r2 l3 r3
        _mm_store_ps(end + i, _mm_add_ps(_mm_load_ps(end + i), _mm_mul_ps(_mm_unpacklo_ps(x, x), g)));
        _mm_store_ps(end + i + 4, _mm_add_ps(_mm_load_ps(end + i + 4), _mm_mul_ps(_mm_unpackhi_ps(x, x), h)));
        g = _mm_add_ps(_mm_add_ps(_mm_movehl_ps(h, h), steps), second);
    }
    pos = p;
    frac = f;
    gl = _mm_cvtss_f32(g);
    gr = _mm_cvtss_f32(_mm_shuffle_ps(g, g, 1));
}

// The loop over four frames at a time that a run uses: mix_ramp_quads for a ramp; for fixed gains
// mix_quads, or a wider loop that forms the same floats (mixes `quads` x 4 frames from a 16-byte
// boundary, advances pos and frac past them).
typedef void QuadLoop(float* out, int32_t quads, const int16_t* data, intptr_t& pos, uint32_t& frac,
                      uint32_t step_frac, intptr_t step, float& gl, float& gr, float sl, float sr);

// A run of frames >= 1: one frame alone up to a 16-byte boundary, then four at a time, then the
// last one to three. The blocks are frame-aligned, so out is at most one frame off the boundary.
template <QuadLoop quads>
static inline void mix_run(float* out, int32_t frames, const int16_t* data, intptr_t& pos, uint32_t& frac,
                           uint32_t step_frac, intptr_t step, float& gl, float& gr, float sl, float sr)
{
    assert((reinterpret_cast<uintptr_t>(out) & 7) == 0);
    if (reinterpret_cast<uintptr_t>(out) & 15) {
        mix_ramped(out, 1, data, pos, frac, step_frac, step, gl, gr, sl, sr);
        out += 2;
        frames--;
    }
    quads(out, frames >> 2, data, pos, frac, step_frac, step, gl, gr, sl, sr);
    if (frames & 3) mix_ramped(out + 2 * (frames & ~3), frames & 3, data, pos, frac, step_frac, step, gl, gr, sl, sr);
}

// ---- boundaries ----------------------------------------------------------------------------

// Wraps or reflects a voice that has reached its boundary, or stops it at the end of a sample
// without a loop. False: the voice stopped.
static bool cross_boundary(Voice* v, const Sample* s)
{
    const int32_t length = s->loop_length;
    if (s->loop_type == LOOP_FORWARD && length >= 1) {
        // Subtracting the loop length while the position is at or past the end, compared unsigned.
        uint32_t start = static_cast<uint32_t>(s->loop_start);
        uint32_t end = start + static_cast<uint32_t>(length);
        uint32_t p = static_cast<uint32_t>(v->position);
        if (p >= end) {
            p -= static_cast<uint32_t>(length);
            if (p >= end) p = start + (p - start) % static_cast<uint32_t>(length);  // a step longer than the loop
        }
        v->position = static_cast<int32_t>(p);
        return true;
    }
    if (s->loop_type == LOOP_PINGPONG && length >= 1) {
        // Reflections about the loop's ends in 32.32, each leaving the position 2^-32 inside the
        // mirror image: P = 2E - P - 2^-32 at the end, P = 2 loop_start - P - 2^-32 at the start,
        // repeated until the position lies inside. A pair of reflections moves P by twice the loop
        // length, so an overshoot of many loop lengths is first reduced by whole pairs.
        const uint64_t a = static_cast<uint64_t>(static_cast<int64_t>(s->loop_start)) << 32;
        const uint64_t span = static_cast<uint64_t>(length) << 32;
        const uint64_t b = a + span;
        const uint64_t pair = span << 1;
        int64_t p = voice_position(v);
        bool forward = v->direction != DIRECTION_BACKWARD;
        if (forward && p >= static_cast<int64_t>(b)) {
            uint64_t over = static_cast<uint64_t>(p) - b;
            if (over >= pair) p -= static_cast<int64_t>(over / pair * pair);
        } else if (!forward && p <= static_cast<int64_t>(a)) {
            uint64_t under = a - static_cast<uint64_t>(p);
            if (under > pair) p += static_cast<int64_t>((under - 1) / pair * pair);
        }
        for (;;) {
            if (forward) {
                p = static_cast<int64_t>(2 * b - 1 - static_cast<uint64_t>(p));
                forward = false;
                if (p >= static_cast<int64_t>(a)) break;
            } else {
                p = static_cast<int64_t>(2 * a - 1 - static_cast<uint64_t>(p));
                forward = true;
                if (p < static_cast<int64_t>(b)) break;
            }
        }
        set_voice_position(v, p);
        v->direction = forward ? 1 : DIRECTION_BACKWARD;
        return true;
    }
    v->sample = nullptr;
    v->position = 0;
    v->position_fraction = 0;
    return false;
}

// ---- one voice -----------------------------------------------------------------------------

template <QuadLoop fixed_quads>
static void mix_voice(Voice* v, float* out, int32_t n)
{
    const Sample* s = v->sample;
    const int16_t* data = s->data;
    const uint64_t start = static_cast<uint64_t>(static_cast<int64_t>(s->loop_start)) << 32;
    const uint64_t end = start + (static_cast<uint64_t>(static_cast<int64_t>(s->loop_length)) << 32);
    const uint64_t step_total = (static_cast<uint64_t>(static_cast<uint32_t>(v->step)) << 32) | v->step_fraction;

    for (;;) {
        // 1. The boundary: k = ceil(D / S) frames take the position to it or past it. Exact at any
        // distance, so a long sample cannot run past its end; a voice already on or past its
        // boundary (D <= 0) meets it at once.
        const bool backward = v->direction == DIRECTION_BACKWARD;
        const int64_t p = voice_position(v);
        const int64_t distance = backward ? static_cast<int64_t>(static_cast<uint64_t>(p) - start)
                                          : static_cast<int64_t>(end - static_cast<uint64_t>(p));
        int32_t run = n;
        bool hit = false;
        if (distance <= 0) {
            run = 0;
            hit = true;
        } else if (step_total != 0) {
            uint64_t d = static_cast<uint64_t>(distance);
            uint64_t k = d / step_total + (d % step_total != 0);
            if (k <= static_cast<uint64_t>(n)) {
                run = static_cast<int32_t>(k);
                hit = true;
            }
        }

        // 2. The ramp: a running ramp goes on while its targets stand; a changed target starts a
        // new one from the level reached.
        const int32_t run0 = run;
        bool ramp;
        if (v->ramp_remaining != 0 && v->volume_left == v->last_target_left && v->volume_right == v->last_target_right) {
            ramp = true;
        } else {
            v->last_target_left = v->volume_left;
            v->last_target_right = v->volume_right;
            int32_t dl = v->volume_left - v->level_left / 256;
            int32_t dr = v->volume_right - v->level_right / 256;
            v->ramp_step_left = dl ? static_cast<float>(dl) * kInv255 * g_ramp_scale : 0.0f;
            v->ramp_step_right = dr ? static_cast<float>(dr) * kInv255 * g_ramp_scale : 0.0f;
            ramp = dl != 0 || dr != 0;
            if (ramp) v->ramp_remaining = g_ramp_frames;
        }
        if (ramp && run > v->ramp_remaining) run = v->ramp_remaining;

        // 3, 4. The frames.
        uint32_t step_frac = v->step_fraction;
        intptr_t step = v->step;
        if (backward) {  // the whole 32.32 step negated
            uint64_t back = 0 - step_total;
            step_frac = static_cast<uint32_t>(back);
            step = static_cast<intptr_t>(static_cast<int32_t>(back >> 32));
        }
        if (run > 0) {
            intptr_t pos = v->position;
            uint32_t frac = v->position_fraction & ~1u;
            const uint32_t step_even = step_frac & ~1u;
            if (ramp) {
                float gl = static_cast<float>(v->level_left) * kInv256 * kInv255;
                float gr = static_cast<float>(v->level_right) * kInv256 * kInv255;
                mix_run<mix_ramp_quads>(out, run, data, pos, frac, step_even, step, gl, gr, v->ramp_step_left,
                                        v->ramp_step_right);
                // 5. Ramp bookkeeping: the level reached, rounded; the next run restarts from it.
                v->level_left = static_cast<int32_t>(FloatToInt(gl * 255.0f * 256.0f));
                v->level_right = static_cast<int32_t>(FloatToInt(gr * 255.0f * 256.0f));
                v->ramp_remaining -= run;
            } else if (v->volume_left == 0 && v->volume_right == 0) {
                // Silent at both gains (a note faded out, still looping): it would add only zeros,
                // so only its position moves, by the same run of even steps in one multiplication.
                uint64_t p32 = (static_cast<uint64_t>(static_cast<uint32_t>(pos)) << 32) | frac;
                uint64_t s32 = (static_cast<uint64_t>(static_cast<uint32_t>(step)) << 32) | step_even;
                p32 += static_cast<uint64_t>(run) * s32;
                pos = static_cast<intptr_t>(static_cast<int32_t>(p32 >> 32));
                frac = static_cast<uint32_t>(p32);
            } else {
                float gl = static_cast<float>(v->volume_left) * kInv255;
                float gr = static_cast<float>(v->volume_right) * kInv255;
                mix_run<fixed_quads>(out, run, data, pos, frac, step_even, step, gl, gr, 0.0f, 0.0f);
            }
            v->position = static_cast<int32_t>(pos);
            v->position_fraction = frac | (step_frac & 1u);
            out += 2 * run;
            n -= run;
            if (ramp && v->ramp_remaining == 0) {
                v->ramp_step_left = 0.0f;
                v->ramp_step_right = 0.0f;
                v->level_left = v->volume_left * 256;
                v->level_right = v->volume_right * 256;
                if (run != run0) continue;  // the ramp ended inside the run: the boundary lies beyond
            }
        }

        // 6. The boundary, if this run reached it.
        if (hit) {
            if (!cross_boundary(v, s)) return;  // stopped: adds nothing to the rest of the block
            if (n > 0) continue;
        }
        return;  // 7. the run covered every frame asked for
    }
}

// Mixes `frames` frames of voices 0..63 into block, the fixed-gain frames with fixed_quads.
template <QuadLoop fixed_quads>
static inline void mix_voices_with(float* block, int32_t frames)
{
    if (frames < 1) return;
    for (int32_t i = 0; i < MIXED_VOICES; i++) {
        Voice* v = &g_voices[i];
        if (v->sample) mix_voice<fixed_quads>(v, block, frames);
    }
}
