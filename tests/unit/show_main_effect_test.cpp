// The main effect's numbers: camera, matrices, globe mesh, particle ring, rainbow lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "base/math.h"
#include "show/camera.h"
#include "show/main_effect_math.h"

namespace {

Camera ShowCamera()
{
    Camera c = {};
    c.eye = {0.0f, -400.0f, 100.0f};
    c.target = {0.0f, 0.0f, 0.0f};
    c.roll = 0.3f;
    return c;
}

}  // namespace

TEST(ShowCamera, ViewMatrixKeepsTheUnnormalisedBasis)
{
    Camera camera = ShowCamera();
    CameraComputeView(&camera);

    Vec3 right = {g_cameraBasis.m[0][0], g_cameraBasis.m[0][1], g_cameraBasis.m[0][2]};
    Vec3 up = {g_cameraBasis.m[1][0], g_cameraBasis.m[1][1], g_cameraBasis.m[1][2]};
    Vec3 back = {g_cameraBasis.m[2][0], g_cameraBasis.m[2][1], g_cameraBasis.m[2][2]};
    EXPECT_NEAR(Vec3Length(&right), 0.970143f, 1e-5);
    EXPECT_NEAR(Vec3Length(&up), 0.970143f, 1e-5);
    EXPECT_NEAR(Vec3Length(&back), 1.0f, 1e-6);
    EXPECT_NEAR(up.y, 0.235294f, 1e-5);  // the rest follows from the view's properties below

    EXPECT_EQ(camera.view.m[3][3], 1.0f);
    for (int r = 0; r < 3; r++) EXPECT_EQ(camera.view.m[r][3], 0.0f);
}

TEST(ShowCamera, TheEyeAtTheOriginTheTargetAheadTheWorldsUpTurnedByTheRoll)
{
    // What a view matrix does, however it is built: the eye goes to the origin; the target lies
    // straight ahead on +z at its distance (the viewing direction is a unit vector); the world's
    // up (+z) appears on screen as up turned by the roll, atan2(x, y) = roll, and (the basis left
    // unnormalised) shortened to 1 - (height / distance)^2: 1 - 100^2/412.31^2 = 16/17 for the
    // show's camera, 1 - 100^2/135600 = 0.926254 for the other.
    const struct { Camera camera; float scale; } cases[] = {
        {ShowCamera(), 16.0f / 17.0f},
        {{{120.0f, -300.0f, 90.0f}, {20.0f, 40.0f, -10.0f}, 0.0f, {}}, 0.926254f},
        {{{120.0f, -300.0f, 90.0f}, {20.0f, 40.0f, -10.0f}, -0.7f, {}}, 0.926254f},
    };
    for (const auto& k : cases) {
        Camera camera = k.camera;
        CameraComputeView(&camera);
        const Vec3 e = camera.eye, t = camera.target;
        auto view = [&](const Vec3& p, int c) {
            return p.x * camera.view.m[0][c] + p.y * camera.view.m[1][c] + p.z * camera.view.m[2][c] + camera.view.m[3][c];
        };
        const Vec3 toTarget = {t.x - e.x, t.y - e.y, t.z - e.z}, above = {e.x, e.y, e.z + 1.0f};
        for (int c = 0; c < 3; c++) EXPECT_NEAR(view(e, c), 0.0f, 1e-3) << "eye, column " << c;
        EXPECT_NEAR(view(t, 0), 0.0f, 1e-3);
        EXPECT_NEAR(view(t, 1), 0.0f, 1e-3);
        EXPECT_NEAR(view(t, 2), Vec3Length(&toTarget), 1e-2);
        EXPECT_NEAR(std::atan2(view(above, 0), view(above, 1)), camera.roll, 1e-5);
        EXPECT_NEAR(std::hypot(view(above, 0), view(above, 1)), k.scale, 1e-5);
        // A level step across the line of sight appears at right angles to the up, turned by the roll.
        const Vec3 across = {e.x + toTarget.y, e.y - toTarget.x, e.z};
        EXPECT_NEAR(std::atan2(view(across, 0), view(across, 1)), camera.roll + 1.5707963f, 1e-5);  // to the right
    }
}

