// gfx/dxt1.h -- the software DXT1 decoder: turns compressed slide blocks into R5G6B5 pixels for
// devices that refuse DXT1 textures. Portable.
#pragma once
#include <cstdint>

// Decodes one 8-byte block (colour 0, colour 1, 32-bit index word, all little-endian) into 4 x 4
// R5G6B5 pixels at dst, whose rows are `stride` pixels apart.
void DecodeDxt1Block(const uint8_t* block, uint16_t* dst, int32_t stride);

// Decodes a whole image of (width / 4) x (height / 4) blocks, block rows top to bottom, blocks left
// to right, into width x height R5G6B5 pixels (rows `width` pixels apart). Width and height are
// multiples of 4.
void DecodeDxt1Image(const uint8_t* blocks, uint16_t* dst, int32_t width, int32_t height);
