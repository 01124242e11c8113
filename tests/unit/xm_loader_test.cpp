// The XM loader: what a module built with the test writer becomes in memory, the corner cases of the
// format, the sample provider, and the rejection (without leaks) of every kind of malformed file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "base/heap.h"
#include "module/stream.h"
#include "module/xm_loader.h"
#include "player/player.h"
#include "support/xm_modules.h"

namespace {

PlayerState* Load(const std::vector<uint8_t>& image, SampleProvider provider = nullptr)
{
    memory_serve_image(image.data(), static_cast<int32_t>(image.size()));
    return player_load(nullptr, provider);
}

// Loads and frees, and demands that nothing stays allocated either way.
class XmLoader : public ::testing::Test {
protected:
    void SetUp() override { blocks_ = MemLiveBlocks(); }
    void TearDown() override
    {
        if (player_) player_free(player_);
        EXPECT_EQ(MemLiveBlocks(), blocks_);
    }
    PlayerState* LoadOk(const xmw::Module& m)
    {
        image_ = xmw::Write(m);
        player_ = Load(image_);
        EXPECT_NE(player_, nullptr) << xm_last_error();
        return player_;
    }
    int32_t blocks_ = 0;
    PlayerState* player_ = nullptr;
    std::vector<uint8_t> image_;
};

}  // namespace

