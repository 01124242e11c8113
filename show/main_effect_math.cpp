// show/main_effect_math.cpp -- globe mesh, particle ring, rainbow lines and the ring's projection.
// Portable; runs on the main thread during show initialisation and inside the main effect's frame.
#include "show/main_effect_math.h"

#include <cmath>

#include "base/math.h"

const uint32_t g_rainbow[kRainbowColours] = {
    0xFF0000, 0xFF3000, 0xFF7F00, 0xFFBF00, 0xFFFF00, 0xBFFF00, 0x7FFF00, 0x3FFF00,
    0x00FF00, 0x00FF30, 0x00FF7F, 0x00FFBF, 0x00FFFF, 0x00BFFF, 0x007FFF, 0x003FFF,
    0x0000FF, 0x3F00FF, 0x7F00FF, 0xBF00FF, 0xFF00FF, 0xFF00BF, 0xFF007F, 0xFF003F,
};

const Matrix4 g_globeProjection = {{
    {2.43902445f, 0.0f, 0.0f, 0.0f},
    {0.0f, 3.25203252f, 0.0f, 0.0f},
    {0.0f, 0.0f, 1.00020003f, 1.0f},
    {0.0f, 0.0f, -1.00020003f, 0.0f},
}};

// 195.121948 = 80 x 2.43902445 = 60 x 3.25203252: half the corner's width and height in pixels.
const Matrix4 g_cornerProjection = {{
    {195.121948f, 0.0f, 0.0f, 0.0f},
    {0.0f, 195.121948f, 0.0f, 0.0f},
    {0.0f, 0.0f, 1.00020003f, 1.0f},
    {0.0f, 0.0f, -1.00020003f, 0.0f},
}};

void BuildGlobeMesh(MeshVertex out[kGlobeVertices])
{
    // The latitude is stepped by repeated float subtraction, so the poles are not exactly hit.
    // 14.9 segments, not 15: the strip runs a little past a full turn (6.3253 rad) and closes the seam.
    float phi = 1.570796f;
    MeshVertex* v = out;
    for (int i = 0; i < kGlobeBands; i++) {
        float phi2 = phi - 0.1963495f;
        float cosPhi = static_cast<float>(Cos(phi)), sinPhi = static_cast<float>(Sin(phi));
        float cosPhi2 = static_cast<float>(Cos(phi2)), sinPhi2 = static_cast<float>(Sin(phi2));
        for (int j = 0; j < 16; j++) {
            float theta = static_cast<float>(j) * 6.283184f / 14.9f;
            float sinTheta = static_cast<float>(Sin(theta)), cosTheta = static_cast<float>(Cos(theta));
            float u = static_cast<float>(j) / 15.0f;
            // Only the upper half of the globe image is mapped (v 0..0.5).
            v->x = 50.0f * cosPhi * sinTheta;
            v->y = 50.0f * cosPhi * cosTheta;
            v->z = 50.0f * sinPhi;
            v->u = u;
            v->v = static_cast<float>(i) * 0.5f / 16.0f;
            v++;
            v->x = 50.0f * cosPhi2 * sinTheta;
            v->y = 50.0f * cosPhi2 * cosTheta;
            v->z = 50.0f * sinPhi2;
            v->u = u;
            v->v = static_cast<float>(i + 1) * 0.5f / 16.0f;
            v++;
        }
        phi = phi2;
    }
}

void BuildRingSprites(TexturedVertex out[kRingVertices], RingPoint points[kRingSprites])
{
    static const float corners[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}};
    for (int q = 0; q < kRingSprites; q++) {
        for (int c = 0; c < 4; c++) {
            TexturedVertex* v = &out[q * 4 + c];
            v->x = 0.0f;
            v->y = 0.0f;
            v->z = 1.0f;
            v->rhw = 1.0f;
            v->u = corners[c][0];
            v->v = corners[c][1];
        }
        // Two draws per sprite, radius first: the order fixes the picture.
        float r = static_cast<float>(Random()) * 100.0f / 32767.0f + 100.0f;
        float a = static_cast<float>(Random()) * 6.283184f / 32767.0f;
        points[q].x = static_cast<float>(Cos(a)) * r;
        points[q].y = static_cast<float>(Sin(a)) * r;
    }
}

