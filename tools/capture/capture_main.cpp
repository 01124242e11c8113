// tools/capture/capture_main.cpp -- the capture build's entry point: reads its settings from the
// environment, opens the outputs and runs the program's own AppMain, which never returns.
//
//   QE_CAPTURE_FPS           frames per second of show time, 1..240 (default 60)
//   QE_CAPTURE_WAV           the WAV to write (a Unix path is taken as Wine's Z: drive); required
//   QE_CAPTURE_VIDEO         where the raw frames go: a path, - for standard output (default), or
//                            none: no frame is read back or written (a run for its sound and exit)
//   QE_CAPTURE_VIDEO_FORMAT  bgr0 (default): 4 bytes a pixel, B, G, R, 0; or yuv420p: converted as
//                            frame_yuv.h says, by the writer thread, for an encoder that takes it as
//                            it is (a third of the bytes, and no conversion of its own)
//   QE_CAPTURE_ACTION        escape (default), close or deactivate: what is done to the program at
//                            the moment below -- the Escape key, WM_CLOSE (as Alt+F4 sends it), or
//                            WM_ACTIVATE with WA_INACTIVE (another window took the focus)
//   QE_CAPTURE_ACTION_FRAME  the moment: the action is posted after the Present that makes N frames,
//                            so the first message loop to look takes it before frame N (frames
//                            count from 0, the title card's first); 1..2^40
//   QE_CAPTURE_ESCAPE_AT     or: seconds from the first frame at which the action comes (for
//                            escape, the name says it)
//   QE_CAPTURE_ESCAPE_MUSIC  or: sample frames of music after which the action comes
//   QE_CAPTURE_SECONDS_MAX   seconds from the first frame after which the window is closed
// Bad settings end the process at once with one line on standard error and exit code 2.
//
// Standard error gets one line per second of show ("frames N"), a line when the active flag
// changes ("capture: active X before frame N"), and, as the program ends (not on a bad setting),
// its report:
//   capture: exit code=C presents=P frames=F live_blocks=B
// P counts every Present (the last frame drawn is P - 1), F the frames recorded (fewer when
// QE_CAPTURE_SECONDS_MAX stopped the recording), B the heap blocks still allocated.
#include <windows.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/heap.h"
#include "shell/app.h"
#include "shell/app_win32.h"
#include "tools/capture/capture.h"
#include "tools/capture/exit_report.h"
#include "tools/capture/frame_yuv.h"

CaptureSettings g_capture = { 60, kCaptureEscape, -1, -1, -1, true };
int64_t g_capturePresents;
int64_t g_captureAllPresents;

namespace {

HANDLE  g_video = INVALID_HANDLE_VALUE;
bool    g_actionPosted;
bool    g_running;     // AppMain has been entered: the exit report is due
int32_t g_activeSeen;

const char* const kActionNames[] = { "escape", "close", "deactivate" };

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
// A setting that names one of count choices: its index, or -1 when unset.
int ChoiceSetting(const char* name, const char* const* choices, int count, const char* why)
{
    char value[32];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    if (n == 0) return -1;
    if (n >= sizeof value) BadSetting(name, "...", "too long");
    for (int i = 0; i < count; i++) {
        if (std::strcmp(value, choices[i]) == 0) return i;
    }
    BadSetting(name, value, why);
}

int64_t FrameAt(double seconds)
{
    return static_cast<int64_t>(std::ceil(seconds * g_capture.fps - 1e-6));
}

}  // namespace

bool CaptureWrite(HANDLE h, const void* data, DWORD bytes)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (bytes > 0) {
        DWORD done = 0;
        if (!WriteFile(h, p, bytes, &done, nullptr) || done == 0) return false;
        p += done;
        bytes -= done;
    }
    return true;
}

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
    CaptureWrite(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(n));
}

void CaptureWindowsPath(const char* in, char* out, size_t size)
{
    size_t o = 0;
    const bool fromUnix = in[0] == '/' && size > 2;
    if (fromUnix) { out[o++] = 'Z'; out[o++] = ':'; }
    for (; *in && o + 1 < size; in++) out[o++] = fromUnix && *in == '/' ? '\\' : *in;
    out[o] = '\0';
}

