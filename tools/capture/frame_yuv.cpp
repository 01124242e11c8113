// tools/capture/frame_yuv.cpp -- B, G, R, 0 frames into yuv420p (frame_yuv.h). With SSE2, eight
// pixels at a time: each pixel's B, G, R widened to 16 bits and multiplied by its coefficients in
// pairs (pmaddwd), the pairs added; what is left over at the right of a row, and everything without
// SSE2, goes one pixel at a time.
#include "tools/capture/frame_yuv.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Luma: the coefficients in 1/16384, rounded. Chroma of a 2 x 2 block from the sums of its four
// pixels: the coefficients' >> 14 and the mean's >> 2 in one shift, the rounding's half and the
// 128 of the offset (as 128 << 16) added before it, so that the shifted value is never negative.
const int32_t kLumaBias = (1 << 13) + (16 << 14);
const int32_t kChromaBias = (1 << 15) + (128 << 16);

uint8_t Luma(const uint8_t* p)
{
    return static_cast<uint8_t>((4207 * p[2] + 8260 * p[1] + 1604 * p[0] + kLumaBias) >> 14);
}

void ChromaOfBlock(const uint8_t* row0, const uint8_t* row1, uint8_t* cb, uint8_t* cr)
{
    const int32_t b = row0[0] + row0[4] + row1[0] + row1[4];
    const int32_t g = row0[1] + row0[5] + row1[1] + row1[5];
    const int32_t r = row0[2] + row0[6] + row1[2] + row1[6];
    *cb = static_cast<uint8_t>((-2428 * r - 4768 * g + 7196 * b + kChromaBias) >> 16);
    *cr = static_cast<uint8_t>((7196 * r - 6026 * g - 1170 * b + kChromaBias) >> 16);
}

// One row pair's chroma and the luma of its two rows, from column x on, one pixel at a time.
void RowPairFrom(int x, const uint8_t* row0, const uint8_t* row1, int width, uint8_t* y0, uint8_t* y1,
                 uint8_t* cb, uint8_t* cr)
{
    for (; x < width; x += 2) {
        y0[x] = Luma(row0 + 4 * x);
        y0[x + 1] = Luma(row0 + 4 * x + 4);
        y1[x] = Luma(row1 + 4 * x);
        y1[x + 1] = Luma(row1 + 4 * x + 4);
        ChromaOfBlock(row0 + 4 * x, row1 + 4 * x, cb + x / 2, cr + x / 2);
    }
}

#if defined(__SSE2__)

// Adds the neighbouring 32-bit lanes of pmaddwd results: [a0 b0 a1 b1], [a2 b2 a3 b3] -> [a0+b0 .. a3+b3].
__m128i AddPairs(__m128i lo, __m128i hi)
{
    const __m128 l = _mm_castsi128_ps(lo), h = _mm_castsi128_ps(hi);
    return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(l, h, _MM_SHUFFLE(2, 0, 2, 0))),
                         _mm_castps_si128(_mm_shuffle_ps(l, h, _MM_SHUFFLE(3, 1, 3, 1))));
}

// Four pixels' luma as four 32-bit lanes.
__m128i Luma4(__m128i pixels)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i coef = _mm_set_epi16(0, 4207, 8260, 1604, 0, 4207, 8260, 1604);  // per pixel: B, G, R, 0
    const __m128i sum = AddPairs(_mm_madd_epi16(_mm_unpacklo_epi8(pixels, zero), coef),
                                 _mm_madd_epi16(_mm_unpackhi_epi8(pixels, zero), coef));
    return _mm_srli_epi32(_mm_add_epi32(sum, _mm_set1_epi32(kLumaBias)), 14);
}

// Eight luma bytes from eight pixels.
void Luma8(const uint8_t* src, uint8_t* dst)
{
    const __m128i a = Luma4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
    const __m128i b = Luma4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16)));
    const __m128i words = _mm_packs_epi32(a, b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(words, words));
}

// The B, G, R, 0 sums of two 2 x 2 blocks (four pixels of each row) as 16-bit lanes.
__m128i BlockSums2(const uint8_t* row0, const uint8_t* row1)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row0));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row1));
    const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(p, zero), _mm_unpacklo_epi8(q, zero));
    const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(p, zero), _mm_unpackhi_epi8(q, zero));
    return _mm_unpacklo_epi64(_mm_add_epi16(lo, _mm_srli_si128(lo, 8)), _mm_add_epi16(hi, _mm_srli_si128(hi, 8)));
}

// Four chroma bytes from four blocks' sums.
void Chroma4(__m128i sums01, __m128i sums23, __m128i coef, uint8_t* dst)
{
    const __m128i v = AddPairs(_mm_madd_epi16(sums01, coef), _mm_madd_epi16(sums23, coef));
    const __m128i c = _mm_srli_epi32(_mm_add_epi32(v, _mm_set1_epi32(kChromaBias)), 16);
    const __m128i words = _mm_packs_epi32(c, c);
    const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    for (int i = 0; i < 4; i++) dst[i] = static_cast<uint8_t>(bytes >> (8 * i));
}

int RowPairVector(const uint8_t* row0, const uint8_t* row1, int width, uint8_t* y0, uint8_t* y1, uint8_t* cb,
                  uint8_t* cr)
{
    const __m128i coefCb = _mm_set_epi16(0, -2428, -4768, 7196, 0, -2428, -4768, 7196);
    const __m128i coefCr = _mm_set_epi16(0, 7196, -6026, -1170, 0, 7196, -6026, -1170);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        Luma8(row0 + 4 * x, y0 + x);
        Luma8(row1 + 4 * x, y1 + x);
        const __m128i s01 = BlockSums2(row0 + 4 * x, row1 + 4 * x);
        const __m128i s23 = BlockSums2(row0 + 4 * x + 16, row1 + 4 * x + 16);
        Chroma4(s01, s23, coefCb, cb + x / 2);
        Chroma4(s01, s23, coefCr, cr + x / 2);
    }
    return x;
}

#endif

void Convert(const uint8_t* bgr0, int width, int height, uint8_t* out, bool vector)
{
    uint8_t* const luma = out;
    uint8_t* const cb = out + static_cast<size_t>(width) * height;
    uint8_t* const cr = cb + static_cast<size_t>(width / 2) * (height / 2);
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int y = 0; y + 1 < height; y += 2) {
        const uint8_t* row0 = bgr0 + y * stride;
        const uint8_t* row1 = row0 + stride;
        uint8_t* y0 = luma + static_cast<size_t>(y) * width;
        uint8_t* cbRow = cb + static_cast<size_t>(y / 2) * (width / 2);
        uint8_t* crRow = cr + static_cast<size_t>(y / 2) * (width / 2);
        int x = 0;
#if defined(__SSE2__)
        if (vector) x = RowPairVector(row0, row1, width, y0, y0 + width, cbRow, crRow);
#else
        (void)vector;
#endif
        RowPairFrom(x, row0, row1, width, y0, y0 + width, cbRow, crRow);
    }
}

}  // namespace

void FrameToYuv420(const uint8_t* bgr0, int width, int height, uint8_t* out)
{
    Convert(bgr0, width, height, out, true);
}

void FrameToYuv420Reference(const uint8_t* bgr0, int width, int height, uint8_t* out)
{
    Convert(bgr0, width, height, out, false);
}
