// The player heard against libxmp and libopenmpt (FastTracker 2 compatible players, used only as
// oracles). Each case is a small module built here that keeps to commands all three mean the same
// way; the three renders are compared per 10 ms window by measures that their designed differences
// (interpolation, volume ramps, overall gain) leave alone: loudness after one best-fit gain, the
// left/right balance, and the pitch of a sine sample. Where the oracles part from each other, the
// case says which one holds (see Case).
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "audio/audio.h"
#include "module/stream.h"
#include "player/player.h"
#include "support/files.h"
#include "support/song_digest.h"
#include "support/xm_writer.h"

namespace {

typedef std::vector<int16_t> Pcm;  // interleaved stereo, 44100 Hz
const int kRate = 44100;
const int kWindow = 441;           // 10 ms; a tick at 125 BPM is exactly two windows

// This player, through the slice rendering the program plays (as xmtool render does).
Pcm RenderOurs(const std::vector<uint8_t>& image, size_t frames)
{
    Pcm pcm;
    memory_serve_image(image.data(), static_cast<int32_t>(image.size()));
    PlayerState* p = player_load(nullptr, nullptr);
    EXPECT_TRUE(p && audio_render_begin(p, kRate));
    while (p && pcm.size() < frames * 2) {
        int32_t n = 0;
        const int16_t* block = audio_render_next(&n);
        if (!block || n == 0) break;
        pcm.insert(pcm.end(), block, block + 2 * n);
    }
    audio_render_end();
    if (p) player_free(p);
    pcm.resize(frames * 2);
    return pcm;
}

// libxmp with linear interpolation and no extra gain (its default amplification doubles).
Pcm RenderXmp(const std::vector<uint8_t>& image, size_t frames)
{
    Pcm pcm(frames * 2);
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, image.data(), static_cast<long>(image.size())) == 0) {
        xmp_start_player(ctx, kRate, 0);
        xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
        xmp_set_player(ctx, XMP_PLAYER_MIX, 100);
        xmp_set_player(ctx, XMP_PLAYER_AMP, 0);
        xmp_set_player(ctx, XMP_PLAYER_DSP, 0);
        xmp_set_player(ctx, XMP_PLAYER_VOLUME, 100);
        xmp_play_buffer(ctx, pcm.data(), static_cast<int>(pcm.size() * 2), 0);
        xmp_end_player(ctx);
        xmp_release_module(ctx);
    }
    xmp_free_context(ctx);
    return pcm;
}

// libopenmpt with linear interpolation, full separation, no gain and no dither.
Pcm RenderOpenmpt(const std::vector<uint8_t>& image, size_t frames)
{
    Pcm pcm(frames * 2);
    openmpt_module* mod = openmpt_module_create_from_memory2(image.data(), image.size(), nullptr, nullptr, nullptr,
                                                             nullptr, nullptr, nullptr, nullptr);
    if (!mod) return pcm;
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT, 100);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_MASTERGAIN_MILLIBEL, 0);
    openmpt_module_ctl_set_integer(mod, "dither", 0);
    openmpt_module_ctl_set_text(mod, "play.at_end", "stop");
    size_t done = 0;
    while (done < frames) {
        size_t n = openmpt_module_read_interleaved_stereo(mod, kRate, frames - done, pcm.data() + 2 * done);
        if (n == 0) break;
        done += n;
    }
    openmpt_module_destroy(mod);
    pcm.resize(done * 2);  // up to the song's end
    return pcm;
}

// Per window: the RMS of each side; where the window is at least a quarter as loud as the loudest,
// the balance right / (left + right); where at least a tenth, the pitch in cents (1200 log2 Hz)
// from the upward zero crossings of left + right, interpolated between frames, where they are
// evenly spaced (not where a note hands over to the next, or in noise). Else NaN. The first tick
// is silence: no player sounds before its first frame.
struct Windows {
    std::vector<double> left, right, balance, cents;
};

