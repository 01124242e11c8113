// gfx/textures_d3d8.cpp -- textures from embedded pixels, and the slide textures with their
// software fallback. Windows only; runs on the main thread during start-up and shutdown.
#include "gfx/textures.h"

#include <cstring>

#include "assets/assets.h"
#include "base/heap.h"
#include "gfx/dxt1.h"

IDirect3DTexture8* g_slideTextures[7];

// Bytes in one source row at the top level, 0 for a compressed format (copied as one piece), or
// -1 for a format this loader does not take.
static int32_t SourceRowBytes(D3DFORMAT format, uint32_t width)
{
    switch (format) {
    case D3DFMT_R8G8B8:   return static_cast<int32_t>(width * 3);
    case D3DFMT_A8R8G8B8: return static_cast<int32_t>(width * 4);
    case D3DFMT_R5G6B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4: return static_cast<int32_t>(width * 2);
    case D3DFMT_DXT1:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:     return 0;
    default:              return -1;   // X8R8G8B8 and X1R5G5B5 among them
    }
}

int32_t CreateTextureFromMemory(const void* pixels, IDirect3DTexture8** texture, uint32_t width, uint32_t height,
                                D3DFORMAT format, uint8_t mip)
{
    if (FAILED(g_device->CreateTexture(width, height, mip ? 0 : 1, 0, format, D3DPOOL_MANAGED, texture))) return -1;
    IDirect3DTexture8* tex = *texture;

    IDirect3DSurface8* top = nullptr;
    D3DSURFACE_DESC topDesc;
    if (FAILED(tex->GetSurfaceLevel(0, &top))) return -1;
    if (FAILED(top->GetDesc(&topDesc))) { top->Release(); return -1; }

    // The surface reference is dropped on every way out, the refusals included.
    int32_t rowBytes = SourceRowBytes(topDesc.Format, topDesc.Width);
    if (rowBytes < 0) { top->Release(); return -1; }

    int32_t levels = static_cast<int32_t>(tex->GetLevelCount());
    const uint8_t* src = static_cast<const uint8_t*>(pixels);
    for (int32_t level = 0; level < levels; level++) {
        IDirect3DSurface8* surface = nullptr;
        D3DLOCKED_RECT locked;
        if (FAILED(tex->GetSurfaceLevel(level, &surface))) { top->Release(); return -1; }
        if (FAILED(surface->LockRect(&locked, nullptr, 0))) {
            surface->Release();
            top->Release();
            return -1;
        }
        if (rowBytes == 0) {
            // Compressed: the level in one piece. Below the top each level copies only its own
            // size (from the bytes that follow the level before), never the top level's.
            UINT size = topDesc.Size;
            D3DSURFACE_DESC desc;
            if (level > 0 && SUCCEEDED(surface->GetDesc(&desc))) size = desc.Size;
            std::memcpy(locked.pBits, src, size);
            src += size;
        } else {
            uint8_t* dst = static_cast<uint8_t*>(locked.pBits);
            for (uint32_t row = 0; row < (topDesc.Height >> level); row++) {
                std::memcpy(dst, src, static_cast<size_t>(rowBytes));
                src += rowBytes;
                dst += locked.Pitch;
            }
            rowBytes >>= 1;
        }
        if (FAILED(surface->UnlockRect())) {
            surface->Release();
            top->Release();
            return -1;
        }
        surface->Release();
    }
    top->Release();
    return 0;
}

void LoadSlideTextures()
{
    for (int i = 0; i < SLIDE_COUNT; i++) {
        if (CreateTextureFromMemory(g_slidePointers[i], &g_slideTextures[i], 256, 256, D3DFMT_DXT1, 0) == 0) continue;

        // The device will not take DXT1: drop whatever the failed attempt left in the slot, decode
        // the blocks in storage order and upload the result as R5G6B5.
        if (g_slideTextures[i]) { g_slideTextures[i]->Release(); g_slideTextures[i] = nullptr; }
        uint16_t* decoded = static_cast<uint16_t*>(MemAlloc(256 * 256 * 2));
        DecodeDxt1Image(g_slidePointers[i], decoded, 256, 256);
        int32_t result = CreateTextureFromMemory(decoded, &g_slideTextures[i], 256, 256, D3DFMT_R5G6B5, 0);
        MemFree(decoded);
        if (result != 0) {
            // Not even R5G6B5: this slot stays empty, and so do the ones after it.
            if (g_slideTextures[i]) { g_slideTextures[i]->Release(); g_slideTextures[i] = nullptr; }
            return;
        }
    }
}

void ReleaseSlideTextures()
{
    for (int i = 0; i < SLIDE_COUNT; i++)
        if (g_slideTextures[i]) { g_slideTextures[i]->Release(); g_slideTextures[i] = nullptr; }
}