// The frames go out from a thread of their own, so that the main thread draws the next frame while
// the reader (the encoder) takes this one: a ring of kVideoSlots frames, filled by the main thread in
// order and written in order. g_videoFree counts the slots the main thread may fill, g_videoFull the
// ones the writer may write; the writer's failure ends the process there.
namespace {

const int kVideoSlots = 4;
const DWORD kFrameBytes = 640 * 480 * 4;
const DWORD kYuvBytes = 640 * 480 * 3 / 2;
uint8_t g_videoRing[kVideoSlots][kFrameBytes];
uint8_t g_videoYuv[kYuvBytes];
bool    g_videoAsYuv;    // QE_CAPTURE_VIDEO_FORMAT=yuv420p
HANDLE  g_videoFree;
HANDLE  g_videoFull;
HANDLE  g_videoWriter;
DWORD   g_videoWriterId;
int     g_videoFill;     // the slot the main thread fills next
bool    g_videoHeld;     // the main thread holds that slot (taken, not yet queued)
int64_t g_videoWritten;  // frames the writer has written, for its failure's line

DWORD WINAPI VideoWriter(void*)
{
    for (int slot = 0;; slot = (slot + 1) % kVideoSlots) {
        WaitForSingleObject(g_videoFull, INFINITE);
        if (g_videoAsYuv) FrameToYuv420(g_videoRing[slot], 640, 480, g_videoYuv);
        const bool written = g_videoAsYuv ? CaptureWrite(g_video, g_videoYuv, kYuvBytes)
                                          : CaptureWrite(g_video, g_videoRing[slot], kFrameBytes);
        if (!written) {
            // The reader has gone (the encoder failed or was stopped): nothing more to capture for.
            CaptureLog("capture: cannot write frame %lld (error %lu)", static_cast<long long>(g_videoWritten),
                       GetLastError());
            ExitProcess(4);
        }
        g_videoWritten++;
        ReleaseSemaphore(g_videoFree, 1, nullptr);
    }
}

}  // namespace

