// gfx/scroll_text_d3d8.cpp -- the scroll text's Direct3D and GDI side: buffers, ring textures,
// the font and DIB section, line rendering and the band. Main thread only.
#include "gfx/scroll_text.h"

#include <cstring>

#include "assets/assets.h"
#include "base/frame_clock.h"
#include "gfx/device.h"

namespace {

struct BandVertex {                 // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1
    float    x, y, z, rhw;
    uint32_t diffuse;
    float    tu, tv;
};
static_assert(sizeof(BandVertex) == 28, "band vertices are 28 bytes");

const DWORD BAND_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x144

IDirect3DDevice8* g_scrollDevice;   // a test's device; null: the show's

int32_t GdiCharWidth(void* context, uint8_t c)
{
    SIZE size = {0, 0};
    char ch = static_cast<char>(c);
    GetTextExtentPoint32A(static_cast<HDC>(context), &ch, 1, &size);
    return size.cx;
}

}  // namespace

IDirect3DDevice8* ScrollDevice()
{
    return g_scrollDevice ? g_scrollDevice : g_device;
}

void ScrollUseDevice(IDirect3DDevice8* device)
{
    g_scrollDevice = device;
}

int32_t TextScrollerCreate(TextScroller* t)
{
    IDirect3DDevice8* device = ScrollDevice();
    t->scroll = 0.0f;
    t->lineProgress = 0.0f;

    device->CreateVertexBuffer(34 * sizeof(BandVertex), D3DUSAGE_DYNAMIC, BAND_FVF, D3DPOOL_SYSTEMMEM, &t->vertexBuffer);
    device->CreateIndexBuffer(64 * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &t->indexBuffer);

    BYTE* bytes = nullptr;
    if (t->indexBuffer && t->indexBuffer->Lock(0, 0, &bytes, 0) == D3D_OK) {
        uint16_t* index = reinterpret_cast<uint16_t*>(bytes);
        for (int s = 0; s < 16; s++) {
            index[4 * s + 0] = static_cast<uint16_t>(2 * s);
            index[4 * s + 1] = static_cast<uint16_t>(2 * s + 2);
            index[4 * s + 2] = static_cast<uint16_t>(2 * s + 1);
            index[4 * s + 3] = static_cast<uint16_t>(2 * s + 3);
        }
        t->indexBuffer->Unlock();
    }
    if (t->vertexBuffer && t->vertexBuffer->Lock(0, 0, &bytes, D3DLOCK_DISCARD) == D3D_OK) {
        BandVertex* v = reinterpret_cast<BandVertex*>(bytes);
        for (int s = 0; s <= 16; s++) {
            for (int j = 0; j < 2; j++) {
                BandVertex& vertex = v[2 * s + j];
                vertex.x = static_cast<float>((j + 1) * 320);
                vertex.y = static_cast<float>(s) * 360.0f / 16.0f + 60.0f;
                vertex.z = 1.0f;
                vertex.rhw = 1.0f;
                // The top and bottom rows are black: the text fades in and out over 22.5 pixels.
                vertex.diffuse = (s == 0 || s == 16) ? 0x00000000u : 0xFFFFFFFFu;
                vertex.tu = 0.0f;
                vertex.tv = 0.0f;
            }
        }
        t->vertexBuffer->Unlock();
    }
    return t->Init();
}

int32_t TextScroller::Init()
{
    IDirect3DDevice8* device = ScrollDevice();
    D3DCAPS8 caps;
    memset(&caps, 0, sizeof(caps));
    device->GetDeviceCaps(&caps);
    if (caps.MaxTextureWidth >= 512) {
        textureSize = 512;
        lineHeight = 16;
        lineWidth = 256;
        writeRow = 384;
    } else if (caps.MaxTextureWidth < 256) {
        return -1;
    } else {
        textureSize = 256;
        lineHeight = 8;
        lineWidth = 256;
        writeRow = 248;
    }

    if (device->CreateTexture(textureSize, textureSize, 1, 0, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, &sysTexture) != D3D_OK) return -1;
    if (device->CreateTexture(textureSize, textureSize, 1, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &texture) != D3D_OK) return -1;

    D3DLOCKED_RECT locked;
    if (sysTexture->LockRect(0, &locked, nullptr, 0) == D3D_OK) {
        memset(locked.pBits, 0, static_cast<size_t>(textureSize) * textureSize * 2);
        sysTexture->UnlockRect(0);
    }
    device->UpdateTexture(sysTexture, texture);

    // Measure the text in a DC of its own with the font the lines are drawn in.
    HDC measure = CreateCompatibleDC(nullptr);
    SetMapMode(measure, MM_TEXT);
    font = CreateFontA(lineHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, VARIABLE_PITCH, "Tahoma");
    if (!font) {
        DeleteDC(measure);
        return -1;
    }
    SelectObject(measure, font);
    SetTextAlign(measure, TA_LEFT | TA_TOP);
    firstLine = ScrollLayout(reinterpret_cast<const char*>(g_scrollText), lineWidth, GdiCharWidth, measure, &lineCount);
    nextLine = firstLine;
    DeleteDC(measure);

    dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = lineWidth;
    info.bmiHeader.biHeight = -lineHeight;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dibBits = static_cast<uint32_t*>(bits);
    SetMapMode(dc, MM_TEXT);
    SelectObject(dc, dib);
    SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    return 0;
}