TEST_F(XmLoader, DemoModuleLoadsAsWritten)
{
    const xmw::Module m = xmw::Demo();
    PlayerState* p = LoadOk(m);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->song_length, 3);
    EXPECT_EQ(p->restart_position, 1);
    EXPECT_EQ(p->channel_count, 4);
    EXPECT_EQ(p->patterns_used, 2);
    EXPECT_EQ(p->pattern_slots, 2);
    EXPECT_EQ(p->instrument_count, 3);
    EXPECT_EQ(p->flags, 1);
    EXPECT_EQ(p->default_speed, 6);
    EXPECT_EQ(p->default_bpm, 125);
    EXPECT_EQ(p->order_table[2], 0);
    EXPECT_EQ(p->order_table[1], 1);
    EXPECT_EQ(p->initial_global_volume, 64);
    EXPECT_EQ(p->tick_callback, &player_tick);
    EXPECT_EQ(p->sample_provider, nullptr);
    EXPECT_EQ(p->global_volume, 0);  // playback fields are playback start's business

    // Cells, packed and mixed, with the key-off stored as 255.
    for (int pi = 0; pi < 2; pi++) {
        const xmw::Pattern& wp = m.patterns[pi];
        ASSERT_EQ(p->patterns[pi].rows, wp.rows);
        for (int i = 0; i < wp.rows * 4; i++) {
            xmw::Cell c = i < static_cast<int>(wp.cells.size()) ? wp.cells[i] : xmw::Cell{};
            const PatternCell& got = p->patterns[pi].cells[i];
            EXPECT_EQ(got.note, c.note == 97 ? 255 : c.note) << pi << ":" << i;
            EXPECT_EQ(got.instrument, c.instrument);
            EXPECT_EQ(got.volume, c.volume);
            EXPECT_EQ(got.effect, c.effect);
            EXPECT_EQ(got.param, c.param);
        }
    }
    EXPECT_EQ(p->patterns[0].cells[4 * 4 + 2].note, 255);

    // An instrument without samples: every slot is the shared empty sample.
    const Instrument& none = p->instruments[0];
    EXPECT_EQ(none.sample_count, 0);
    for (Sample* s : none.samples) EXPECT_EQ(s, &empty_sample);

    // Envelopes, fadeout doubled, auto-vibrato.
    const Instrument& lead = p->instruments[1];
    EXPECT_EQ(lead.volume_point_count, 4);
    EXPECT_EQ(lead.volume_points[1].x, 8);
    EXPECT_EQ(lead.volume_points[1].y, 48);
    EXPECT_EQ(lead.volume_points[3].x, 40);
    EXPECT_EQ(lead.volume_sustain, 1);
    EXPECT_EQ(lead.volume_loop_start, 1);
    EXPECT_EQ(lead.volume_loop_end, 2);
    EXPECT_EQ(lead.volume_type, 7);
    EXPECT_EQ(lead.panning_point_count, 3);
    EXPECT_EQ(lead.panning_points[2].y, 64);
    EXPECT_EQ(lead.panning_loop_end, 2);
    EXPECT_EQ(lead.panning_type, 5);
    EXPECT_EQ(lead.volume_fadeout, 0x800);
    const Instrument& bass = p->instruments[2];
    EXPECT_EQ(bass.vibrato_type, 1);
    EXPECT_EQ(bass.vibrato_sweep, 10);
    EXPECT_EQ(bass.vibrato_depth, 8);
    EXPECT_EQ(bass.vibrato_rate, 20);
    EXPECT_EQ(bass.keymap[47], 0);
    EXPECT_EQ(bass.keymap[48], 1);
    EXPECT_EQ(bass.sample_count, 2);
    for (int k = 2; k < 16; k++) EXPECT_EQ(bass.samples[k], &empty_sample);

    // 8-bit forward loop: frames are the bytes x 256, the frame after the loop repeats its start,
    // the guard frames after it are zero.
    const Sample* tri = lead.samples[0];
    const xmw::Sample& wtri = m.instruments[1].samples[0];
    EXPECT_EQ(tri->length, 64);
    EXPECT_EQ(tri->loop_start, 16);
    EXPECT_EQ(tri->loop_length, 48);
    EXPECT_EQ(tri->loop_type, 2);
    EXPECT_EQ(tri->bits, 16);
    EXPECT_EQ(tri->volume, 48);
    EXPECT_EQ(tri->finetune, -16);
    EXPECT_EQ(tri->panning, 100);
    EXPECT_EQ(tri->relative_note, 12);
    for (int i = 0; i < 64; i++) ASSERT_EQ(tri->data[i], wtri.frames[i] * 256) << i;
    EXPECT_EQ(tri->data[64], tri->data[16]);
    for (int i = 65; i < 72; i++) EXPECT_EQ(tri->data[i], 0);

    // 16-bit ping-pong: the frame after the loop repeats the loop's last frame.
    const Sample* saw = bass.samples[0];
    const xmw::Sample& wsaw = m.instruments[2].samples[0];
    EXPECT_EQ(saw->length, 100);
    EXPECT_EQ(saw->loop_start, 10);
    EXPECT_EQ(saw->loop_length, 90);
    EXPECT_EQ(saw->loop_type, 4);
    EXPECT_EQ(saw->relative_note, -12);
    for (int i = 0; i < 100; i++) ASSERT_EQ(saw->data[i], wsaw.frames[i]) << i;
    EXPECT_EQ(saw->data[100], saw->data[99]);

    // Without a loop: the whole length, and zeros after the end.
    const Sample* click = bass.samples[1];
    EXPECT_EQ(click->loop_type, 1);
    EXPECT_EQ(click->loop_start, 0);
    EXPECT_EQ(click->loop_length, 5);
    EXPECT_EQ(click->data[0], 127 * 256);
    EXPECT_EQ(click->data[1], -128 * 256);
    for (int i = 5; i < 13; i++) EXPECT_EQ(click->data[i], 0);
}

TEST_F(XmLoader, OrderTableBeyondTheStoredPatternsAddsEmptyPatterns)
{
    xmw::Module m;
    m.channels = 3;
    m.orders = {0, 6, 9, 2};
    m.song_length = 3;  // the 2 after the played entries does not count
    for (int i = 0; i < 7; i++) {
        xmw::Pattern p;
        p.rows = 20;
        p.at(0, 0, 3) = {1, 1, 0, 0, 0};
        m.patterns.push_back(p);
    }
    PlayerState* p = LoadOk(m);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->patterns_used, 10);
    EXPECT_EQ(p->pattern_slots, 10);
    EXPECT_EQ(p->patterns[6].rows, 20);
    EXPECT_EQ(p->patterns[6].cells[0].note, 1);
    for (int i = 7; i < 10; i++) {
        ASSERT_EQ(p->patterns[i].rows, 64);
        for (int c = 0; c < 64 * 3; c++) ASSERT_EQ(p->patterns[i].cells[c].note, 0);
    }
}

