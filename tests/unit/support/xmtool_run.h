// tests/unit/support/xmtool_run.h -- runs this build's xmtool (through the build's emulator, as on
// native32) and collects what it prints and its exit status. Header-only: QE_TOOL_EMULATOR and
// QE_BINARY_DIR come from each test program's build.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>

struct ToolRun {
    int status;
    std::string out;  // stdout, and stderr when asked
};

inline ToolRun Xmtool(const std::string& args, bool with_stderr = true)
{
    std::string cmd = std::string(QE_TOOL_EMULATOR " ") + QE_BINARY_DIR + "/xmtool " + args +
                      (with_stderr ? " 2>&1" : " 2>/dev/null");
    FILE* f = popen(cmd.c_str(), "r");
    ToolRun r{-1, ""};
    if (!f) return r;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) r.out.append(buf, n);
    int st = pclose(f);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}
