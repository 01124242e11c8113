// tools/xmtool/main.cpp -- xmtool's entry: the command table, --help, and module loading.
// Native only. Commands: see g_commands; the output format of each is documented in README.md.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "assets/assets.h"
#include "module/stream.h"
#include "module/xm_loader.h"
#include "player/player.h"
#include "tools/xmtool/xmtool.h"

static const XmtoolCommand g_commands[] = {
    {"info", "[FILE]", "print the module as loaded, one record per line", xmtool_info},
    {"render", "[FILE] [-o OUT.wav] [--seconds N] [--loops N] [--rate R]", "render to a 16-bit stereo WAV (raw with -o -) as the program plays it", xmtool_render},
    {"timeline", "[FILE] [--seconds N]", "one line per tick: output offset, order, pattern, row, tick, speed, BPM", xmtool_timeline},
};

static void usage(FILE* out)
{
    fprintf(out,
            "usage: xmtool COMMAND [ARGS]\n"
            "Reads an XM module with the program's own loader (FILE, or without FILE the module the\n"
            "program embeds) and works on it with the program's own code.\n\ncommands:\n");
    for (const XmtoolCommand& c : g_commands) fprintf(out, "  %-8s %-24s %s\n", c.name, c.usage, c.summary);
    fprintf(out,
            "\nA file that does not load gives one line \"xmtool: FILE: <reason>\" and exit status 1.\n"
            "Bad arguments give exit status 2. Output formats: tools/xmtool/README.md.\n");
}

const char* xmtool_module_name(const char* file) { return file ? file : "(embedded)"; }

PlayerState* xmtool_load(const char* file)
{
    const uint8_t* image = nullptr;  // the file mapped read-only: no copy, no zero-filled buffer
    size_t image_size = 0;
    if (file) {
        struct stat st;
        if (stat(file, &st) == 0 && !S_ISREG(st.st_mode)) {  // before open: a FIFO would block it
            fprintf(stderr, "xmtool: %s: not a regular file\n", file);
            return nullptr;
        }
        int fd = open(file, O_RDONLY);
        if (fd < 0) {
            fprintf(stderr, "xmtool: %s: cannot open: %s\n", file, strerror(errno));
            return nullptr;
        }
        bool bad = fstat(fd, &st) != 0 || !S_ISREG(st.st_mode);
        if (!bad && st.st_size > 0x7FFFFFFF) {
            close(fd);
            fprintf(stderr, "xmtool: %s: larger than 2 GB\n", file);
            return nullptr;
        }
        if (!bad && st.st_size > 0) {
            void* map = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (map == MAP_FAILED) bad = true;
            else image = static_cast<const uint8_t*>(map), image_size = static_cast<size_t>(st.st_size);
        }
        close(fd);
        if (bad) {
            fprintf(stderr, "xmtool: %s: cannot read\n", file);
            return nullptr;
        }
        static const uint8_t empty[1] = {0};  // an empty file maps nothing
        memory_serve_image(image ? image : empty, static_cast<int32_t>(image_size));
    } else {
        if (ModuleDataSize() == 0) {
            fprintf(stderr, "xmtool: (embedded): the program embeds no module yet\n");
            return nullptr;
        }
        set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);
    }
    PlayerState* player = player_load(nullptr, nullptr);
    if (!player) {
        fprintf(stderr, "xmtool: %s: %s\n", xmtool_module_name(file),
                xm_last_error()[0] ? xm_last_error() : "cannot open the module stream");
    }
    memory_serve_image(nullptr, 0);  // the loader keeps nothing of the image
    if (image) munmap(const_cast<uint8_t*>(image), image_size);
    return player;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    if (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h") || !strcmp(argv[1], "help")) {
        usage(stdout);
        return 0;
    }
    for (const XmtoolCommand& c : g_commands) {
        if (!strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
    }
    fprintf(stderr, "xmtool: unknown command \"%s\" (xmtool --help lists them)\n", argv[1]);
    return 2;
}
