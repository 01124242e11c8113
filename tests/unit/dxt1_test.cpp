// The software DXT1 decoder: palettes of the two block modes, index order, and whole images.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/dxt1.h"

namespace {

// Pixel n (row n / 4, column n % 4) takes bits 2n and 2n + 1 of the little-endian index word:
// the four index bytes 0xE4, 0x1B, 0xB1, 0x4E select these entries, a different order per row.
const int kIndex[16] = {0, 1, 2, 3, 3, 2, 1, 0, 1, 0, 3, 2, 2, 3, 0, 1};

}  // namespace

TEST(Dxt1, PalettesOfBothModes)
{
    // Four colours when c0 > c1: channel by channel (2 c0 + c1 + 1) / 3 and (c0 + 2 c1 + 1) / 3,
    // where each channel's sums leave every remainder in one case or another. Otherwise three
    // colours, (c0 + c1) / 2 truncated, and black.
    struct Case { uint16_t c0, c1, p2, p3; };
    const Case cases[] = {
        {0xF800, 0x001F, 0xA80A, 0x5015},   // red over blue
        {0x001F, 0xF800, 0x780F, 0x0000},   // reversed: three colours, truncated midpoint, black
        {0xFFFF, 0x0000, 0xAD55, 0x52AA},   // white over black
        {0x1234, 0x1234, 0x1234, 0x0000},   // equal ends: three-colour block
        {0x0000, 0x0000, 0x0000, 0x0000},
        {0x0001, 0x0000, 0x0001, 0x0000},   // smallest four-colour block: (2 + 0 + 1) / 3 = 1, (1 + 0 + 1) / 3 = 0
        {0x07E0, 0x07C0, 0x07E0, 0x07C0},   // green only, 63 over 62: (126 + 62 + 1) / 3 = 63, (63 + 124 + 1) / 3 = 62
        {0xA519, 0x4987, 0x83F3, 0x6AAD},   // (20,40,25) over (9,12,7): (16,31,19) and (13,21,13)
        {0xF64A, 0x129D, 0xAD10, 0x5BD7},   // (30,50,10) over (2,20,29): (21,40,16) and (11,30,23)
        {0x7C24, 0x18FE, 0x5B0D, 0x3A15},   // (15,33,4) over (3,7,30): (11,24,13) and (7,16,21)
        {0x4987, 0xA519, 0x7350, 0x0000},   // (9,12,7) under (20,40,25): (14,26,16), black
    };
    for (const Case& c : cases) {
        const uint8_t block[8] = {static_cast<uint8_t>(c.c0), static_cast<uint8_t>(c.c0 >> 8), static_cast<uint8_t>(c.c1),
                                  static_cast<uint8_t>(c.c1 >> 8), 0xE4, 0x1B, 0xB1, 0x4E};
        uint16_t out[4 * 6];
        for (uint16_t& w : out) w = 0xBEEF;
        DecodeDxt1Block(block, out, 6);
        const uint16_t palette[4] = {c.c0, c.c1, c.p2, c.p3};
        SCOPED_TRACE(testing::Message() << std::hex << c.c0 << " " << c.c1);
        for (int n = 0; n < 16; n++) EXPECT_EQ(out[n / 4 * 6 + n % 4], palette[kIndex[n]]) << n;
        // The stride is honoured: nothing written between the rows.
        for (int row = 0; row < 4; row++) {
            EXPECT_EQ(out[row * 6 + 4], 0xBEEF);
            EXPECT_EQ(out[row * 6 + 5], 0xBEEF);
        }
    }
}

TEST(Dxt1, WholeImageTakesBlocksInRowsFromTheTop)
{
    // 8 x 12 pixels = 2 x 3 blocks, each a solid colour naming its storage position.
    const uint16_t colours[6] = {0x0841, 0x1082, 0x18C3, 0x2104, 0x2945, 0x3186};
    std::vector<uint8_t> blocks(48, 0);
    for (int b = 0; b < 6; b++) {
        blocks[b * 8 + 0] = static_cast<uint8_t>(colours[b]);
        blocks[b * 8 + 1] = static_cast<uint8_t>(colours[b] >> 8);
    }
    std::vector<uint16_t> image(8 * 12 + 8, 0);
    DecodeDxt1Image(blocks.data(), image.data(), 8, 12);
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < 8; x++) EXPECT_EQ(image[y * 8 + x], colours[(y / 4) * 2 + x / 4]) << x << "," << y;
    for (int i = 96; i < 104; i++) EXPECT_EQ(image[i], 0) << "nothing past the image";
}
