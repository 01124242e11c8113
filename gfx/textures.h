// gfx/textures.h -- textures from the pictures embedded in the program, and the seven slide textures.
// Windows only (textures_d3d8.cpp): everything here calls Direct3D through the device.
#pragma once
#include <cstdint>

#include <d3d8.h>

#include "gfx/device.h"                         // g_device: every texture is made on it

extern IDirect3DTexture8* g_slideTextures[7];   // slide i of the embedded data; null until loaded

// Makes a managed texture of the given size and format and copies the pixels in: raw rows of
// width x bytes-per-pixel without padding (each further mip level half as wide and high, stored
// behind the one before), or for DXT formats the whole compressed surface in one piece.
// mip 0: one level; otherwise the full chain. Returns 0, or -1 on any failure; after a failure
// *texture may still hold the texture that was created, and the caller releases it as usual.
// Formats with an unused channel (X8R8G8B8, X1R5G5B5) and unknown formats are refused with -1.
int32_t CreateTextureFromMemory(const void* pixels, IDirect3DTexture8** texture, uint32_t width, uint32_t height,
                                D3DFORMAT format, uint8_t mip);

// Fills g_slideTextures from the embedded slides: DXT1 where the device takes it, otherwise decoded
// in software to R5G6B5. If even that is refused, that slot and every later one stay empty.
void LoadSlideTextures();
void ReleaseSlideTextures();
