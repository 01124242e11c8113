// tools/xmtool/xmtool.h -- what the commands of xmtool share: the command record and module loading.
#pragma once
#include <cstdint>

#include "module/module.h"

// One command: `xmtool NAME ARGS...`. run gets the arguments after NAME and returns the exit status.
struct XmtoolCommand {
    const char* name;
    const char* usage;      // arguments, for --help: "[FILE]"
    const char* summary;    // one line, for --help
    int (*run)(int argc, char** argv);
};

// Loads FILE, or the module the program embeds when file is null. On failure prints the one line
// "xmtool: FILE: <reason>" to stderr and returns null. Release with player_free.
PlayerState* xmtool_load(const char* file);
const char*  xmtool_module_name(const char* file);  // FILE, or "(embedded)"

int xmtool_info(int argc, char** argv);
int xmtool_timeline(int argc, char** argv);
int xmtool_render(int argc, char** argv);

// The voice mixer with its fixed-gain frames eight at a time in AVX2 (mix_avx2.cpp): the same
// floats as the program's mix_voices, on a CPU for which mixer_has_avx2(). xmtool is linked with
// the program's mix_voices wrapped (CMakeLists.txt), so that its slice rendering mixes through it.
bool mixer_has_avx2();
void mix_voices_avx2(float* block, int32_t frames);
