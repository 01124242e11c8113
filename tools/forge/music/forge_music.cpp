// tools/forge/music/forge_music.cpp -- turns the music score (a text file) into an XM module.
// Native tool. The samples are synthesised here from the score's parameters with our own sine and
// exponential, in plain double arithmetic, so the same score gives the same bytes on every run.
//
//   forge_music SCORE OUT.xm          write the module
//   forge_music --check SCORE FILE    exit 0 when FILE holds exactly what SCORE makes
//
// The score format is described at the top of score.txt, next to this file.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "tools/xm_writer/xm_writer.h"

namespace {

// ---- errors: one line naming the file, the line and the problem ----------------------------------

std::string g_scoreName;     // path of the score, for messages
int         g_line = 0;      // score line being read (1-based), 0 = not reading
bool        g_failed = false;

bool Fail(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
bool Fail(const char* fmt, ...)
{
    if (g_failed) return false;     // the first problem is the one worth reading
    g_failed = true;
    if (g_line > 0) fprintf(stderr, "forge_music: %s:%d: ", g_scoreName.c_str(), g_line);
    else            fprintf(stderr, "forge_music: %s: ", g_scoreName.c_str());
    va_list args;
    va_start(args, fmt);
    vfprintf(stderr, fmt, args);
    va_end(args);
    fputc('\n', stderr);
    return false;
}

// ---- deterministic maths: only +, -, *, / and floor, which IEEE makes exact everywhere -------------

const double kPi = 3.14159265358979323846;
const double kLn2 = 0.69314718055994530942;

double Sine(double x)
{
    double turns = std::floor(x / (2.0 * kPi) + 0.5);
    x -= turns * 2.0 * kPi;                          // now within about -pi..pi
    double term = x, sum = x, x2 = x * x;
    for (int n = 1; n <= 13; ++n) {                  // Taylor series up to x^27
        term = -term * x2 / ((2.0 * n) * (2.0 * n + 1.0));
        sum += term;
    }
    return sum;
}

double Exp(double x)
{
    if (x < -700.0) return 0.0;
    double k = std::floor(x / kLn2 + 0.5);
    double r = x - k * kLn2;                         // |r| <= ln2 / 2
    double term = 1.0, sum = 1.0;
    for (int n = 1; n <= 20; ++n) { term = term * r / n; sum += term; }
    return std::ldexp(sum, (int)k);
}

double Pow2(double x) { return Exp(x * kLn2); }

// A small xorshift generator for the noise of the percussion.
uint32_t NextNoise(uint32_t* state)
{
    uint32_t s = *state;
    s ^= s << 13; s ^= s >> 17; s ^= s << 5;
    *state = s;
    return s;
}

// ---- the song model ------------------------------------------------------------------------------

const int kMaxPoints = 12;

struct Envelope {
    int      count = 0;                 // points in use; fewer than 2 = envelope off
    uint16_t x[kMaxPoints] = {};        // tick of each point
    uint16_t y[kMaxPoints] = {};        // value: volume 0..64, panning 0..64 with 32 the centre
    int      sustain = -1;              // point index, -1 = none
    int      loopStart = -1, loopEnd = -1;
};

struct Instrument {
    std::string          name;
    std::vector<std::string> wave;      // the "wave" line's words, synthesised once the rest is known
    int                  waveLine = 0;
    std::vector<int16_t> frames;        // synthesised sample
    bool                 bits16 = true;
    bool                 looped = true; // single cycles loop over all frames; drums play once
    int relnote = 0, finetune = 0, volume = 64, panning = 128, fadeout = 0;
    Envelope vol, pan;
    int vibType = 0, vibSweep = 0, vibDepth = 0, vibRate = 0;
};

struct Cell { uint8_t note = 0, instrument = 0, volume = 0, effect = 0, param = 0; };

struct Pattern {
    std::string       name;
    int               rows = 0;
    std::vector<Cell> cells;            // rows x channel count
    std::vector<bool> written;          // per channel: a track line filled it
};

struct Echo { int source = 0, target = 0, delay = 0; double scale = 1.0; int instrument = 0; };

struct Song {
    std::string title = "untitled";
    int speed = 6, bpm = 125, restart = 0, rowsPerBar = 16;
    std::vector<std::string> channels;  // names, "-" for a column no track uses
    std::vector<std::string> order;     // pattern names, resolved at the end
    int orderLine = 0;
    std::vector<Instrument> instruments;
    std::vector<Pattern>    patterns;
    std::vector<Echo>       echoes;
};

// ---- small parsers -------------------------------------------------------------------------------

bool ParseInt(const std::string& s, int lo, int hi, int* out, const char* what)
{
    char* end = nullptr;
    long v = strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != 0) return Fail("%s: '%s' is not a whole number", what, s.c_str());
    if (v < lo || v > hi) return Fail("%s %ld out of range %d..%d", what, v, lo, hi);
    *out = (int)v;
    return true;
}

bool ParseReal(const std::string& s, double lo, double hi, double* out, const char* what)
{
    char* end = nullptr;
    double v = strtod(s.c_str(), &end);
    if (s.empty() || *end != 0) return Fail("%s: '%s' is not a number", what, s.c_str());
    if (!(v >= lo && v <= hi)) return Fail("%s %s out of range %g..%g", what, s.c_str(), lo, hi);
    *out = v;
    return true;
}

// "C4", "F#2", "Bb3" -> key 0..95 (C0 = 0; C4 = 48 plays the sample at 8363 Hz before relnote).
bool ParseNote(const std::string& s, size_t* used, int* key)
{
    static const int kBase[7] = { 9, 11, 0, 2, 4, 5, 7 };     // A B C D E F G
    if (s.empty() || s[0] < 'A' || s[0] > 'G') return false;
    int semitone = kBase[s[0] - 'A'];
    size_t i = 1;
    if (i < s.size() && s[i] == '#') { semitone++; i++; }
    else if (i < s.size() && s[i] == 'b') { semitone--; i++; }
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    int octave = s[i++] - '0';
    int k = octave * 12 + semitone;
    if (k < 0 || k > 95) return false;
    *used = i;
    *key = k;
    return true;
}

std::vector<std::string> SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// key=value words after the first few; returns false on a word without '='.
bool ParseOptions(const std::vector<std::string>& w, size_t from, std::map<std::string, std::string>* opts)
{
    for (size_t i = from; i < w.size(); ++i) {
        size_t eq = w[i].find('=');
        if (eq == std::string::npos || eq == 0) return Fail("expected name=value, found '%s'", w[i].c_str());
        (*opts)[w[i].substr(0, eq)] = w[i].substr(eq + 1);
    }
    return true;
}

int FindInstrument(const Song& song, const std::string& name)
{
    for (size_t i = 0; i < song.instruments.size(); ++i)
        if (song.instruments[i].name == name) return (int)i;
    return -1;
}

int FindChannel(const Song& song, const std::string& name)
{
    if (name == "-") return -1;
    for (size_t i = 0; i < song.channels.size(); ++i)
        if (song.channels[i] == name) return (int)i;
    return -1;
}

// ---- instruments -----------------------------------------------------------------------------------

// "volenv 0,0 2,64 20,48 sustain 2 loop 1 3"
bool ParseEnvelope(const std::vector<std::string>& w, int maxY, Envelope* env)
{
    *env = Envelope();
    size_t i = 1;
    int lastX = -1;
    for (; i < w.size() && w[i].find(',') != std::string::npos; ++i) {
        if (env->count == kMaxPoints) return Fail("more than %d envelope points", kMaxPoints);
        size_t comma = w[i].find(',');
        int x = 0, y = 0;
        if (!ParseInt(w[i].substr(0, comma), 0, 65535, &x, "envelope tick")) return false;
        if (!ParseInt(w[i].substr(comma + 1), 0, maxY, &y, "envelope value")) return false;
        if (x <= lastX) return Fail("envelope ticks must rise: %d after %d", x, lastX);
        if (env->count == 0 && x != 0) return Fail("an envelope starts at tick 0");
        lastX = x;
        env->x[env->count] = (uint16_t)x;
        env->y[env->count] = (uint16_t)y;
        env->count++;
    }
    if (env->count < 2) return Fail("an envelope needs at least two points");
    while (i < w.size()) {
        if (w[i] == "sustain" && i + 1 < w.size()) {
            if (!ParseInt(w[i + 1], 0, env->count - 1, &env->sustain, "sustain point")) return false;
            i += 2;
        } else if (w[i] == "loop" && i + 2 < w.size()) {
            if (!ParseInt(w[i + 1], 0, env->count - 1, &env->loopStart, "loop start point")) return false;
            if (!ParseInt(w[i + 2], env->loopStart, env->count - 1, &env->loopEnd, "loop end point")) return false;
            i += 3;
        } else {
            return Fail("unexpected '%s' in envelope (points are tick,value; then sustain N, loop A B)", w[i].c_str());
        }
    }
    return true;
}

bool ParseInstrumentLine(const std::vector<std::string>& w, Instrument* ins)
{
    const std::string& key = w[0];
    if (key == "wave") {
        if (w.size() < 2) return Fail("wave needs a kind: cycle or drum");
        ins->wave = w;
        ins->waveLine = g_line;
        return true;
    }
    if (key == "relnote" && w.size() == 2) return ParseInt(w[1], -48, 48, &ins->relnote, "relnote");
    if (key == "finetune" && w.size() == 2) return ParseInt(w[1], -128, 127, &ins->finetune, "finetune");
    if (key == "volume" && w.size() == 2) return ParseInt(w[1], 0, 64, &ins->volume, "volume");
    if (key == "panning" && w.size() == 2) return ParseInt(w[1], 0, 255, &ins->panning, "panning");
    if (key == "fadeout" && w.size() == 2) return ParseInt(w[1], 0, 4095, &ins->fadeout, "fadeout");
    if (key == "volenv") return ParseEnvelope(w, 64, &ins->vol);
    if (key == "panenv") return ParseEnvelope(w, 64, &ins->pan);
    if (key == "vibrato" && w.size() >= 2) {
        static const char* kTypes[4] = { "sine", "square", "rampdown", "rampup" };
        ins->vibType = -1;
        for (int t = 0; t < 4; ++t) if (w[1] == kTypes[t]) ins->vibType = t;
        if (ins->vibType < 0) return Fail("vibrato type '%s': use sine, square, rampdown or rampup", w[1].c_str());
        std::map<std::string, std::string> o;
        if (!ParseOptions(w, 2, &o)) return false;
        for (auto& kv : o) {
            int* field = kv.first == "sweep" ? &ins->vibSweep : kv.first == "depth" ? &ins->vibDepth
                       : kv.first == "rate" ? &ins->vibRate : nullptr;
            if (!field) return Fail("vibrato takes sweep=, depth= and rate=, not '%s'", kv.first.c_str());
            if (!ParseInt(kv.second, 0, kv.first == "depth" ? 15 : 255, field, kv.first.c_str())) return false;
        }
        return true;
    }
    return Fail("unknown or incomplete instrument line '%s'", key.c_str());
}

// One looped cycle made of sine partials: "wave cycle frames=256 partials=1,0.5,0.33 level=0.9".
bool SynthCycle(const std::map<std::string, std::string>& o, Instrument* ins)
{
    int frames = 256;
    double level = 0.9;
    std::vector<double> amps, phases;
    for (auto& kv : o) {
        if (kv.first == "frames") { if (!ParseInt(kv.second, 8, 4096, &frames, "frames")) return false; }
        else if (kv.first == "level") { if (!ParseReal(kv.second, 0.01, 1.0, &level, "level")) return false; }
        else if (kv.first == "bits") {
            int bits = 0;
            if (!ParseInt(kv.second, 8, 16, &bits, "bits") || (bits != 8 && bits != 16)) return Fail("bits is 8 or 16");
            ins->bits16 = bits == 16;
        } else if (kv.first == "partials" || kv.first == "phases") {
            std::vector<double>& list = kv.first == "partials" ? amps : phases;
            size_t start = 0;
            while (start <= kv.second.size()) {
                size_t comma = kv.second.find(',', start);
                if (comma == std::string::npos) comma = kv.second.size();
                double v = 0;
                if (!ParseReal(kv.second.substr(start, comma - start), -1.0, 1.0, &v, kv.first.c_str())) return false;
                list.push_back(v);
                start = comma + 1;
            }
        } else {
            return Fail("wave cycle takes frames=, partials=, phases=, level= and bits=, not '%s'", kv.first.c_str());
        }
    }
    if (amps.empty()) return Fail("wave cycle needs partials=");
    if ((int)amps.size() * 2 >= frames) return Fail("%d partials do not fit in %d frames", (int)amps.size(), frames);
    std::vector<double> wave(frames, 0.0);
    double peak = 0.0;
    for (int i = 0; i < frames; ++i) {
        double s = 0.0;
        for (size_t k = 0; k < amps.size(); ++k) {
            double phase = k < phases.size() ? phases[k] : 0.0;      // in turns
            s += amps[k] * Sine(2.0 * kPi * ((double)(k + 1) * i / frames + phase));
        }
        wave[i] = s;
        if (std::fabs(s) > peak) peak = std::fabs(s);
    }
    if (peak <= 0.0) return Fail("the partials add up to silence");
    ins->frames.resize(frames);
    for (int i = 0; i < frames; ++i) {
        double full = ins->bits16 ? 32767.0 : 127.0;
        double v = std::floor(wave[i] / peak * level * full + 0.5);
        ins->frames[i] = (int16_t)(ins->bits16 ? v : v * 256.0);
    }
    ins->looped = true;
    return true;
}

// One-shot percussion: a sine whose pitch falls from f0 to f1, plus filtered noise, each with an
// exponential decay, at the rate the sample plays at when the score writes C4.
bool SynthDrum(const std::map<std::string, std::string>& o, Instrument* ins)
{
    double len = 0.2, f0 = 0, f1 = 0, bend = 0.03, decay = 0.1, tone = 0, noise = 0, ndecay = 0.05;
    double lp = 1.0, hp = 0.0, attack = 0.0, level = 0.9;
    int seed = 1, bits = 8;
    struct { const char* name; double* field; double lo, hi; } reals[] = {
        { "len", &len, 0.005, 2.0 }, { "f0", &f0, 0, 20000 }, { "f1", &f1, 0, 20000 },
        { "bend", &bend, 0.0001, 10 }, { "decay", &decay, 0.0001, 10 }, { "tone", &tone, 0, 1 },
        { "noise", &noise, 0, 1 }, { "ndecay", &ndecay, 0.0001, 10 }, { "lp", &lp, 0.001, 1 },
        { "hp", &hp, 0, 0.999 }, { "attack", &attack, 0, 1 }, { "level", &level, 0.01, 1 },
    };
    for (auto& kv : o) {
        bool known = false;
        for (auto& r : reals)
            if (kv.first == r.name) {
                if (!ParseReal(kv.second, r.lo, r.hi, r.field, r.name)) return false;
                known = true;
            }
        if (kv.first == "seed") { if (!ParseInt(kv.second, 1, 1 << 30, &seed, "seed")) return false; known = true; }
        if (kv.first == "bits") {
            if (!ParseInt(kv.second, 8, 16, &bits, "bits") || (bits != 8 && bits != 16)) return Fail("bits is 8 or 16");
            known = true;
        }
        if (!known) return Fail("wave drum does not take '%s'", kv.first.c_str());
    }
    ins->bits16 = bits == 16;
    double rate = 8363.0 * Pow2((ins->relnote + ins->finetune / 128.0) / 12.0);
    int frames = (int)std::floor(len * rate + 0.5);
    if (frames < 16) return Fail("drum of %d frames is too short", frames);
    std::vector<double> wave(frames);
    uint32_t state = (uint32_t)seed * 2654435761u;
    if (state == 0) state = 1;
    double phase = 0.0, low = 0.0, lastLow = 0.0, high = 0.0, peak = 0.0;
    int fadeFrames = frames / 10 + 1;               // the tail falls linearly to exactly zero
    for (int i = 0; i < frames; ++i) {
        double t = i / rate;
        double f = f1 + (f0 - f1) * Exp(-t / bend);
        double s = tone * Sine(phase) * Exp(-t / decay);
        phase += 2.0 * kPi * f / rate;
        double white = (NextNoise(&state) >> 8) / 8388608.0 - 1.0;
        low += lp * (white - low);                  // one-pole low-pass
        high = hp * (high + low - lastLow);         // one-pole high-pass
        lastLow = low;
        s += noise * (hp > 0 ? high : low) * Exp(-t / ndecay);
        if (attack > 0 && t < attack) s *= t / attack;
        if (i >= frames - fadeFrames) s *= (double)(frames - 1 - i) / fadeFrames;
        wave[i] = s;
        if (std::fabs(s) > peak) peak = std::fabs(s);
    }
    if (peak <= 0.0) return Fail("the drum is silent (give tone= or noise=)");
    ins->frames.resize(frames);
    for (int i = 0; i < frames; ++i) {
        double full = ins->bits16 ? 32767.0 : 127.0;
        double v = std::floor(wave[i] / peak * level * full + 0.5);
        ins->frames[i] = (int16_t)(ins->bits16 ? v : v * 256.0);
    }
    ins->looped = false;
    return true;
}

bool SynthInstrument(Instrument* ins)
{
    g_line = ins->waveLine;
    if (ins->wave.empty()) { g_line = 0; return Fail("instrument %s has no wave line", ins->name.c_str()); }
    std::map<std::string, std::string> o;
    if (!ParseOptions(ins->wave, 2, &o)) return false;
    if (ins->wave[1] == "cycle") return SynthCycle(o, ins);
    if (ins->wave[1] == "drum") return SynthDrum(o, ins);
    return Fail("wave kind '%s': use cycle or drum", ins->wave[1].c_str());
}

// ---- patterns --------------------------------------------------------------------------------------

Cell& At(Song& song, Pattern& p, int row, int channel)
{
    return p.cells[(size_t)row * song.channels.size() + channel];
}

// "[ a b ]x3" -> "a b a b a b", nested brackets allowed; words before `from` are copied as they are.
bool ExpandRepeats(const std::vector<std::string>& in, size_t from, std::vector<std::string>* out)
{
    std::vector<size_t> opens;
    if (from > in.size()) from = in.size();
    out->assign(in.begin(), in.begin() + from);
    for (size_t i = from; i < in.size(); ++i) {
        const std::string& t = in[i];
        if (t == "[") { opens.push_back(out->size()); continue; }
        if (t.size() >= 2 && t[0] == ']') {
            if (opens.empty()) return Fail("']' without '['");
            int times = 0;
            if (t[1] != 'x' || !ParseInt(t.substr(2), 1, 64, &times, "repeat count")) return Fail("write a repeat as [ ... ]xN");
            size_t start = opens.back();
            opens.pop_back();
            std::vector<std::string> body(out->begin() + start, out->end());
            for (int k = 1; k < times; ++k) out->insert(out->end(), body.begin(), body.end());
            continue;
        }
        out->push_back(t);
    }
    if (!opens.empty()) return Fail("'[' without ']xN'");
    return true;
}

// "bass bass | D2:12 ^:4 | A1@40:16 |"   or   "hat hat steps x.x. 5.x. | ..."
bool ParseTrack(Song& song, Pattern& p, const std::vector<std::string>& words)
{
    std::vector<std::string> w;
    if (!ExpandRepeats(words, 2, &w)) return false;
    int channel = FindChannel(song, w[0]);
    if (channel < 0) return Fail("no channel named '%s' (see the channels line)", w[0].c_str());
    if (p.written[channel]) return Fail("channel %s is written twice in pattern %s", w[0].c_str(), p.name.c_str());
    p.written[channel] = true;
    if (w.size() < 2) return Fail("a track line names its instrument after the channel");
    int ins = FindInstrument(song, w[1]);
    if (ins < 0) return Fail("no instrument named '%s'", w[1].c_str());

    int row = 0;
    auto barCheck = [&]() {
        if (row % song.rowsPerBar != 0)
            return Fail("bar line at row %d, which is not a multiple of %d", row, song.rowsPerBar);
        return true;
    };
    if (w.size() > 2 && w[2] == "steps") {
        for (size_t i = 3; i < w.size(); ++i)
            for (char c : w[i]) {
                if (c == '|') { if (!barCheck()) return false; continue; }
                if (row >= p.rows) return Fail("steps run past the %d rows of pattern %s", p.rows, p.name.c_str());
                Cell& cell = At(song, p, row, channel);
                if (c == 'x' || (c >= '1' && c <= '9')) {
                    cell.note = 48 + 1;                      // percussion always plays at C4
                    cell.instrument = (uint8_t)(ins + 1);
                    if (c != 'x') cell.volume = (uint8_t)(0x10 + ((c - '0') * 64 + 4) / 9);
                } else if (c >= 'a' && c <= 'p') {
                    cell.note = 48 + 1;                      // a hit at the instrument's volume,
                    cell.instrument = (uint8_t)(ins + 1);    // placed left (a) to right (p)
                    cell.volume = (uint8_t)(0xC0 + (c - 'a'));
                } else if (c == '^') {
                    cell.note = 97;
                } else if (c != '.') {
                    return Fail("step '%c': use . x 1-9 a-p ^ or |", c);
                }
                ++row;
            }
    } else {
        int defaultVolume = -1;
        for (size_t i = 2; i < w.size(); ++i) {
            const std::string& t = w[i];
            if (t == "|") { if (!barCheck()) return false; continue; }
            if (t[0] == '@') {
                if (t == "@-") { defaultVolume = -1; continue; }
                if (!ParseInt(t.substr(1), 0, 64, &defaultVolume, "volume")) return false;
                continue;
            }
            // event[:duration]
            std::string event = t;
            int duration = 1;
            size_t colon = t.find(':');
            if (colon != std::string::npos) {
                event = t.substr(0, colon);
                if (!ParseInt(t.substr(colon + 1), 1, 256, &duration, "duration")) return false;
            }
            if (row + duration > p.rows)
                return Fail("'%s' runs past the %d rows of pattern %s", t.c_str(), p.rows, p.name.c_str());
            Cell& cell = At(song, p, row, channel);
            if (event == "^") {
                cell.note = 97;
            } else if (event == "-" || event == ".") {
                // the note goes on sounding
            } else {
                size_t used = 0;
                int key = 0;
                if (!ParseNote(event, &used, &key))
                    return Fail("'%s' is not a note (C4, F#2, Bb3; C0..B7), ^, - or @volume", event.c_str());
                int volume = defaultVolume, arp[2] = { -1, -1 }, arps = 0;
                while (used < event.size()) {
                    char c = event[used++];
                    size_t end = used;
                    while (end < event.size() && event[end] >= '0' && event[end] <= '9') ++end;
                    std::string num = event.substr(used, end - used);
                    used = end;
                    if (c == '@') {
                        if (!ParseInt(num, 0, 64, &volume, "volume")) return false;
                    } else if (c == '+' && arps < 2) {
                        if (!ParseInt(num, 0, 15, &arp[arps++], "arpeggio step")) return false;
                    } else {
                        return Fail("'%s': after the note come @volume and up to two +semitones", event.c_str());
                    }
                }
                cell.note = (uint8_t)(key + 1);
                cell.instrument = (uint8_t)(ins + 1);
                if (volume >= 0) cell.volume = (uint8_t)(0x10 + volume);
                if (arps > 0) {
                    int param = (arp[0] << 4) | (arps > 1 ? arp[1] : 0);
                    if (param == 0) return Fail("'%s': an arpeggio of +0+0 is no arpeggio", event.c_str());
                    // The chord must be restated on every row the note lasts.
                    for (int r = row; r < row + duration; ++r) {
                        At(song, p, r, channel).effect = 0;
                        At(song, p, r, channel).param = (uint8_t)param;
                    }
                }
            }
            row += duration;
        }
    }
    if (row != p.rows)
        return Fail("track %s fills %d of the %d rows of pattern %s", w[0].c_str(), row, p.rows, p.name.c_str());
    return true;
}

// Echo: a delayed, quieter copy of one channel in another, within each pattern.
void ApplyEchoes(Song& song, Pattern& p)
{
    for (const Echo& e : song.echoes) {
        if (!p.written[e.source] || p.written[e.target]) continue;
        for (int r = 0; r + e.delay < p.rows; ++r) {
            Cell src = At(song, p, r, e.source);
            Cell& dst = At(song, p, r + e.delay, e.target);
            if (src.note == 97) { dst.note = 97; continue; }
            if (src.note == 0) {
                if (src.param != 0) { dst.effect = src.effect; dst.param = src.param; }
                continue;
            }
            int volume = src.volume ? src.volume - 0x10 : song.instruments[src.instrument - 1].volume;
            volume = (int)std::floor(volume * e.scale + 0.5);
            if (volume > 64) volume = 64;
            dst = src;
            dst.instrument = (uint8_t)(e.instrument + 1);
            dst.volume = (uint8_t)(0x10 + volume);
        }
    }
}

// ---- reading the score -----------------------------------------------------------------------------

bool ReadScore(const char* path, Song* songOut)
{
    Song& song = *songOut;
    FILE* f = fopen(path, "rb");
    if (!f) return Fail("cannot open the score");
    std::vector<std::string> lines;
    std::string cur;
    int c;
    while ((c = fgetc(f)) != EOF) {
        if (c == '\n') { lines.push_back(cur); cur.clear(); }
        else cur.push_back((char)c);
    }
    if (!cur.empty()) lines.push_back(cur);
    fclose(f);

    enum { kTop, kInstrument, kPattern } section = kTop;
    std::vector<std::string> track;     // a track line and its continuation lines ('|' first)
    int trackLine = 0;
    auto flushTrack = [&]() {
        if (track.empty()) return true;
        int line = g_line;
        g_line = trackLine;
        bool ok = ParseTrack(song, song.patterns.back(), track);
        g_line = line;
        track.clear();
        return ok;
    };
    for (size_t n = 0; n < lines.size(); ++n) {
        g_line = (int)n + 1;
        std::string line = lines[n];
        for (size_t i = 0; i < line.size(); ++i)        // a comment starts with '#' as a word, not in C#4
            if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) { line.resize(i); break; }
        std::vector<std::string> w = SplitWords(line);
        if (w.empty()) continue;
        const std::string& key = w[0];
        if (section == kPattern && key == "|" && !track.empty()) {
            track.insert(track.end(), w.begin(), w.end());
            continue;
        }
        if (!flushTrack()) return false;

        if (key == "title") {
            song.title = line.substr(line.find("title") + 5);
            size_t a = song.title.find_first_not_of(" \t"), b = song.title.find_last_not_of(" \t\r");
            song.title = a == std::string::npos ? "" : song.title.substr(a, b - a + 1);
            if (song.title.size() > 20) return Fail("the title has more than 20 characters");
            section = kTop;
        } else if (key == "speed" && w.size() == 2) {
            if (!ParseInt(w[1], 1, 31, &song.speed, "speed")) return false;
        } else if (key == "bpm" && w.size() == 2) {
            if (!ParseInt(w[1], 32, 255, &song.bpm, "bpm")) return false;
        } else if (key == "bar" && w.size() == 2) {
            if (!ParseInt(w[1], 1, 256, &song.rowsPerBar, "rows per bar")) return false;
        } else if (key == "restart" && w.size() == 2) {
            if (!ParseInt(w[1], 0, 255, &song.restart, "restart position")) return false;
        } else if (key == "channels") {
            if (w.size() < 2 || w.size() > 33) return Fail("channels: 1 to 32 names");
            if (!song.patterns.empty()) return Fail("the channels line comes before the patterns");
            song.channels.assign(w.begin() + 1, w.end());
            for (size_t i = 0; i < song.channels.size(); ++i)
                for (size_t j = 0; j < i; ++j)
                    if (song.channels[i] != "-" && song.channels[i] == song.channels[j])
                        return Fail("channel %s named twice", song.channels[i].c_str());
            section = kTop;
        } else if (key == "order") {
            if (w.size() < 2 || w.size() > 257) return Fail("order: 1 to 256 pattern names");
            song.order.assign(w.begin() + 1, w.end());
            song.orderLine = g_line;
            section = kTop;
        } else if (key == "echo") {
            // echo SOURCE TARGET delay=ROWS scale=FACTOR instrument=NAME
            if (w.size() < 3) return Fail("echo SOURCE TARGET delay= scale= instrument=");
            Echo e;
            e.source = FindChannel(song, w[1]);
            e.target = FindChannel(song, w[2]);
            if (e.source < 0 || e.target < 0 || e.source == e.target) return Fail("echo needs two different named channels");
            std::map<std::string, std::string> o;
            if (!ParseOptions(w, 3, &o)) return false;
            if (!o.count("delay") || !o.count("scale") || !o.count("instrument")) return Fail("echo needs delay=, scale= and instrument=");
            if (!ParseInt(o["delay"], 1, 64, &e.delay, "echo delay")) return false;
            if (!ParseReal(o["scale"], 0.0, 1.0, &e.scale, "echo scale")) return false;
            e.instrument = FindInstrument(song, o["instrument"]);
            if (e.instrument < 0) return Fail("no instrument named '%s'", o["instrument"].c_str());
            song.echoes.push_back(e);
            section = kTop;
        } else if (key == "instrument") {
            // instrument NAME [like OTHER]
            if (w.size() != 2 && !(w.size() == 4 && w[2] == "like")) return Fail("instrument NAME [like OTHER]");
            if (FindInstrument(song, w[1]) >= 0) return Fail("instrument %s defined twice", w[1].c_str());
            if (song.instruments.size() == 128) return Fail("more than 128 instruments");
            Instrument ins;
            if (w.size() == 4) {
                int other = FindInstrument(song, w[3]);
                if (other < 0) return Fail("no instrument named '%s' to copy", w[3].c_str());
                ins = song.instruments[other];
            }
            ins.name = w[1];
            song.instruments.push_back(ins);
            section = kInstrument;
        } else if (key == "pattern") {
            // pattern NAME rows=N
            if (song.channels.empty()) return Fail("the channels line comes before the patterns");
            if (w.size() != 3 || w[2].compare(0, 5, "rows=") != 0) return Fail("pattern NAME rows=N");
            for (const Pattern& p : song.patterns)
                if (p.name == w[1]) return Fail("pattern %s defined twice", w[1].c_str());
            if (song.patterns.size() == 256) return Fail("more than 256 patterns");
            Pattern p;
            p.name = w[1];
            if (!ParseInt(w[2].substr(5), 1, 256, &p.rows, "rows")) return false;
            p.cells.resize((size_t)p.rows * song.channels.size());
            p.written.assign(song.channels.size(), false);
            song.patterns.push_back(p);
            section = kPattern;
        } else if (section == kInstrument) {
            if (!ParseInstrumentLine(w, &song.instruments.back())) return false;
        } else if (section == kPattern) {
            track = w;
            trackLine = g_line;
        } else {
            return Fail("unknown line '%s'", key.c_str());
        }
    }
    if (!flushTrack()) return false;
    g_line = 0;
    if (song.channels.empty()) return Fail("no channels line");
    if (song.order.empty()) return Fail("no order line");
    if (song.restart >= (int)song.order.size()) return Fail("restart %d is beyond the %d order entries", song.restart, (int)song.order.size());
    for (Pattern& p : song.patterns) ApplyEchoes(song, p);
    for (Instrument& ins : song.instruments)
        if (!SynthInstrument(&ins)) return false;
    g_line = 0;
    return true;
}