TEST_F(XmLoader, StoredPatternsBeyondTheOrderTableAreKept)
{
    xmw::Module m;
    m.orders = {0};
    m.patterns.resize(3);
    m.patterns[2].rows = 5;
    PlayerState* p = LoadOk(m);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->patterns_used, 1);
    EXPECT_EQ(p->pattern_slots, 3);
    EXPECT_EQ(p->patterns[2].rows, 5);
}

// One sample header, and what the loader makes of it.
TEST_F(XmLoader, SampleHeaders)
{
    struct Case {
        const char* what;
        int bits, frames;
        uint8_t loop;
        uint32_t loop_start, loop_length;   // frames as written
        int32_t length, start, len;         // as loaded
        uint8_t type;
    } cases[] = {
        {"16-bit, 200 bytes", 16, 100, 0, 0, 0, 100, 0, 100, 1},
        {"forward loop of length 0", 8, 50, 1, 10, 0, 50, 0, 50, 1},
        {"type bits 3: ping-pong", 8, 50, 3, 10, 20, 50, 10, 20, 4},
        {"16-bit forward loop", 16, 64, 1, 8, 32, 64, 8, 32, 2},
        {"no loop ignores loop fields", 8, 30, 0, 5, 5, 30, 0, 30, 1},
        {"loop running past the end is shortened", 8, 40, 1, 30, 50, 40, 30, 10, 2},
        {"loop starting at the end plays as none", 16, 40, 2, 40, 5, 40, 0, 40, 1},
        {"loop starting past the end plays as none", 8, 40, 1, 1000, 5, 40, 0, 40, 1},
        {"empty sample", 8, 0, 1, 0, 0, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        xmw::Sample s = Ramp(c.bits, c.frames);
        s.loop = c.loop;
        s.loop_start = c.loop_start;
        s.loop_length = c.loop_length;
        int32_t before = MemLiveBlocks();
        PlayerState* p = Load(xmw::Write(OneSample(s)));
        ASSERT_NE(p, nullptr) << c.what << ": " << xm_last_error();
        const Sample* got = p->instruments[0].samples[0];
        EXPECT_EQ(got->length, c.length) << c.what;
        EXPECT_EQ(got->loop_start, c.start) << c.what;
        EXPECT_EQ(got->loop_length, c.len) << c.what;
        EXPECT_EQ(got->loop_type, c.type) << c.what;
        EXPECT_EQ(got->bits, c.length ? 16 : c.bits) << c.what;  // an empty sample keeps its bits as read
        if (c.length == 0) {
            EXPECT_EQ(got->data, nullptr) << c.what;
        } else {
            // Every frame as written, but the frame after the loop continues the loop (even inside
            // the sample: playback never passes the loop's end); the rest stays zero.
            const int32_t end = c.start + c.len;
            for (int i = 0; i < c.length; i++) {
                if (i == end && c.type != 1) continue;
                EXPECT_EQ(got->data[i], c.bits == 16 ? s.frames[i] : s.frames[i] * 256) << c.what << " frame " << i;
            }
            int16_t next = 0;
            if (c.type == 2) next = got->data[c.start];
            if (c.type == 4) next = got->data[end - 1];
            if (c.type != 1 || end == c.length) {
                EXPECT_EQ(got->data[end], next) << c.what;
            }
            for (int i = c.length + 1; i < c.length + 8; i++) EXPECT_EQ(got->data[i], 0) << c.what;
        }
        player_free(p);
        EXPECT_EQ(MemLiveBlocks(), before) << c.what;
    }
}

TEST_F(XmLoader, CellBytes)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> data;  // one cell, one channel
        PatternCell cell;
    } cases[] = {
        {"mask 0x83: note and instrument only", {0x83, 0x31, 0x01}, {0x31, 1, 0, 0, 0}},
        {"mask 0x98: effect and param", {0x98, 0x0F, 0x06}, {0, 0, 0, 0x0F, 0x06}},
        {"mask 0x80: empty", {0x80}, {0, 0, 0, 0, 0}},
        {"plain five bytes", {0x31, 0x02, 0x40, 0x0C, 0x10}, {0x31, 2, 0x40, 0x0C, 0x10}},
        {"plain note 0", {0x00, 0x02, 0x40, 0x00, 0x00}, {0, 2, 0x40, 0, 0}},
        {"note 96 is a key", {0x81, 96}, {96, 0, 0, 0, 0}},
        {"note 97 is key off", {0x81, 97}, {255, 0, 0, 0, 0}},
        {"note 98 is no note", {0x81, 98}, {0, 0, 0, 0, 0}},
        {"note 254 is no note", {0x81, 254}, {0, 0, 0, 0, 0}},
        {"note 255 stays key off", {0x81, 255}, {255, 0, 0, 0, 0}},
        {"instrument 128 kept", {0x82, 128}, {0, 128, 0, 0, 0}},
        {"instrument 129 dropped", {0x82, 129}, {0, 0, 0, 0, 0}},
        {"all mask bits", {0x9F, 1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}},
        {"mask bits 5 and 6 name no field", {0xE3, 0x31, 0x01}, {0x31, 1, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        xmw::Module m;
        m.channels = 1;
        xmw::Pattern p;
        p.rows = 1;
        p.raw = c.data;
        xmw::Pattern q;  // a second pattern proves the decoder stopped at the right byte
        q.rows = 1;
        q.raw = {0x81, 0x05};
        m.patterns = {p, q};
        m.orders = {0, 1};
        PlayerState* s = Load(xmw::Write(m));
        ASSERT_NE(s, nullptr) << c.what << ": " << xm_last_error();
        const PatternCell& got = s->patterns[0].cells[0];
        EXPECT_EQ(0, memcmp(&got, &c.cell, 5)) << c.what << ": " << int(got.note) << " " << int(got.instrument) << " "
                                               << int(got.volume) << " " << int(got.effect) << " " << int(got.param);
        EXPECT_EQ(s->patterns[1].cells[0].note, 5) << c.what;
        player_free(s);
    }
}

TEST_F(XmLoader, UnpackedAndEmptyPatterns)
{
    xmw::Module m;
    m.channels = 2;
    xmw::Pattern plain;
    plain.rows = 3;
    plain.coding = xmw::Coding::Unpacked;
    plain.at(2, 1, 2) = {12, 3, 0x50, 0x0A, 0x0F};
    xmw::Pattern empty;
    empty.rows = 7;
    empty.store_empty = true;
    m.patterns = {plain, empty};
    m.orders = {0, 1};
    PlayerState* p = LoadOk(m);
    ASSERT_NE(p, nullptr);
    const PatternCell& c = p->patterns[0].cells[5];
    EXPECT_EQ(c.note, 12);
    EXPECT_EQ(c.param, 0x0F);
    EXPECT_EQ(p->patterns[0].cells[4].instrument, 0);
    EXPECT_EQ(p->patterns[1].rows, 7);
    for (int i = 0; i < 14; i++) EXPECT_EQ(p->patterns[1].cells[i].effect, 0);
}

TEST_F(XmLoader, EnvelopesAreSwitchedOffOrClampedWhenThePointsCannotCarryThem)
{
    // Fewer than two points switch an envelope off; indices past the last point are cut to it.
    const struct { xmw::Envelope env; uint8_t type, sustain, loop_start, loop_end; } cases[] = {
        {{{}, 5, 5, 5, 0x07}, 0, 0, 0, 0},
        {{{{0, 64}}, 0, 0, 0, 0x07}, 0, 0, 0, 0},
        {{{{0, 0}, {4, 64}}, 7, 1, 200, 0x07}, 7, 1, 1, 1},
        {{{{0, 0}, {4, 64}, {9, 32}}, 7, 3, 200, 0x07}, 7, 2, 2, 2},
    };
    for (const auto& c : cases) {
        for (bool panning : {false, true}) {
            xmw::Module m = OneSample(Ramp(8, 10));
            (panning ? m.instruments[0].panning : m.instruments[0].volume) = c.env;
            if (player_) player_free(player_);
            ASSERT_NE(LoadOk(m), nullptr);
            const Instrument& got = player_->instruments[0];
            const uint8_t seen[] = {panning ? got.panning_type : got.volume_type,
                                    panning ? got.panning_sustain : got.volume_sustain,
                                    panning ? got.panning_loop_start : got.volume_loop_start,
                                    panning ? got.panning_loop_end : got.volume_loop_end};
            const uint8_t want[] = {c.type, c.sustain, c.loop_start, c.loop_end};
            for (int i = 0; i < 4; i++) EXPECT_EQ(seen[i], want[i]) << c.env.points.size() << " " << panning << " " << i;
        }
    }
}

TEST_F(XmLoader, RestartBeyondTheSongRestartsAtTheFirstEntry)
{
    xmw::Module m;
    m.orders = {0, 0, 0};
    m.patterns.resize(1);
    m.restart = 3;
    PlayerState* p = LoadOk(m);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->restart_position, 0);
}

