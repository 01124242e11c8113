// The scroll text on Wine's real device and GDI: layout with real Tahoma widths, lines drawn into
// the ring, the 256-texture path and a failed Init (through a device that reports smaller caps).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "assets/assets.h"
#include "base/frame_clock.h"
#include "base/heap.h"
#include "gfx/scroll_text.h"
#include "support/test_device.h"
#include "tools/capture/forward_device.h"

namespace {

// The real device, with the texture width limit a test asks for; counts the band's draws.
struct CapsDevice : ForwardDevice {
    DWORD maxTextureWidth;
    int   indexedDraws = 0;
    CapsDevice(IDirect3DDevice8* device, DWORD width) : ForwardDevice(device), maxTextureWidth(width) {}
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS8* caps) override
    {
        HRESULT hr = inner->GetDeviceCaps(caps);
        caps->MaxTextureWidth = maxTextureWidth;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT count, UINT start, UINT prims) override
    {
        indexedDraws++;
        return inner->DrawIndexedPrimitive(type, minIndex, count, start, prims);
    }
};

class ScrollTextTest : public ::testing::Test {
protected:
    IDirect3DDevice8* device = nullptr;
    TextScroller* scroller = nullptr;
    int32_t blocksBefore = 0;

    void SetUp() override
    {
        device = TestDeviceOpen();
        if (!device) QE_SKIP_WITHOUT_SESSION("display (QE_TEST_DISPLAY) or no device");
        blocksBefore = MemLiveBlocks();
    }
    void TearDown() override
    {
        if (scroller) {
            scroller->Release();
            MemFree(scroller);
            scroller = nullptr;
        }
        ScrollUseDevice(nullptr);
        if (device) EXPECT_EQ(MemLiveBlocks(), blocksBefore) << "the scroller frees everything";
    }
    int32_t Create(IDirect3DDevice8* use)
    {
        ScrollUseDevice(use);
        scroller = static_cast<TextScroller*>(MemAlloc(sizeof(TextScroller)));
        return TextScrollerCreate(scroller);
    }
    // The ring's rows [row, row + height) as read back from the system-memory texture.
    void ReadRows(int32_t row, int32_t height, uint16_t* out)
    {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(scroller->sysTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (int32_t y = 0; y < height; y++) {
            memcpy(out + y * scroller->textureSize,
                   static_cast<uint8_t*>(locked.pBits) + (row + y) * locked.Pitch, scroller->textureSize * 2);
        }
        scroller->sysTexture->UnlockRect(0);
    }
};

}  // namespace

TEST_F(ScrollTextTest, EmbeddedTextLaysOutWithinALineWithRealTahomaWidths)
{
    ASSERT_EQ(Create(device), 0);
    EXPECT_EQ(scroller->textureSize, 512);
    EXPECT_EQ(scroller->lineHeight, 16);
    EXPECT_EQ(scroller->writeRow, 384);
    ASSERT_GT(scroller->lineCount, 79);  // every text line, and the long ones broken further

    int32_t widest = 0, empty = 0, chars = 0;
    ScrollLine* line = scroller->firstLine;
    for (int32_t i = 0; i < scroller->lineCount; i++, line = line->next) {
        EXPECT_LT(line->width, 256) << (line->text ? line->text : "");
        if (line->width > widest) widest = line->width;
        if (!line->text || !*line->text) empty++;
        else chars += static_cast<int32_t>(strlen(line->text));
    }
    EXPECT_EQ(line, scroller->firstLine);
    EXPECT_EQ(empty, 28 + 1);  // the paragraph gaps and the final empty line
    // Nothing is lost: every character is shown but the line ends and the breaks that vanished.
    int32_t textChars = 0;
    for (const uint8_t* p = g_scrollText; *p; p++) textChars += (*p != '\r' && *p != '\n');
    EXPECT_LE(chars, textChars);
    EXPECT_GE(chars, textChars - (scroller->lineCount - 79));
    printf("scroll text: %d lines, widest %d pixels\n", scroller->lineCount, widest);
}

