// tools/capture/capture_main.cpp -- the capture build's entry point: reads its settings from the
// environment, opens the outputs and runs the program's own AppMain, which never returns.
//
//   QE_CAPTURE_FPS           frames per second of show time, 1..240 (default 60)
//   QE_CAPTURE_WAV           the WAV to write (a Unix path is taken as Wine's Z: drive); required
//   QE_CAPTURE_VIDEO         where the raw frames go: a path, or - for standard output (default)
//   QE_CAPTURE_ESCAPE_AT     seconds from the first frame at which Escape is pressed
//   QE_CAPTURE_ESCAPE_MUSIC  or: sample frames of music after which Escape is pressed
//   QE_CAPTURE_SECONDS_MAX   seconds from the first frame after which the window is closed
// Bad settings end the process at once with one line on standard error and exit code 2.
#include <windows.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/app.h"
#include "shell/app_win32.h"
#include "tools/capture/capture.h"

CaptureSettings g_capture = { 60, -1, -1, -1 };
int64_t g_capturePresents;

namespace {

HANDLE g_video = INVALID_HANDLE_VALUE;
bool   g_escapePosted;

void WriteHandle(HANDLE h, const void* data, DWORD bytes)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (bytes > 0) {
        DWORD done = 0;
        if (!WriteFile(h, p, bytes, &done, nullptr) || done == 0) return;
        p += done;
        bytes -= done;
    }
}

[[noreturn]] void BadSetting(const char* name, const char* value, const char* why)
{
    CaptureLog("capture: %s=%s: %s", name, value, why);
    ExitProcess(2);
}

// A setting as a decimal number of seconds, >= 0; false when unset.
bool SecondsSetting(const char* name, double* seconds)
{
    char value[64];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    if (n == 0) return false;
    if (n >= sizeof value) BadSetting(name, "...", "too long");
    char* end = nullptr;
    double v = strtod(value, &end);
    if (end == value || *end != '\0' || !(v >= 0.0) || v > 86400.0) BadSetting(name, value, "not a number of seconds from 0 to 86400");
    *seconds = v;
    return true;
}

bool IntegerSetting(const char* name, int64_t low, int64_t high, int64_t* out)
{
    char value[64];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    if (n == 0) return false;
    if (n >= sizeof value) BadSetting(name, "...", "too long");
    char* end = nullptr;
    long long v = strtoll(value, &end, 10);
    if (end == value || *end != '\0' || v < low || v > high) {
        char why[96];
        snprintf(why, sizeof why, "not a whole number from %lld to %lld", static_cast<long long>(low), static_cast<long long>(high));
        BadSetting(name, value, why);
    }
    *out = v;
    return true;
}

// The first frame whose time (frame / fps) is at or after the given seconds; the small allowance
// keeps a time like 0.3 at 60 fps on frame 18 although 0.3 * 60 comes out a hair above 18.
int64_t FrameAt(double seconds)
{
    return static_cast<int64_t>(std::ceil(seconds * g_capture.fps - 1e-6));
}

}  // namespace

void CaptureLog(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0) return;
    if (n > static_cast<int>(sizeof line) - 2) n = sizeof line - 2;
    line[n++] = '\n';
    WriteHandle(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(n));
}

void CaptureWindowsPath(const char* in, char* out, size_t size)
{
    size_t o = 0;
    const bool fromUnix = in[0] == '/' && size > 2;
    if (fromUnix) { out[o++] = 'Z'; out[o++] = ':'; }
    for (; *in && o + 1 < size; in++) out[o++] = fromUnix && *in == '/' ? '\\' : *in;
    out[o] = '\0';
}