namespace {
int g_provided;
void Provide(void* dest, int32_t bytes, int32_t bits, int32_t instrument, int32_t sample)
{
    // Plain PCM: a ramp, so the test sees that no delta decoding happened.
    g_provided++;
    if (bits == 8) {
        for (int32_t i = 0; i < bytes; i++) static_cast<int8_t*>(dest)[i] = static_cast<int8_t>(i + instrument * 10 + sample);
    } else {
        for (int32_t i = 0; i < bytes / 2; i++) static_cast<int16_t*>(dest)[i] = static_cast<int16_t>(i * 100 + sample);
    }
}
}  // namespace

TEST_F(XmLoader, SampleProviderSuppliesPlainFrames)
{
    xmw::Module m = OneSample(Ramp(8, 20));
    m.instruments[0].samples.push_back(Ramp(16, 30));
    m.instruments[0].samples[1].loop = 1;
    m.instruments[0].samples[1].loop_start = 2;
    m.instruments[0].samples[1].loop_length = 10;
    g_provided = 0;
    image_ = xmw::Write(m);
    player_ = Load(image_, Provide);
    ASSERT_NE(player_, nullptr) << xm_last_error();
    EXPECT_EQ(g_provided, 2);
    EXPECT_EQ(player_->sample_provider, &Provide);
    const Sample* a = player_->instruments[0].samples[0];
    const Sample* b = player_->instruments[0].samples[1];
    for (int i = 0; i < 20; i++) EXPECT_EQ(a->data[i], i * 256);
    for (int i = 0; i < 30; i++) EXPECT_EQ(b->data[i], i == 12 ? 201 : i * 100 + 1);  // 12: after the loop

    // The provider replaces the bytes, but the file must still hold them.
    image_.resize(image_.size() - 1);
    EXPECT_EQ(Load(image_, Provide), nullptr);
    EXPECT_NE(std::string(xm_last_error()).find("truncated"), std::string::npos) << xm_last_error();
}