TEST(ShowCamera, VectorsAndTheIdentity)
{
    Vec3 v = {2.0f, 3.0f, 6.0f}, a = {1.0f, 2.0f, 3.0f}, b = {4.0f, 5.0f, 6.0f};
    EXPECT_EQ(Vec3Length(&v), 7.0f);
    Vec3Normalize(&v);
    EXPECT_FLOAT_EQ(v.x, 2.0f / 7.0f);
    EXPECT_FLOAT_EQ(v.y, 3.0f / 7.0f);
    EXPECT_FLOAT_EQ(v.z, 6.0f / 7.0f);
    Vec3Cross(&a, &a, &b);  // (2 6 - 3 5, 3 4 - 1 6, 1 5 - 2 4), written over an input
    EXPECT_EQ(a.x, -3.0f);
    EXPECT_EQ(a.y, 6.0f);
    EXPECT_EQ(a.z, -3.0f);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) EXPECT_EQ(g_identityMatrix.m[r][c], r == c ? 1.0f : 0.0f);
}

TEST(ShowCamera, MatrixMultiplyMayWriteOverEitherInput)
{
    // Times twice a permutation that moves column k to column k + 1: every entry of a, doubled,
    // one column to the right (the last wrapping round to the first).
    Matrix4 a = {{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}};
    Matrix4 b = {{{0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 2}, {2, 0, 0, 0}}};
    Matrix4 expected;
    MatrixMultiply(&expected, &a, &b);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) EXPECT_EQ(expected.m[r][(c + 1) % 4], 2.0f * a.m[r][c]) << r << c;

    Matrix4 left = a, right = b;
    MatrixMultiply(&left, &left, &b);
    MatrixMultiply(&right, &a, &right);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            EXPECT_EQ(left.m[r][c], expected.m[r][c]);
            EXPECT_EQ(right.m[r][c], expected.m[r][c]);
        }
}

TEST(ShowCamera, RotationAndRigidInverseUndoEachOther)
{
    Matrix4 m = g_identityMatrix;
    m.m[0][3] = 7.0f;  // the fourth column is left alone by both
    RotationFromAngles(&m, 0.0f, 0.0f, 0.5f);
    EXPECT_NEAR(m.m[0][0], std::cos(0.5), 1e-6);
    EXPECT_NEAR(m.m[0][1], std::sin(0.5), 1e-6);
    EXPECT_NEAR(m.m[1][0], -std::sin(0.5), 1e-6);
    EXPECT_NEAR(m.m[2][2], 1.0f, 1e-6);
    EXPECT_NEAR(m.m[0][2], 0.0f, 1e-6);

    RotationFromAngles(&m, 0.4f, -0.7f, 1.1f);
    m.m[3][0] = 10.0f; m.m[3][1] = -20.0f; m.m[3][2] = 30.0f;
    Matrix4 inverse = m;
    RigidInverse(&inverse);
    EXPECT_EQ(inverse.m[0][3], 7.0f);
    m.m[0][3] = 0.0f;
    inverse.m[0][3] = 0.0f;
    Matrix4 product;
    MatrixMultiply(&product, &m, &inverse);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) EXPECT_NEAR(product.m[r][c], r == c ? 1.0f : 0.0f, 1e-5);
}

TEST(ShowGlobe, FirstBandRunsFromThePoleAndPastAFullTurn)
{
    static MeshVertex mesh[kGlobeVertices];
    BuildGlobeMesh(mesh);
    const float ring = 50.0f * std::cos(1.570796f - 0.1963495f);  // 9.7545
    for (int j = 0; j < 16; j++) {
        const MeshVertex& a = mesh[2 * j];
        const MeshVertex& b = mesh[2 * j + 1];
        double theta = j * 6.283184 / 14.9;
        EXPECT_NEAR(a.z, 50.0f, 1e-4);
        EXPECT_NEAR(std::hypot(a.x, a.y), 0.0f, 1e-4);
        EXPECT_NEAR(b.x, ring * std::sin(theta), 1e-4) << j;
        EXPECT_NEAR(b.y, ring * std::cos(theta), 1e-4) << j;
        EXPECT_NEAR(b.z, 49.039264f, 1e-4);
    }
    // Every vertex on the sphere of radius 50; band i maps rows i/32 .. (i + 1)/32 of the image,
    // column j at u = j/15.
    for (int i = 0; i < kGlobeVertices; i++) {
        const MeshVertex& p = mesh[i];
        ASSERT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 50.0, 1e-3) << i;
        ASSERT_EQ(p.v, (i / 32 + i % 2) / 32.0f) << i;
        ASSERT_FLOAT_EQ(p.u, (i % 32) / 2 / 15.0f) << i;
    }
    // The last segment goes a little past the seam (6.3253 rad), not back to it.
    EXPECT_GT(mesh[31].x, 0.1f);
    // Band 15 ends at the south pole, and only the upper half of the image is used.
    EXPECT_NEAR(mesh[511].z, -50.0f, 1e-3);
    EXPECT_EQ(mesh[511].v, 0.5f);
    EXPECT_EQ(mesh[32].z, mesh[1].z);  // each band starts where the last one ended
}

