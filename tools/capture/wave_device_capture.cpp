// tools/capture/wave_device_capture.cpp -- a simulated wave device and the audio thread as a fiber.
//
// The device "plays" its looping buffer at the frame clock's pace: after the Present that makes n
// frames, the sound has reached sample frame floor(n x 44100 / F) of the WAV. Once the buffer is
// written the device's position follows that count from the write on, and the bytes it moves over
// are appended to the WAV as they stand in the ring at that moment; before then (the title card,
// the set-up) the WAV gets silence. So the WAV starts with the video's first frame, and the audio
// output's protocol runs as it does against a real device: the pre-fill, each slice rendered again
// once the device has left it, the closing fade heard about one ring length after it is made.
//
// The audio thread is a fiber of the main thread, polled once after each Present
// (audio/polled_loop.h), so what it renders never depends on scheduling.
#include "audio/wave_device.h"

#include <cstring>

#include "audio/polled_loop.h"
#include "tools/capture/capture.h"

namespace {

const int32_t kRate = 44100;           // the WAV's rate; the program opens its device at this rate

HANDLE   g_wav = INVALID_HANDLE_VALUE;
int64_t  g_wavFrames;                   // sample frames written to the WAV

bool     g_open;
uint8_t* g_buffer;                      // the prepared ring; null when none
uint32_t g_bufferBytes;
bool     g_playing;                     // written and not reset
int64_t  g_startFrames = -1;            // WAV frames before the write: where the music starts
int64_t  g_startPresents = -1;
int64_t  g_position;                    // sample frames played since the write

void WriteAll(const void* data, DWORD bytes)
{
    if (!CaptureWrite(g_wav, data, bytes)) {
        CaptureLog("capture: cannot write the WAV (error %lu)", GetLastError());
        ExitProcess(3);
    }
}

void PutLE(uint8_t* p, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The header always states the data written so far, so the file is whole whenever the process
// ends: the program ends in ExitProcess, with nothing of ours run after it.
void WriteHeader()
{
    uint8_t h[44];
    const uint32_t data = static_cast<uint32_t>(g_wavFrames * 4);
    std::memcpy(h, "RIFF", 4);
    PutLE(h + 4, 36 + data, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLE(h + 16, 16, 4);
    PutLE(h + 20, 1, 2);             // PCM
    PutLE(h + 22, 2, 2);             // stereo
    PutLE(h + 24, kRate, 4);
    PutLE(h + 28, kRate * 4, 4);
    PutLE(h + 32, 4, 2);
    PutLE(h + 34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    PutLE(h + 40, data, 4);
    SetFilePointer(g_wav, 0, nullptr, FILE_BEGIN);
    WriteAll(h, sizeof h);
    SetFilePointer(g_wav, 0, nullptr, FILE_END);
}

struct WindowsFibers {
    static inline void* main;
    static inline void* audio;
    static inline void (*entry)();
    static void WINAPI Run(void*) { entry(); }  // never returns: that would end the thread
    static bool Make(void (*e)())
    {
        if (!main) main = ConvertThreadToFiber(nullptr);
        if (!main) return false;
        entry = e;
        audio = CreateFiber(0, Run, nullptr);
        return audio != nullptr;
    }
    static void ToAudio() { SwitchToFiber(audio); }
    static void ToMain() { SwitchToFiber(main); }
    static void Free() { DeleteFiber(audio); audio = nullptr; }
};
using AudioLoop = PolledLoop<WindowsFibers>;

}  // namespace

bool CaptureSoundOpen(const char* path)
{
    char name[MAX_PATH];
    CaptureWindowsPath(path, name, sizeof name);
    g_wav = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_wav == INVALID_HANDLE_VALUE) return false;
    g_wavFrames = 0;
    WriteHeader();
    return true;
}

void CaptureSoundAdvance()
{
    static uint8_t chunk[kRate * 4];  // one second: a frame lasts at most that long (F >= 1)
    const int64_t target = g_capturePresents * kRate / g_capture.fps;
    uint32_t count = static_cast<uint32_t>(target - g_wavFrames);
    if (g_playing && g_buffer && g_bufferBytes >= 4) {
        const uint32_t ringFrames = g_bufferBytes / 4;
        uint32_t at = static_cast<uint32_t>(g_position % ringFrames);
        for (uint32_t i = 0; i < count;) {
            uint32_t run = ringFrames - at < count - i ? ringFrames - at : count - i;
            std::memcpy(chunk + 4 * i, g_buffer + 4 * static_cast<size_t>(at), 4 * static_cast<size_t>(run));
            i += run;
            at = at + run == ringFrames ? 0 : at + run;
        }
        g_position += count;
    } else {
        std::memset(chunk, 0, 4 * static_cast<size_t>(count));
    }
    if (g_wav != INVALID_HANDLE_VALUE) {
        WriteAll(chunk, 4 * count);
        g_wavFrames = target;
        WriteHeader();
    }
}

void CaptureAudioPoll()
{
    AudioLoop::Poll();
}

int64_t CaptureMusicFrames()
{
    return g_startFrames < 0 ? -1 : g_position;
}

int64_t CaptureMusicStartPresents()
{
    return g_startPresents;
}

// ---- the device -------------------------------------------------------------------------------

bool wave_device_open(int32_t rate)
{
    if (rate != kRate) {
        CaptureLog("capture: the program asked for %d Hz; the capture records %d Hz", rate, kRate);
        return false;
    }
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
    g_buffer = static_cast<uint8_t*>(buffer);
    g_bufferBytes = bytes;
}

void wave_device_write()
{
    if (!g_open || !g_buffer) return;
    g_playing = true;
    g_position = 0;
    if (g_startFrames < 0) {
        g_startFrames = g_wavFrames;
        g_startPresents = g_capturePresents;
        CaptureLog("capture: music starts after frame %lld, at sample %lld", static_cast<long long>(g_startPresents),
                   static_cast<long long>(g_startFrames));
    }
}

void wave_device_reset()
{
    g_playing = false;
}

void wave_device_unprepare()
{
    g_buffer = nullptr;
    g_bufferBytes = 0;
}

bool wave_device_position_bytes(uint32_t* bytes)
{
    if (!g_open) return false;
    *bytes = static_cast<uint32_t>(static_cast<uint64_t>(g_position) * 4);  // wraps at 2^32, as waveOut's does
    return true;
}

// ---- the audio thread, as a fiber -------------------------------------------------------------

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
    if (!AudioLoop::Sleep()) Sleep(static_cast<DWORD>(ms));
}