Windows Measure(const Pcm& pcm)
{
    Windows w{{0, 0}, {0, 0}, {NAN, NAN}, {NAN, NAN}};
    size_t frames = pcm.size() / 2;
    double peak = 0;
    for (size_t at = 0; at + kWindow <= frames; at += kWindow) {
        double l = 0, r = 0, first = -1, last = -1, shortest = INFINITY, longest = 0;
        int crossings = 0;
        for (size_t i = at; i < at + kWindow; i++) {
            l += double(pcm[2 * i]) * pcm[2 * i];
            r += double(pcm[2 * i + 1]) * pcm[2 * i + 1];
            double a = i > at ? double(pcm[2 * i - 2]) + pcm[2 * i - 1] : 0, b = double(pcm[2 * i]) + pcm[2 * i + 1];
            if (i > at && a < 0 && b >= 0) {
                double t = double(i - 1) + a / (a - b);
                if (first < 0) first = t;
                else shortest = std::min(shortest, t - last), longest = std::max(longest, t - last);
                last = t;
                crossings++;
            }
        }
        w.left.push_back(std::sqrt(l / kWindow));
        w.right.push_back(std::sqrt(r / kWindow));
        peak = std::max(peak, w.left.back() + w.right.back());
        w.balance.push_back(w.right.back() / (w.left.back() + w.right.back()));
        bool even = crossings >= 3 && longest < 1.02 * shortest;
        w.cents.push_back(even ? 1200 * std::log2((crossings - 1) * kRate / (last - first)) : NAN);
    }
    // (Our gains are whole 255ths of a volume of 0..128: the balance of a quiet note is coarse.)
    for (size_t i = 0; i < w.left.size(); i++) {
        if (w.left[i] + w.right[i] < 0.25 * peak) w.balance[i] = NAN;
        if (w.left[i] + w.right[i] < 0.1 * peak) w.cents[i] = NAN;
    }
    return w;
}

// How far a's window i lies outside the range b takes within a tick (two windows) either side:
// volume ramps, and steps that one player takes a tick before the other, fall inside it. Only
// where both have a value (a window where one player reads a pitch and the other none is not
// compared).
double Outside(const std::vector<double>& a, const std::vector<double>& b, size_t i, double gain_a = 1, double gain_b = 1)
{
    double lo = INFINITY, hi = -INFINITY;
    for (size_t j = i < 2 ? 0 : i - 2; j <= i + 2 && j < b.size(); j++)
        if (!std::isnan(b[j])) lo = std::min(lo, gain_b * b[j]), hi = std::max(hi, gain_b * b[j]);
    double v = gain_a * a[i];
    if (std::isnan(v) || std::isnan(b[i]) || lo > hi) return 0;
    return v < lo ? lo - v : (v > hi ? v - hi : 0);
}

// The worst window of each measure, each way round, up to the last tick (which has no following
// tick to compare with). Loudness: as a fraction of the oracle's loudest window, after the
// least-squares gain that takes ours to the oracle's; balance as a difference; pitch in cents.
struct Figures {
    double loudness, balance, cents;
};

Figures Compare(const Windows& ours, const Windows& oracle)
{
    size_t n = std::min(ours.left.size(), oracle.left.size());
    double xy = 0, xx = 0, peak = 0;
    for (size_t i = 0; i < n; i++) {
        xy += ours.left[i] * oracle.left[i] + ours.right[i] * oracle.right[i];
        xx += ours.left[i] * ours.left[i] + ours.right[i] * ours.right[i];
        peak = std::max(peak, std::max(oracle.left[i], oracle.right[i]));
    }
    double g = xx > 0 ? xy / xx : 0;
    Figures f{0, 0, 0};
    for (size_t i = 0; i + 2 < n; i++) {
        double loud = std::max({Outside(ours.left, oracle.left, i, g), Outside(oracle.left, ours.left, i, 1, g),
                                Outside(ours.right, oracle.right, i, g), Outside(oracle.right, ours.right, i, 1, g)});
        f.loudness = std::max(f.loudness, loud / peak);
        f.balance = std::max({f.balance, Outside(ours.balance, oracle.balance, i), Outside(oracle.balance, ours.balance, i)});
        f.cents = std::max({f.cents, Outside(ours.cents, oracle.cents, i), Outside(oracle.cents, ours.cents, i)});
    }
    return f;
}

// The tolerances, over the worst window of any case here [in brackets]. Loudness: the players
// round the envelopes' steps differently [0.04]. Balance: our gains are whole 255ths of the
// volume [0.02]. Pitch: windows where a note hands over to the next, and the Amiga periods' whole
// numbers [4 cents].
const Figures kTolerance = {0.06, 0.04, 6};

void ExpectWithin(const Figures& f, const char* oracle, bool pitch)
{
    EXPECT_LE(f.loudness, kTolerance.loudness) << oracle << ": worst window's loudness";
    EXPECT_LE(f.balance, kTolerance.balance) << oracle << ": worst window's balance";
    if (pitch) {
        EXPECT_LE(f.cents, kTolerance.cents) << oracle << ": worst window's pitch, cents";
    }
}