TEST(ShowRing, PointsComeFromTheGeneratorInAFixedOrder)
{
    RandomSeed(4357);
    static TexturedVertex sprites[kRingVertices];
    static RingPoint points[kRingSprites];
    BuildRingSprites(sprites, points);
    EXPECT_NEAR(points[0].x, 91.75f, 0.01);
    EXPECT_NEAR(points[0].y, -58.03f, 0.01);
    EXPECT_NEAR(std::hypot(points[0].x, points[0].y), 108.5604, 1e-3);
    EXPECT_NEAR(std::atan2(points[0].y, points[0].x) + 2 * M_PI, 5.719237, 1e-5);
    for (int q = 0; q < kRingSprites; q++) {
        double r = std::hypot(points[q].x, points[q].y);
        ASSERT_GE(r, 99.999);
        ASSERT_LE(r, 200.001);
    }
    for (int i = 0; i < kRingVertices; i++) {  // corners left-top, right-top, left-bottom, right-bottom
        ASSERT_EQ(sprites[i].u, static_cast<float>(i & 1)) << i;
        ASSERT_EQ(sprites[i].v, static_cast<float>(i >> 1 & 1)) << i;
        ASSERT_EQ(sprites[i].z, 1.0f) << i;
        ASSERT_EQ(sprites[i].rhw, 1.0f) << i;
    }

    // Each sprite is two triangles over its four corners, 0 1 2 and 1 3 2: the last is 2044 2045
    // 2046 2045 2047 2046.
    uint16_t indices[kRingIndices];
    BuildRingIndices(indices);
    const int corner[6] = {0, 1, 2, 1, 3, 2};
    for (int i = 0; i < kRingIndices; i++) ASSERT_EQ(indices[i], i / 6 * 4 + corner[i % 6]) << i;
}

TEST(ShowRing, ProjectionDividesByZAndTakesDepthFromW)
{
    // A matrix without zeros, whose third and fourth columns differ (swapping Z and W would show).
    Matrix4 m = {{{2, 1, 2, 2}, {-1, -1, 3, 3}, {0, 0, 1, 1}, {4, 7, 10, 5}}};
    RingPoint points[kRingSprites] = {};
    points[0] = {3.0f, -2.0f};
    static TexturedVertex out[kRingVertices];
    ProjectRing(&m, points, out);
    // X = 6 + 2 + 4 = 12, Y = 3 + 2 + 7 = 12, Z = 6 - 6 + 10 = 10, W = 6 - 6 + 5 = 5: k = 0.1,
    // centre (81.2, 418.8), depth 1 - 1/5 = 0.8, half side 150; corners as the sprite's u and v.
    for (int c = 0; c < 4; c++) {
        EXPECT_FLOAT_EQ(out[c].x, 81.2f + (c & 1 ? 150.0f : -150.0f)) << c;
        EXPECT_FLOAT_EQ(out[c].y, 418.8f + (c & 2 ? 150.0f : -150.0f)) << c;
        EXPECT_FLOAT_EQ(out[c].z, 0.8f) << c;
    }

    // With the show's own camera the globe's centre projects to the middle of the corner.
    Camera camera = ShowCamera();
    CameraComputeView(&camera);
    Matrix4 full;
    MatrixMultiply(&full, &g_identityMatrix, &camera.view);
    MatrixMultiply(&full, &full, &g_cornerProjection);
    points[1] = {0.0f, 0.0f};
    ProjectRing(&full, points, out);
    EXPECT_NEAR(out[4].x + 0.5f * (out[5].x - out[4].x), 80.0f, 1e-3);
    EXPECT_NEAR(out[4].y + 0.5f * (out[6].y - out[4].y), 420.0f, 1e-3);
}

