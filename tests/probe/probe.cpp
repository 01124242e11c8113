// tests/probe/probe.cpp -- test instrumentation linked into quietembers-probe.exe only, never into
// quietembers.exe. The linker's --wrap sends the audio layer's calls to the wave device through
// the __wrap_ functions below, which watch the audio thread's polls and pass every call on
// unchanged. The program ends only through ExitProcess (AppShutdown; HeapExhausted), whose import
// slot is wrapped the same way: the report is written there, just before the real ExitProcess, to
// the file named by QE_PROBE_OUT, one key=value a line. (A TLS callback would not do: Wine calls
// the exe's TLS callbacks at process attach but not at detach.)
//
//   live_blocks        heap blocks still allocated (MemLiveBlocks) at exit
//   exit_code          the code given to ExitProcess
//   polls              position reads of the audio thread
//   position_failures  reads the device could not answer
//   lead_min_frames    the least lead, over the polls, of the frames rendered (pre-fill included)
//                      over the frames the device has played, read as the thread wakes from its
//                      sleep and before it renders: the ring's margin at its worst point
//   lead_min_slices, lead_min_ms  the same in slices and in milliseconds
//   slices_rendered    slices the audio thread rendered (the pre-fill not counted)
//   render_max_us      the longest render of one poll (position read to sleep)
//   poll_gap_max_us    the longest time from one wake to the next (5 ms when the thread is on time)
//   audio_threads, rate, slice_frames, ring_frames
//   audio_cpu_us       CPU time (user + kernel) of the audio threads, from their start to exit
//   audio_wall_us      how long they ran; audio_cpu_permille = the CPU time as a share of one
//                      core over that time, in thousandths
//   main_frames        frames the main loop presented after the audio thread started
//   main_cpu_us        the main thread's CPU time over those frames (its own work and the
//                      Direct3D driver's, which runs on it); main_cpu_us_per_frame
//   show_cpu_us        the main thread's CPU time inside FrameClockTick and ShowFrame: the show's
//                      own work per frame and the draw calls it makes; show_cpu_us_per_frame
// CPU times come from GetThreadTimes, which counts in the host's scheduler ticks (10 ms under
// Wine): a single frame's figure means nothing, a minute's sum is good to a tick or two per thread.
// The lead keys are missing when the thread never read a position.
//
// QE_PROBE_OUT is a Unix absolute path (Wine's drive Z:) or a Windows path. The report is formatted
// by hand and written with KERNEL32 alone.
//
// The probe also takes three pictures of the show, each read back (tools/capture/back_buffer.cpp)
// in the frame that drew it, just before its Present, and written beside the report as a 640 x 480
// PPM named after it with the extension replaced (probe-1.txt: probe-1-title.ppm, ...). Each is the
// first frame of its moment by the show's own timers, so a slow machine only draws fewer frames:
//   title        the title card at its brightest (the first such frame): the level its last
//                fade-in frame reached, which its hold keeps. That level depends on the frame
//                times (a slow frame can step over the fade-in, or the whole card), so the report
//                gives it: title_level, the grey that frame drew the card with (0..255)
//   composition  the composition at 30 s or later of show time, its opening fade over, before any
//                closing
//   end_card     the end card on black (after the closing fade) at 3 s or later of the end timer,
//                within its hold (2 to 6 s)
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "audio/audio_local.h"
#include "base/frame_clock.h"
#include "base/heap.h"
#include "shell/app.h"
#include "show/fade.h"
#include "show/show.h"
#include "show/slideshow.h"
#include "show/title_card.h"
#include "tools/capture/back_buffer.h"
#include "tools/capture/exit_report.h"
#include "tools/capture/forward_device.h"

extern int32_t g_output_rate;  // player/voice_update.cpp

// The wrapped functions, by their C++ names (bool wave_device_position_bytes(uint32_t*), ...).
extern "C" {
bool __real__Z26wave_device_position_bytesPj(uint32_t* bytes);
void __real__Z17wave_device_sleepi(int32_t ms);
bool __real__Z24wave_device_thread_startPFvvE(void (*proc)());
void __real__Z9ShowFramev();
void __real__Z14FrameClockTickv();
}

// The audio thread's own measurements: written by that thread only, read at exit, after
// audio_stop has joined it. (When the heap runs out, the process ends with the thread still
// running, and the report takes the figures as they stand.)
static int64_t  g_polls;
static int64_t  g_position_failures;
static int64_t  g_lead_min = INT64_MAX;    // frames
static int64_t  g_slices_rendered;
static int64_t  g_render_max;              // counter ticks
static int64_t  g_poll_gap_max;            // counter ticks
static int64_t  g_rendered;                // frames rendered into the ring, unwrapped
static int64_t  g_played;                  // bytes the device has played, unwrapped
static uint32_t g_position_last;           // the last 32-bit reading
static int32_t  g_slice_seen;              // g_write_slice at the last poll
static int64_t  g_wake;                    // counter at the last wake (0: none yet)
static int64_t  g_after_read;              // counter when the last position read returned

