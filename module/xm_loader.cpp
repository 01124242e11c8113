// module/xm_loader.cpp -- reads a FastTracker 2 XM module through the module stream into the module
// half of a PlayerState, converting every sample to 16-bit frames; and releases it again. It knows
// nothing of the player or the sound: player_load and player_free build on xm_load and xm_free.
// Portable; runs on the main thread at start-up (and in xmtool, the tests and the fuzzer).
//
// The loader checks before it trusts: every read must deliver all its bytes, and every count that
// sizes an allocation or an index the player follows is checked against the tables it indexes and
// the bytes the file actually holds. A file that fails a check is rejected (xm_parse returns false,
// xm_load frees everything); a few harmless inconsistencies are clamped instead (see the
// comments at each check). A file within the format's limits loads exactly as written.
#include "module/xm_loader.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/heap.h"
#include "module/stream.h"

Instrument empty_instrument;
Sample     empty_sample;

static char    g_xmError[200];          // reason for the last rejection, "" after a success
static int32_t g_xmErrorOffset = -1;    // byte offset it names, -1 when none

const char* xm_last_error() { return g_xmError; }
int32_t     xm_last_error_offset() { return g_xmErrorOffset; }

struct XmReader {
    ModuleStream* stream;
    int32_t       size;         // bytes in the file
    char          where[48];    // what is being read, for the rejection text: "pattern 3"...
};

static bool fail(XmReader* r, int32_t offset, const char* fmt, ...)
{
    char what[150];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(what, sizeof what, fmt, ap);
    va_end(ap);
    snprintf(g_xmError, sizeof g_xmError, "%s: %s", r->where, what);
    g_xmErrorOffset = offset;
    return false;
}

// All count bytes, or a rejection naming where the file ends.
static bool read_exact(XmReader* r, void* buffer, int32_t count, const char* what)
{
    int32_t at = stream_tell(r->stream);
    int32_t got = stream_read(buffer, count, r->stream);
    if (got == count) return true;
    if (got < 0) got = 0;
    return fail(r, at + got, "truncated: file ends at byte %d in the %s (%d bytes from byte %d)", at + got, what,
                count, at);
}

// Skips count bytes forward; the file must hold them.
static bool skip_exact(XmReader* r, int32_t count, const char* what)
{
    int32_t at = stream_tell(r->stream);
    stream_seek(r->stream, count, 1);
    if (stream_tell(r->stream) - at == count) return true;
    return fail(r, r->size, "truncated: file ends at byte %d in the %s (%d bytes from byte %d)", r->size, what, count,
                at);
}

// Seeks to an absolute position computed from file fields; a position past the end stops at the end
// (the next read then reports the truncation, if anything more is needed).
static void seek_to(XmReader* r, int64_t position)
{
    if (position > r->size) position = r->size;
    if (position < 0) position = 0;
    stream_seek(r->stream, static_cast<int32_t>(position), 0);
}

static uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
static uint32_t le32(const uint8_t* p) { return le16(p) | static_cast<uint32_t>(le16(p + 2)) << 16; }

// Decodes rows x channels cells from the packed bytes; false when they need more than `available`
// bytes. *used receives the bytes the cells took.
static bool decode_cells(PatternCell* cells, int32_t count, const uint8_t* data, int32_t available, int32_t* used)
{
    int32_t k = 0;
    for (int32_t i = 0; i < count; i++) {
        uint8_t f[5] = {0, 0, 0, 0, 0};  // note, instrument, volume, effect, param
        if (k >= available) return false;
        uint8_t b = data[k++];
        if (b & 0x80) {
            for (int bit = 0; bit < 5; bit++) {
                if (!(b & (1 << bit))) continue;
                if (k >= available) return false;
                f[bit] = data[k++];
            }
        } else {
            if (available - k < 4) return false;
            f[0] = b;
            memcpy(f + 1, data + k, 4);
            k += 4;
        }
        // 97 is key off. 98..254 name keys beyond the 96 the instruments map: no note. 255 is kept
        // (it is how key off is stored).
        if (f[0] == 97) {
            f[0] = 255;
        } else if (f[0] > 97 && f[0] < 255) {
            f[0] = 0;
        }
        if (f[1] > 128) f[1] = 0;
        cells[i] = PatternCell{f[0], f[1], f[2], f[3], f[4]};
    }
    *used = k;
    return true;
}

