// Software DXT1 decoding of all seven embedded slides into one R5G6B5 buffer, as the fallback
// path does at start-up on a device without DXT1.
//   build/native/bench/dxt1_bench
#include <benchmark/benchmark.h>

#include <vector>

#include "assets/assets.h"
#include "gfx/dxt1.h"

static void DecodeAllSlides(benchmark::State& state)
{
    std::vector<uint16_t> pixels(256 * 256);
    for (auto _ : state) {
        for (int i = 0; i < SLIDE_COUNT; i++) {
            DecodeDxt1Image(g_slidePointers[i], pixels.data(), 256, 256);
            benchmark::DoNotOptimize(pixels.data());
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * SLIDE_COUNT * SLIDE_IMAGE_BYTES);
}
BENCHMARK(DecodeAllSlides)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