bool CaptureVideoOpen(const char* path)
{
    if (!path || !*path || std::strcmp(path, "-") == 0) {
        g_video = GetStdHandle(STD_OUTPUT_HANDLE);
    } else {
        char name[MAX_PATH];
        CaptureWindowsPath(path, name, sizeof name);
        g_video = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return g_video != INVALID_HANDLE_VALUE && g_video != nullptr;
}

void CaptureVideoWrite(const void* bgr0)
{
    const uint8_t* p = static_cast<const uint8_t*>(bgr0);
    DWORD bytes = 640 * 480 * 4;
    while (bytes > 0) {
        DWORD done = 0;
        if (!WriteFile(g_video, p, bytes, &done, nullptr) || done == 0) {
            // The reader has gone (the encoder failed or was stopped): nothing more to capture for.
            CaptureLog("capture: cannot write frame %lld (error %lu)", static_cast<long long>(g_capturePresents),
                       GetLastError());
            ExitProcess(4);
        }
        p += done;
        bytes -= done;
    }
}

bool CaptureRecording()
{
    return g_capture.close_frame < 0 || g_capturePresents < g_capture.close_frame;
}

void CaptureAfterPresent()
{
    // Past the limit nothing more is recorded. WM_CLOSE goes again each frame until the program
    // ends: the title card's loop takes a quit for itself, and the show's loop draws one more frame.
    if (!CaptureRecording()) {
        PostMessageA(g_window, WM_CLOSE, 0, 0);
        return;
    }
    g_capturePresents++;
    CaptureSoundAdvance();
    CaptureAudioPoll();
    const int64_t next = g_capturePresents;  // the frame drawn next
    if (!g_escapePosted) {
        const bool due = g_capture.escape_frame >= 0
                             ? next >= g_capture.escape_frame
                             : g_capture.escape_music >= 0 && CaptureMusicFrames() >= g_capture.escape_music;
        if (due) {
            PostMessageA(g_window, WM_KEYDOWN, VK_ESCAPE, 1);
            g_escapePosted = true;
            CaptureLog("capture: escape before frame %lld", static_cast<long long>(next));
        }
    }
    if (!CaptureRecording()) {
        PostMessageA(g_window, WM_CLOSE, 0, 0);
        CaptureLog("capture: close before frame %lld", static_cast<long long>(next));
    }
    if (next % g_capture.fps == 0) CaptureLog("frames %lld", static_cast<long long>(next));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int64_t fps = 60;
    IntegerSetting("QE_CAPTURE_FPS", 1, 240, &fps);
    g_capture.fps = static_cast<uint32_t>(fps);

    double seconds;
    if (SecondsSetting("QE_CAPTURE_ESCAPE_AT", &seconds)) g_capture.escape_frame = FrameAt(seconds);
    IntegerSetting("QE_CAPTURE_ESCAPE_MUSIC", 0, INT64_C(1) << 40, &g_capture.escape_music);
    if (SecondsSetting("QE_CAPTURE_SECONDS_MAX", &seconds)) g_capture.close_frame = FrameAt(seconds);

    char wav[MAX_PATH], video[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("QE_CAPTURE_WAV", wav, sizeof wav);
    if (n == 0 || n >= sizeof wav) BadSetting("QE_CAPTURE_WAV", n ? "..." : "", "a path to the WAV to write is needed");
    n = GetEnvironmentVariableA("QE_CAPTURE_VIDEO", video, sizeof video);
    if (n >= sizeof video) BadSetting("QE_CAPTURE_VIDEO", "...", "too long");
    if (n == 0) std::strcpy(video, "-");

    if (!CaptureSoundOpen(wav)) {
        CaptureLog("capture: cannot create %s", wav);
        ExitProcess(3);
    }
    if (!CaptureVideoOpen(video)) {
        CaptureLog("capture: cannot open %s for the frames", video);
        ExitProcess(4);
    }
    CaptureLog("capture: %u frames a second, escape %s %lld, close before frame %lld", g_capture.fps,
               g_capture.escape_frame >= 0 ? "before frame" : "after music sample",
               static_cast<long long>(g_capture.escape_frame >= 0 ? g_capture.escape_frame : g_capture.escape_music),
               static_cast<long long>(g_capture.close_frame));
    AppMain();
    return 0;
}