static bool read_patterns(XmReader* r, PlayerState* p, int32_t stored)
{
    const int32_t channels = p->channel_count;
    for (int32_t i = 0; i < stored; i++) {
        snprintf(r->where, sizeof r->where, "pattern %d", i);
        const int32_t at = stream_tell(r->stream);
        uint8_t h[9];
        // Header length (a 9-byte header is assumed), packing type (always 0), rows, packed size.
        if (!read_exact(r, h, 9, "pattern header")) return false;
        const int32_t rows = le16(h + 5);
        const int32_t packed = le16(h + 7);
        if (rows < 1 || rows > XM_MAX_ROWS) return fail(r, at + 5, "row count %d at byte %d not in 1..256", rows, at + 5);
        Pattern* pat = &p->patterns[i];
        pat->rows = rows;
        // MemAlloc's blocks come zero-filled (clearing them again would touch every page of a
        // table that a few header bytes can make megabytes long).
        pat->cells = static_cast<PatternCell*>(MemAlloc(static_cast<size_t>(rows) * channels * sizeof(PatternCell)));
        if (packed == 0) continue;  // stored empty: all cells 0

        // The cells are decoded from a copy of the packed bytes. They end where the last cell ends
        // (the packed size only tells an empty pattern from a packed one), and may not run past it.
        const int32_t data_at = at + 9;
        uint8_t* data = static_cast<uint8_t*>(MemAlloc(static_cast<size_t>(packed)));
        int32_t got = stream_read(data, packed, r->stream);
        if (got < 0) got = 0;
        int32_t used = 0;
        bool ok = decode_cells(pat->cells, rows * channels, data, got, &used);
        MemFree(data);
        if (!ok) {
            if (got < packed) {
                return fail(r, data_at + got, "truncated: file ends at byte %d in the cells (%d packed bytes from byte %d)",
                            data_at + got, packed, data_at);
            }
            return fail(r, data_at + packed, "cells run past the packed size of %d bytes (data from byte %d)", packed,
                        data_at);
        }
        stream_seek(r->stream, data_at + used, 0);
    }
    // Patterns that the order table plays but the file does not hold: 64 empty rows each.
    for (int32_t i = stored; i < p->patterns_used; i++) {
        p->patterns[i].rows = 64;
        p->patterns[i].cells = static_cast<PatternCell*>(MemAlloc(static_cast<size_t>(64) * channels * sizeof(PatternCell)));
    }
    return true;
}

static void read_points(EnvelopePoint* points, const uint8_t* b)
{
    for (int i = 0; i < 12; i++) points[i] = EnvelopePoint{le16(b + i * 4), le16(b + i * 4 + 2)};
}

// Sustain and loop indices beyond the last point are clamped to it, so the player never follows an
// index out of the point table.
static void clamp_envelope(uint8_t count, uint8_t* sustain, uint8_t* loop_start, uint8_t* loop_end)
{
    const uint8_t last = count > 0 ? static_cast<uint8_t>(count - 1) : 0;
    if (*sustain > last) *sustain = last;
    if (*loop_start > last) *loop_start = last;
    if (*loop_end > last) *loop_end = last;
}

