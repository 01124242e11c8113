// tools/xmtool/timeline.cpp -- `xmtool timeline [FILE] [--seconds N]`: one line per tick, where it
// starts in the output and what the sequencer plays in it (format in README.md). Native only.
#include <cstdio>
#include <cstring>

#include "audio/audio.h"
#include "player/player.h"
#include "player/voice.h"
#include "tools/xmtool/song_clock.h"
#include "tools/xmtool/xmtool.h"

int xmtool_timeline(int argc, char** argv)
{
    const char* file = nullptr;
    int64_t seconds = 0;  // 0: one pass of the song
    for (int i = 0; i < argc; i++) {
        if (!strcmp(argv[i], "--seconds")) {
            if (i + 1 >= argc || !parse_count(argv[i + 1], 24 * 3600, &seconds)) {
                fprintf(stderr, "xmtool: timeline: --seconds needs a whole number of seconds, 1..86400\n");
                return 2;
            }
            i++;
        } else if (argv[i][0] == '-' && argv[i][1]) {
            fprintf(stderr, "xmtool: timeline: unknown option \"%s\"\n", argv[i]);
            return 2;
        } else if (!file) {
            file = argv[i];
        } else {
            fprintf(stderr, "xmtool: timeline takes at most one FILE\n");
            return 2;
        }
    }
    PlayerState* p = xmtool_load(file);
    if (!p) return 1;

    g_output_rate = 44100;
    voices_reset();  // nothing is mixed here
    player_reset(p);
    song_clock_start(p);
    // Without --seconds: one pass, up to the song's first jump back, at most an hour.
    int64_t end = seconds ? seconds * g_output_rate : int64_t(3600) * g_output_rate;

    printf("# sample tick_index order pattern row tick speed bpm\n");
    while (g_song_clock.next_tick < end) {
        int32_t tick = p->tick;
        p->tick_callback(p);
        if (!seconds && g_song_clock.loops > 0) break;
        int32_t order, row;
        player_position(p, &order, &row);
        printf("%lld %lld %d %u %d %d %d %d\n", static_cast<long long>(g_song_clock.tick_start),
               static_cast<long long>(g_song_clock.ticks - 1), order, p->order_table[order & 255], row, tick,
               p->speed, p->bpm);
    }
    player_free(p);
    return 0;
}
