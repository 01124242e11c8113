// gfx/dxt1.cpp -- the software DXT1 decoder. Portable; runs at start-up, once per slide at most.
#include "gfx/dxt1.h"

void DecodeDxt1Block(const uint8_t* block, uint16_t* dst, int32_t stride)
{
    uint32_t c0 = block[0] | (block[1] << 8);
    uint32_t c1 = block[2] | (block[3] << 8);
    uint32_t indices = block[4] | (block[5] << 8) | (block[6] << 16) | (static_cast<uint32_t>(block[7]) << 24);

    uint32_t r0 = c0 >> 11, g0 = (c0 >> 5) & 63, b0 = c0 & 31;   // 5, 6 and 5 bits
    uint32_t r1 = c1 >> 11, g1 = (c1 >> 5) & 63, b1 = c1 & 31;

    uint16_t palette[4];
    palette[0] = static_cast<uint16_t>(c0);
    palette[1] = static_cast<uint16_t>(c1);
    if (c0 > c1) {
        // Four colours: the two thirds between the ends, rounded.
        palette[2] = static_cast<uint16_t>(((2 * r0 + r1 + 1) / 3) << 11 | ((2 * g0 + g1 + 1) / 3) << 5 | (2 * b0 + b1 + 1) / 3);
        palette[3] = static_cast<uint16_t>(((r0 + 2 * r1 + 1) / 3) << 11 | ((g0 + 2 * g1 + 1) / 3) << 5 | (b0 + 2 * b1 + 1) / 3);
    } else {
        // Three colours and black; equal ends land here too. The midpoint truncates.
        palette[2] = static_cast<uint16_t>(((r0 + r1) / 2) << 11 | ((g0 + g1) / 2) << 5 | (b0 + b1) / 2);
        palette[3] = 0;
    }

    for (int32_t row = 0; row < 4; row++) {
        for (int32_t col = 0; col < 4; col++) {
            dst[col] = palette[indices & 3];
            indices >>= 2;
        }
        dst += stride;
    }
}

void DecodeDxt1Image(const uint8_t* blocks, uint16_t* dst, int32_t width, int32_t height)
{
    for (int32_t by = 0; by < height / 4; by++)
        for (int32_t bx = 0; bx < width / 4; bx++) {
            DecodeDxt1Block(blocks, dst + (by * 4) * width + bx * 4, width);
            blocks += 8;
        }
}