static bool read_sample_data(XmReader* r, PlayerState* p, Sample* s, int32_t instrument, int32_t index)
{
    snprintf(r->where, sizeof r->where, "sample %d of instrument %d", index, instrument);
    if (s->length == 0) return true;
    const int32_t length = s->length;
    const int32_t bytes = s->bits == 16 ? length * 2 : length;
    // 8-bit bytes are placed in the upper half of the frame buffer and widened front to back: frame
    // i overwrites bytes 2i and 2i+1, never a byte that a later frame still has to read.
    uint8_t* raw = reinterpret_cast<uint8_t*>(s->data);
    uint8_t* dest = s->bits == 16 ? raw : raw + length;
    if (p->sample_provider) {
        p->sample_provider(dest, bytes, s->bits, instrument, index);
        if (!skip_exact(r, bytes, "sample data")) return false;
    } else if (!read_exact(r, dest, bytes, "sample data")) {
        return false;
    }
    int16_t* frames = s->data;
    if (s->bits == 8) {
        for (int32_t i = 0; i < length; i++) frames[i] = static_cast<int16_t>(static_cast<uint16_t>(dest[i] << 8));
        s->bits = 16;
    } else if (!p->sample_provider) {
        for (int32_t i = 0; i < length; i++) frames[i] = static_cast<int16_t>(le16(raw + i * 2));
    }
    if (!p->sample_provider) {
        uint16_t sum = 0;
        for (int32_t i = 0; i < length; i++) {
            sum = static_cast<uint16_t>(sum + static_cast<uint16_t>(frames[i]));
            frames[i] = static_cast<int16_t>(sum);
        }
    }
    // The frame after the loop is what the mixer interpolates towards at the loop's end.
    const int32_t end = s->loop_start + s->loop_length;
    if (s->loop_type == LOOP_FORWARD) frames[end] = frames[s->loop_start];
    if (s->loop_type == LOOP_PINGPONG) frames[end] = frames[end - 1];
    return true;
}

// Header size, name, type and sample count: what every instrument holds, with or without samples.
enum { XM_INSTRUMENT_MIN_BYTES = 29 };

