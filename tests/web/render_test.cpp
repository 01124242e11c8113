// tests/web/render_test.cpp -- the WebAssembly build's sound, the whole song: the embedded module
// rendered through the program's own slices (SIMD mixer, C-library math) must give the bytes the
// native builds give, pinned by the digest of tests/unit/sound_oracle_test.cpp
// (EmbeddedModuleRenderIsPinned). Built by the web preset; ctest runs it with node.
#include <cstdint>
#include <cstdio>

#include "audio/audio.h"
#include "module/stream.h"
#include "player/player.h"

int main()
{
    set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);
    PlayerState* p = player_load(nullptr, nullptr);
    if (!p || !audio_render_begin(p, 44100)) {
        std::printf("FAIL: the embedded module does not load\n");
        return 1;
    }
    const int64_t song = 6209280;  // frames once through
    uint64_t digest = 0xcbf29ce484222325u;  // FNV-1a, 64-bit, over the little-endian samples
    for (int64_t done = 0; done < song;) {
        int32_t n = 0;
        const int16_t* block = audio_render_next(&n);
        for (int32_t i = 0; i < 2 * n && done + i / 2 < song; i++)
            for (int shift = 0; shift < 16; shift += 8)
                digest = (digest ^ (static_cast<uint16_t>(block[i]) >> shift & 0xFF)) * 0x100000001b3u;
        done += n;
    }
    audio_render_end();
    player_free(p);
    const bool same = digest == 0x4f64ffdd185c33d8u;
    std::printf("%s: %lld frames, digest %016llx\n", same ? "ok" : "FAIL", static_cast<long long>(song),
                static_cast<unsigned long long>(digest));
    return same ? 0 : 1;
}