// ---- writing the XM ---------------------------------------------------------------------------------

xmw::Envelope ToEnvelope(const Envelope& e)
{
    xmw::Envelope out;
    for (int i = 0; i < e.count; ++i) out.points.push_back({e.x[i], e.y[i]});
    out.sustain = (uint8_t)(e.sustain < 0 ? 0 : e.sustain);
    out.loop_start = (uint8_t)(e.loopStart < 0 ? 0 : e.loopStart);
    out.loop_end = (uint8_t)(e.loopEnd < 0 ? 0 : e.loopEnd);
    if (e.count >= 2) out.type = (uint8_t)(1 | (e.sustain >= 0 ? 2 : 0) | (e.loopStart >= 0 ? 4 : 0));
    return out;
}

bool WriteXm(const Song& song, std::vector<uint8_t>* result)
{
    xmw::Module m;
    m.name = song.title;
    m.tracker = "Quietembers forge";
    m.channels = (int)song.channels.size();
    m.restart = (uint16_t)song.restart;
    m.flags = 1;                                      // linear frequency table
    m.speed = (uint16_t)song.speed;
    m.bpm = (uint16_t)song.bpm;
    m.orders.clear();
    g_line = song.orderLine;
    for (const std::string& name : song.order) {
        int found = -1;
        for (size_t i = 0; i < song.patterns.size(); ++i) if (song.patterns[i].name == name) found = (int)i;
        if (found < 0) return Fail("order names pattern '%s', which is not defined", name.c_str());
        m.orders.push_back((uint8_t)found);
    }
    g_line = 0;

    for (const Pattern& p : song.patterns) {
        xmw::Pattern out;
        out.rows = p.rows;
        out.coding = xmw::Coding::Mixed;
        for (const Cell& c : p.cells) out.cells.push_back({c.note, c.instrument, c.volume, c.effect, c.param});
        if (xmw::PackCells(out, m.channels).size() > 65535) return Fail("pattern %s packs to more than 64 KB", p.name.c_str());
        m.patterns.push_back(out);
    }

    for (const Instrument& ins : song.instruments) {
        xmw::Instrument out;                          // every key plays its one sample
        out.name = ins.name;
        out.volume = ToEnvelope(ins.vol);
        out.panning = ToEnvelope(ins.pan);
        out.vibrato_type = (uint8_t)ins.vibType;
        out.vibrato_sweep = (uint8_t)ins.vibSweep;
        out.vibrato_depth = (uint8_t)ins.vibDepth;
        out.vibrato_rate = (uint8_t)ins.vibRate;
        out.fadeout = (uint16_t)ins.fadeout;
        xmw::Sample s;
        s.bits = ins.bits16 ? 16 : 8;
        for (int16_t frame : ins.frames) s.frames.push_back(ins.bits16 ? frame : (int16_t)(frame >> 8));
        s.loop = ins.looped ? 1 : 0;
        s.loop_length = ins.looped ? (uint32_t)ins.frames.size() : 0;
        s.volume = (uint8_t)ins.volume;
        s.finetune = (int8_t)ins.finetune;
        s.panning = (uint8_t)ins.panning;
        s.relative_note = (int8_t)ins.relnote;
        s.name = ins.name;
        out.samples.push_back(s);
        m.instruments.push_back(out);
    }
    *result = xmw::Write(m);
    return true;
}