TEST_F(XmLoader, TheEmbeddedModuleLoads)
{
    set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);
    player_ = player_load(nullptr, nullptr);
    ASSERT_NE(player_, nullptr) << xm_last_error();
    EXPECT_GE(player_->channel_count, 1);
    // Freeing a module that is playing stops the playback first; the fixture checks for leaks.
    ASSERT_TRUE(audio_open(44100, 0));
    ASSERT_TRUE(audio_start(player_));
    EXPECT_TRUE(player_free(player_));
    player_ = nullptr;
    EXPECT_EQ(MemLiveBlocks(), blocks_);  // the ring went with the playback
    audio_close();
}

TEST_F(XmLoader, FreeAndFailedOpens)
{
    EXPECT_FALSE(player_free(nullptr));
    set_module_io(nullptr, memory_close, memory_read, memory_seek, memory_tell);
    EXPECT_EQ(player_load(nullptr, nullptr), nullptr);
    // A read that fails outright (-1), here any past the header's first 60 bytes, reads as a file
    // that ends where that read began.
    auto fails_past_60 = [](void* b, int32_t n, void* h) { return memory_tell(h) >= 60 ? -1 : memory_read(b, n, h); };
    set_module_io(memory_open, memory_close, fails_past_60, memory_seek, memory_tell);
    EXPECT_EQ(player_load(nullptr, nullptr), nullptr);
    EXPECT_NE(std::string(xm_last_error()).find("ends at byte 60 in"), std::string::npos) << xm_last_error();
    // One that fails inside the sample data (which the loader has already found to fit in the
    // file) names the sample it was reading: the first of the third instrument, whose data follows
    // the headers of all its samples.
    xmw::Layout layout;
    image_ = xmw::Write(xmw::Demo(), &layout);
    static const std::vector<uint8_t>* image;
    static int32_t fail_from;
    image = &image_;
    fail_from = layout.sample_data_at[2][0];
    set_module_io([](const void*) { return memory_open_image(image->data(), int32_t(image->size())); }, memory_close,
                  [](void* b, int32_t n, void* h) { return memory_tell(h) >= fail_from ? -1 : memory_read(b, n, h); },
                  memory_seek, memory_tell);
    EXPECT_EQ(player_load(nullptr, nullptr), nullptr);
    EXPECT_NE(std::string(xm_last_error()).find("sample 0 of instrument 2: "), std::string::npos) << xm_last_error();
    EXPECT_EQ(xm_last_error_offset(), fail_from) << xm_last_error();
    set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);  // image_ goes with the test
}