bool CaptureVideoOpen(const char* path, bool yuv)
{
    g_videoAsYuv = yuv;
    if (!path || !*path || std::strcmp(path, "-") == 0) {
        g_video = GetStdHandle(STD_OUTPUT_HANDLE);
    } else {
        char name[MAX_PATH];
        CaptureWindowsPath(path, name, sizeof name);
        g_video = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (g_video == INVALID_HANDLE_VALUE || g_video == nullptr) return false;
    g_videoFree = CreateSemaphoreA(nullptr, kVideoSlots, kVideoSlots, nullptr);
    g_videoFull = CreateSemaphoreA(nullptr, 0, kVideoSlots, nullptr);
    g_videoWriter = g_videoFree && g_videoFull ? CreateThread(nullptr, 0, VideoWriter, nullptr, 0, &g_videoWriterId) : nullptr;
    return g_videoWriter != nullptr;
}

uint8_t* CaptureVideoSlot()
{
    WaitForSingleObject(g_videoFree, INFINITE);
    g_videoHeld = true;
    return g_videoRing[g_videoFill];
}

void CaptureVideoQueue()
{
    g_videoFill = (g_videoFill + 1) % kVideoSlots;
    g_videoHeld = false;
    ReleaseSemaphore(g_videoFull, 1, nullptr);
}

void CaptureVideoFlush()
{
    // Every slot free but the one a failed read-back may hold: the writer has written the rest.
    if (!g_videoWriter || GetCurrentThreadId() == g_videoWriterId) return;
    const int others = g_videoHeld ? kVideoSlots - 1 : kVideoSlots;
    for (int i = 0; i < others; i++) WaitForSingleObject(g_videoFree, INFINITE);
    ReleaseSemaphore(g_videoFree, others, nullptr);
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
    if (g_active != g_activeSeen) {
        g_activeSeen = g_active;
        CaptureLog("capture: active %ld before frame %lld", static_cast<long>(g_active), static_cast<long long>(next - 1));
    }
    if (!g_actionPosted) {
        const bool due = g_capture.action_frame >= 0
                             ? next >= g_capture.action_frame
                             : g_capture.action_music >= 0 && CaptureMusicFrames() >= g_capture.action_music;
        if (due) {
            // Posted, as the desktop's own messages arrive: the loop that looks next takes it.
            switch (g_capture.action) {
            case kCaptureEscape:     PostMessageA(g_window, WM_KEYDOWN, VK_ESCAPE, 1); break;
            case kCaptureClose:      PostMessageA(g_window, WM_CLOSE, 0, 0); break;
            case kCaptureDeactivate: PostMessageA(g_window, WM_ACTIVATE, WA_INACTIVE, 0); break;
            }
            g_actionPosted = true;
            CaptureLog("capture: %s before frame %lld", kActionNames[g_capture.action], static_cast<long long>(next));
        }
    }
    if (!CaptureRecording()) {
        PostMessageA(g_window, WM_CLOSE, 0, 0);
        CaptureLog("capture: close before frame %lld", static_cast<long long>(next));
    }
    if (next % g_capture.fps == 0) CaptureLog("frames %lld", static_cast<long long>(next));
}

// The program ends only through ExitProcess (tools/capture/exit_report.h): the report goes out
// just before it.
void ExitReport(UINT code)
{
    CaptureVideoFlush();
    if (g_running) CaptureLog("capture: exit code=%u presents=%lld frames=%lld live_blocks=%ld", code,
               static_cast<long long>(g_captureAllPresents), static_cast<long long>(g_capturePresents),
               static_cast<long>(MemLiveBlocks()));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int64_t fps = 60;
    IntegerSetting("QE_CAPTURE_FPS", 1, 240, &fps);
    g_capture.fps = static_cast<uint32_t>(fps);

    const int action = ChoiceSetting("QE_CAPTURE_ACTION", kActionNames, 3, "not escape, close or deactivate");
    if (action >= 0) g_capture.action = static_cast<CaptureAction>(action);
    // One moment: a frame, a time, or a point in the music.
    double seconds;
    int moments = 0;
    if (IntegerSetting("QE_CAPTURE_ACTION_FRAME", 1, INT64_C(1) << 40, &g_capture.action_frame)) moments++;
    if (SecondsSetting("QE_CAPTURE_ESCAPE_AT", &seconds)) { g_capture.action_frame = FrameAt(seconds); moments++; }
    if (IntegerSetting("QE_CAPTURE_ESCAPE_MUSIC", 0, INT64_C(1) << 40, &g_capture.action_music)) moments++;
    if (moments > 1) BadSetting("QE_CAPTURE_ACTION_FRAME", "...", "give one of it, QE_CAPTURE_ESCAPE_AT and QE_CAPTURE_ESCAPE_MUSIC");
    if (action >= 0 && moments == 0) BadSetting("QE_CAPTURE_ACTION", kActionNames[action], "needs its moment: QE_CAPTURE_ACTION_FRAME");
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
    const char* const kFormats[] = { "bgr0", "yuv420p" };
    const bool yuv = ChoiceSetting("QE_CAPTURE_VIDEO_FORMAT", kFormats, 2, "not bgr0 or yuv420p") == 1;

    g_capture.video = std::strcmp(video, "none") != 0;
    if (g_capture.video && !CaptureVideoOpen(video, yuv)) {
        CaptureLog("capture: cannot open %s for the frames", video);
        ExitProcess(4);
    }
    CaptureLog("capture: %u frames a second, %s %s %lld, close before frame %lld%s", g_capture.fps,
               kActionNames[g_capture.action], g_capture.action_frame >= 0 ? "before frame" : "after music sample",
               static_cast<long long>(g_capture.action_frame >= 0 ? g_capture.action_frame : g_capture.action_music),
               static_cast<long long>(g_capture.close_frame), g_capture.video ? "" : ", no video");
    g_running = true;
    AppMain();
    return 0;
}