static bool read_instrument(XmReader* r, PlayerState* p, int32_t j)
{
    snprintf(r->where, sizeof r->where, "instrument %d", j);
    Instrument* ins = &p->instruments[j];
    const int32_t start = stream_tell(r->stream);
    uint8_t b[212];
    if (!read_exact(r, b, 4, "instrument header size")) return false;
    const int64_t header_end = int64_t{start} + le32(b);
    if (!skip_exact(r, 23, "instrument name and type")) return false;
    if (!read_exact(r, b, 2, "sample count")) return false;
    const int32_t count = le16(b);
    if (count > XM_MAX_SAMPLES) return fail(r, start + 27, "%d samples at byte %d, at most 16", count, start + 27);
    ins->sample_count = count;
    for (int k = 0; k < 16; k++) ins->samples[k] = nullptr;
    if (count == 0) {
        for (int k = 0; k < 16; k++) ins->samples[k] = &empty_sample;
        // The instrument ends no earlier than the fields just read: a header size below them would
        // make the next instrument read this one's bytes again (and let 29 bytes of file stand for
        // any number of instruments).
        seek_to(r, header_end > start + XM_INSTRUMENT_MIN_BYTES ? header_end : start + XM_INSTRUMENT_MIN_BYTES);
        return true;
    }

    // Sample header size (40 assumed), keymap, both envelopes' points, then the 16 bytes from the
    // point counts to the fadeout.
    const int32_t ext_at = stream_tell(r->stream);
    if (!read_exact(r, b, 212, "instrument header")) return false;
    memcpy(ins->keymap, b + 4, 96);
    read_points(ins->volume_points, b + 100);
    read_points(ins->panning_points, b + 148);
    const uint8_t* e = b + 196;
    ins->volume_point_count = e[0];
    ins->panning_point_count = e[1];
    ins->volume_sustain = e[2];
    ins->volume_loop_start = e[3];
    ins->volume_loop_end = e[4];
    ins->panning_sustain = e[5];
    ins->panning_loop_start = e[6];
    ins->panning_loop_end = e[7];
    ins->volume_type = e[8];
    ins->panning_type = e[9];
    ins->vibrato_type = e[10];
    ins->vibrato_sweep = e[11];
    ins->vibrato_depth = e[12];
    ins->vibrato_rate = e[13];
    ins->volume_fadeout = static_cast<uint16_t>(le16(e + 14) << 1);
    if (ins->volume_point_count > XM_MAX_ENVELOPE_POINTS)
        return fail(r, ext_at + 196, "%d volume envelope points at byte %d, at most 12", ins->volume_point_count, ext_at + 196);
    if (ins->panning_point_count > XM_MAX_ENVELOPE_POINTS)
        return fail(r, ext_at + 197, "%d panning envelope points at byte %d, at most 12", ins->panning_point_count, ext_at + 197);
    if (ins->volume_point_count < 2) ins->volume_type = 0;
    if (ins->panning_point_count < 2) ins->panning_type = 0;
    clamp_envelope(ins->volume_point_count, &ins->volume_sustain, &ins->volume_loop_start, &ins->volume_loop_end);
    clamp_envelope(ins->panning_point_count, &ins->panning_sustain, &ins->panning_loop_start, &ins->panning_loop_end);
    seek_to(r, header_end);

    // The sample data follows the last sample header; all of it must fit in the rest of the file
    // before anything is allocated for it.
    const int64_t data_at = int64_t{stream_tell(r->stream)} + int64_t{40} * count;
    const int64_t data_room = r->size - data_at;
    int64_t data_bytes = 0;
    for (int32_t k = 0; k < count; k++) {
        snprintf(r->where, sizeof r->where, "sample %d of instrument %d", k, j);
        const int32_t at = stream_tell(r->stream);
        uint8_t h[40];
        if (!read_exact(r, h, 40, "sample header")) return false;
        Sample* s = static_cast<Sample*>(MemCalloc(1, sizeof(Sample)));
        ins->samples[k] = s;
        uint32_t length = le32(h);  // bytes until converted below
        uint32_t loop_start = le32(h + 4);
        uint32_t loop_length = le32(h + 8);
        s->volume = h[12];
        s->finetune = static_cast<int8_t>(h[13]);
        s->loop_type = LOOP_NONE;
        s->bits = 8;
        const uint8_t type = h[14];
        if (type & 1) s->loop_type = LOOP_FORWARD;
        if (type & 2) s->loop_type = LOOP_PINGPONG;
        if (type & 0x10) s->bits = 16;
        s->panning = h[15];
        s->relative_note = static_cast<int8_t>(h[16]);
        if (s->loop_type == LOOP_NONE) {
            loop_start = 0;
            loop_length = length;
        }
        if (s->bits == 16) {
            length /= 2;
            loop_start /= 2;
            loop_length /= 2;
        }
        if (loop_length == 0) {
            loop_start = 0;
            loop_length = length;
            s->loop_type = LOOP_NONE;
        }
        const int64_t bytes = s->bits == 16 ? int64_t{length} * 2 : int64_t{length};
        data_bytes += bytes;
        if (data_bytes > data_room) {
            return fail(r, r->size, "truncated: sample data would end at byte %lld, file ends at byte %d (length %u in the header at byte %d)",
                        static_cast<long long>(data_at + data_bytes), r->size, le32(h), at);
        }
        // A loop must end inside the sample: one that starts past the end plays as no loop, one
        // that runs past the end is shortened to end there.
        if (s->loop_type != LOOP_NONE) {
            if (loop_start >= length) {
                loop_start = 0;
                loop_length = length;
                s->loop_type = LOOP_NONE;
            } else if (uint64_t{loop_start} + loop_length > length) {
                loop_length = length - loop_start;
            }
        }
        s->length = static_cast<int32_t>(length);
        s->loop_start = static_cast<int32_t>(loop_start);
        s->loop_length = static_cast<int32_t>(loop_length);
        if (length != 0) s->data = static_cast<int16_t*>(MemAlloc(size_t{length} * 2 + 16));
    }
    for (int32_t k = count; k < 16; k++) ins->samples[k] = &empty_sample;
    for (int32_t k = 0; k < count; k++) {
        if (!read_sample_data(r, p, ins->samples[k], j, k)) return false;
    }
    return true;
}

