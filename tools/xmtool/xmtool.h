// tools/xmtool/xmtool.h -- what the commands of xmtool share: the command record and module loading.
#pragma once
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
