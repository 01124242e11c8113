// show/vertices.h -- the vertex layouts the show's effects fill, as plain records.
// Portable: the Direct3D layer hands these arrays to the device unchanged, so each record's layout
// is exactly the one its vertex format (FVF code in the comment) describes.
#pragma once
#include <cstdint>

// 0x44 (XYZRHW | DIFFUSE), 20 bytes: colour lines, stars, fade overlay.
struct ColourVertex {
    float    x, y, z, rhw;  // pixels; z = rhw = 1
    uint32_t colour;        // ARGB
};

// 0x104 (XYZRHW | TEX1), 24 bytes: particle ring sprites, corner caption.
struct TexturedVertex {
    float x, y, z, rhw;
    float u, v;
};

// 0x144 (XYZRHW | DIFFUSE | TEX1), 28 bytes: title card, slides and end card.
struct QuadVertex {
    float    x, y, z, rhw;
    uint32_t colour;        // ARGB; multiplies the texture
    float    u, v;
};

// 0x102 (XYZ | TEX1), 20 bytes: the globe mesh, in the globe's own coordinates.
struct MeshVertex {
    float x, y, z;
    float u, v;
};

static_assert(sizeof(ColourVertex) == 20, "stride 20");
static_assert(sizeof(TexturedVertex) == 24, "stride 24");
static_assert(sizeof(QuadVertex) == 28, "stride 28");
static_assert(sizeof(MeshVertex) == 20, "stride 20");

// Opaque white, or white at the given alpha, as ARGB.
inline uint32_t WhiteWithAlpha(uint32_t alpha) { return (alpha << 24) | 0x00FFFFFFu; }
// The same byte in all four channels (alpha, red, green, blue).
inline uint32_t GreyAllChannels(uint32_t byte) { return byte * 0x01010101u; }