// ---- the modules ---------------------------------------------------------------------------------

// One channel at speed 6 and 125 BPM (ticks of 882 frames, two windows each); instrument 1 plays a
// looped 32-frame 16-bit sine, full volume, centred, so that key 73 (C-6) sounds near 1045 Hz.
xmw::Module OneChannel(int rows)
{
    xmw::Module m;
    m.channels = 1;
    m.speed = 6;
    m.bpm = 125;
    xmw::Pattern p;
    p.rows = rows;
    m.patterns = {p};
    xmw::Instrument ins;
    xmw::Sample s;
    s.bits = 16;
    for (int i = 0; i < 32; i++) s.frames.push_back(static_cast<int16_t>(std::lround(12000 * std::sin(i * M_PI / 16))));
    s.loop = 1;
    s.loop_length = 32;
    ins.samples = {s};
    m.instruments = {ins};
    return m;
}

xmw::Cell Note(int note, int volume = 0) { return {static_cast<uint8_t>(note), 1, static_cast<uint8_t>(volume), 0, 0}; }
const xmw::Cell kKeyOff = {97, 0, 0, 0, 0};

// A note at row 0 under an envelope, and a key-off at row `off` (none for -1).
xmw::Module Enveloped(xmw::Envelope xmw::Instrument::*which, xmw::Envelope e, int off)
{
    xmw::Module m = OneChannel(24);
    m.instruments[0].*which = e;
    m.patterns[0].at(0, 0, 1) = Note(73);
    if (off >= 0) m.patterns[0].at(off, 0, 1) = kKeyOff;
    return m;
}

xmw::Module Fadeout()
{
    xmw::Module m = OneChannel(16);
    m.instruments[0].volume = {{{0, 64}, {10, 40}}, 0, 0, 0, 1};
    m.instruments[0].fadeout = 1200;
    m.patterns[0].at(0, 0, 1) = Note(73);
    m.patterns[0].at(4, 0, 1) = kKeyOff;
    return m;
}

// Auto-vibrato at full depth, a cycle in 12.8 ticks, growing in over 12 ticks.
xmw::Module Vibrato(int type, uint16_t flags = 1)
{
    xmw::Module m = OneChannel(12);
    m.flags = flags;
    xmw::Instrument& ins = m.instruments[0];
    ins.vibrato_type = static_cast<uint8_t>(type);
    ins.vibrato_sweep = 12;
    ins.vibrato_depth = 15;
    ins.vibrato_rate = 20;
    m.patterns[0].at(0, 0, 1) = Note(73);
    return m;
}

xmw::Module Arpeggio()
{
    xmw::Module m = OneChannel(8);
    m.patterns[0].at(0, 0, 1) = {73, 1, 0, 0x00, 0x47};
    for (int r = 1; r < 8; r++) m.patterns[0].at(r, 0, 1) = {0, 0, 0, 0x00, static_cast<uint8_t>(r < 4 ? 0x47 : 0x35)};
    return m;
}

// One channel playing these rows (instrument 1 where a cell names it).
xmw::Module Rows(const std::vector<xmw::Cell>& cells)
{
    xmw::Module m = OneChannel(static_cast<int>(cells.size()));
    for (size_t r = 0; r < cells.size(); r++) m.patterns[0].at(static_cast<int>(r), 0, 1) = cells[r];
    return m;
}

// Set volume, fine slides down and up, panning set, and a new note at a volume of its own.
xmw::Module VolumeColumnAndPanning()
{
    xmw::Module m = OneChannel(16);
    const uint8_t column[] = {0x30, 0, 0x50, 0, 0x86, 0, 0xC2, 0, 0x98, 0, 0xCE};
    for (int r = 0; r < 11; r++) m.patterns[0].at(r, 0, 1) = {static_cast<uint8_t>(r ? 0 : 73), static_cast<uint8_t>(r ? 0 : 1), column[r], 0, 0};
    m.patterns[0].at(12, 0, 1) = Note(61, 0x40);
    return m;
}

// A note every other row, loud and quiet by turns: each hands the old note over to the twin voice.
xmw::Module NewNotes()
{
    xmw::Module m = OneChannel(16);
    m.instruments[0].samples[0].panning = 40;
    for (int r = 0; r < 16; r += 2) m.patterns[0].at(r, 0, 1) = Note(61 + r, r % 4 ? 0x18 : 0x50);
    return m;
}

