// tests/fuzz/xm_parse_fuzz.cpp -- libFuzzer target: any bytes through xm_parse over a memory stream.
// Built by the native-asan preset (ASan + UBSan). Besides the sanitizers' checks it demands that
// every heap block comes back after xm_free, and that a module that loads keeps every index the
// player follows inside the tables it indexes (it touches every frame a voice may read).
#include <cstdint>
#include <cstdlib>

#include "base/heap.h"
#include "module/stream.h"
#include "module/xm_loader.h"
#include "player/player.h"
#include "tests/fuzz/fuzz_check.h"

static volatile int32_t g_sink;

// Plain PCM for the inputs that take the sample provider's path.
static void provide(void* dest, int32_t bytes, int32_t bits, int32_t instrument, int32_t sample)
{
    uint8_t* d = static_cast<uint8_t*>(dest);
    for (int32_t i = 0; i < bytes; i++) d[i] = static_cast<uint8_t>(i * 37 + instrument + sample);
}

static void check_module(const PlayerState* p)
{
    check(p->channel_count >= 1 && p->channel_count <= 32);
    check(p->song_length >= 0 && p->song_length <= 256);
    check(p->restart_position >= 0 && (p->restart_position < p->song_length || p->restart_position == 0));
    for (int i = 0; i < p->song_length; i++) check(p->order_table[i] < p->pattern_slots);
    int32_t sum = 0;
    for (int i = 0; i < p->pattern_slots; i++) {
        const Pattern& pat = p->patterns[i];
        check(pat.rows >= 1 && pat.rows <= 256 && pat.cells);
        for (int c = 0; c < pat.rows * p->channel_count; c++) {
            const PatternCell& cell = pat.cells[c];
            check(cell.note <= 97 ? cell.note != 97 : cell.note == 255);
            check(cell.instrument <= 128);
        }
    }
    for (int j = 0; j < p->instrument_count; j++) {
        const Instrument& ins = p->instruments[j];
        check(ins.sample_count >= 0 && ins.sample_count <= 16);
        check(ins.volume_point_count <= 12 && ins.panning_point_count <= 12);
        const int vmax = ins.volume_point_count ? ins.volume_point_count - 1 : 0;
        const int pmax = ins.panning_point_count ? ins.panning_point_count - 1 : 0;
        check(ins.volume_sustain <= vmax && ins.volume_loop_start <= vmax && ins.volume_loop_end <= vmax);
        check(ins.panning_sustain <= pmax && ins.panning_loop_start <= pmax && ins.panning_loop_end <= pmax);
        for (int k = 0; k < 16; k++) {
            const Sample* s = ins.samples[k];
            check(s != nullptr);
            if (k >= ins.sample_count) {
                check(s == &empty_sample);
                continue;
            }
            check(s->length >= 0 && s->loop_start >= 0 && s->loop_length >= 0);
            check(s->loop_start + s->loop_length <= s->length);
            check(s->loop_type == 1 || s->loop_type == 2 || s->loop_type == 4);
            check((s->length == 0) == (s->data == nullptr));
            // Every frame the mixer may read: the sample, the continuation frame and the guard frames.
            for (int32_t f = 0; s->data && f < s->length + 8; f++) sum += s->data[f];
        }
    }
    g_sink = sum;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x7FFFFFFF) return 0;
    memory_serve_image(data, static_cast<int32_t>(size));
    const int32_t before = MemLiveBlocks();

    PlayerState* player = static_cast<PlayerState*>(MemCalloc(1, sizeof(PlayerState)));
    // Inputs of odd length take the sample provider's path (skip instead of read, no delta decoding).
    if (size & 1) player->sample_provider = provide;
    ModuleStream* stream = stream_open(nullptr);
    check(stream != nullptr);
    const bool ok = xm_parse(player, stream);
    stream_close(stream);
    if (ok) check_module(player);
    check(ok == (xm_last_error()[0] == 0));  // a rejection always says why
    xm_free(player);
    check(MemLiveBlocks() == before);
    return 0;
}
