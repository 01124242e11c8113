// xmtool info: the documented record format on a module built by the test writer, and the one-line
// error with exit status 1 for a file that does not load.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/xm_writer.h"
#include "support/xmtool_run.h"

TEST(Xmtool, InfoPrintsTheModuleAsLoaded)
{
    std::string path = WriteBuildFile("xmtool_test_demo.xm", xmw::Write(xmw::Demo()));
    ToolRun r = Xmtool("info " + path);
    EXPECT_EQ(r.status, 0) << r.out;
    const char* lines[] = {
        ("header song_length=3 restart_position=1 channel_count=4 patterns_used=2 pattern_slots=2 instrument_count=3 "
         "flags=1 default_speed=6 default_bpm=125 initial_global_volume=64\n"),
        "order 0 1 0\n",
        "pattern 1 rows=8\n",
        "instrument 0 samples=0\n",
        "instrument 2 samples=2 keymap=0*48,1*48 fadeout=0 vibrato_type=1 vibrato_sweep=10 vibrato_depth=8 vibrato_rate=20\n",
        "envelope 1 volume type=7 on=1 sustain=1 loop=1-2 points=4 0,64 8,48 20,32 40,0\n",
        "sample 1.0 length=64 loop_start=16 loop_length=48 loop=forward bits=16 volume=48 finetune=-16 panning=100 relative_note=12\n",
        "sample 2.0 length=100 loop_start=10 loop_length=90 loop=pingpong bits=16 volume=64 finetune=5 panning=128 relative_note=-12\n",
    };
    for (const char* line : lines) EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin:\n" << r.out;
}

TEST(Xmtool, AFileThatDoesNotLoadGivesOneLineAndStatus1)
{
    std::vector<uint8_t> image = xmw::Write(xmw::Demo());
    image.resize(1000);
    std::string path = WriteBuildFile("xmtool_test_cut.xm", image);
    ToolRun r = Xmtool("info " + path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "xmtool: " + path +
                         ": instrument 2: truncated: file ends at byte 1000 in the instrument header (212 bytes from byte 897)\n");

    ToolRun bad = Xmtool("frobnicate");
    EXPECT_EQ(bad.status, 2);
    ToolRun help = Xmtool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("info"), std::string::npos);
}

TEST(Xmtool, InfoWithoutFileDescribesTheEmbeddedModule)
{
    ToolRun r = Xmtool("info");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.rfind("module (embedded)\nheader ", 0), 0u) << r.out;
}
