// The show's own arithmetic for one frame, without any device: the stars (projection, colour,
// flight), the particle ring's projection with the camera, both rainbow lines and their scroll,
// the slideshow and end card. This is the CPU the show spends per frame apart from the driver.
#include <benchmark/benchmark.h>

#include "base/math.h"
#include "show/camera.h"
#include "show/main_effect_math.h"
#include "show/slideshow.h"
#include "show/starfield_math.h"

namespace {

struct ShowNumbers {
    Star           stars[kStars];
    ColourVertex   starVertices[kStars];
    TexturedVertex ring[kRingVertices];
    RingPoint      points[kRingSprites];
    ColourVertex   line[kLineVertices];
    Matrix4        world = g_identityMatrix;
    Camera         camera = {{0.0f, -400.0f, 100.0f}, {0.0f, 0.0f, 0.0f}, 0.3f, {}};
    float          effectTime = 0.0f, lineScroll = 0.0f, endTimer = 0.0f;
    int32_t        linePhase = 0;
    SlideshowState slides = g_slideshowStart;
    QuadVertex     quad[4];
};

void BM_ShowFrameArithmetic(benchmark::State& state)
{
    static ShowNumbers n;
    RandomSeed(4357);
    BuildRingSprites(n.ring, n.points);
    BuildStarTable(n.stars);
    const float dt = 1.0f / 60.0f;
    for (auto _ : state) {
        StarfieldStep(n.stars, n.starVertices, dt);
        n.effectTime += dt;
        BuildColourLine(n.line, n.lineScroll, n.linePhase, true);
        CameraComputeView(&n.camera);
        RotationFromAngles(&n.world, 0.0f, 0.0f, n.effectTime * 0.1f);
        Matrix4 m;
        MatrixMultiply(&m, &n.world, &n.camera.view);
        MatrixMultiply(&m, &m, &g_cornerProjection);
        ProjectRing(&m, n.points, n.ring);
        BuildColourLine(n.line, n.lineScroll, n.linePhase, false);
        LineScrollStep(&n.lineScroll, &n.linePhase, dt);
        SlideshowLevel(&n.slides);
        SlideshowAdvance(&n.slides, dt);
        uint32_t colour;
        EndCardLook(n.endTimer, &colour, n.quad);
        n.endTimer = n.endTimer > 7.0f ? 0.0f : n.endTimer + dt;
        benchmark::DoNotOptimize(n.starVertices);
        benchmark::DoNotOptimize(n.ring);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ShowFrameArithmetic);

}  // namespace

BENCHMARK_MAIN();