// Written by the main thread before each audio thread starts.
static void (*g_thread_proc)();
static bool    g_thread_fresh;             // the running thread has not polled yet
static int32_t g_audio_threads;
static std::atomic<DWORD> g_audio_thread_id{0};
static HANDLE  g_audio_thread;             // the running audio thread, null once it has ended
static int64_t g_audio_cpu_done;           // 100 ns units: the audio threads that have ended
static int64_t g_audio_wall_done;          // (these three are written by the audio thread itself)
static HANDLE  g_main_thread;              // opened as the first audio thread starts
static int64_t g_main_cpu_start;           // 100 ns units, at that moment
static uint32_t g_frames_start;
static int64_t g_show_cpu;                 // 100 ns units, inside ShowFrame and FrameClockTick

// The pictures: the one the frame being drawn is due to give (none: 0), the one read back and not
// yet written (the title card's waits for its end: a later frame may be brighter), those written.
enum Picture { kNoPicture, kTitlePicture, kCompositionPicture, kEndCardPicture, kPictures };
static const char* const kPictureSuffix[kPictures] = {nullptr, "-title.ppm", "-composition.ppm", "-end_card.ppm"};
static Picture g_picture_due;
static Picture g_picture_read;
static bool    g_picture_taken[kPictures];
static uint32_t g_title_colour;            // the title card's colour as its own loop keeps it
static int32_t g_title_level = -1;         // its grey in the frame read back for the picture
static uint8_t g_picture[15 + 640 * 480 * 4];  // a PPM header, then B, G, R, 0 read back
static void    WritePicture();
static float   g_title_timer;              // the title card's timer, summed as its own loop sums it
static double  g_show_time;                // the same for the main loop's frames

static void PictureDue(Picture picture)
{
    if (!g_picture_taken[picture]) g_picture_due = picture;
}