bool xm_parse(PlayerState* player, ModuleStream* stream)
{
    XmReader reader;
    XmReader* r = &reader;
    r->stream = stream;
    snprintf(r->where, sizeof r->where, "header");
    g_xmError[0] = 0;
    g_xmErrorOffset = -1;

    // The file's size bounds every count that sizes an allocation.
    stream_seek(stream, 0, 2);
    r->size = stream_tell(stream);
    stream_seek(stream, 0, 0);

    uint8_t b[264];
    if (stream_read(b, 17, stream) != 17 || memcmp(b, "Extended Module: ", 17) != 0) {
        return fail(r, 0, "not an XM module (no \"Extended Module: \" at byte 0)");
    }
    player->initial_global_volume = 64;

    stream_seek(stream, 60, 0);
    if (!read_exact(r, b, 12, "header")) return false;
    const uint32_t header_size = le32(b);
    const int32_t song_length = le16(b + 4);
    const int32_t restart = le16(b + 6);
    const int32_t channels = le16(b + 8);
    const int32_t stored = le16(b + 10);
    if (song_length > XM_MAX_ORDERS) return fail(r, 64, "song length %d at byte 64, at most 256", song_length);
    if (channels < 1 || channels > XM_MAX_CHANNELS) return fail(r, 68, "channel count %d at byte 68 not in 1..32", channels);
    if (stored > XM_MAX_PATTERNS) return fail(r, 70, "pattern count %d at byte 70, at most 256", stored);
    player->song_length = static_cast<int16_t>(song_length);
    // A restart beyond the song would send the sequencer past the played order entries: it restarts
    // at the first entry instead.
    player->restart_position = static_cast<int16_t>(restart < song_length ? restart : 0);
    player->channel_count = static_cast<int16_t>(channels);

    if (!read_exact(r, b, 264, "header")) return false;
    const int32_t instruments = le16(b);
    if (instruments > 32767) return fail(r, 72, "instrument count %d at byte 72, at most 32767", instruments);
    player->instrument_count = static_cast<int16_t>(instruments);
    player->flags = le16(b + 2);
    player->default_speed = static_cast<int16_t>(le16(b + 4));
    player->default_bpm = static_cast<int16_t>(le16(b + 6));
    memcpy(player->order_table, b + 8, 256);
    seek_to(r, int64_t{60} + header_size);

    int32_t used = 0;
    for (int32_t i = 0; i < song_length; i++) {
        if (player->order_table[i] + 1 > used) used = player->order_table[i] + 1;
    }
    player->patterns_used = used;
    player->patterns = static_cast<Pattern*>(MemCalloc(static_cast<size_t>(stored > used ? stored : used), sizeof(Pattern)));
    player->pattern_slots = stored > used ? stored : used;
    if (!read_patterns(r, player, stored)) return false;

    // Every instrument takes at least its first 29 bytes of the file (an instrument with samples
    // takes more), so the rest of the file must hold that much before the table is allocated.
    snprintf(r->where, sizeof r->where, "instruments");
    const int32_t instruments_at = stream_tell(stream);
    const int64_t least = int64_t{instruments} * XM_INSTRUMENT_MIN_BYTES;
    if (least > r->size - instruments_at) {
        return fail(r, r->size, "truncated: %d instruments need at least %lld bytes from byte %d, file ends at byte %d",
                    instruments, static_cast<long long>(least), instruments_at, r->size);
    }
    player->instruments = static_cast<Instrument*>(MemAlloc(static_cast<size_t>(instruments) * sizeof(Instrument)));
    for (int32_t j = 0; j < instruments; j++) {
        if (!read_instrument(r, player, j)) return false;
    }
    return true;
}

PlayerState* xm_load(const void* name, SampleProvider provider)
{
    PlayerState* player = static_cast<PlayerState*>(MemCalloc(1, sizeof(PlayerState)));
    ModuleStream* stream = stream_open(name);
    if (!stream) {
        MemFree(player);
        return nullptr;
    }
    player->sample_provider = provider;
    const bool ok = xm_parse(player, stream);
    stream_close(stream);
    if (!ok) {
        xm_free(player);
        return nullptr;
    }
    return player;
}

void xm_free(PlayerState* player)
{
    // A failed load leaves a partly filled record: tables not yet allocated are null, sample slots
    // not yet reached are null.
    if (player->instruments) {
        for (int32_t j = 0; j < player->instrument_count; j++) {
            Instrument* ins = &player->instruments[j];
            for (int32_t k = 0; k < ins->sample_count && k < 16; k++) {
                Sample* s = ins->samples[k];
                if (!s || s == &empty_sample) continue;
                if (s->data) MemFree(s->data);
                MemFree(s);
            }
        }
        MemFree(player->instruments);
        player->instruments = nullptr;
    }
    if (player->patterns) {
        for (int32_t i = 0; i < player->pattern_slots; i++) {
            if (player->patterns[i].cells) MemFree(player->patterns[i].cells);
        }
        MemFree(player->patterns);
        player->patterns = nullptr;
    }
    MemFree(player);
}
