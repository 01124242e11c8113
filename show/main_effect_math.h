// show/main_effect_math.h -- the numbers of the main effect: globe mesh, particle ring, rainbow
// lines and the ring's projection. Portable; main_effect_d3d8.cpp draws what these compute.
#pragma once
#include <cstdint>

#include "show/camera.h"
#include "show/vertices.h"

enum {
    kGlobeBands        = 16,
    kGlobeBandVertices = 32,                              // one triangle strip of 30 triangles
    kGlobeVertices     = kGlobeBands * kGlobeBandVertices,  // 512
    kRingSprites       = 512,
    kRingVertices      = kRingSprites * 4,                // 2048, four corners per sprite
    kRingIndices       = kRingSprites * 6,                // 3072, two triangles per sprite
    kRainbowColours    = 24,
    kLineVertices      = 38,                              // 19 columns 40 px apart, two rows
};

struct RingPoint {
    float x, y;             // sprite centre in the globe's coordinates (z = 0)
};

// The line colours, ARGB with alpha 0. Deliberate: entries 1 and 9 read 0x30, not 0x3F; the lines
// are drawn with the table as listed.
extern const uint32_t g_rainbow[kRainbowColours];

extern const Matrix4 g_globeProjection;   // 4:3 perspective, near 1, far 5000
extern const Matrix4 g_cornerProjection;  // the same scaled to pixels of the 160 x 120 corner

// 16 bands of 32 vertices from the north pole (z = +50) to the south pole, radius 50.
void BuildGlobeMesh(MeshVertex out[kGlobeVertices]);

// The fixed fields of every sprite corner (z = rhw = 1, u, v), and the ring points from
// 2 x 512 Random() draws: radius 100..200, angle 0..2 pi.
void BuildRingSprites(TexturedVertex out[kRingVertices], RingPoint points[kRingSprites]);

// Six indices per sprite: (4q, 4q+1, 4q+2, 4q+1, 4q+3, 4q+2).
void BuildRingIndices(uint16_t out[kRingIndices]);

// Screen positions of all sprites, given world x view x corner projection. Only x, y, z change.
void ProjectRing(const Matrix4* m, const RingPoint points[kRingSprites], TexturedVertex out[kRingVertices]);

// One colour line: lower = true draws at y 420..421 running left, false at y 60..59 mirrored.
void BuildColourLine(ColourVertex out[kLineVertices], float scroll, int32_t phase, bool lower);

// Moves the lines by one frame: 200 px/s to the left, one rainbow step per 40 px, however many
// steps the frame covers. Afterwards *scroll is in (-40, 0] and *phase in 0..23.
void LineScrollStep(float* scroll, int32_t* phase, float frameTime);
