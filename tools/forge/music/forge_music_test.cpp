// tools/forge/music/forge_music_test.cpp -- checks what forge_music makes: the score notation, its
// one-line refusals of bad scores, and the committed module itself (its shape, the commands it keeps
// to, its length and its level), with libxmp as an independent player.
#include <gtest/gtest.h>
#include <xmp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = fgetc(f)) != EOF) bytes.push_back((uint8_t)c);
    fclose(f);
    return bytes;
}

void WriteFile(const std::string& path, const std::string& text)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

// Just enough of an XM reader to look at what the generator wrote.
struct XmCell { int note, instrument, volume, effect, param; };
struct XmPattern { int rows; std::vector<XmCell> cells; };
struct XmSample { uint32_t length, loopStart, loopLength; int volume, finetune, type, panning, relnote; };
struct XmInstrument { int volumeType, panningType, vibratoType, fadeout; std::vector<XmSample> samples; };
struct Xm {
    int songLength = 0, restart = 0, channels = 0, flags = 0, speed = 0, bpm = 0;
    std::vector<int> order;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
    const XmCell& At(int pattern, int row, int channel) const
    {
        return patterns[pattern].cells[(size_t)row * channels + channel];
    }
};

uint32_t U16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t U32(const std::vector<uint8_t>& b, size_t at) { return U16(b, at) | (U16(b, at + 2) << 16); }

bool ParseXm(const std::vector<uint8_t>& b, Xm* xm)
{
    if (b.size() < 336 || std::string(b.begin(), b.begin() + 17) != "Extended Module: ") return false;
    size_t headerEnd = 60 + U32(b, 60);
    xm->songLength = U16(b, 64);
    xm->restart = U16(b, 66);
    xm->channels = U16(b, 68);
    int patterns = U16(b, 70), instruments = U16(b, 72);
    xm->flags = U16(b, 74);
    xm->speed = U16(b, 76);
    xm->bpm = U16(b, 78);
    for (int i = 0; i < xm->songLength; ++i) xm->order.push_back(b[80 + i]);
    size_t at = headerEnd;
    for (int p = 0; p < patterns; ++p) {
        XmPattern pat;
        pat.rows = U16(b, at + 5);
        size_t packed = U16(b, at + 7), i = at + U32(b, at);
        for (int c = 0; c < pat.rows * xm->channels; ++c) {
            int v[5] = {};
            int mask = b[i] & 0x80 ? b[i++] : 0x1F;
            for (int k = 0; k < 5; ++k) if (mask & (1 << k)) v[k] = b[i++];
            pat.cells.push_back({ v[0], v[1], v[2], v[3], v[4] });
        }
        at += U32(b, at) + packed;
        if (i != at) return false;
        xm->patterns.push_back(pat);
    }
    for (int n = 0; n < instruments; ++n) {
        XmInstrument ins;
        size_t size = U32(b, at);
        int samples = U16(b, at + 27);
        ins.volumeType = b[at + 233];
        ins.panningType = b[at + 234];
        ins.vibratoType = b[at + 235];
        ins.fadeout = U16(b, at + 239);
        at += size;
        uint32_t dataBytes = 0;
        for (int s = 0; s < samples; ++s, at += 40) {
            XmSample smp = { U32(b, at), U32(b, at + 4), U32(b, at + 8), b[at + 12], (int8_t)b[at + 13],
                             b[at + 14], b[at + 15], (int8_t)b[at + 16] };
            dataBytes += smp.length;
            ins.samples.push_back(smp);
        }
        at += dataBytes;
        xm->instruments.push_back(ins);
    }
    return at == b.size();
}

// Runs the generator on a score given as text; returns its exit status and its message.
int Forge(const std::string& score, Xm* xm, std::string* message)
{
    std::string dir = QE_TEST_TMP_DIR;
    WriteFile(dir + "/score.txt", score);
    std::remove((dir + "/out.xm").c_str());
    std::string cmd = std::string(QE_FORGE_MUSIC) + " " + dir + "/score.txt " + dir + "/out.xm >/dev/null 2>" + dir + "/err.txt";
    int status = std::system(cmd.c_str());
    std::vector<uint8_t> err = ReadFile(dir + "/err.txt");
    if (message) message->assign(err.begin(), err.end());
    if (xm && status == 0) { EXPECT_TRUE(ParseXm(ReadFile(dir + "/out.xm"), xm)); }
    return status;
}

const char* kHeader =
    "speed 11\nbpm 125\nbar 4\nchannels a b c\norder p\n"
    "instrument tone\n  wave cycle frames=32 partials=1,0.5\n  volume 40\n"
    "instrument hit\n  wave drum len=0.05 noise=1 ndecay=0.01\n"
    "echo a b delay=2 scale=0.5 instrument=tone\n";