struct Case {
    const char* name;
    xmw::Module (*make)();
    // libxmp's auto-vibrato is not FastTracker 2's (its sine runs the other way, its square and
    // ramps are other shapes): the pitch of those cases is held against libopenmpt alone.
    bool xmp_pitch;
};

const Case kCases[] = {
    {"VolumeEnvelopeSustainRelease",
     [] { return Enveloped(&xmw::Instrument::volume, {{{0, 0}, {4, 64}, {12, 24}, {24, 48}, {40, 0}}, 2, 0, 0, 3}, 10); }, true},
    {"VolumeEnvelopeLoop",
     [] { return Enveloped(&xmw::Instrument::volume, {{{0, 64}, {6, 16}, {14, 64}, {20, 24}, {30, 0}}, 0, 1, 3, 5}, -1); }, true},
    // Sustain at point 2 inside the loop 1..2; released by the key-off at row 12.
    {"PanningEnvelope",
     [] { return Enveloped(&xmw::Instrument::panning, {{{0, 0}, {12, 64}, {20, 32}, {32, 0}, {50, 64}}, 2, 1, 2, 7}, 12); }, true},
    {"Fadeout", Fadeout, true},
    {"VibratoSine", [] { return Vibrato(0); }, false},
    {"VibratoSquare", [] { return Vibrato(1); }, false},
    {"VibratoRampDown", [] { return Vibrato(2); }, false},
    {"VibratoRampUp", [] { return Vibrato(3); }, false},
    {"VibratoAmigaPeriods", [] { return Vibrato(0, 0); }, false},
    {"Arpeggio", Arpeggio, true},
    {"VolumeColumnAndPanning", VolumeColumnAndPanning, true},
    {"NewNotes", NewNotes, true},
    // A new note held back 3 ticks at a volume of its own, then one held back past the row's end.
    {"NoteDelay", [] { return Rows({Note(73), {}, {61, 1, 0x20, 0x0E, 0xD3}, {}, {49, 1, 0, 0x0E, 0xD5}, {},
                                    {0, 0, 0, 0x0E, 0xD8}, {}}); }, true},
    // K releases the sustain of a volume envelope (at the row tick: here K00, as both oracles do).
    {"KeyOffEffect", [] {
         xmw::Module m = Enveloped(&xmw::Instrument::volume, {{{0, 64}, {8, 48}, {30, 0}}, 1, 0, 0, 3}, -1);
         m.patterns[0].at(6, 0, 1) = {0, 0, 0, 20, 0};
         return m; }, true},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class SoundOracle : public testing::TestWithParam<Case> {};

}  // namespace

TEST_P(SoundOracle, SoundsAsBothOraclesDo)
{
    xmw::Module m = GetParam().make();
    std::vector<uint8_t> image = xmw::Write(m);
    size_t frames = static_cast<size_t>(m.patterns[0].rows) * m.speed * 882;
    Windows ours = Measure(RenderOurs(image, frames));
    Figures x = Compare(ours, Measure(RenderXmp(image, frames)));
    Figures o = Compare(ours, Measure(RenderOpenmpt(image, frames)));
    printf("%-28s libxmp %.3f %.3f %4.1f   libopenmpt %.3f %.3f %4.1f\n", GetParam().name, x.loudness, x.balance,
           x.cents, o.loudness, o.balance, o.cents);
    ExpectWithin(x, "libxmp", GetParam().xmp_pitch);
    ExpectWithin(o, "libopenmpt", true);
}

