// Textures from the embedded pictures: on Wine's real device, and on recording fakes that refuse
// DXT1 (the software path) or R5G6B5 too (the stop rule).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "base/heap.h"
#include "gfx/dxt1.h"
#include "gfx/textures.h"
#include "support/recording_device.h"
#include "support/test_device.h"

namespace {

using recording::FakeTexture;

std::vector<uint16_t> DecodedSlide(int i)
{
    std::vector<uint16_t> px(256 * 256);
    DecodeDxt1Image(g_slidePointers[i], px.data(), 256, 256);
    return px;
}

// The fake texture's rows, without the pitch padding, equal these 16-bit pixels.
bool RowsEqual(const FakeTexture* t, const void* pixels)
{
    const recording::FakeSurface& s = t->surface;
    const uint8_t* src = static_cast<const uint8_t*>(pixels);
    for (UINT y = 0; y < s.height; y++)
        if (std::memcmp(s.pixels.data() + y * s.pitch, src + y * s.width * 2, s.width * 2) != 0) return false;
    return true;
}

class FakeDeviceTest : public testing::Test {
protected:
    recording::RecordingDevice fake;
    void SetUp() override
    {
        g_device = &fake;
        for (IDirect3DTexture8*& t : g_slideTextures) t = nullptr;
    }
    void TearDown() override
    {
        for (IDirect3DTexture8*& t : g_slideTextures) t = nullptr;
        g_device = nullptr;
    }
};

}  // namespace

// ---- on the fakes -----------------------------------------------------------------------------------

TEST_F(FakeDeviceTest, DeviceWithDxt1GetsTheBlocksAsTheyAre)
{
    LoadSlideTextures();
    ASSERT_EQ(fake.textureCalls.size(), 7u);
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(fake.textureCalls[i].format, D3DFMT_DXT1);
        EXPECT_EQ(fake.textureCalls[i].levels, 1u);
        EXPECT_EQ(fake.textureCalls[i].pool, D3DPOOL_MANAGED);
        ASSERT_EQ(g_slideTextures[i], fake.textures[i]);
        EXPECT_EQ(0, std::memcmp(fake.textures[i]->surface.pixels.data(), g_slidePointers[i], SLIDE_IMAGE_BYTES)) << i;
        EXPECT_EQ(fake.textures[i]->surface.refs, 1) << "surface references dropped";
    }
    ReleaseSlideTextures();
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(fake.textures[i]->refs, 0);
        EXPECT_EQ(g_slideTextures[i], nullptr);
    }
}

TEST_F(FakeDeviceTest, WithoutDxt1EachSlideIsDecodedIntoItsOwnSlot)
{
    fake.takesDxt1 = false;
    int32_t blocks = MemLiveBlocks();
    LoadSlideTextures();
    EXPECT_EQ(MemLiveBlocks(), blocks) << "decode buffers freed";
    ASSERT_EQ(fake.textureCalls.size(), 14u);
    for (int i = 0; i < 7; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fake.textureCalls[2 * i].format, D3DFMT_DXT1);
        EXPECT_FALSE(fake.textureCalls[2 * i].accepted);
        EXPECT_EQ(fake.textureCalls[2 * i + 1].format, D3DFMT_R5G6B5);
        EXPECT_EQ(fake.textureCalls[2 * i + 1].width, 256u);
        ASSERT_EQ(g_slideTextures[i], fake.textures[i]);
        std::vector<uint16_t> expected = DecodedSlide(i);
        EXPECT_TRUE(RowsEqual(fake.textures[i], expected.data()));
    }
    ReleaseSlideTextures();
    for (FakeTexture* t : fake.textures) EXPECT_EQ(t->refs, 0);
}

TEST_F(FakeDeviceTest, WhenR5G6B5IsRefusedTooThatSlotAndTheRestStayEmpty)
{
    fake.takesDxt1 = false;
    fake.r5g6b5Left = 2;                        // slides 0 and 1 fit, slide 2 is refused
    LoadSlideTextures();
    ASSERT_EQ(fake.textureCalls.size(), 6u) << "nothing is tried after the refusal";
    EXPECT_FALSE(fake.textureCalls[5].accepted);
    EXPECT_EQ(g_slideTextures[0], fake.textures[0]);
    EXPECT_EQ(g_slideTextures[1], fake.textures[1]);
    for (int i = 2; i < 7; i++) EXPECT_EQ(g_slideTextures[i], nullptr) << i;
    ReleaseSlideTextures();

    recording::RecordingDevice none;
    none.takesDxt1 = false;
    none.r5g6b5Left = 0;
    g_device = &none;
    LoadSlideTextures();
    EXPECT_EQ(none.textureCalls.size(), 2u);
    for (IDirect3DTexture8* t : g_slideTextures) EXPECT_EQ(t, nullptr);
}

TEST_F(FakeDeviceTest, FailedUploadsLeaveNoTextureBehindInTheSlots)
{
    // Every texture is created but none can be locked: both attempts fail after creation.
    fake.failLocks = true;
    LoadSlideTextures();
    ASSERT_EQ(fake.textureCalls.size(), 2u);
    for (IDirect3DTexture8* t : g_slideTextures) EXPECT_EQ(t, nullptr);
    for (FakeTexture* t : fake.textures) {
        EXPECT_EQ(t->refs, 0) << "released, not leaked";
        EXPECT_EQ(t->surface.refs, 1);
    }
}