// Every prefix of a module that uses every feature is rejected, without leaks.
TEST_F(XmLoader, EveryTruncationIsRejected)
{
    const std::vector<uint8_t> full = xmw::Write(xmw::Demo());
    for (size_t cut = 0; cut < full.size(); cut++) {
        std::vector<uint8_t> image(full.begin(), full.begin() + cut);
        PlayerState* p = Load(image);
        ASSERT_EQ(p, nullptr) << "cut at " << cut;
        ASSERT_EQ(MemLiveBlocks(), blocks_) << "cut at " << cut;
        if (cut > 60) {
            ASSERT_NE(std::string(xm_last_error()).find("truncated"), std::string::npos) << cut << ": " << xm_last_error();
        }
    }
}

TEST_F(XmLoader, MalformedFilesAreRejected)
{
    using Patch = void (*)(std::vector<uint8_t>&, const xmw::Layout&);
    struct Case {
        const char* what;
        Patch patch;
        const char* reason;     // part of xm_last_error()
    } cases[] = {
        {"wrong magic", [](std::vector<uint8_t>& b, const xmw::Layout&) { b[9] = 'm'; }, "not an XM module"},
        {"no channels", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.channels_at, 0); }, "channel count 0"},
        {"33 channels", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.channels_at, 33); }, "channel count 33"},
        {"song length 257", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.song_length_at, 257); }, "song length 257"},
        {"257 patterns", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.pattern_count_at, 257); }, "pattern count 257"},
        {"instrument count 40000", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.instrument_count_at, 40000); }, "instrument count"},
        {"no rows", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.pattern_at[1] + 5, 0); }, "row count 0"},
        {"257 rows", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.pattern_at[0] + 5, 257); }, "row count 257"},
        {"more rows than the packed data holds", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.pattern_at[0] + 5, 40); }, "packed size"},
        {"packed size shorter than the cells", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.pattern_at[1] + 7, 10); }, "packed size"},
        {"header size past the end", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put32(b, l.header_size_at, 0xFFFFFFF0u); }, "truncated"},
        {"17 samples", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.instrument_at[2] + 27, 17); }, "17 samples"},
        {"13 volume points", [](std::vector<uint8_t>& b, const xmw::Layout& l) { b[l.instrument_at[1] + 225] = 13; }, "13 volume envelope points"},
        {"13 panning points", [](std::vector<uint8_t>& b, const xmw::Layout& l) { b[l.instrument_at[2] + 226] = 13; }, "13 panning envelope points"},
        {"more instruments than bytes for them", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put16(b, l.instrument_count_at, 32767); }, "instruments: truncated: 32767 instruments need at least"},
        {"instrument header past the end", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put32(b, l.instrument_at[0], 0x7FFFFFFF); }, "truncated"},
        {"sample longer than the file", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put32(b, l.sample_header_at[2][1], 6); }, "sample data would end"},
        {"sample length 4 GB", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put32(b, l.sample_header_at[1][0], 0xFFFFFFFFu); }, "sample data would end"},
        {"16-bit sample length 2 GB", [](std::vector<uint8_t>& b, const xmw::Layout& l) { xmw::Put32(b, l.sample_header_at[2][0], 0x80000000u); }, "sample data would end"},
        {"samples together longer than the file", [](std::vector<uint8_t>& b, const xmw::Layout& l) {
             xmw::Put32(b, l.sample_header_at[2][0], static_cast<uint32_t>(b.size() - l.sample_data_at[2][0] - 2));
         }, "sample data would end"},
    };
    const xmw::Module demo = xmw::Demo();
    xmw::Layout layout;
    const std::vector<uint8_t> valid = xmw::Write(demo, &layout);
    for (const Case& c : cases) {
        std::vector<uint8_t> image = valid;
        c.patch(image, layout);
        PlayerState* p = Load(image);
        EXPECT_EQ(p, nullptr) << c.what;
        if (p) player_free(p);
        const std::string e = xm_last_error();
        EXPECT_NE(e.find(c.reason), std::string::npos) << c.what << ": " << e;
        // The offset reported is the byte the reason names: where the file ends, if it says so,
        // otherwise the offending field's.
        size_t k = e.find("file ends at byte ") != std::string::npos ? e.find("file ends at byte ") + 18
                   : e.find("at byte ") != std::string::npos ? e.find("at byte ") + 8 : std::string::npos;
        if (k != std::string::npos) { EXPECT_EQ(xm_last_error_offset(), std::stoi(e.substr(k))) << c.what << ": " << e; }
        EXPECT_EQ(MemLiveBlocks(), blocks_) << c.what;
    }
    // A load that succeeds clears the last rejection.
    player_ = Load(valid);
    ASSERT_NE(player_, nullptr);
    EXPECT_STREQ(xm_last_error(), "");
    EXPECT_EQ(xm_last_error_offset(), -1);
}

