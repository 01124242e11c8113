// Textures from the embedded pictures: on Wine's real device, and on recording fakes that refuse
// DXT1 (the software path) or R5G6B5 too (the stop rule).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "gfx/dxt1.h"
#include "gfx/textures.h"
#include "shell/heap.h"
#include "support/d3d8_stubs.h"
#include "support/test_device.h"

namespace {

// ---- recording fakes ------------------------------------------------------------------------------

struct FakeTexture;

struct FakeSurface : StubSurface {
    FakeTexture* owner = nullptr;
    LONG refs = 0;
    bool failLock = false;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override { return D3D_OK; }
};

// Level 0, and the levels below it when the whole chain was asked for. Rows are padded to a pitch
// wider than the data and 128 bytes of 0xCD follow each level, so a copy that ignores the pitch or
// the level's size shows.
struct FakeTexture : StubTexture {
    virtual ~FakeTexture() { for (FakeTexture* t : below) delete t; }
    UINT width = 0, height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    LONG refs = 1;
    INT pitch = 0;
    UINT size = 0;
    std::vector<uint8_t> bits;
    FakeSurface surface;
    std::vector<FakeTexture*> below;        // levels 1, 2, ... down to 1 x 1
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(1 + below.size()); }
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface8** out) override
    {
        if (level > below.size()) return D3DERR_INVALIDCALL;
        FakeSurface* s = level ? &below[level - 1]->surface : &surface;
        s->AddRef();
        *out = s;
        return D3D_OK;
    }
};

// A level of w x h: a DXT1 level holds 8 bytes per 4 x 4 block, at least one block.
FakeTexture* FakeLevel(UINT w, UINT h, D3DFORMAT format, bool failLock)
{
    FakeTexture* t = new FakeTexture;
    t->width = w;
    t->height = h;
    t->format = format;
    bool compressed = format == D3DFMT_DXT1;
    t->size = compressed ? std::max(1u, w / 4) * std::max(1u, h / 4) * 8 : w * h * 2;
    t->pitch = compressed ? static_cast<INT>(std::max(1u, w / 4) * 8) : static_cast<INT>(w * 2 + 24);
    t->bits.assign((compressed ? t->size : static_cast<size_t>(t->pitch) * h) + 128, 0xCD);
    t->surface.owner = t;
    t->surface.failLock = failLock;
    return t;
}

HRESULT FakeSurface::GetDesc(D3DSURFACE_DESC* desc)
{
    std::memset(desc, 0, sizeof *desc);
    desc->Format = owner->format;
    desc->Width = owner->width;
    desc->Height = owner->height;
    desc->Size = owner->size;
    desc->Pool = D3DPOOL_MANAGED;
    return D3D_OK;
}

HRESULT FakeSurface::LockRect(D3DLOCKED_RECT* locked, const RECT*, DWORD)
{
    if (failLock) return D3DERR_INVALIDCALL;
    locked->pBits = owner->bits.data();
    locked->Pitch = owner->pitch;
    return D3D_OK;
}

struct CreateCall { D3DFORMAT format; UINT width, height, levels; D3DPOOL pool; bool accepted; };

// Takes textures in the formats it is told to, records every CreateTexture call.
struct FakeDevice : StubDevice {
    bool takesDxt1 = true;
    int r5g6b5Left = 1000;                  // R5G6B5 textures it still grants
    bool failLocks = false;
    std::vector<CreateCall> calls;
    std::vector<FakeTexture*> textures;
    ~FakeDevice() { for (FakeTexture* t : textures) delete t; }

    HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DTexture8** out) override
    {
        bool ok = format == D3DFMT_DXT1 ? takesDxt1 : format == D3DFMT_R5G6B5 ? r5g6b5Left-- > 0 : true;
        calls.push_back({format, width, height, levels, pool, ok});
        if (!ok) { *out = nullptr; return D3DERR_INVALIDCALL; }
        FakeTexture* t = FakeLevel(width, height, format, failLocks);
        for (UINT w = width / 2, h = height / 2; levels == 0 && (w | h); w /= 2, h /= 2)
            t->below.push_back(FakeLevel(std::max(w, 1u), std::max(h, 1u), format, failLocks));
        textures.push_back(t);
        *out = t;
        return D3D_OK;
    }
};

std::vector<uint16_t> DecodedSlide(int i)
{
    std::vector<uint16_t> px(256 * 256);
    DecodeDxt1Image(g_slidePointers[i], px.data(), 256, 256);
    return px;
}

