// tests/unit/support/song_digest.h -- the show's music pinned to the last sample, for every build
// that renders it (tests/unit/sound_oracle_test.cpp natively, tests/web/render_test.cpp in the
// browser build): the song once through, 6,209,280 frames at 44,100 Hz, what `xmtool render -o -`
// writes, and the FNV-1a digest (64-bit) of those little-endian bytes. A deliberate change to the
// music updates the digest here, in a commit of its own that says why.
#pragma once
#include <cstdint>

constexpr int64_t  kSongFrames = 6209280;
constexpr uint64_t kSongDigest = 0x4f64ffdd185c33d8u;
constexpr uint64_t kDigestStart = 0xcbf29ce484222325u;  // FNV-1a's offset basis

inline uint64_t DigestSample(uint64_t digest, int16_t sample)
{
    for (int shift = 0; shift < 16; shift += 8)
        digest = (digest ^ (static_cast<uint16_t>(sample) >> shift & 0xFF)) * 0x100000001b3u;
    return digest;
}