TEST(ForgeMusic, NotationBecomesCells)
{
    Xm xm;
    std::string message;
    std::string score = std::string(kHeader) +
        "pattern p rows=8\n"
        "  a tone [ C4@60+4+7:2 ]x2\n"
        "     | ^ - Bb3 -:1\n"
        "  c hit steps x9.^ | p..a   # a comment\n";
    ASSERT_EQ(Forge(score, &xm, &message), 0) << message;
    ASSERT_EQ(xm.patterns.size(), 1u);
    ASSERT_EQ(xm.channels, 3);
    EXPECT_EQ(xm.speed, 11);
    EXPECT_EQ(xm.bpm, 125);
    EXPECT_EQ(xm.flags, 1);
    struct { int row, channel, note, instrument, volume, effect, param; } cases[] = {
        { 0, 0, 49, 1, 0x10 + 60, 0, 0x47 },   // C4 is note 49; the arpeggio rides on every row
        { 1, 0, 0, 0, 0, 0, 0x47 },
        { 2, 0, 49, 1, 0x10 + 60, 0, 0x47 },
        { 4, 0, 97, 0, 0, 0, 0 },              // key-off
        { 6, 0, 47, 1, 0, 0, 0 },              // Bb3 keeps the instrument's own volume
        { 2, 1, 49, 1, 0x10 + 30, 0, 0x47 },   // the echo: two rows later at half the volume
        { 6, 1, 97, 0, 0, 0, 0 },
        { 7, 1, 0, 0, 0, 0, 0 },               // the echo of row 6 would fall beyond the pattern
        { 0, 2, 49, 2, 0, 0, 0 },              // x: a hit at the instrument's volume
        { 1, 2, 49, 2, 0x10 + 64, 0, 0 },      // 9: full volume
        { 3, 2, 97, 0, 0, 0, 0 },
        { 4, 2, 49, 2, 0xCF, 0, 0 },           // p: at the instrument's volume, right
        { 7, 2, 49, 2, 0xC0, 0, 0 },           // a: left
    };
    for (auto& c : cases) {
        const XmCell& cell = xm.At(0, c.row, c.channel);
        EXPECT_EQ(cell.note, c.note) << "row " << c.row << " channel " << c.channel;
        EXPECT_EQ(cell.instrument, c.instrument) << "row " << c.row << " channel " << c.channel;
        EXPECT_EQ(cell.volume, c.volume) << "row " << c.row << " channel " << c.channel;
        EXPECT_EQ(cell.param, c.param) << "row " << c.row << " channel " << c.channel;
    }
    ASSERT_EQ(xm.instruments.size(), 2u);
    EXPECT_EQ(xm.instruments[0].samples[0].type, 0x11);          // 16-bit, forward loop
    EXPECT_EQ(xm.instruments[0].samples[0].loopLength, 64u);      // 32 frames
    EXPECT_EQ(xm.instruments[1].samples[0].type, 0x00);          // 8-bit one-shot
    EXPECT_EQ(xm.instruments[1].samples[0].length, 418u);        // 0.05 s at 8363 Hz
}

TEST(ForgeMusic, BadScoresAreRefusedWithOneLine)
{
    struct { const char* body; const char* says; } cases[] = {
        { "pattern p rows=8\n  a tone C4:9\n", ":13: 'C4:9' runs past the 8 rows" },
        { "pattern p rows=8\n  a tone C4:2\n", ":13: track a fills 2 of the 8 rows" },
        { "pattern p rows=8\n  a tone H4:8\n", "'H4' is not a note" },
        { "pattern p rows=8\n  a tone C4:3 | C4:5\n", "bar line at row 3" },
        { "pattern p rows=8\n  a tone C4+0+0:8\n", "no arpeggio" },
        { "pattern p rows=8\n  a tone C4@65:8\n", "volume 65 out of range" },
        { "pattern p rows=8\n  z tone C4:8\n", "no channel named 'z'" },
        { "pattern p rows=8\n  a flute C4:8\n", "no instrument named 'flute'" },
        { "pattern p rows=8\n  a tone [ C4:4\n", "'[' without ']xN'" },
        { "pattern p rows=8\n  c hit steps x.q.....\n", "step 'q'" },
        { "pattern p rows=8\n  c hit steps x.......x\n", "steps run past the 8 rows" },
        { "instrument bad\n  volenv 0,0 5,70\n", "envelope value 70 out of range" },
        { "instrument bad\n  volenv 4,0 5,10\n", "starts at tick 0" },
        { "instrument bad\n  wave saw\n", "wave kind 'saw'" },
        { "pattern q rows=8\n  a tone C4:8\n", "order names pattern 'p'" },
    };
    for (auto& c : cases) {
        std::string message;
        EXPECT_NE(Forge(std::string(kHeader) + c.body, nullptr, &message), 0) << c.body;
        EXPECT_NE(message.find(c.says), std::string::npos) << "message: " << message << "expected: " << c.says;
        EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
    }
}

