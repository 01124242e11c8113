// tools/xm_writer/xm_writer.h -- builds XM modules in memory, a few cells at a time: the forge's
// music and the tests' modules. Native; writes what FastTracker 2 writes: the 60-byte preamble, a 276-byte header, 9-byte pattern headers,
// 263-byte instrument headers (29 bytes for an instrument without samples), 40-byte sample headers
// and delta-coded sample data. Everything a test may want to break afterwards has its byte offset in
// Layout, so a test makes a malformed file by patching or cutting a valid image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace xmw {

struct Cell {
    uint8_t note = 0;           // as in the file: 1..96 keys, 97 key off
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
};

enum class Coding {
    Packed,     // every cell starts with a mask byte (0x80 | fields present), even an empty one
    Unpacked,   // every cell is five plain bytes (note byte below 0x80)
    Mixed,      // FastTracker 2's habit: five plain bytes when all five fields are set, else packed
};

struct Pattern {
    int rows = 64;
    std::vector<Cell> cells;    // rows x channels, row by row; shorter: the rest are empty
    Coding coding = Coding::Packed;
    bool store_empty = false;   // write packed size 0 and no data (cells ignored)
    std::vector<uint8_t> raw;   // when not empty: written verbatim as the packed data

    Cell& at(int row, int channel, int channels);  // grows cells as needed
};

struct EnvPoint {
    uint16_t x, y;
};

struct Envelope {
    std::vector<EnvPoint> points;   // at most 12 are written unless count_override says more
    uint8_t sustain = 0;
    uint8_t loop_start = 0;
    uint8_t loop_end = 0;
    uint8_t type = 0;               // bit 0 on, bit 1 sustain, bit 2 loop
    int count_override = -1;        // >= 0: written as the point count instead of points.size()
};

struct Sample {
    int bits = 8;                   // 8 or 16
    std::vector<int16_t> frames;    // plain PCM: -128..127 for 8-bit, int16 for 16-bit; delta-coded on write
    uint32_t loop_start = 0;        // frames (converted to bytes on write)
    uint32_t loop_length = 0;       // frames
    uint8_t loop = 0;               // type bits 0..1: 0 none, 1 forward, 2 ping-pong, 3 both
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relative_note = 0;
    std::string name;
    int64_t length_bytes_override = -1;  // >= 0: header's length field; the data written is unchanged
};

struct Instrument {
    std::string name;
    std::vector<Sample> samples;    // 0..16 normally; more makes a file the loader must reject
    uint8_t keymap[96] = {};
    Envelope volume;
    Envelope panning;
    uint8_t vibrato_type = 0;
    uint8_t vibrato_sweep = 0;
    uint8_t vibrato_depth = 0;
    uint8_t vibrato_rate = 0;
    uint16_t fadeout = 0;           // as in the file (the loader doubles it)
};

struct Module {
    std::string name = "test";
    std::string tracker = "xm_writer";  // the file's tracker name (20 bytes, zero-padded)
    int channels = 4;
    std::vector<uint8_t> orders = {0};
    int song_length = -1;           // < 0: orders.size()
    uint16_t restart = 0;
    uint16_t flags = 1;             // bit 0 linear frequency table
    uint16_t speed = 6;
    uint16_t bpm = 125;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
    int stored_pattern_override = -1;   // >= 0: header's pattern count (patterns written unchanged)
};

struct Layout {
    int32_t header_size_at = 60;            // the uint32 header size
    int32_t song_length_at = 64;
    int32_t channels_at = 68;
    int32_t pattern_count_at = 70;
    int32_t instrument_count_at = 72;
    int32_t orders_at = 80;
    std::vector<int32_t> pattern_at;        // each pattern header
    std::vector<int32_t> pattern_data_at;   // each pattern's packed data
    std::vector<int32_t> instrument_at;     // each instrument header
    std::vector<std::vector<int32_t>> sample_header_at;  // per instrument, each 40-byte sample header
    std::vector<std::vector<int32_t>> sample_data_at;    // per instrument, each sample's data
    int32_t size = 0;
};

// The file's bytes. layout (optional) receives the offsets above.
std::vector<uint8_t> Write(const Module& m, Layout* layout = nullptr);
bool WriteFile(const Module& m, const std::string& path);  // false when the file cannot be written

// Packs one pattern's cells as Write does (for tests that build raw data around them).
std::vector<uint8_t> PackCells(const Pattern& p, int channels);

// Little-endian patches into an image.
void Put16(std::vector<uint8_t>& image, int32_t at, uint16_t v);
void Put32(std::vector<uint8_t>& image, int32_t at, uint32_t v);

}  // namespace xmw
