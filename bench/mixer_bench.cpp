// The voice mixer's speed: output frames per second and time per voice-frame for 1, 16 and 64
// sounding looping voices, steady or starting a new ramp at every 884-frame slice.
// `mixer_bench --count VOICES CALLS [avx2]` mixes CALLS slices of steady voices and exits: the work
// that bench/mixer-instructions counts under callgrind (with avx2: xmtool's wider loop).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "audio/mixer.h"
#include "base/heap.h"
#include "module/module.h"
#include "player/voice.h"
#include "tools/xmtool/xmtool.h"

namespace {

enum { SLICE = 884, SAMPLE_FRAMES = 4096 };

Sample g_samples[4];
alignas(16) float g_block[2 * SLICE];

void make_samples()
{
    if (g_samples[0].data) return;
    uint32_t seed = 12345;
    for (Sample& s : g_samples) {
        s.data = static_cast<int16_t*>(MemAlloc((SAMPLE_FRAMES + 8) * sizeof(int16_t)));
        for (int i = 0; i < SAMPLE_FRAMES; i++) {
            seed = seed * 1664525u + 1013904223u;
            s.data[i] = static_cast<int16_t>(seed >> 16);
        }
        s.length = SAMPLE_FRAMES;
        s.loop_start = 256;
        s.loop_length = SAMPLE_FRAMES - 256;
        s.loop_type = 2;
        s.data[SAMPLE_FRAMES] = s.data[256];
    }
}

// Voices at pitches from about an octave below to an octave above 44100 Hz playback.
void setup_voices(int count)
{
    make_samples();
    voices_reset();
    for (int i = 0; i < count; i++) {
        Voice* v = &g_voices[i];
        uint64_t step = 0x80000000ull + static_cast<uint64_t>(i) * 0x05F3A1B7ull;  // 0.5 .. 2.0
        v->sample = &g_samples[i % 4];
        v->position = 300 + 37 * i;
        v->step = static_cast<int32_t>(step >> 32);
        v->step_fraction = static_cast<uint32_t>(step);
        v->direction = 1;
        v->volume_left = v->last_target_left = 100 + i % 28;
        v->volume_right = v->last_target_right = 128 - i % 28;
        v->level_left = v->volume_left * 256;
        v->level_right = v->volume_right * 256;
    }
}

void BM_Mix(benchmark::State& state)
{
    const int voices = static_cast<int>(state.range(0));
    const bool ramps = state.range(1) != 0;
    setup_voices(voices);
    for (auto _ : state) {
        if (ramps) {  // a new target at every slice: each voice ramps for its first 128 frames
            for (int i = 0; i < voices; i++) g_voices[i].volume_left ^= 64, g_voices[i].volume_right ^= 32;
        }
        memset(g_block, 0, sizeof g_block);
        mix_voices(g_block, SLICE);
        benchmark::DoNotOptimize(g_block);
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * SLICE, benchmark::Counter::kIsRate);
    state.counters["s/voice-frame"] = benchmark::Counter(static_cast<double>(state.iterations()) * SLICE * voices,
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Mix)->ArgNames({"voices", "ramps"})->ArgsProduct({{1, 16, 64}, {0, 1}});

}  // namespace

int main(int argc, char** argv)
{
    if ((argc == 4 || argc == 5) && strcmp(argv[1], "--count") == 0) {
        const bool wide = argc == 5;
        if (wide && !(strcmp(argv[4], "avx2") == 0 && mixer_has_avx2())) return 1;
        setup_voices(atoi(argv[2]));
        const int calls = atoi(argv[3]);
        for (int i = 0; i < calls; i++) (wide ? mix_voices_avx2 : mix_voices)(g_block, SLICE);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
