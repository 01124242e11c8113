// audio/wave_device_web.cpp -- the wave device in the browser: an AudioWorklet plays the ring,
// and the audio thread is a fiber of the main thread.
//
// The worklet cannot read the WebAssembly heap, so the device hands it the ring's bytes a little
// ahead of where it plays (kLeadFrames), each frame after the audio loop's poll. Its play position
// is the number of frames the worklet has played since the write. A byte is handed over only once
// the loop has rendered it for this pass of the ring: the loop renders each slice once the
// position has left it, so everything less than a ring (less a margin) ahead of the position it
// last read is final. The pre-fill, the slices rendered once played, and the closing fade heard
// a ring later all follow, as against waveOut.
//
// The audio thread's procedure runs on a fiber, one poll after each Present (audio/polled_loop.h).
// Main thread only.
#include "audio/wave_device.h"

#include <emscripten/emscripten.h>
#include <emscripten/fiber.h>

#include "audio/polled_loop.h"
#include "web/web.h"

extern "C" {
bool     web_audio_open(int32_t rate);            // false: no running audio context at this rate
void     web_audio_start();                       // the worklet forgets what it had; played count 0
void     web_audio_stop();
double   web_audio_played();                      // frames the worklet has played since the start
void     web_audio_send(const int16_t* frames, int32_t count);  // appends stereo frames to its queue
}

namespace {

const int32_t kRate = 44100;
const int64_t kLeadFrames = kRate * 3 / 2;  // handed to the worklet ahead of its play position (1.5 s)

bool     g_open;
uint8_t* g_ring;                          // the prepared buffer; null when none
uint32_t g_ringFrames;
bool     g_playing;                       // written and not reset
int64_t  g_sentFrames;                    // frames handed to the worklet since the write
int64_t  g_polledFrames;                  // the position the audio loop last read

emscripten_fiber_t g_mainFiber, g_audioFiber;
alignas(16) uint8_t g_mainAsyncify[16384];
alignas(16) uint8_t g_audioAsyncify[16384];
alignas(16) uint8_t g_audioStack[256 * 1024];

struct WebFibers {
    static inline void (*entry)();
    static void Run(void*) { entry(); }
    static bool Make(void (*e)())
    {
        entry = e;
        emscripten_fiber_init_from_current_context(&g_mainFiber, g_mainAsyncify, sizeof g_mainAsyncify);
        emscripten_fiber_init(&g_audioFiber, Run, nullptr, g_audioStack, sizeof g_audioStack, g_audioAsyncify,
                              sizeof g_audioAsyncify);
        return true;
    }
    static void ToAudio() { emscripten_fiber_swap(&g_mainFiber, &g_audioFiber); }
    static void ToMain() { emscripten_fiber_swap(&g_audioFiber, &g_mainFiber); }
    static void Free() {}
};
using AudioLoop = PolledLoop<WebFibers>;

void Feed()
{
    if (!g_playing || !g_ring || g_ringFrames == 0) return;
    const int64_t played = static_cast<int64_t>(web_audio_played());
    int64_t target = played + kLeadFrames;
    const int64_t rendered = g_polledFrames + g_ringFrames - g_ringFrames / 25;
    if (target > rendered) target = rendered;
    while (g_sentFrames < target) {
        const uint32_t at = static_cast<uint32_t>(g_sentFrames % g_ringFrames);
        int64_t run = g_ringFrames - at;
        if (run > target - g_sentFrames) run = target - g_sentFrames;
        web_audio_send(reinterpret_cast<const int16_t*>(g_ring + 4 * static_cast<size_t>(at)), static_cast<int32_t>(run));
        g_sentFrames += run;
    }
}

}  // namespace

void WebAudioPoll()
{
    AudioLoop::Poll();
    Feed();
}

bool wave_device_open(int32_t rate)
{
    if (rate != kRate || !web_audio_open(rate)) return false;
    g_open = true;
    return true;
}

void wave_device_close()
{
    wave_device_reset();
    wave_device_unprepare();
    g_open = false;
}

bool wave_device_is_open()
{
    return g_open;
}

void wave_device_prepare(void* buffer, uint32_t bytes)
{
    g_ring = static_cast<uint8_t*>(buffer);
    g_ringFrames = bytes / 4;
}

void wave_device_write()
{
    if (!g_open || !g_ring) return;
    web_audio_start();
    g_playing = true;
    g_sentFrames = 0;
    g_polledFrames = 0;
    Feed();
}

void wave_device_reset()
{
    if (g_playing) web_audio_stop();
    g_playing = false;
}

void wave_device_unprepare()
{
    g_ring = nullptr;
    g_ringFrames = 0;
}

bool wave_device_position_bytes(uint32_t* bytes)
{
    if (!g_open || !g_playing) return false;
    g_polledFrames = static_cast<int64_t>(web_audio_played());
    *bytes = static_cast<uint32_t>(static_cast<uint64_t>(g_polledFrames) * 4);  // wraps at 2^32, as waveOut's does
    return true;
}

bool wave_device_thread_start(void (*proc)())
{
    return AudioLoop::Start(proc);
}

void wave_device_thread_join()
{
    AudioLoop::Join();
}

void wave_device_sleep(int32_t ms)
{
    if (!AudioLoop::Sleep()) emscripten_sleep(ms);
}