int Usage()
{
    fprintf(stderr, "usage: forge_music SCORE OUT.xm | forge_music --check SCORE FILE.xm\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) return Usage();
    bool check = argc == 4;
    if (check && strcmp(argv[1], "--check") != 0) return Usage();
    const char* scorePath = argv[check ? 2 : 1];
    const char* outPath = argv[check ? 3 : 2];
    g_scoreName = scorePath;

    Song song;
    std::vector<uint8_t> xm;
    if (!ReadScore(scorePath, &song) || !WriteXm(song, &xm)) return 1;

    if (check) {
        FILE* f = fopen(outPath, "rb");
        if (!f) { fprintf(stderr, "forge_music: %s: cannot open\n", outPath); return 1; }
        std::vector<uint8_t> old;
        int c;
        while ((c = fgetc(f)) != EOF) old.push_back((uint8_t)c);
        fclose(f);
        size_t same = 0;
        while (same < old.size() && same < xm.size() && old[same] == xm[same]) ++same;
        if (same != old.size() || same != xm.size()) {
            fprintf(stderr, "forge_music: %s differs from what %s makes (%zu and %zu bytes, first difference at byte %zu)\n",
                    outPath, scorePath, old.size(), xm.size(), same);
            return 1;
        }
        return 0;
    }

    FILE* f = fopen(outPath, "wb");
    if (!f) { fprintf(stderr, "forge_music: %s: cannot create\n", outPath); return 1; }
    bool ok = fwrite(xm.data(), 1, xm.size(), f) == xm.size();
    ok = fclose(f) == 0 && ok;
    if (!ok) { fprintf(stderr, "forge_music: %s: write failed\n", outPath); return 1; }
    printf("%s: %zu bytes, %zu patterns, %zu instruments, %zu order entries\n", outPath, xm.size(),
           song.patterns.size(), song.instruments.size(), song.order.size());
    return 0;
}
