// tests/unit/support/demo_module.cpp -- the module most loader tests start from (see xm_writer.h).
#include "xm_writer.h"

namespace xmw {

Module Demo()
{
    Module m;
    m.name = "demo";
    m.channels = 4;
    m.orders = {0, 1, 0};
    m.restart = 1;
    m.speed = 6;
    m.bpm = 125;

    Pattern p0;
    p0.rows = 16;
    p0.coding = Coding::Packed;
    p0.at(0, 0, 4) = {49, 2, 0x40, 0, 0};
    p0.at(0, 1, 4) = {61, 3, 0, 0x0C, 0x20};
    p0.at(4, 2, 4) = {97, 0, 0, 0, 0};
    p0.at(8, 3, 4) = {37, 2, 0x30, 0x0F, 0x05};
    p0.at(15, 0, 4) = {0, 0, 0, 0x0D, 0x00};
    Pattern p1;
    p1.rows = 8;
    p1.coding = Coding::Mixed;
    p1.at(0, 0, 4) = {25, 3, 0x20, 0x0A, 0x01};  // all five fields: five plain bytes
    p1.at(2, 1, 4) = {0, 2, 0, 0, 0};
    p1.at(7, 3, 4) = {50, 0, 0, 0x0F, 0x80};
    m.patterns = {p0, p1};

    Instrument none;
    none.name = "empty";

    Instrument lead;
    lead.name = "lead";
    lead.volume = {{{0, 64}, {8, 48}, {20, 32}, {40, 0}}, 1, 1, 2, 0x07};
    lead.panning = {{{0, 32}, {16, 0}, {32, 64}}, 0, 0, 2, 0x05};
    lead.fadeout = 0x400;
    Sample tri;
    tri.bits = 8;
    for (int i = 0; i < 64; i++) tri.frames.push_back(static_cast<int16_t>(i < 32 ? i * 4 - 64 : 191 - i * 4));
    tri.loop = 1;
    tri.loop_start = 16;
    tri.loop_length = 48;
    tri.volume = 48;
    tri.finetune = -16;
    tri.panning = 100;
    tri.relative_note = 12;
    tri.name = "tri";
    lead.samples = {tri};

    Instrument bass;
    bass.name = "bass";
    bass.vibrato_type = 1;
    bass.vibrato_sweep = 10;
    bass.vibrato_depth = 8;
    bass.vibrato_rate = 20;
    Sample saw;
    saw.bits = 16;
    for (int i = 0; i < 100; i++) saw.frames.push_back(static_cast<int16_t>(-30000 + i * 600));
    saw.loop = 2;
    saw.loop_start = 10;
    saw.loop_length = 90;
    saw.volume = 64;
    saw.finetune = 5;
    saw.relative_note = -12;
    saw.name = "saw";
    Sample click;
    click.bits = 8;
    click.frames = {127, -128, 64, -64, 0};
    bass.samples = {saw, click};
    for (int k = 0; k < 96; k++) bass.keymap[k] = k < 48 ? 0 : 1;

    m.instruments = {none, lead, bass};
    return m;
}

}  // namespace xmw
