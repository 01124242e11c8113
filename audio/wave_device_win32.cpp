// audio/wave_device_win32.cpp -- the wave device through WinMM waveOut (the default wave mapper,
// no callback, one looping buffer) and the audio thread through KERNEL32.
#include "audio/wave_device.h"

#include <windows.h>
#include <mmsystem.h>

static HWAVEOUT g_wave_out;         // null when closed
static WAVEHDR  g_wave_header;      // the one header, over the whole ring
static int32_t  g_wave_rate;        // Hz, for the position fallbacks
static HANDLE   g_audio_thread;     // null when none
static void   (*g_thread_proc)();

bool wave_device_open(int32_t rate)
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.nAvgBytesPerSec = static_cast<DWORD>(rate) * 4;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    g_wave_out = device;
    g_wave_rate = rate;
    return true;
}

void wave_device_close()
{
    if (!g_wave_out) return;
    waveOutReset(g_wave_out);
    wave_device_unprepare();
    waveOutClose(g_wave_out);
    g_wave_out = nullptr;
}

bool wave_device_is_open()
{
    return g_wave_out != nullptr;
}

void wave_device_prepare(void* buffer, uint32_t bytes)
{
    g_wave_header = WAVEHDR{};
    g_wave_header.lpData = static_cast<LPSTR>(buffer);
    g_wave_header.dwBufferLength = bytes;
    g_wave_header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    g_wave_header.dwLoops = 0xFFFFFFFF;  // repeat without end
    if (g_wave_out) waveOutPrepareHeader(g_wave_out, &g_wave_header, sizeof g_wave_header);
}

void wave_device_write()
{
    if (g_wave_out) waveOutWrite(g_wave_out, &g_wave_header, sizeof g_wave_header);
}

void wave_device_reset()
{
    if (g_wave_out) waveOutReset(g_wave_out);
}

void wave_device_unprepare()
{
    if (!g_wave_header.lpData) return;
    if (g_wave_out) waveOutUnprepareHeader(g_wave_out, &g_wave_header, sizeof g_wave_header);  // result ignored
    g_wave_header.dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
    g_wave_header.lpData = nullptr;
}

bool wave_device_position_bytes(uint32_t* bytes)
{
    MMTIME time = {};
    time.wType = TIME_BYTES;
    if (!g_wave_out || waveOutGetPosition(g_wave_out, &time, sizeof time) != MMSYSERR_NOERROR) return false;
    // A driver may answer in another format than asked for.
    switch (time.wType) {
    case TIME_BYTES: *bytes = time.u.cb; return true;
    case TIME_SAMPLES: *bytes = time.u.sample * 4; return true;
    case TIME_MS: *bytes = static_cast<uint32_t>(static_cast<uint64_t>(time.u.ms) * static_cast<uint64_t>(g_wave_rate) / 1000 * 4); return true;
    default: return false;
    }
}

static DWORD WINAPI thread_entry(LPVOID)
{
    g_thread_proc();
    return 0;
}

bool wave_device_thread_start(void (*proc)())
{
    g_thread_proc = proc;
    g_audio_thread = CreateThread(nullptr, 0, thread_entry, nullptr, 0, nullptr);
    if (!g_audio_thread) return false;
    SetThreadPriority(g_audio_thread, THREAD_PRIORITY_TIME_CRITICAL);
    return true;
}

void wave_device_thread_join()
{
    if (!g_audio_thread) return;
    WaitForSingleObject(g_audio_thread, INFINITE);
    CloseHandle(g_audio_thread);
    g_audio_thread = nullptr;
}

void wave_device_sleep(int32_t ms)
{
    Sleep(static_cast<DWORD>(ms));
}
