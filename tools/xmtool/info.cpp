// tools/xmtool/info.cpp -- `xmtool info [FILE]`: the module as the loader left it, one record per
// line (format in README.md). Native only.
#include <cstdio>

#include "audio/audio.h"
#include "module/xm_loader.h"
#include "player/player.h"
#include "tools/xmtool/xmtool.h"

static const char* loop_name(uint8_t type)
{
    switch (type) {
    case LOOP_NONE: return "none";
    case LOOP_FORWARD: return "forward";
    case LOOP_PINGPONG: return "pingpong";
    default: return "?";
    }
}

static void print_envelope(int32_t index, const char* which, const EnvelopePoint* points, uint8_t count, uint8_t type,
                           uint8_t sustain, uint8_t loop_start, uint8_t loop_end)
{
    if (count == 0) return;
    printf("envelope %d %s type=%u on=%d sustain=%u loop=%u-%u points=%u", index, which, type, type & 1, sustain,
           loop_start, loop_end, count);
    for (int i = 0; i < count; i++) printf(" %u,%u", points[i].x, points[i].y);
    printf("\n");
}

int xmtool_info(int argc, char** argv)
{
    if (argc > 1) {
        fprintf(stderr, "xmtool: info takes at most one FILE\n");
        return 2;
    }
    const char* file = argc == 1 ? argv[0] : nullptr;
    PlayerState* p = xmtool_load(file);
    if (!p) return 1;

    printf("module %s\n", xmtool_module_name(file));
    printf("header song_length=%d restart_position=%d channel_count=%d patterns_used=%d pattern_slots=%d "
           "instrument_count=%d flags=%u default_speed=%d default_bpm=%d initial_global_volume=%u\n",
           p->song_length, p->restart_position, p->channel_count, p->patterns_used, p->pattern_slots,
           p->instrument_count, p->flags, p->default_speed, p->default_bpm, p->initial_global_volume);
    printf("order");
    for (int i = 0; i < p->song_length; i++) printf(" %u", p->order_table[i]);
    printf("\n");
    for (int i = 0; i < p->pattern_slots; i++) printf("pattern %d rows=%d\n", i, p->patterns[i].rows);
    for (int j = 0; j < p->instrument_count; j++) {
        const Instrument& ins = p->instruments[j];
        printf("instrument %d samples=%d", j, ins.sample_count);
        if (ins.sample_count > 0) {
            // The keymap as runs: sample*keys, in key order.
            printf(" keymap=");
            for (int k = 0; k < 96;) {
                int n = 1;
                while (k + n < 96 && ins.keymap[k + n] == ins.keymap[k]) n++;
                printf("%s%u*%d", k ? "," : "", ins.keymap[k], n);
                k += n;
            }
            printf(" fadeout=%u vibrato_type=%u vibrato_sweep=%u vibrato_depth=%u vibrato_rate=%u", ins.volume_fadeout,
                   ins.vibrato_type, ins.vibrato_sweep, ins.vibrato_depth, ins.vibrato_rate);
        }
        printf("\n");
        print_envelope(j, "volume", ins.volume_points, ins.volume_point_count, ins.volume_type, ins.volume_sustain,
                       ins.volume_loop_start, ins.volume_loop_end);
        print_envelope(j, "panning", ins.panning_points, ins.panning_point_count, ins.panning_type,
                       ins.panning_sustain, ins.panning_loop_start, ins.panning_loop_end);
        for (int k = 0; k < ins.sample_count; k++) {
            const Sample* s = ins.samples[k];
            printf("sample %d.%d length=%d loop_start=%d loop_length=%d loop=%s bits=%u volume=%u finetune=%d "
                   "panning=%d relative_note=%d\n",
                   j, k, s->length, s->loop_start, s->loop_length, loop_name(s->loop_type), s->bits, s->volume,
                   s->finetune, s->panning, s->relative_note);
        }
    }
    player_free(p);
    return 0;
}
