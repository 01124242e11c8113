// The software DXT1 decoder: palettes of the two block modes, index order, and whole images.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/dxt1.h"

namespace {

// A block whose first row selects palette entries 0, 1, 2, 3 and whose other rows repeat 3, 2, 1, 0.
void MakeBlock(uint8_t block[8], uint16_t c0, uint16_t c1)
{
    block[0] = static_cast<uint8_t>(c0);
    block[1] = static_cast<uint8_t>(c0 >> 8);
    block[2] = static_cast<uint8_t>(c1);
    block[3] = static_cast<uint8_t>(c1 >> 8);
    block[4] = 0xE4;  // 0, 1, 2, 3
    block[5] = 0x1B;  // 3, 2, 1, 0
    block[6] = 0x1B;
    block[7] = 0x1B;
}

}  // namespace

TEST(Dxt1, PalettesOfBothModes)
{
    struct Case { uint16_t c0, c1, p2, p3; };
    const Case cases[] = {
        {0xF800, 0x001F, 0xA80A, 0x5015},   // red over blue: four colours, thirds rounded
        {0x001F, 0xF800, 0x780F, 0x0000},   // reversed: three colours, truncated midpoint, black
        {0xFFFF, 0x0000, 0xAD55, 0x52AA},   // white over black
        {0x1234, 0x1234, 0x1234, 0x0000},   // equal ends: three-colour block
        {0x0000, 0x0000, 0x0000, 0x0000},
        {0x0001, 0x0000, 0x0001, 0x0000},   // smallest four-colour block: (2 + 0 + 1) / 3 = 1, (1 + 0 + 1) / 3 = 0
        {0x07E0, 0x07C0, 0x07E0, 0x07C0},   // green only, 63 over 62: (126 + 62 + 1) / 3 = 63, (63 + 124 + 1) / 3 = 62
    };
    for (const Case& c : cases) {
        uint8_t block[8];
        MakeBlock(block, c.c0, c.c1);
        uint16_t out[4 * 6];
        for (uint16_t& w : out) w = 0xBEEF;
        DecodeDxt1Block(block, out, 6);
        const uint16_t palette[4] = {c.c0, c.c1, c.p2, c.p3};
        SCOPED_TRACE(testing::Message() << std::hex << c.c0 << " " << c.c1);
        for (int col = 0; col < 4; col++) {
            EXPECT_EQ(out[col], palette[col]);
            for (int row = 1; row < 4; row++) EXPECT_EQ(out[row * 6 + col], palette[3 - col]);
        }
        // The stride is honoured: nothing written between the rows.
        for (int row = 0; row < 4; row++) {
            EXPECT_EQ(out[row * 6 + 4], 0xBEEF);
            EXPECT_EQ(out[row * 6 + 5], 0xBEEF);
        }
    }
}

TEST(Dxt1, IndexWordIsLittleEndianTwoBitsPerPixel)
{
    // Pixel n takes bits 2n and 2n + 1: give only pixel 13 (row 3, column 1) index 1.
    uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};
    uint32_t indices = 1u << 26;
    for (int i = 0; i < 4; i++) block[4 + i] = static_cast<uint8_t>(indices >> (8 * i));
    uint16_t out[16];
    DecodeDxt1Block(block, out, 4);
    for (int n = 0; n < 16; n++) EXPECT_EQ(out[n], n == 13 ? 0x001F : 0xF800) << n;
}

TEST(Dxt1, WholeImageTakesBlocksInRowsFromTheTop)
{
    // 8 x 8 pixels = 2 x 2 blocks, each a solid colour naming its storage position.
    const uint16_t colours[4] = {0x0841, 0x1082, 0x18C3, 0x2104};
    std::vector<uint8_t> blocks(32, 0);
    for (int b = 0; b < 4; b++) {
        blocks[b * 8 + 0] = static_cast<uint8_t>(colours[b]);
        blocks[b * 8 + 1] = static_cast<uint8_t>(colours[b] >> 8);
    }
    std::vector<uint16_t> image(64, 0);
    DecodeDxt1Image(blocks.data(), image.data(), 8, 8);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) EXPECT_EQ(image[y * 8 + x], colours[(y / 4) * 2 + x / 4]) << x << "," << y;
}