TEST_F(ScrollTextTest, DrawLineWritesWhiteOnBlackCentredAtTheWriteRow)
{
    ASSERT_EQ(Create(device), 0);
    ScrollLine* line = scroller->firstLine;
    while (!line->text || line->width < 60) line = line->next;

    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    scroller->DrawLine(line);
    QueryPerformanceCounter(&t1);
    printf("DrawLine: %.3f ms\n", (t1.QuadPart - t0.QuadPart) * 1000.0 / f.QuadPart);

    static uint16_t rows[16 * 512];
    ReadRows(384, 16, rows);
    int32_t left = 512, right = -1, white = 0;
    for (int32_t y = 0; y < 16; y++) {
        for (int32_t x = 0; x < 512; x++) {
            uint16_t p = rows[y * 512 + x];
            ASSERT_TRUE(p == 0xFFFF || p == 0x0000) << std::hex << p;
            if (p == 0xFFFF) {
                white++;
                if (x < left) left = x;
                if (x > right) right = x;
            }
        }
    }
    ASSERT_GT(white, 50);
    // The 256-pixel line sits at ring columns 128..384, the text centred in it.
    int32_t start = 128 + ((256 - line->width) >> 1);
    EXPECT_GE(left, start);
    EXPECT_LE(left, start + 3);
    EXPECT_LE(right, start + line->width);
    EXPECT_GE(right, start + line->width - 6);
}

TEST_F(ScrollTextTest, RenderAdvancesAndRendersOneLineEvery2500Ms)
{
    ASSERT_EQ(Create(device), 0);
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    g_frameTime = 0.02f;
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    for (int i = 0; i < 20; i++) scroller->Render();
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < 80; i++) scroller->Render();  // 2.0 s in all: no line yet
    QueryPerformanceCounter(&t1);
    EXPECT_EQ(scroller->writeRow, 384);
    for (int i = 0; i < 30; i++) scroller->Render();    // 2.6 s: the first line
    device->EndScene();
    EXPECT_EQ(scroller->writeRow, 400);
    EXPECT_EQ(scroller->nextLine, scroller->firstLine->next);
    printf("Render: %.3f ms per frame\n", (t1.QuadPart - t0.QuadPart) * 1000.0 / f.QuadPart / 80);
}

TEST_F(ScrollTextTest, SmallTexturesTakeTheEightPixelFont)
{
    CapsDevice small(device, 256);
    ASSERT_EQ(Create(&small), 0);
    EXPECT_EQ(scroller->textureSize, 256);
    EXPECT_EQ(scroller->lineHeight, 8);
    EXPECT_EQ(scroller->writeRow, 248);
    ScrollLine* line = scroller->firstLine;
    while (!line->text) line = line->next;
    scroller->DrawLine(line);
    static uint16_t rows[8 * 256];
    ReadRows(248, 8, rows);
    int32_t white = 0;
    for (uint16_t p : rows) {
        ASSERT_TRUE(p == 0xFFFF || p == 0x0000);
        white += (p == 0xFFFF);
    }
    EXPECT_GT(white, 10);
    scroller->Release();  // while the wrapper still exists
    MemFree(scroller);
    scroller = nullptr;
}

TEST_F(ScrollTextTest, AFailedInitDrawsNothingAndReleasesCleanly)
{
    CapsDevice tiny(device, 255);
    EXPECT_EQ(Create(&tiny), -1);
    EXPECT_EQ(scroller->texture, nullptr);
    EXPECT_EQ(scroller->firstLine, nullptr);
    g_frameTime = 3.0f;
    device->BeginScene();
    for (int i = 0; i < 3; i++) scroller->Render();
    device->EndScene();
    EXPECT_EQ(tiny.indexedDraws, 0);
    scroller->DrawLine(nullptr);
    scroller->Release();
    scroller->Release();  // twice is harmless
    MemFree(scroller);
    scroller = nullptr;
}