void TextScroller::DrawLine(ScrollLine* line)
{
    if (!line || !dc || !dibBits || !sysTexture || !texture) return;  // after a failed Init

    memset(dibBits, 0, static_cast<size_t>(lineHeight) * lineWidth * 4);
    int32_t x = (lineWidth - line->width) >> 1;  // centred
    if (line->text) {
        for (const char* c = line->text; *c; c++) {
            int32_t w = GdiCharWidth(dc, static_cast<uint8_t>(*c));
            ExtTextOutA(dc, x, 0, ETO_OPAQUE, nullptr, c, 1, nullptr);
            x += w + 1;
        }
    }
    GdiFlush();  // the DIB's memory holds the text only once GDI has drawn it

    RECT rect;
    rect.left = (textureSize - lineWidth) >> 1;
    rect.top = writeRow;
    rect.right = rect.left + lineWidth;
    rect.bottom = writeRow + lineHeight;
    D3DLOCKED_RECT locked;
    if (sysTexture->LockRect(0, &locked, &rect, 0) != D3D_OK) return;
    // Rows are stepped by the ring's width in pixels (the R5G6B5 ring has no padding); white text on
    // black gives 0xFFFF and 0x0000, white and black in R5G6B5.
    uint16_t* out = static_cast<uint16_t*>(locked.pBits);
    for (int32_t y = 0; y < lineHeight; y++) {
        for (int32_t i = 0; i < lineWidth; i++) {
            out[y * textureSize + i] = static_cast<uint16_t>(dibBits[y * lineWidth + i]);
        }
    }
    sysTexture->UnlockRect(0);
    ScrollDevice()->UpdateTexture(sysTexture, texture);  // only the locked rectangle is uploaded
}

void TextScroller::Render()
{
    IDirect3DDevice8* device = ScrollDevice();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetVertexShader(BAND_FVF);
    device->SetStreamSource(0, vertexBuffer, sizeof(BandVertex));
    device->SetIndices(indexBuffer, 0);

    if (vertexBuffer && indexBuffer && texture) {
        for (int32_t s = 0; s <= 16; s++) {
            BYTE* bytes = nullptr;
            if (vertexBuffer->Lock(56 * s, 56, &bytes, D3DLOCK_NOOVERWRITE) == D3D_OK) {
                BandVertex* v = reinterpret_cast<BandVertex*>(bytes);
                for (int32_t j = 0; j < 2; j++) ScrollBandTexCoords(textureSize, scroll, s, j, &v[j].tu, &v[j].tv);
                vertexBuffer->Unlock();
            }
            if (s > 0) device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 2 * s - 2, 4, 4 * s - 4, 2);
        }
    }
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);

    if (textureSize > 0 && ScrollAdvance(&scroll, &lineProgress, g_frameTime, lineWidth, textureSize, lineHeight)) {
        DrawLine(nextLine);
        if (nextLine) nextLine = nextLine->next;
        writeRow = ScrollNextWriteRow(writeRow, lineHeight, textureSize);
    }

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
}

void TextScroller::Release()
{
    if (dc)           { DeleteDC(dc);              dc = nullptr; }
    if (font)         { DeleteObject(font);        font = nullptr; }
    if (dib)          { DeleteObject(dib);         dib = nullptr; dibBits = nullptr; }
    if (sysTexture)   { sysTexture->Release();     sysTexture = nullptr; }
    if (texture)      { texture->Release();        texture = nullptr; }
    if (indexBuffer)  { indexBuffer->Release();    indexBuffer = nullptr; }
    if (vertexBuffer) { vertexBuffer->Release();   vertexBuffer = nullptr; }
    ScrollFreeLines(firstLine, lineCount);
    firstLine = nullptr;
    nextLine = nullptr;
    lineCount = 0;
}
