// tests/fuzz/xm_seeds.cpp -- writes the XM loader's seed modules (and, given a second path, the
// module at every limit, for timing). tests/fuzz/run --seeds runs it into tests/fuzz/corpus/xm_parse;
// --minimise afterwards keeps only the seeds that reach new code.
//   xm_seeds DIR [LIMITS.xm]
#include <cstdio>
#include <string>
#include <vector>

#include "support/xm_modules.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: xm_seeds DIR [LIMITS.xm]\n");
        return 2;
    }
    bool ok = true;
    const std::string d = std::string(argv[1]) + "/";
    ok &= xmw::WriteFile(xmw::Demo(), d + "demo.xm");

    xmw::Module plain;
    plain.channels = 2;
    plain.orders = {0, 1, 0};
    xmw::Pattern up;
    up.rows = 4;
    up.coding = xmw::Coding::Unpacked;
    up.at(1, 1, 2) = {30, 1, 0x40, 0x0C, 0x20};
    xmw::Pattern empty;
    empty.rows = 3;
    empty.store_empty = true;
    plain.patterns = {up, empty};
    xmw::Instrument one;
    one.samples = {Ramp(8, 12)};
    plain.instruments = {one};
    ok &= xmw::WriteFile(plain, d + "unpacked.xm");

    xmw::Module missing;
    missing.channels = 1;
    missing.orders = {0, 6, 9};
    missing.patterns.resize(7);
    for (xmw::Pattern& p : missing.patterns) p.rows = 2;
    ok &= xmw::WriteFile(missing, d + "missing_patterns.xm");

    xmw::Module samples = OneSample(Ramp(16, 40));
    samples.instruments[0].samples[0].loop = 2;
    samples.instruments[0].samples[0].loop_start = 30;
    samples.instruments[0].samples[0].loop_length = 30;  // past the end: clamped
    xmw::Sample s8 = Ramp(8, 30);
    s8.loop = 3;
    s8.loop_start = 4;
    s8.loop_length = 8;
    samples.instruments[0].samples.push_back(s8);
    samples.instruments[0].samples.push_back(xmw::Sample{});
    ok &= xmw::WriteFile(samples, d + "samples.xm");

    xmw::Module env = OneSample(Ramp(8, 8));
    env.instruments[0].volume = {{{0, 64}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}, {8, 9}, {9, 10}, {10, 11}, {11, 0}},
                                 11, 2, 11, 0x07};
    env.instruments[0].panning = {{{0, 0}, {9, 64}}, 5, 9, 1, 0x07};
    env.instruments[0].vibrato_type = 2;
    env.instruments[0].vibrato_depth = 15;
    ok &= xmw::WriteFile(env, d + "envelopes.xm");

    xmw::Module cells;
    cells.channels = 3;
    xmw::Pattern odd;
    odd.rows = 2;
    odd.raw = {0x83, 0x31, 0x01, 0x81, 98, 0x81, 254, 0x82, 129, 0x9F, 97, 128, 1, 2, 3, 0x60, 255, 200, 0, 0};
    cells.patterns = {odd};
    ok &= xmw::WriteFile(cells, d + "cells.xm");

    // Pattern loop (E60, E62), note delay (ED2), arpeggio, speed and a break, on a song of two
    // entries.
    xmw::Module effects = OneSample(Ramp(8, 16));
    effects.orders = {0, 0};
    xmw::Pattern fx;
    fx.rows = 6;
    fx.at(0, 0, 2) = {49, 1, 0, 0x0E, 0x60};
    fx.at(1, 0, 2) = {52, 1, 0, 0x0E, 0xD2};
    fx.at(1, 1, 2) = {49, 1, 0, 0x00, 0x37};
    fx.at(2, 0, 2) = {0, 0, 0, 0x0E, 0x62};
    fx.at(3, 1, 2) = {0, 0, 0, 0x0F, 0x03};
    fx.at(4, 0, 2) = {56, 1, 0, 0x0D, 0x01};
    effects.patterns = {fx};
    ok &= xmw::WriteFile(effects, d + "effects.xm");

    std::vector<uint8_t> cut = xmw::Write(xmw::Demo());
    cut.resize(cut.size() - 40);
    FILE* f = fopen((d + "truncated.xm").c_str(), "wb");
    ok &= f && fwrite(cut.data(), 1, cut.size(), f) == cut.size();
    if (f) ok &= fclose(f) == 0;

    if (argc == 3) ok &= xmw::WriteFile(Limits(), argv[2]);
    if (!ok) {
        fprintf(stderr, "xm_seeds: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