// An empty instrument whose header size is below its own 29 bytes: the next one follows them
// instead of reading them again.
TEST_F(XmLoader, AnInstrumentEndsNoEarlierThanItsFields)
{
    const xmw::Module m = xmw::Demo();
    xmw::Layout layout;
    image_ = xmw::Write(m, &layout);
    ASSERT_TRUE(m.instruments[0].samples.empty());
    xmw::Put32(image_, layout.instrument_at[0], 0);
    player_ = Load(image_);
    ASSERT_NE(player_, nullptr) << xm_last_error();
    for (int j = 0; j < 3; j++) EXPECT_EQ(player_->instruments[j].sample_count, int32_t(m.instruments[j].samples.size()));
}

TEST_F(XmLoader, SeventeenSamplesFailAfterEarlierInstrumentsLoaded)
{
    xmw::Module m = xmw::Demo();
    xmw::Instrument many;
    for (int i = 0; i < 17; i++) many.samples.push_back(Ramp(8, 4));
    m.instruments.push_back(many);
    image_ = xmw::Write(m);
    EXPECT_EQ(Load(image_), nullptr);
    EXPECT_NE(std::string(xm_last_error()).find("instrument 3: 17 samples"), std::string::npos) << xm_last_error();
}

TEST_F(XmLoader, AModuleAtEveryLimitLoads)
{
    const xmw::Module m = Limits();
    PlayerState* p = LoadOk(m);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->song_length, 256);
    EXPECT_EQ(p->pattern_slots, 256);
    EXPECT_EQ(p->channel_count, 32);
    EXPECT_EQ(p->patterns[255].rows, 256);
    const xmw::Cell& last = m.patterns[255].cells[256 * 32 - 1];
    const PatternCell& got = p->patterns[255].cells[256 * 32 - 1];
    EXPECT_EQ(got.note, last.note == 97 ? 255 : last.note);
    EXPECT_EQ(got.param, last.param);
    EXPECT_EQ(p->instruments[127].sample_count, 16);
    EXPECT_EQ(p->instruments[127].samples[15]->length, 1000);
    EXPECT_EQ(p->instruments[127].samples[15]->loop_type, 4);
    EXPECT_EQ(p->instruments[127].volume_point_count, 12);
}