// The fake texture's rows, without the pitch padding, equal these 16-bit pixels.
bool RowsEqual(const FakeTexture* t, const void* pixels)
{
    const uint8_t* src = static_cast<const uint8_t*>(pixels);
    for (UINT y = 0; y < t->height; y++)
        if (std::memcmp(t->bits.data() + y * t->pitch, src + y * t->width * 2, t->width * 2) != 0) return false;
    return true;
}

class FakeDeviceTest : public testing::Test {
protected:
    FakeDevice fake;
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
    ASSERT_EQ(fake.calls.size(), 7u);
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(fake.calls[i].format, D3DFMT_DXT1);
        EXPECT_EQ(fake.calls[i].levels, 1u);
        EXPECT_EQ(fake.calls[i].pool, D3DPOOL_MANAGED);
        ASSERT_EQ(g_slideTextures[i], fake.textures[i]);
        EXPECT_EQ(0, std::memcmp(fake.textures[i]->bits.data(), g_slidePointers[i], SLIDE_IMAGE_BYTES)) << i;
        EXPECT_EQ(fake.textures[i]->surface.refs, 0) << "surface references dropped";
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
    ASSERT_EQ(fake.calls.size(), 14u);
    for (int i = 0; i < 7; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fake.calls[2 * i].format, D3DFMT_DXT1);
        EXPECT_FALSE(fake.calls[2 * i].accepted);
        EXPECT_EQ(fake.calls[2 * i + 1].format, D3DFMT_R5G6B5);
        EXPECT_EQ(fake.calls[2 * i + 1].width, 256u);
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
    ASSERT_EQ(fake.calls.size(), 6u) << "nothing is tried after the refusal";
    EXPECT_FALSE(fake.calls[5].accepted);
    EXPECT_EQ(g_slideTextures[0], fake.textures[0]);
    EXPECT_EQ(g_slideTextures[1], fake.textures[1]);
    for (int i = 2; i < 7; i++) EXPECT_EQ(g_slideTextures[i], nullptr) << i;
    ReleaseSlideTextures();

    FakeDevice none;
    none.takesDxt1 = false;
    none.r5g6b5Left = 0;
    g_device = &none;
    LoadSlideTextures();
    EXPECT_EQ(none.calls.size(), 2u);
    for (IDirect3DTexture8* t : g_slideTextures) EXPECT_EQ(t, nullptr);
}

TEST_F(FakeDeviceTest, FailedUploadsLeaveNoTextureBehindInTheSlots)
{
    // Every texture is created but none can be locked: both attempts fail after creation.
    fake.failLocks = true;
    LoadSlideTextures();
    ASSERT_EQ(fake.calls.size(), 2u);
    for (IDirect3DTexture8* t : g_slideTextures) EXPECT_EQ(t, nullptr);
    for (FakeTexture* t : fake.textures) {
        EXPECT_EQ(t->refs, 0) << "released, not leaked";
        EXPECT_EQ(t->surface.refs, 0);
    }
}

TEST_F(FakeDeviceTest, RowsFollowThePitchAndFormatsWithUnusedBitsAreRefused)
{
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(CreateTextureFromMemory(g_captionImage, &tex, 128, 128, D3DFMT_R5G6B5, 0), 0);
    EXPECT_TRUE(RowsEqual(fake.textures[0], g_captionImage));
    EXPECT_EQ(fake.textures[0]->surface.refs, 0);

    struct Case { D3DFORMAT format; int32_t result; };
    const Case cases[] = {{D3DFMT_X8R8G8B8, -1}, {D3DFMT_X1R5G5B5, -1}, {D3DFMT_P8, -1}, {D3DFMT_A4R4G4B4, 0}};
    for (const Case& c : cases) {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(CreateTextureFromMemory(g_globeImage, &t, 64, 64, c.format, 0), c.result) << c.format;
        EXPECT_NE(t, nullptr) << "the texture was created all the same";
        EXPECT_EQ(fake.textures.back()->surface.refs, 0);
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
        EXPECT_EQ(fake.calls.back().levels, 0u);
        ASSERT_EQ(top->GetLevelCount(), c.levels);
        size_t offset = 0;
        for (UINT level = 0; level < c.levels; level++) {
            const FakeTexture* t = level ? top->below[level - 1] : top;
            const bool compressed = c.format == D3DFMT_DXT1;
            const UINT rows = compressed ? 1 : t->height, rowBytes = compressed ? t->size : t->width * 2;
            for (UINT y = 0; y < rows; y++, offset += rowBytes)
                EXPECT_EQ(std::memcmp(t->bits.data() + y * t->pitch, &src[offset], rowBytes), 0) << level << " " << y;
            EXPECT_EQ(t->bits[compressed ? t->size : t->pitch * t->height], 0xCD) << "nothing past level " << level;
            EXPECT_EQ(t->surface.refs, 0);
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
