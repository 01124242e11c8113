// tests/web/render_test.cpp -- the WebAssembly build's sound, the whole song: the embedded module
// rendered through the program's own slices (SIMD mixer, C-library math) must give the bytes the
// native builds give, pinned by tests/unit/support/song_digest.h. Built by the web preset; ctest
// runs it with node.
#include <cstdint>
#include <cstdio>

#include "audio/audio.h"
#include "module/stream.h"
#include "player/player.h"
#include "tests/unit/support/song_digest.h"

int main()
{
    set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);
    PlayerState* p = player_load(nullptr, nullptr);
    if (!p || !audio_render_begin(p, 44100)) {
        std::printf("FAIL: the embedded module does not load\n");
        return 1;
    }
    uint64_t digest = kDigestStart;
    for (int64_t done = 0; done < kSongFrames;) {
        int32_t n = 0;
        const int16_t* block = audio_render_next(&n);
        for (int32_t i = 0; i < 2 * n && done + i / 2 < kSongFrames; i++) digest = DigestSample(digest, block[i]);
        done += n;
    }
    audio_render_end();
    player_free(p);
    const bool same = digest == kSongDigest;
    std::printf("%s: %lld frames, digest %016llx\n", same ? "ok" : "FAIL", static_cast<long long>(kSongFrames),
                static_cast<unsigned long long>(digest));
    return same ? 0 : 1;
}
