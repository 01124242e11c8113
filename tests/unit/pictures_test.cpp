// The embedded pictures: the files from assets/ in their order and sizes, and the few properties
// the show relies on (a white border on the title card, a black rim round the additive spark).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "gfx/dxt1.h"
#include "support/files.h"

namespace {

uint16_t Word(const uint8_t* p, int i) { return static_cast<uint16_t>(p[2 * i] | p[2 * i + 1] << 8); }

}  // namespace

TEST(Pictures, EmbeddedInOrderOneAfterAnother)
{
    struct Item { const char* file; const uint8_t* data; size_t size; };
    const Item items[] = {
        {"globe.argb4444", g_globeImage, GLOBE_IMAGE_BYTES},
        {"spark.rgb565", g_sparkImage, SPARK_IMAGE_BYTES},
        {"caption.rgb565", g_captionImage, CAPTION_IMAGE_BYTES},
        {"title.dds", g_titleHeader, TITLE_HEADER_BYTES + TITLE_IMAGE_BYTES},
        {"slide0.dxt1", g_slidePointers[0], SLIDE_IMAGE_BYTES}, {"slide1.dxt1", g_slidePointers[1], SLIDE_IMAGE_BYTES},
        {"slide2.dxt1", g_slidePointers[2], SLIDE_IMAGE_BYTES}, {"slide3.dxt1", g_slidePointers[3], SLIDE_IMAGE_BYTES},
        {"slide4.dxt1", g_slidePointers[4], SLIDE_IMAGE_BYTES}, {"slide5.dxt1", g_slidePointers[5], SLIDE_IMAGE_BYTES},
        {"slide6.dxt1", g_slidePointers[6], SLIDE_IMAGE_BYTES},
    };
    const uint8_t* expected = g_globeImage;
    for (const Item& it : items) {
        SCOPED_TRACE(it.file);
        std::string file = ReadFileBytes(std::string(QE_SOURCE_DIR "/assets/") + it.file);
        ASSERT_EQ(file.size(), it.size);
        EXPECT_EQ(it.data, expected);
        EXPECT_EQ(0, std::memcmp(it.data, file.data(), it.size));
        expected = it.data + it.size;
    }
    EXPECT_EQ(expected, g_pictureData_end);
    EXPECT_EQ(g_titleImage, g_titleHeader + 128);
    EXPECT_EQ(g_slidePointers[0], g_slideImages);
}

TEST(Pictures, TitleIsADdsOfR5G6B5WithAWhiteBorder)
{
    const uint8_t* h = g_titleHeader;
    EXPECT_EQ(0, std::memcmp(h, "DDS ", 4));
    auto u32 = [&](int offset) { return uint32_t(h[offset] | h[offset + 1] << 8 | h[offset + 2] << 16 | uint32_t(h[offset + 3]) << 24); };
    EXPECT_EQ(u32(4), 124u);
    EXPECT_EQ(u32(12), 256u);   // height
    EXPECT_EQ(u32(16), 256u);   // width
    EXPECT_EQ(u32(88), 16u);    // bits per pixel
    EXPECT_EQ(u32(92), 0xF800u);
    EXPECT_EQ(u32(96), 0x07E0u);
    EXPECT_EQ(u32(100), 0x001Fu);
    for (int i = 0; i < 256; i++) {
        ASSERT_EQ(Word(g_titleImage, i), 0xFFFF) << "top " << i;
        ASSERT_EQ(Word(g_titleImage, 255 * 256 + i), 0xFFFF) << "bottom " << i;
        ASSERT_EQ(Word(g_titleImage, i * 256), 0xFFFF) << "left " << i;
        ASSERT_EQ(Word(g_titleImage, i * 256 + 255), 0xFFFF) << "right " << i;
    }
}

TEST(Pictures, SparkFadesToBlackGlobeIsOpaqueCaptionStaysInItsRows)
{
    for (int i = 0; i < 32; i++) {
        EXPECT_EQ(Word(g_sparkImage, i), 0) << i;
        EXPECT_EQ(Word(g_sparkImage, 31 * 32 + i), 0) << i;
        EXPECT_EQ(Word(g_sparkImage, i * 32), 0) << i;
        EXPECT_EQ(Word(g_sparkImage, i * 32 + 31), 0) << i;
    }
    EXPECT_GT(Word(g_sparkImage, 16 * 32 + 16), 0xE000);   // a bright centre
    for (int i = 0; i < 64 * 64; i++) ASSERT_EQ(Word(g_globeImage, i) >> 12, 15) << i;
    int lit = 0;
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 128; x++) {
            uint16_t w = Word(g_captionImage, y * 128 + x);
            if (y < 5 || y > 32) {
                ASSERT_EQ(w, 0) << x << "," << y;
            }
            lit += w != 0;
        }
    EXPECT_GT(lit, 300);
}

TEST(Pictures, SlidesDecodeToOpaquePicturesWithoutBlackHoles)
{
    // Every slide is a real picture: plenty of distinct colours, and not mostly black.
    std::vector<uint16_t> image(256 * 256);
    for (int i = 0; i < SLIDE_COUNT; i++) {
        DecodeDxt1Image(g_slidePointers[i], image.data(), 256, 256);
        std::vector<bool> seen(65536, false);
        int distinct = 0;
        for (uint16_t w : image)
            if (!seen[w]) { seen[w] = true; distinct++; }
        EXPECT_GT(distinct, 150) << "slide " << i;
    }
}
