// tests/unit/support/xm_modules.cpp -- small modules for the loader's tests and the fuzzer's seeds.
#include "xm_modules.h"

xmw::Module OneSample(const xmw::Sample& s)
{
    xmw::Module m;
    m.channels = 2;
    xmw::Pattern p;
    p.rows = 4;
    m.patterns = {p};
    xmw::Instrument ins;
    ins.samples = {s};
    m.instruments = {ins};
    return m;
}

xmw::Sample Ramp(int bits, int frames)
{
    xmw::Sample s;
    s.bits = bits;
    for (int i = 0; i < frames; i++) {
        s.frames.push_back(static_cast<int16_t>(bits == 16 ? i * 300 - 20000 : (i * 5) % 256 - 128));
    }
    return s;
}

// A module at every limit the loader accepts: 32 channels, 256 order entries, 256 patterns of 256
// rows with every field of every cell set, 128 instruments of 16 looped 16-bit samples each.
xmw::Module Limits()
{
    xmw::Module m;
    m.channels = 32;
    for (int i = 0; i < 256; i++) m.orders.push_back(static_cast<uint8_t>(255 - i));
    m.orders.erase(m.orders.begin());  // the default {0}
    uint32_t seed = 1;
    auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % n);
    };
    for (int i = 0; i < 256; i++) {
        xmw::Pattern p;
        p.rows = 256;
        p.coding = xmw::Coding::Mixed;
        p.cells.resize(256 * 32);
        for (xmw::Cell& c : p.cells) {
            c = {static_cast<uint8_t>(1 + next(97)), static_cast<uint8_t>(1 + next(128)), static_cast<uint8_t>(1 + next(0x50)),
                 static_cast<uint8_t>(1 + next(35)), static_cast<uint8_t>(1 + next(255))};
        }
        m.patterns.push_back(p);
    }
    for (int j = 0; j < 128; j++) {
        xmw::Instrument ins;
        ins.volume = {{{0, 64}, {4, 60}, {8, 50}, {12, 40}, {16, 30}, {20, 20}, {24, 10}, {28, 5}, {32, 4}, {36, 3}, {40, 2}, {44, 0}},
                      3, 2, 9, 0x07};
        for (int k = 0; k < 16; k++) {
            xmw::Sample s = Ramp(16, 1000);
            s.loop = 1 + (k & 1);
            s.loop_start = 100;
            s.loop_length = 900;
            ins.samples.push_back(s);
            for (int key = k * 6; key < k * 6 + 6; key++) ins.keymap[key] = static_cast<uint8_t>(k);
        }
        m.instruments.push_back(ins);
    }
    return m;
}