TEST(ShowLines, RainbowTableAsListed)
{
    EXPECT_EQ(g_rainbow[0], 0xFF0000u);
    EXPECT_EQ(g_rainbow[1], 0xFF3000u);
    EXPECT_EQ(g_rainbow[9], 0x00FF30u);
    EXPECT_EQ(g_rainbow[17], 0x3F00FFu);
    EXPECT_EQ(g_rainbow[23], 0xFF003Fu);
    // Fully saturated hues: one channel full, one off, the third a step of the wheel.
    for (uint32_t c : g_rainbow) {
        const uint32_t ch[3] = {c >> 16, c >> 8 & 0xFF, c & 0xFF};
        const uint32_t hi = std::max({ch[0], ch[1], ch[2]}), lo = std::min({ch[0], ch[1], ch[2]});
        const uint32_t mid = ch[0] + ch[1] + ch[2] - hi - lo;
        EXPECT_EQ(c >> 24, 0u);
        EXPECT_EQ(hi, 0xFFu) << std::hex << c;
        EXPECT_EQ(lo, 0u) << std::hex << c;
        EXPECT_TRUE(mid == 0 || mid == 0x30 || mid == 0x3F || mid == 0x7F || mid == 0xBF || mid == 0xFF) << std::hex << c;
    }
}

TEST(ShowLines, ScrollWrapsSeveralStepsInOneLongFrame)
{
    struct Case {
        float   scroll, frameTime;
        int32_t phase;
        float   scrollAfter;
        int32_t phaseAfter;
    };
    const Case cases[] = {
        {0.0f, 0.1f, 0, -20.0f, 0},        // 20 px: no step
        {-30.0f, 0.05f, 0, 0.0f, 1},       // exactly -40 wraps to 0
        {0.0f, 0.5f, 22, -20.0f, 0},       // 100 px: two steps, phase wraps past 23
        {-10.0f, 1.0f, 5, -10.0f, 10},     // 200 px: five steps
        {0.0f, 0.0f, 7, 0.0f, 7},
    };
    for (const Case& c : cases) {
        float scroll = c.scroll;
        int32_t phase = c.phase;
        LineScrollStep(&scroll, &phase, c.frameTime);
        EXPECT_FLOAT_EQ(scroll, c.scrollAfter) << c.scroll << " " << c.frameTime;
        EXPECT_EQ(phase, c.phaseAfter) << c.scroll << " " << c.frameTime;
        EXPECT_GT(scroll, -40.0f);
        EXPECT_LE(scroll, 0.0f);
    }

    // A stall far longer than any frame still ends in range, and quickly.
    float scroll = 0.0f;
    int32_t phase = 0;
    LineScrollStep(&scroll, &phase, 1.0e9f);
    EXPECT_GT(scroll, -40.0f);
    EXPECT_LE(scroll, 0.0f);
    EXPECT_LT(phase, 24);
}

TEST(ShowLines, ColoursRepeatAfterTwentyFourWraps)
{
    ColourVertex first[kLineVertices], later[kLineVertices];
    float scroll = -13.0f;
    int32_t phase = 3;
    BuildColourLine(first, scroll, phase, true);
    for (int frame = 0; frame < 48; frame++) LineScrollStep(&scroll, &phase, 0.1f);  // 960 px
    EXPECT_EQ(phase, 3);
    EXPECT_FLOAT_EQ(scroll, -13.0f);
    BuildColourLine(later, scroll, phase, true);
    for (int i = 0; i < kLineVertices; i++) EXPECT_EQ(later[i].colour, first[i].colour);

    // Lower line: x = 40k + scroll, y 420/421, the second row six colours on.
    for (int i = 0; i < kLineVertices; i++) {
        EXPECT_FLOAT_EQ(first[i].x, 40.0f * (i / 2) - 13.0f) << i;
        EXPECT_EQ(first[i].z + first[i].rhw, 2.0f) << i;  // both 1
    }
    EXPECT_FLOAT_EQ(first[2].x, 27.0f);
    EXPECT_EQ(first[2].y, 420.0f);
    EXPECT_EQ(first[3].y, 421.0f);
    EXPECT_EQ(first[2].colour, g_rainbow[4]);
    EXPECT_EQ(first[3].colour, g_rainbow[10]);
    EXPECT_EQ(first[37].colour, g_rainbow[(3 + 18 + 6) % 24]);
    // Upper line mirrored: x = 640 - (40k + scroll), y 60/59.
    ColourVertex upper[kLineVertices];
    BuildColourLine(upper, -13.0f, 3, false);
    EXPECT_FLOAT_EQ(upper[0].x, 653.0f);
    EXPECT_FLOAT_EQ(upper[36].x, 653.0f - 720.0f);
    EXPECT_EQ(upper[0].y, 60.0f);
    EXPECT_EQ(upper[1].y, 59.0f);
    EXPECT_EQ(upper[0].z, 1.0f);
    EXPECT_EQ(upper[0].rhw, 1.0f);
}
