// xmtool timeline and render: the per-tick listing on a module built by the test writer, and the
// rendered sound's length and format.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/xm_writer.h"
#include "support/xmtool_run.h"

namespace {

// Two patterns of 2 rows at speed 3; row 1 of pattern 1 sets 32 BPM.
xmw::Module TwoPatterns()
{
    xmw::Module m;
    m.channels = 2;
    m.speed = 3;
    m.bpm = 125;
    xmw::Pattern a, b;
    a.rows = 2;
    b.rows = 2;
    a.at(0, 0, 2) = {49, 1, 0, 0, 0};
    b.at(1, 1, 2) = {0, 0, 0, 0x0F, 0x20};
    m.patterns = {a, b};
    m.orders = {0, 1};
    xmw::Instrument beep;
    xmw::Sample square;
    for (int i = 0; i < 32; i++) square.frames.push_back(static_cast<int16_t>(i < 16 ? 90 : -90));
    square.loop = 1;
    square.loop_length = 32;
    beep.samples.push_back(square);
    m.instruments.push_back(beep);
    return m;
}

std::vector<std::string> Lines(const std::string& s)
{
    std::vector<std::string> v;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) v.push_back(line);
    return v;
}

}  // namespace

TEST(XmtoolTimeline, OneLinePerTickForOnePass)
{
    std::string path = WriteBuildFile("xmtool_playback_two.xm", xmw::Write(TwoPatterns()));
    ToolRun r = Xmtool("timeline " + path, false);
    ASSERT_EQ(r.status, 0);
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1u + 12u);  // 4 rows of 3 ticks, then the song starts over
    EXPECT_EQ(lines[0].substr(0, 1), "#");
    const char* expect[] = {
        "0 0 0 0 0 0 3 125",        "882 1 0 0 0 1 3 125",      "1764 2 0 0 0 2 3 125",
        "2646 3 0 0 1 0 3 125",     "3528 4 0 0 1 1 3 125",     "4410 5 0 0 1 2 3 125",
        "5292 6 1 1 0 0 3 125",     "6174 7 1 1 0 1 3 125",     "7056 8 1 1 0 2 3 125",
        "7938 9 1 1 1 0 3 32",      // that very tick is 3445 samples long
        "11383 10 1 1 1 1 3 32",    "14828 11 1 1 1 2 3 32",
    };
    for (int i = 0; i < 12; i++) EXPECT_EQ(lines[1 + i], expect[i]) << i;
}

TEST(XmtoolTimeline, SecondsGoOnAcrossTheLoop)
{
    std::string path = WriteBuildFile("xmtool_playback_two.xm", xmw::Write(TwoPatterns()));
    ToolRun r = Xmtool("timeline " + path + " --seconds 1", false);
    ASSERT_EQ(r.status, 0);
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_GT(lines.size(), 13u);
    EXPECT_EQ(lines[13].substr(0, lines[13].find(' ')), "18273");  // order 0 again, at 32 BPM
    long long last = std::stoll(lines.back());
    EXPECT_LT(last, 44100);
}

TEST(XmtoolTimeline, BadArgumentsAndFiles)
{
    EXPECT_EQ(Xmtool("timeline --seconds").status, 2);
    EXPECT_EQ(Xmtool("timeline --seconds 0").status, 2);
    EXPECT_EQ(Xmtool("timeline --seconds x1").status, 2);
    EXPECT_EQ(Xmtool("timeline --bogus").status, 2);
    ToolRun r = Xmtool("timeline /nonexistent.xm");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.out).size(), 1u) << r.out;
}

namespace {

uint32_t Le32(const std::string& s, size_t at)
{
    return uint8_t(s[at]) | uint8_t(s[at + 1]) << 8 | uint8_t(s[at + 2]) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}

}  // namespace

TEST(XmtoolRender, WavAndRawCarryTheSameFrames)
{
    std::string path = WriteBuildFile("xmtool_playback_two.xm", xmw::Write(TwoPatterns()));
    std::string wav = std::string(QE_BINARY_DIR) + "/xmtool_playback_two.wav";
    ToolRun r = Xmtool("render " + path + " --seconds 1 -o " + wav);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("real time"), std::string::npos) << r.out;
    std::string w = ReadFileBytes(wav);
    ASSERT_EQ(w.size(), 44u + 44100u * 4);
    EXPECT_EQ(w.substr(0, 4), "RIFF");
    EXPECT_EQ(w.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(w, 24), 44100u);
    EXPECT_EQ(Le32(w, 40), 44100u * 4);
    ToolRun raw = Xmtool("render " + path + " --seconds 1 -o -", false);
    ASSERT_EQ(raw.status, 0);
    EXPECT_EQ(raw.out, w.substr(44));
    bool sound = false;
    for (size_t i = 44; i < w.size() && !sound; i++) sound = w[i] != 0;
    EXPECT_TRUE(sound);
}

TEST(XmtoolRender, LoopsEndWhereTheSongJumpsBack)
{
    // One pass: 9 ticks of 882 and 3 of 3445 (32 BPM from row 1 of pattern 1) = 18273 frames. The
    // second pass stays at 32 BPM: 12 x 3445 more.
    std::string path = WriteBuildFile("xmtool_playback_two.xm", xmw::Write(TwoPatterns()));
    const long long frames[] = {18273, 18273 + 12 * 3445};
    for (int loops = 1; loops <= 2; loops++) {
        ToolRun raw = Xmtool("render " + path + " --loops " + std::to_string(loops) + " -o -", false);
        ASSERT_EQ(raw.status, 0);
        EXPECT_EQ(static_cast<long long>(raw.out.size()), frames[loops - 1] * 4) << loops;
    }
    ToolRun rate = Xmtool("render " + path + " --seconds 2 --rate 22050 -o -", false);
    EXPECT_EQ(rate.out.size(), 2u * 22050 * 4);
}

TEST(XmtoolRender, BadArguments)
{
    const char* bad[] = {"render --loops 0", "render --rate 100", "render --seconds", "render -o", "render a b",
                         "render --what"};
    for (const char* args : bad) EXPECT_EQ(Xmtool(args).status, 2) << args;
    ToolRun r = Xmtool("render /nonexistent.xm -o -");
    EXPECT_EQ(r.status, 1);
}

TEST(XmtoolRender, RawFileByItsName)
{
    std::string path = WriteBuildFile("xmtool_playback_two.xm", xmw::Write(TwoPatterns()));
    std::string raw = std::string(QE_BINARY_DIR) + "/xmtool_playback_two.raw";
    ASSERT_EQ(Xmtool("render " + path + " --loops 1 -o " + raw).status, 0);
    ToolRun out = Xmtool("render " + path + " --loops 1 -o -", false);
    EXPECT_EQ(ReadFileBytes(raw), out.out);
}