INSTANTIATE_TEST_SUITE_P(Cases, SoundOracle, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

namespace {

// The module with every channel but `keep` emptied, except for the commands that steer the song
// (D, F): each pattern is unpacked, cut and packed again, the rest of the file kept as it is.
std::vector<uint8_t> OnlyChannel(const std::vector<uint8_t>& image, int keep, bool* arpeggio)
{
    auto u16 = [&](size_t at) { return static_cast<size_t>(image[at] | image[at + 1] << 8); };
    size_t at = 60 + u16(60) + (u16(62) << 16);
    const int channels = static_cast<int>(u16(68));
    const size_t patterns = u16(70);
    std::vector<uint8_t> out(image.begin(), image.begin() + static_cast<long>(at));
    for (size_t p = 0; p < patterns; p++) {
        size_t header = u16(at) + (u16(at + 2) << 16), packed = u16(at + 7), k = at + header;
        xmw::Pattern pattern;
        pattern.rows = static_cast<int>(u16(at + 5));
        pattern.coding = xmw::Coding::Mixed;
        for (int c = 0; packed && c < pattern.rows * channels; c++) {
            uint8_t mask = image[k] & 0x80 ? image[k++] : 0x1F, f[5] = {};
            for (int b = 0; b < 5; b++)
                if (mask & (1 << b)) f[b] = image[k++];
            xmw::Cell& cell = pattern.at(c / channels, c % channels, channels);
            if (c % channels == keep) cell = {f[0], f[1], f[2], f[3], f[4]};
            if (c % channels == keep && f[3] == 0 && f[4] != 0) *arpeggio = true;
            else if (f[3] == 0x0D || f[3] == 0x0F) cell = {0, 0, 0, f[3], f[4]};
        }
        std::vector<uint8_t> data = xmw::PackCells(pattern, channels);
        out.insert(out.end(), image.begin() + static_cast<long>(at), image.begin() + static_cast<long>(at + header));
        xmw::Put16(out, static_cast<int32_t>(out.size() - 2), static_cast<uint16_t>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
        at += header + packed;
    }
    out.insert(out.end(), image.begin() + static_cast<long>(at), image.end());
    return out;
}

std::vector<uint8_t> MusicImage()
{
    std::string bytes = ReadFileBytes(QE_SOURCE_DIR "/assets/music.xm");
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void Print(const char* what, const Figures& x, const Figures& o)
{
    printf("%-12s libxmp %.3f %.3f %4.1f   libopenmpt %.3f %.3f %4.1f\n", what, x.loudness, x.balance, x.cents,
           o.loudness, o.balance, o.cents);
}

}  // namespace

// The show's music once through, up to its loop, each channel alone (the mix of several would
// measure how their tones beat together). The pitch of a channel with arpeggios is held against
// libxmp (libopenmpt plays them in FastTracker 2's order, which counts a row's ticks down from its
// speed, where this player and libxmp count up), of the others against libopenmpt (libxmp's
// auto-vibrato is not FastTracker 2's, see above). Quiet notes are coarser here: our volumes are
// whole steps of 1/128 and the gains whole 255ths of them [loudness 0.08, balance 0.07].
TEST(SoundOracle, EmbeddedModuleSoundsAsBothOraclesDo)
{
    std::vector<uint8_t> image = MusicImage();
    ASSERT_GT(image.size(), 336u);
    const Figures tolerance = {0.1, 0.08, kTolerance.cents};
    size_t frames = RenderOpenmpt(image, 600 * kRate).size() / 2;  // up to the song's end
    ASSERT_GT(frames, 60u * kRate);
    Figures worst_x{0, 0, 0}, worst_o{0, 0, 0};
    for (int c = 0; c < image[68]; c++) {
        bool arpeggio = false;
        std::vector<uint8_t> one = OnlyChannel(image, c, &arpeggio);
        Windows ours = Measure(RenderOurs(one, frames));
        Figures x = Compare(ours, Measure(RenderXmp(one, frames)));
        Figures o = Compare(ours, Measure(RenderOpenmpt(one, frames)));
        (arpeggio ? o : x).cents = 0;
        Print(("channel " + std::to_string(c)).c_str(), x, o);
        worst_x = {std::max(worst_x.loudness, x.loudness), std::max(worst_x.balance, x.balance), std::max(worst_x.cents, x.cents)};
        worst_o = {std::max(worst_o.loudness, o.loudness), std::max(worst_o.balance, o.balance), std::max(worst_o.cents, o.cents)};
    }
    Print("worst", worst_x, worst_o);
    for (const Figures* f : {&worst_x, &worst_o}) {
        EXPECT_LE(f->loudness, tolerance.loudness);
        EXPECT_LE(f->balance, tolerance.balance);
        EXPECT_LE(f->cents, tolerance.cents);
    }
}

// The show's music as its listener hears it, pinned to the last sample: the render that the test
// above holds against both oracles, and that the end-to-end sound test finds in the program's own
// output. A change to any sample of it changes what is heard (support/song_digest.h; the same
// bytes from every build, gcc or clang, 32 or 64-bit).
TEST(SoundOracle, EmbeddedModuleRenderIsPinned)
{
    Pcm pcm = RenderOurs(MusicImage(), kSongFrames);
    uint64_t digest = kDigestStart;
    for (int16_t s : pcm) digest = DigestSample(digest, s);
    EXPECT_EQ(digest, kSongDigest);
}
