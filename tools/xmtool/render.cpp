// tools/xmtool/render.cpp -- `xmtool render [FILE] [-o OUT.wav] [--seconds N] [--loops N] [--rate R]`:
// renders a module to 16-bit stereo through the program's own slice rendering (the code that fills
// the program's output ring), so its samples equal what the program plays. Native only.
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "player/player.h"
#include "audio/audio.h"
#include "tools/xmtool/song_clock.h"
#include "tools/xmtool/xmtool.h"

// The slice rendering's calls of mix_voices come here (xmtool is linked with --wrap for its C++
// name): the AVX2 mixer where the CPU has it, the same samples in fewer instructions.
extern "C" void __real__Z10mix_voicesPfi(float* block, int32_t frames);
extern "C" void __wrap__Z10mix_voicesPfi(float* block, int32_t frames)
{
    if (mixer_has_avx2()) mix_voices_avx2(block, frames);
    else __real__Z10mix_voicesPfi(block, frames);
}

static double wall_seconds()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    return tv.tv_sec + tv.tv_usec * 1e-6;
}

static void put_le(uint8_t* at, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; i++) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The 44-byte header of a 16-bit stereo PCM WAV file holding `frames` frames.
static void wav_header(uint8_t* h, int32_t rate, int64_t frames)
{
    uint64_t data = static_cast<uint64_t>(frames) * 4;
    if (data > 0xFFFFFFFFull - 36) data = 0xFFFFFFFFull - 36;  // the format's limit
    memcpy(h, "RIFF", 4);
    put_le(h + 4, static_cast<uint32_t>(36 + data), 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    put_le(h + 16, 16, 4);
    put_le(h + 20, 1, 2);              // PCM
    put_le(h + 22, 2, 2);              // channels
    put_le(h + 24, static_cast<uint32_t>(rate), 4);
    put_le(h + 28, static_cast<uint32_t>(rate) * 4, 4);
    put_le(h + 32, 4, 2);              // bytes per frame
    put_le(h + 34, 16, 2);
    memcpy(h + 36, "data", 4);
    put_le(h + 40, static_cast<uint32_t>(data), 4);
}

static std::string default_output(const char* file)
{
    if (!file) return "music.wav";
    std::string base = file;
    size_t slash = base.find_last_of('/');
    if (slash != std::string::npos) base = base.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
    return base + ".wav";
}

static void progress(double fraction, double seconds)
{
    const int width = 40;
    if (fraction > 1) fraction = 1;
    int filled = static_cast<int>(fraction * width);
    char bar[width + 1];
    for (int i = 0; i < width; i++) bar[i] = i < filled ? '#' : '.';
    bar[width] = 0;
    fprintf(stderr, "\r[%s] %3d%% %8.1f s", bar, static_cast<int>(fraction * 100), seconds);
}

int xmtool_render(int argc, char** argv)
{
    const char* file = nullptr;
    const char* out_name = nullptr;
    int64_t seconds = 0, loops = 0, rate = 44100;
    for (int i = 0; i < argc; i++) {
        const char* a = argv[i];
        bool has_value = i + 1 < argc;
        if (!strcmp(a, "-o")) {
            if (!has_value) { fprintf(stderr, "xmtool: render: -o needs a file name (or - for raw to stdout)\n"); return 2; }
            out_name = argv[++i];
        } else if (!strcmp(a, "--seconds")) {
            if (!has_value || !parse_count(argv[i + 1], 24 * 3600, &seconds)) {
                fprintf(stderr, "xmtool: render: --seconds needs a whole number of seconds, 1..86400\n");
                return 2;
            }
            i++;
        } else if (!strcmp(a, "--loops")) {
            if (!has_value || !parse_count(argv[i + 1], 1000, &loops)) {
                fprintf(stderr, "xmtool: render: --loops needs a count, 1..1000\n");
                return 2;
            }
            i++;
        } else if (!strcmp(a, "--rate")) {
            if (!has_value || !parse_count(argv[i + 1], 192000, &rate) || rate < 8000) {
                fprintf(stderr, "xmtool: render: --rate needs a rate in Hz, 8000..192000\n");
                return 2;
            }
            i++;
        } else if (a[0] == '-' && a[1]) {
            fprintf(stderr, "xmtool: render: unknown option \"%s\"\n", a);
            return 2;
        } else if (!file) {
            file = a;
        } else {
            fprintf(stderr, "xmtool: render takes at most one FILE\n");
            return 2;
        }
    }
    if (!seconds && !loops) loops = 1;  // by default the song once, up to its jump back
    std::string out_path = out_name ? out_name : default_output(file);
    bool to_stdout = out_path == "-";
    // Raw frames on stdout, or in a file named *.raw; a WAV file otherwise.
    bool raw = to_stdout || (out_path.size() > 4 && out_path.compare(out_path.size() - 4, 4, ".raw") == 0);

    PlayerState* p = xmtool_load(file);
    if (!p) return 1;

    FILE* out = to_stdout ? stdout : fopen(out_path.c_str(), "wb");
    if (!out) {
        fprintf(stderr, "xmtool: %s: cannot write: %s\n", out_path.c_str(), strerror(errno));
        player_free(p);
        return 1;
    }
    // Few large writes: with stdio's default buffer the writes' system calls cost a tenth of a render.
    static char buffer[1 << 20];
    setvbuf(out, buffer, _IOFBF, sizeof buffer);
    uint8_t header[44];
    if (!raw) {
        wav_header(header, static_cast<int32_t>(rate), 0);
        fwrite(header, 1, sizeof header, out);
    }

    if (!audio_render_begin(p, static_cast<int32_t>(rate))) {
        fprintf(stderr, "xmtool: render: cannot start the renderer at %lld Hz\n", static_cast<long long>(rate));
        if (!to_stdout) fclose(out);
        player_free(p);
        return 1;
    }
    song_clock_start(p);
    // Loops are counted by the tick clock; an hour is the limit of a render by loops alone.
    int64_t limit = seconds ? seconds * rate : 3600 * rate;
    bool tty = isatty(2);
    double start = wall_seconds();
    double shown = 0;
    int64_t written = 0;
    bool ok = true;
    while (written < limit) {
        int32_t frames = 0;
        const int16_t* pcm = audio_render_next(&frames);
        if (!pcm) break;
        int64_t end = written + frames;
        if (loops && g_song_clock.loops >= loops) {
            int64_t at = g_song_clock.loop_at;  // lies within this slice or before it
            if (at < end) end = at < written ? written : at;
            limit = end;
        }
        if (end > limit) end = limit;
        size_t n = static_cast<size_t>(end - written);
        if (n && fwrite(pcm, 4, n, out) != n) {
            ok = false;
            break;
        }
        written = end;
        if (tty) {
            double now = wall_seconds();
            if (now - shown >= 0.1) {
                shown = now;
                double fraction = seconds ? static_cast<double>(written) / limit
                                          : (g_song_clock.loops + static_cast<double>(p->order_position) /
                                                                      (p->song_length > 0 ? p->song_length : 1)) /
                                                static_cast<double>(loops);
                progress(fraction, static_cast<double>(written) / rate);
            }
        }
        if (frames == 0) break;
    }
    audio_render_end();
    double elapsed = wall_seconds() - start;
    if (tty) {
        progress(1, static_cast<double>(written) / rate);
        fprintf(stderr, "\n");
    }
    if (!raw && ok) {
        wav_header(header, static_cast<int32_t>(rate), written);
        ok = fseek(out, 0, SEEK_SET) == 0 && fwrite(header, 1, sizeof header, out) == sizeof header;
    }
    if (to_stdout) ok = fflush(out) == 0 && ok;
    else ok = fclose(out) == 0 && ok;
    player_free(p);
    if (!ok) {
        fprintf(stderr, "xmtool: %s: write failed: %s\n", to_stdout ? "(stdout)" : out_path.c_str(), strerror(errno));
        return 1;
    }
    double audio = static_cast<double>(written) / rate;
    fprintf(stderr, "xmtool: rendered %.2f s (%lld frames at %lld Hz) to %s in %.3f s: %.0fx real time\n", audio,
            static_cast<long long>(written), static_cast<long long>(rate), to_stdout ? "stdout (raw)" : out_path.c_str(),
            elapsed, elapsed > 0 ? audio / elapsed : 0.0);
    return 0;
}
