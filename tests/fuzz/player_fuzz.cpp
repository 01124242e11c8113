// tests/fuzz/player_fuzz.cpp -- libFuzzer target: any module that the loader accepts, its song
// played through twice (at most 3000 ticks). Built by the native-asan preset (ASan + UBSan). Besides
// the sanitizers' checks it demands that every channel stays bound to one of the mixed voices and
// that every voice plays a sample of the module with a start inside its data.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "audio/audio.h"
#include "base/heap.h"
#include "module/stream.h"
#include "module/xm_loader.h"
#include "player/channel.h"
#include "player/player.h"
#include "player/voice.h"
#include "tests/fuzz/fuzz_check.h"

// The module's own samples, sorted: a voice must play one of them.
static std::vector<const Sample*> g_owned;

static void collect_samples(const PlayerState* p)
{
    g_owned.clear();
    for (int j = 0; j < p->instrument_count; j++) {
        const Instrument& ins = p->instruments[j];
        for (int k = 0; k < ins.sample_count; k++) g_owned.push_back(ins.samples[k]);
    }
    std::sort(g_owned.begin(), g_owned.end());
}

static void check_voices(const PlayerState* p)
{
    check(p->samples_per_tick > 0);
    for (int c = 0; c < p->channel_count; c++) {
        const Voice* v = g_channels[c].voice;
        check(v >= g_voices && v < g_voices + MIXED_VOICES);
    }
    for (int i = 0; i < MIXED_VOICES; i++) {
        const Voice& v = g_voices[i];
        if (!v.sample) continue;
        check(v.index == i);
        check(std::binary_search(g_owned.begin(), g_owned.end(), v.sample) && v.sample->data);
        check(v.position >= 0 && v.position < v.sample->loop_start + v.sample->loop_length);
        check(v.step > 0 || v.step_fraction > 0);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x7FFFFFFF) return 0;
    memory_serve_image(data, static_cast<int32_t>(size));
    PlayerState* p = player_load(nullptr, nullptr);
    if (!p) return 0;

    g_output_rate = 44100;
    voices_reset();
    player_reset(p);
    collect_samples(p);
    // The song twice over (the second pass starts from the state the first left behind), at most
    // 3000 ticks. A pass ends when a row tick goes back to an order entry at or before the one just
    // played: the end of the song, or a jump or break backwards.
    int32_t passes = 0;
    for (int t = 0; t < 3000 && passes < 2; t++) {
        if (p->tick == 0 && p->next_order >= 0 && p->next_order <= p->order_position) passes++;
        p->tick_callback(p);
        check_voices(p);
    }
    player_free(p);
    return 0;
}