void BuildRingIndices(uint16_t out[kRingIndices])
{
    for (int q = 0; q < kRingSprites; q++) {
        uint16_t base = static_cast<uint16_t>(q * 4);
        uint16_t* p = &out[q * 6];
        p[0] = base;
        p[1] = static_cast<uint16_t>(base + 1);
        p[2] = static_cast<uint16_t>(base + 2);
        p[3] = static_cast<uint16_t>(base + 1);
        p[4] = static_cast<uint16_t>(base + 3);
        p[5] = static_cast<uint16_t>(base + 2);
    }
}

void ProjectRing(const Matrix4* m, const RingPoint points[kRingSprites], TexturedVertex out[kRingVertices])
{
    const float(*a)[4] = m->m;
    for (int q = 0; q < kRingSprites; q++) {
        float x = points[q].x, y = points[q].y;
        float X = a[0][0] * x + a[1][0] * y + a[3][0];
        float Y = a[0][1] * x + a[1][1] * y + a[3][1];
        float Z = a[0][2] * x + a[1][2] * y + a[3][2];
        float W = a[0][3] * x + a[1][3] * y + a[3][3];
        // The size and position divide by Z, the depth uses W: that is how the ring has always
        // been placed, and (80, 420) is the middle of the corner viewport.
        float k = 1.0f / Z;
        float sx = k * X + 80.0f;
        float sy = 420.0f - k * Y;
        float sz = 1.0f - 1.0f / W;
        float s = k * 1500.0f;  // half the sprite's side in pixels
        TexturedVertex* v = &out[q * 4];
        v[0].x = sx - s; v[0].y = sy - s; v[0].z = sz;
        v[1].x = sx + s; v[1].y = sy - s; v[1].z = sz;
        v[2].x = sx - s; v[2].y = sy + s; v[2].z = sz;
        v[3].x = sx + s; v[3].y = sy + s; v[3].z = sz;
    }
}

void BuildColourLine(ColourVertex out[kLineVertices], float scroll, int32_t phase, bool lower)
{
    float y1 = lower ? 420.0f : 60.0f;
    float y2 = lower ? 421.0f : 59.0f;
    for (int k = 0; k < kLineVertices / 2; k++) {
        float d = static_cast<float>(40 * k) + scroll;
        float x = lower ? d : 640.0f - d;
        ColourVertex* v = &out[2 * k];
        v[0].x = x; v[0].y = y1; v[0].z = 1.0f; v[0].rhw = 1.0f;
        v[0].colour = g_rainbow[(phase + k) % kRainbowColours];
        v[1].x = x; v[1].y = y2; v[1].z = 1.0f; v[1].rhw = 1.0f;
        v[1].colour = g_rainbow[(phase + k + 6) % kRainbowColours];
    }
}

void LineScrollStep(float* scroll, int32_t* phase, float frameTime)
{
    float s = *scroll - 200.0f * frameTime;
    int32_t p = *phase;
    if (!(s > -1.0e6f)) {
        // A stall of more than an hour and a half (or a broken frame time): adding 40 at a time
        // would take too long, or never finish once 40 is below the float's resolution. Drop
        // whole 24-step cycles first; the colours repeat after every one.
        double cycles = std::isfinite(s) ? std::floor(-static_cast<double>(s) / 960.0) : 0.0;
        s = std::isfinite(s) ? static_cast<float>(static_cast<double>(s) + cycles * 960.0) : 0.0f;
    }
    while (s <= -40.0f) {
        p = (p + 1) % kRainbowColours;
        s += 40.0f;
    }
    *scroll = s;
    *phase = p;
}