TEST_F(FakeDeviceTest, RowsFollowThePitchAndFormatsWithUnusedBitsAreRefused)
{
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(CreateTextureFromMemory(g_captionImage, &tex, 128, 128, D3DFMT_R5G6B5, 0), 0);
    EXPECT_TRUE(RowsEqual(fake.textures[0], g_captionImage));
    EXPECT_EQ(fake.textures[0]->surface.refs, 1);

    struct Case { D3DFORMAT format; int32_t result; };
    const Case cases[] = {{D3DFMT_X8R8G8B8, -1}, {D3DFMT_X1R5G5B5, -1}, {D3DFMT_P8, -1}, {D3DFMT_A4R4G4B4, 0}};
    for (const Case& c : cases) {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(CreateTextureFromMemory(g_globeImage, &t, 64, 64, c.format, 0), c.result) << c.format;
        EXPECT_NE(t, nullptr) << "the texture was created all the same";
        EXPECT_EQ(fake.textures.back()->surface.refs, 1);
    }
}

TEST_F(FakeDeviceTest, EveryLevelOfAChainTakesItsOwnBytesFromTheSource)
{
    // The source holds the levels one after another: DXT1 16 x 16 gives 128, 32, 8, 8 and 8 bytes
    // (a level below 4 x 4 still holds one block); R5G6B5 8 x 8 gives rows of 16, 8, 4 and 2 bytes.
    struct Case { D3DFORMAT format; UINT size, levels, bytes; };
    const Case cases[] = {{D3DFMT_DXT1, 16, 5, 184}, {D3DFMT_R5G6B5, 8, 4, 170}};
    std::vector<uint8_t> src(512);
    for (size_t i = 0; i < src.size(); i++) src[i] = static_cast<uint8_t>(i * 7 + 1);
    for (const Case& c : cases) {
        IDirect3DTexture8* tex = nullptr;
        ASSERT_EQ(CreateTextureFromMemory(src.data(), &tex, c.size, c.size, c.format, 1), 0) << c.format;
        FakeTexture* top = fake.textures.back();
        EXPECT_EQ(fake.textureCalls.back().levels, 0u);
        ASSERT_EQ(top->GetLevelCount(), c.levels);
        size_t offset = 0;
        for (UINT level = 0; level < c.levels; level++) {
            const recording::FakeSurface* t = top->Level(level);
            const bool compressed = c.format == D3DFMT_DXT1;
            const UINT rows = compressed ? 1 : t->height, rowBytes = compressed ? t->size : t->width * 2;
            for (UINT y = 0; y < rows; y++, offset += rowBytes)
                EXPECT_EQ(std::memcmp(t->pixels.data() + y * t->pitch, &src[offset], rowBytes), 0) << level << " " << y;
            EXPECT_EQ(t->pixels[t->size], 0xCD) << "nothing past level " << level;
            EXPECT_EQ(t->refs, 1);
        }
        EXPECT_EQ(offset, c.bytes);
    }
}

// ---- on Wine's device ---------------------------------------------------------------------------------

class RealDeviceTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!TestDisplayAvailable()) QE_SKIP_WITHOUT_SESSION("display (QE_TEST_DISPLAY)");
        g_device = TestDeviceOpen();
        ASSERT_NE(g_device, nullptr);
        for (IDirect3DTexture8*& t : g_slideTextures) t = nullptr;
    }
    void TearDown() override
    {
        g_device = nullptr;
        TestDeviceClose();
    }
};

// Locks level 0 and compares it, row by row, with the source bytes.
void ExpectTextureHolds(IDirect3DTexture8* tex, D3DFORMAT format, UINT width, UINT height, const uint8_t* src,
                        UINT rowBytes, UINT rows)
{
    ASSERT_NE(tex, nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(tex->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, format);
    EXPECT_EQ(desc.Width, width);
    EXPECT_EQ(desc.Height, height);
    EXPECT_EQ(tex->GetLevelCount(), 1u);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(tex->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < rows; y++) {
        if (std::memcmp(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, src + y * rowBytes, rowBytes) != 0) {
            ADD_FAILURE() << "row " << y << " differs";
            break;
        }
    }
    tex->UnlockRect(0);
}

TEST_F(RealDeviceTest, EveryEmbeddedImageBecomesATexture)
{
    struct Image { const uint8_t* pixels; UINT size; D3DFORMAT format; };
    const Image images[] = {
        {g_globeImage, 64, D3DFMT_A4R4G4B4},
        {g_sparkImage, 32, D3DFMT_R5G6B5},
        {g_captionImage, 128, D3DFMT_R5G6B5},
        {g_titleImage, 256, D3DFMT_R5G6B5},
    };
    for (const Image& im : images) {
        IDirect3DTexture8* tex = nullptr;
        EXPECT_EQ(CreateTextureFromMemory(im.pixels, &tex, im.size, im.size, im.format, 0), 0);
        ExpectTextureHolds(tex, im.format, im.size, im.size, im.pixels, im.size * 2, im.size);
        if (tex) {
            EXPECT_EQ(tex->Release(), 0u);
        }
    }

    LoadSlideTextures();
    for (int i = 0; i < SLIDE_COUNT; i++) {
        SCOPED_TRACE(i);
        // DXT1 rows are rows of blocks: 64 blocks of 8 bytes, 4 pixels high.
        ExpectTextureHolds(g_slideTextures[i], D3DFMT_DXT1, 256, 256, g_slidePointers[i], 512, 64);
    }
    ReleaseSlideTextures();
    for (IDirect3DTexture8* t : g_slideTextures) EXPECT_EQ(t, nullptr);
}

TEST_F(RealDeviceTest, FormatsWithUnusedBitsAreRefusedAfterCreation)
{
    static uint8_t pixels[64 * 64 * 4];
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_X1R5G5B5}) {
        IDirect3DTexture8* tex = nullptr;
        EXPECT_EQ(CreateTextureFromMemory(pixels, &tex, 64, 64, format, 0), -1) << format;
        ASSERT_NE(tex, nullptr) << "created, then refused";
        EXPECT_EQ(tex->Release(), 0u) << "no surface reference left behind";
    }
}
