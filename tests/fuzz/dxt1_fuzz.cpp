// tests/fuzz/dxt1_fuzz.cpp -- libFuzzer target: the DXT1 decoder on an image from outside data.
// Input: width (1 byte), height (1 byte), then the blocks; an input shorter than the blocks its
// size needs is skipped, as a reader would reject it. Built by the native-asan preset (ASan + UBSan).
// The blocks and the pixels sit in blocks of exactly their size, so a read or write past either is
// caught. Besides that it demands that every pixel of a whole block is written with a colour its
// block allows, and that no pixel outside the whole blocks is touched (a width or height that is no
// multiple of 4 leaves a margin).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/dxt1.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

struct Rgb {
    int r, g, b;
};

Rgb channels(uint16_t c) { return Rgb{c >> 11, (c >> 5) & 63, c & 31}; }

// n * p lies within 1 of the weighted sum of the ends: p is the rounded (or, with `truncated`, the
// truncated) point between a and b with weights wa and wb (wa + wb == n).
bool between(int p, int a, int b, int wa, int wb, bool truncated)
{
    const int n = wa + wb;
    const int exact = wa * a + wb * b;
    if (truncated) return n * p <= exact && exact - n * p < n;
    return n * p - exact <= 1 && exact - n * p <= 1;
}

// What index i of a block with colours c0, c1 may decode to.
bool allowed(uint16_t pixel, uint16_t c0, uint16_t c1, int i)
{
    if (i == 0) return pixel == c0;
    if (i == 1) return pixel == c1;
    const Rgb p = channels(pixel), a = channels(c0), b = channels(c1);
    if (c0 > c1) {
        // Four colours: index 2 a third of the way from c0 to c1, index 3 two thirds, rounded.
        const int wa = i == 2 ? 2 : 1;
        return between(p.r, a.r, b.r, wa, 3 - wa, false) && between(p.g, a.g, b.g, wa, 3 - wa, false) &&
               between(p.b, a.b, b.b, wa, 3 - wa, false);
    }
    // Three colours and black: index 2 the midpoint, truncated; index 3 black.
    if (i == 3) return pixel == 0;
    return between(p.r, a.r, b.r, 1, 1, true) && between(p.g, a.g, b.g, 1, 1, true) && between(p.b, a.b, b.b, 1, 1, true);
}

void check_image(const uint8_t* blocks, const uint16_t* pixels, const uint16_t* again, int32_t width, int32_t height,
                 uint16_t fill, uint16_t fillAgain)
{
    const int32_t across = width / 4, down = height / 4;
    for (int32_t y = 0; y < height; y++) {
        for (int32_t x = 0; x < width; x++) {
            const uint16_t p = pixels[y * width + x];
            const uint16_t q = again[y * width + x];
            if (x >= across * 4 || y >= down * 4) {
                check(p == fill && q == fillAgain);  // the margin stays as it was
                continue;
            }
            check(p == q);  // written, whatever was there before
            const uint8_t* b = blocks + ((y / 4) * across + x / 4) * 8;
            const uint16_t c0 = static_cast<uint16_t>(b[0] | b[1] << 8);
            const uint16_t c1 = static_cast<uint16_t>(b[2] | b[3] << 8);
            const int bit = ((y % 4) * 4 + x % 4) * 2;  // pixels row by row, 2 bits each from the lowest
            const int i = (b[4 + bit / 8] >> (bit % 8)) & 3;
            check(allowed(p, c0, c1, i));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const int32_t width = data[0], height = data[1];
    const size_t need = static_cast<size_t>(width / 4) * (height / 4) * 8;
    if (size - 2 < need) return 0;

    // Exactly sized copies: the decoder may touch nothing beyond them.
    std::vector<uint8_t> blocks(data + 2, data + 2 + need);
    const size_t count = static_cast<size_t>(width) * height;
    std::vector<uint16_t> pixels(count, 0x0000), again(count, 0xFFFF);
    DecodeDxt1Image(blocks.data(), pixels.data(), width, height);
    DecodeDxt1Image(blocks.data(), again.data(), width, height);
    check_image(blocks.data(), pixels.data(), again.data(), width, height, 0x0000, 0xFFFF);
    return 0;
}