static int64_t Ticks(const FILETIME& t)
{
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

// A thread's CPU time (user + kernel) and, when `wall` is given, how long it has run: to its exit,
// or to now while it still runs. 100 ns units.
static int64_t ThreadCpu(HANDLE thread, int64_t* wall = nullptr)
{
    FILETIME created, exited, kernel, user;
    if (!thread || !GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
    if (wall) {
        DWORD code = 0;
        if (GetExitCodeThread(thread, &code) && code == STILL_ACTIVE) GetSystemTimeAsFileTime(&exited);
        *wall = Ticks(exited) - Ticks(created);
    }
    return Ticks(kernel) + Ticks(user);
}

static HANDLE OpenCurrentThread()
{
    return OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
}

static int64_t Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

static bool OnAudioThread()
{
    return GetCurrentThreadId() == g_audio_thread_id.load(std::memory_order_acquire);
}

static void ProbeThread()
{
    g_audio_thread = OpenCurrentThread();  // for the figures as they stand, should the process end with it running
    g_audio_thread_id.store(GetCurrentThreadId(), std::memory_order_release);
    g_thread_proc();
    // Wine answers GetThreadTimes for an ended thread with zeros: the thread reads its own as it ends.
    int64_t wall = 0;
    g_audio_cpu_done += ThreadCpu(GetCurrentThread(), &wall);
    g_audio_wall_done += wall;
    CloseHandle(g_audio_thread);
    g_audio_thread = nullptr;
}

extern "C" bool __wrap__Z24wave_device_thread_startPFvvE(void (*proc)())
{
    // The thread starts after the pre-fill: the whole ring is rendered and the device is at byte 0.
    if (!g_main_thread) {  // the main loop starts right after the first audio thread
        g_main_thread = OpenCurrentThread();
        g_main_cpu_start = ThreadCpu(g_main_thread);
        g_frames_start = g_framesPresented;
    }
    g_thread_proc = proc;
    g_thread_fresh = true;
    g_audio_threads++;
    return __real__Z24wave_device_thread_startPFvvE(ProbeThread);
}

// The show's own frame on the main thread, timed by that thread's CPU clock.
// Before the main loop (whose first audio thread sets g_main_thread) the title card ticks: its
// frame draws with the timer as it stood before the tick.
extern "C" void __wrap__Z14FrameClockTickv()
{
    if (!g_main_thread) {
        TitleCardFade(g_title_timer, &g_title_colour);
        if (static_cast<int32_t>(g_title_colour & 0xFF) > g_title_level) {
            PictureDue(kTitlePicture);
            g_title_level = static_cast<int32_t>(g_title_colour & 0xFF);
        }
    } else if (g_picture_read == kTitlePicture) {
        WritePicture();  // the card is over
    }
    const int64_t before = ThreadCpu(GetCurrentThread());
    __real__Z14FrameClockTickv();
    if (g_main_thread) g_show_time += g_frameTime;
    else g_title_timer += g_frameTime;
    g_show_cpu += ThreadCpu(GetCurrentThread()) - before;
}

extern "C" void __wrap__Z9ShowFramev()
{
    const int64_t before = ThreadCpu(GetCurrentThread());
    if (g_active != 0 && g_openingDone && !g_showEnded && g_show_time >= 30.0) PictureDue(kCompositionPicture);
    if (g_showEnded && g_endTimer >= 3.0f && g_endTimer <= 6.0f) PictureDue(kEndCardPicture);
    __real__Z9ShowFramev();
    g_show_cpu += ThreadCpu(GetCurrentThread()) - before;
}

extern "C" bool __wrap__Z26wave_device_position_bytesPj(uint32_t* bytes)
{
    if (!OnAudioThread()) return __real__Z26wave_device_position_bytesPj(bytes);
    const int64_t wake = Now();
    if (g_thread_fresh) {
        g_thread_fresh = false;
        g_rendered = g_ring_frames;
        g_slice_seen = g_write_slice;
        g_played = 0;
        g_position_last = 0;
    } else if (g_wake != 0 && wake - g_wake > g_poll_gap_max) {
        g_poll_gap_max = wake - g_wake;
    }
    g_wake = wake;
    // The slices rendered since the last poll (fewer than a ring: the thread stops at the device's).
    const int32_t done = (g_write_slice - g_slice_seen + g_slice_count) % g_slice_count;
    g_slice_seen = g_write_slice;
    g_rendered += static_cast<int64_t>(done) * g_slice_frames;
    g_slices_rendered += done;

    g_polls++;
    const bool ok = __real__Z26wave_device_position_bytesPj(bytes);
    g_after_read = Now();
    if (!ok) {
        g_position_failures++;
        return ok;
    }
    g_played += static_cast<int32_t>(*bytes - g_position_last);  // the audio layer's own unwrapping
    g_position_last = *bytes;
    const int64_t lead = g_rendered - g_played / 4;
    if (lead < g_lead_min) g_lead_min = lead;
    return ok;
}

extern "C" void __wrap__Z17wave_device_sleepi(int32_t ms)
{
    // On the audio thread the sleep ends each poll: what came since the read was rendering.
    if (OnAudioThread() && g_after_read != 0) {
        const int64_t render = Now() - g_after_read;
        if (render > g_render_max) g_render_max = render;
    }
    __real__Z17wave_device_sleepi(ms);
}

// ---- the report ----------------------------------------------------------------------------

struct Report {
    char    text[2048];
    int32_t used;
};

static void Put(Report* r, const char* s)
{
    while (*s && r->used < static_cast<int32_t>(sizeof r->text) - 1) r->text[r->used++] = *s++;
}

// value / 10^decimals in decimal, e.g. (87654, 1) -> "8765.4".
static void PutFixed(Report* r, int64_t value, int32_t decimals)
{
    char digits[32];
    int32_t n = 0;
    const bool negative = value < 0;
    uint64_t v = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
        if (n == decimals) digits[n++] = '.';
    } while (v != 0 || n <= decimals + (decimals > 0 ? 1 : 0));
    if (negative) Put(r, "-");
    char one[2] = {0, 0};
    while (n > 0) {
        one[0] = digits[--n];
        Put(r, one);
    }
}

static void PutKey(Report* r, const char* key, int64_t value, int32_t decimals = 0)
{
    Put(r, key);
    Put(r, "=");
    PutFixed(r, value, decimals);
    Put(r, "\n");
}

// The file QE_PROBE_OUT names as a Windows path, or with suffix in place of its extension; null
// when it is not set.
static const char* ProbePath(char (&path)[MAX_PATH + 32], const char* suffix = nullptr)
{
    const DWORD n = GetEnvironmentVariableA("QE_PROBE_OUT", path + 2, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    char* name = path + 2;
    if (name[0] == '/') {  // a Unix path: the same file through drive Z:
        name = path;
        name[0] = 'Z';
        name[1] = ':';
    }
    char* end = name + lstrlenA(name);
    for (char* c = name; *c; c++) {
        if (*c == '/') *c = '\\';
        if (*c == '\\') end = name + lstrlenA(name);
        if (*c == '.') end = c;
    }
    if (suffix) lstrcpynA(end, suffix, static_cast<int>(path + sizeof path - end));
    return name;
}

static void WriteFileAt(const char* name, const void* data, DWORD bytes)
{
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, data, bytes, &written, nullptr);
    CloseHandle(file);
}

static void WriteReport(UINT exitCode)
{
    char path[MAX_PATH + 32];
    const char* name = ProbePath(path);
    if (!name) return;

    int64_t ticks_per_second;
    {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        ticks_per_second = f.QuadPart > 0 ? f.QuadPart : 1;
    }
    Report r = {};
    PutKey(&r, "live_blocks", MemLiveBlocks());
    PutKey(&r, "exit_code", exitCode);
    if (g_title_level >= 0) PutKey(&r, "title_level", g_title_level);
    PutKey(&r, "polls", g_polls);
    PutKey(&r, "position_failures", g_position_failures);
    if (g_lead_min != INT64_MAX) {
        PutKey(&r, "lead_min_frames", g_lead_min);
        if (g_slice_frames > 0) PutKey(&r, "lead_min_slices", g_lead_min * 1000 / g_slice_frames, 3);
        if (g_output_rate > 0) PutKey(&r, "lead_min_ms", g_lead_min * 10000 / g_output_rate, 1);
    }
    PutKey(&r, "slices_rendered", g_slices_rendered);
    PutKey(&r, "render_max_us", g_render_max * 1000000 / ticks_per_second);
    PutKey(&r, "poll_gap_max_us", g_poll_gap_max * 1000000 / ticks_per_second);
    PutKey(&r, "audio_threads", g_audio_threads);
    PutKey(&r, "rate", g_output_rate);
    PutKey(&r, "slice_frames", g_slice_frames);
    PutKey(&r, "ring_frames", g_ring_frames);
    {
        int64_t wall = 0;
        const int64_t cpu = g_audio_cpu_done + ThreadCpu(g_audio_thread, &wall);
        wall += g_audio_wall_done;
        PutKey(&r, "audio_cpu_us", cpu / 10);
        PutKey(&r, "audio_wall_us", wall / 10);
        if (wall > 0) PutKey(&r, "audio_cpu_permille", cpu * 10000 / wall, 1);
    }
    if (g_main_thread) {
        const int64_t frames = static_cast<uint32_t>(g_framesPresented - g_frames_start);
        const int64_t cpu = ThreadCpu(g_main_thread) - g_main_cpu_start;
        PutKey(&r, "main_frames", frames);
        PutKey(&r, "main_cpu_us", cpu / 10);
        PutKey(&r, "show_cpu_us", g_show_cpu / 10);
        if (frames > 0) {
            PutKey(&r, "main_cpu_us_per_frame", cpu / frames, 1);
            PutKey(&r, "show_cpu_us_per_frame", g_show_cpu / frames, 1);
        }
    }

    WriteFileAt(name, r.text, static_cast<DWORD>(r.used));
}

// ---- the pictures ----------------------------------------------------------------------------

// The picture read back, as a PPM (R, G, B written over the B, G, R, 0 it was read in).
static void WritePicture()
{
    char path[MAX_PATH + 32];
    const char* name = ProbePath(path, kPictureSuffix[g_picture_read]);
    CopyMemory(g_picture, "P6\n640 480\n255\n", 15);
    for (int32_t i = 0; i < 640 * 480; i++) {
        const uint8_t* bgr = g_picture + 15 + i * 4;
        uint8_t* rgb = g_picture + 15 + i * 3;
        const uint8_t b = bgr[0], g = bgr[1], r = bgr[2];
        rgb[0] = r; rgb[1] = g; rgb[2] = b;
    }
    if (name) WriteFileAt(name, g_picture, 15 + 640 * 480 * 3);
    g_picture_taken[g_picture_read] = true;
    g_picture_read = kNoPicture;
}

// The device the program draws with: the picture that its frame is due to give is read back just
// before the frame is presented.
struct ProbeDevice : public ForwardDevice {
    IDirect3DSurface8* copy = nullptr;

    explicit ProbeDevice(IDirect3DDevice8* device) : ForwardDevice(device) {}

    HRESULT STDMETHODCALLTYPE Present(const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty) override
    {
        char why[96];
        if (g_picture_due && ReadBackBuffer(inner, &copy, g_picture + 15, why)) {
            g_picture_read = g_picture_due;
            if (g_picture_read != kTitlePicture) WritePicture();
        }
        g_picture_due = kNoPicture;
        return inner->Present(src, dst, window, dirty);
    }
};

static IDirect3DDevice8* WrapDevice(IDirect3DDevice8* device)
{
    return new ProbeDevice(device);
}

// Stands in for d3d8.dll's export, as in the capture build.
extern "C" IDirect3D8* WINAPI Direct3DCreate8(UINT sdkVersion)
{
    return WrapDirect3D(sdkVersion, WrapDevice);
}

// The program's calls to ExitProcess come here first (tools/capture/exit_report.h).
void ExitReport(UINT code)
{
    static LONG s_reported;  // a second caller (another thread ending the process) writes nothing
    if (InterlockedExchange(&s_reported, 1) == 0) WriteReport(code);
}