// The committed module keeps to the commands where the show's own player and a full XM player agree.
TEST(ShowMusic, KeepsToTheSharedCommands)
{
    std::vector<uint8_t> bytes = ReadFile(QE_MUSIC_XM);
    Xm xm;
    ASSERT_TRUE(ParseXm(bytes, &xm));
    EXPECT_LT(bytes.size(), 48u * 1024);
    EXPECT_EQ(xm.channels, 16);
    EXPECT_EQ(xm.flags & 1, 1);
    EXPECT_EQ(xm.speed, 11);
    EXPECT_EQ(xm.bpm, 125);
    ASSERT_LT(xm.restart, xm.songLength);
    for (int o : xm.order) ASSERT_LT(o, (int)xm.patterns.size());

    int notes = 0;
    for (size_t p = 0; p < xm.patterns.size(); ++p)
        for (int r = 0; r < xm.patterns[p].rows; ++r)
            for (int c = 0; c < xm.channels; ++c) {
                const XmCell& cell = xm.At((int)p, r, c);
                std::string where = "pattern " + std::to_string(p) + " row " + std::to_string(r) + " channel " + std::to_string(c);
                bool setVolume = cell.volume >= 0x10 && cell.volume <= 0x50;
                bool setPanning = cell.volume >= 0xC0 && cell.volume <= 0xCF;
                EXPECT_TRUE(cell.volume == 0 || setVolume || setPanning) << where;
                bool arpeggio = cell.effect == 0 && cell.param != 0;
                bool none = cell.effect == 0 && cell.param == 0;
                EXPECT_TRUE(none || arpeggio || cell.effect == 0x0D || cell.effect == 0x0F ||
                            (cell.effect == 0x14 && cell.param == 0)) << where;
                if (cell.note >= 1 && cell.note <= 96) {
                    // Every note names its instrument, and its sample's key stays inside the 96 keys.
                    ASSERT_GE(cell.instrument, 1) << where;
                    ASSERT_LE(cell.instrument, (int)xm.instruments.size()) << where;
                    int key = cell.note - 1 + xm.instruments[cell.instrument - 1].samples[0].relnote;
                    EXPECT_GE(key, 0) << where;
                    EXPECT_LT(key, 96) << where;
                    ++notes;
                } else {
                    // Key-offs and empty notes carry no instrument (players disagree about those).
                    EXPECT_TRUE(cell.note == 0 || cell.note == 97) << where;
                    EXPECT_EQ(cell.instrument, 0) << where;
                    if (cell.note == 97) { EXPECT_EQ(cell.volume, 0) << where; }
                }
            }
    EXPECT_GT(notes, 500);
    for (const XmInstrument& ins : xm.instruments) {
        EXPECT_EQ(ins.vibratoType, 0);             // sine: the one waveform every player draws alike
        for (const XmSample& s : ins.samples) EXPECT_NE(s.type & 3, 2);     // no ping-pong loops
    }
}

// Played by libxmp (linear interpolation, no extra gain): at least 90 s before the song returns to
// its restart position, and the peak stays below half of full scale, since the show's mixer plays a
// voice at twice libxmp's level.
TEST(ShowMusic, LengthAndLevelUnderLibxmp)
{
    std::vector<uint8_t> bytes = ReadFile(QE_MUSIC_XM);
    ASSERT_FALSE(bytes.empty());
    xmp_context ctx = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), (long)bytes.size()), 0);
    ASSERT_EQ(xmp_start_player(ctx, 44100, 0), 0);
    xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    xmp_set_player(ctx, XMP_PLAYER_MIX, 100);
    xmp_set_player(ctx, XMP_PLAYER_AMP, 0);
    xmp_set_player(ctx, XMP_PLAYER_DSP, 0);
    xmp_set_player(ctx, XMP_PLAYER_VOLUME, 100);

    int64_t frames = 0;
    int peak = 0, silentRun = 0, longestSilence = 0, firstPosAfterLoop = -1;
    struct xmp_frame_info fi;
    while (xmp_play_frame(ctx) == 0) {
        xmp_get_frame_info(ctx, &fi);
        if (fi.loop_count > 0) { firstPosAfterLoop = fi.pos; break; }
        const int16_t* pcm = (const int16_t*)fi.buffer;
        int n = fi.buffer_size / 4, loud = 0;
        for (int i = 0; i < 2 * n; ++i) {
            int v = abs(pcm[i]);
            if (v > peak) peak = v;
            if (v > 64) loud = 1;
        }
        frames += n;
        silentRun = loud ? 0 : silentRun + n;
        if (frames > 44100 && silentRun > longestSilence) longestSilence = silentRun;
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);

    EXPECT_GE(frames, 90 * 44100);
    EXPECT_LT(peak, 16384);
    EXPECT_GT(peak, 4096);                      // and it is not timid either
    EXPECT_LT(longestSilence, 44100 / 2);       // no gap of half a second once it has begun
    Xm xm;
    ASSERT_TRUE(ParseXm(bytes, &xm));
    EXPECT_EQ(firstPosAfterLoop, xm.restart);
}

}  // namespace
