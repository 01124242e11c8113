// tools/xm_writer/xm_writer.cpp -- the XM writer of the forge and the tests (see xm_writer.h).
#include "tools/xm_writer/xm_writer.h"

#include <cstdio>
#include <cstring>

namespace xmw {

namespace {

struct Out {
    std::vector<uint8_t> b;
    int32_t pos() const { return static_cast<int32_t>(b.size()); }
    void u8(uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void text(const std::string& s, size_t n)
    {
        for (size_t i = 0; i < n; i++) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    void zeros(size_t n) { b.insert(b.end(), n, 0); }
};

void PutEnvelopePoints(Out& o, const Envelope& e)
{
    for (size_t i = 0; i < 12; i++) {
        if (i < e.points.size()) {
            o.u16(e.points[i].x);
            o.u16(e.points[i].y);
        } else {
            o.u32(0);
        }
    }
}

uint8_t PointCount(const Envelope& e)
{
    return static_cast<uint8_t>(e.count_override >= 0 ? e.count_override : static_cast<int>(e.points.size()));
}

}  // namespace

Cell& Pattern::at(int row, int channel, int channels)
{
    size_t i = static_cast<size_t>(row) * channels + channel;
    if (cells.size() <= i) cells.resize(i + 1);
    return cells[i];
}

std::vector<uint8_t> PackCells(const Pattern& p, int channels)
{
    Out o;
    const size_t total = static_cast<size_t>(p.rows) * channels;
    for (size_t i = 0; i < total; i++) {
        Cell c = i < p.cells.size() ? p.cells[i] : Cell{};
        const uint8_t f[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
        bool all = true;
        for (uint8_t v : f) all = all && v != 0;
        bool plain = p.coding == Coding::Unpacked || (p.coding == Coding::Mixed && all);
        if (plain) {
            for (uint8_t v : f) o.u8(v);
            continue;
        }
        uint8_t mask = 0x80;
        for (int k = 0; k < 5; k++)
            if (f[k]) mask |= static_cast<uint8_t>(1 << k);
        o.u8(mask);
        for (int k = 0; k < 5; k++)
            if (f[k]) o.u8(f[k]);
    }
    return o.b;
}

std::vector<uint8_t> Write(const Module& m, Layout* layout)
{
    Layout l;
    Out o;
    o.text("Extended Module: ", 17);
    o.text(m.name, 20);
    o.u8(0x1A);
    o.text(m.tracker, 20);
    o.u16(0x0104);

    const int song_length = m.song_length >= 0 ? m.song_length : static_cast<int>(m.orders.size());
    o.u32(276);
    o.u16(song_length);
    o.u16(m.restart);
    o.u16(m.channels);
    o.u16(m.stored_pattern_override >= 0 ? m.stored_pattern_override : static_cast<int>(m.patterns.size()));
    o.u16(static_cast<uint32_t>(m.instruments.size()));
    o.u16(m.flags);
    o.u16(m.speed);
    o.u16(m.bpm);
    for (size_t i = 0; i < 256; i++) o.u8(i < m.orders.size() ? m.orders[i] : 0);

    for (const Pattern& p : m.patterns) {
        l.pattern_at.push_back(o.pos());
        std::vector<uint8_t> data;
        if (!p.raw.empty()) {
            data = p.raw;
        } else if (!p.store_empty) {
            data = PackCells(p, m.channels);
        }
        o.u32(9);
        o.u8(0);
        o.u16(p.rows);
        o.u16(static_cast<uint32_t>(data.size()));
        l.pattern_data_at.push_back(o.pos());
        o.b.insert(o.b.end(), data.begin(), data.end());
    }

    for (const Instrument& ins : m.instruments) {
        l.instrument_at.push_back(o.pos());
        l.sample_header_at.emplace_back();
        l.sample_data_at.emplace_back();
        const bool has_samples = !ins.samples.empty();
        o.u32(has_samples ? 263 : 29);
        o.text(ins.name, 22);
        o.u8(0);
        o.u16(static_cast<uint32_t>(ins.samples.size()));
        if (!has_samples) continue;
        o.u32(40);
        for (uint8_t k : ins.keymap) o.u8(k);
        PutEnvelopePoints(o, ins.volume);
        PutEnvelopePoints(o, ins.panning);
        o.u8(PointCount(ins.volume));
        o.u8(PointCount(ins.panning));
        o.u8(ins.volume.sustain);
        o.u8(ins.volume.loop_start);
        o.u8(ins.volume.loop_end);
        o.u8(ins.panning.sustain);
        o.u8(ins.panning.loop_start);
        o.u8(ins.panning.loop_end);
        o.u8(ins.volume.type);
        o.u8(ins.panning.type);
        o.u8(ins.vibrato_type);
        o.u8(ins.vibrato_sweep);
        o.u8(ins.vibrato_depth);
        o.u8(ins.vibrato_rate);
        o.u16(ins.fadeout);
        o.zeros(22);  // reserved

        for (const Sample& s : ins.samples) {
            l.sample_header_at.back().push_back(o.pos());
            const uint32_t unit = s.bits == 16 ? 2 : 1;
            const uint32_t length = static_cast<uint32_t>(s.frames.size()) * unit;
            o.u32(s.length_bytes_override >= 0 ? static_cast<uint32_t>(s.length_bytes_override) : length);
            o.u32(s.loop_start * unit);
            o.u32(s.loop_length * unit);
            o.u8(s.volume);
            o.u8(static_cast<uint8_t>(s.finetune));
            o.u8((s.loop & 3) | (s.bits == 16 ? 0x10 : 0));
            o.u8(s.panning);
            o.u8(static_cast<uint8_t>(s.relative_note));
            o.u8(0);
            o.text(s.name, 22);
        }
        for (const Sample& s : ins.samples) {
            l.sample_data_at.back().push_back(o.pos());
            int32_t prev = 0;
            for (int16_t v : s.frames) {
                int32_t d = v - prev;
                prev = v;
                if (s.bits == 16) {
                    o.u16(static_cast<uint16_t>(d));
                } else {
                    o.u8(static_cast<uint8_t>(d));
                }
            }
        }
    }
    l.size = o.pos();
    if (layout) *layout = l;
    return o.b;
}

bool WriteFile(const Module& m, const std::string& path)
{
    std::vector<uint8_t> image = Write(m);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(image.data(), 1, image.size(), f) == image.size();
    return fclose(f) == 0 && ok;
}

void Put16(std::vector<uint8_t>& image, int32_t at, uint16_t v)
{
    image[at] = static_cast<uint8_t>(v);
    image[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& image, int32_t at, uint32_t v)
{
    Put16(image, at, static_cast<uint16_t>(v));
    Put16(image, at + 2, static_cast<uint16_t>(v >> 16));
}

}  // namespace xmw
