// audio/output.cpp -- playback start and stop, and the flags shared with the audio thread.
// Portable; the device itself is behind audio/wave_device.h.
#include "audio/audio.h"

#include <atomic>

#include "audio/voice.h"

int32_t g_output_rate;
Voice   g_voices[VOICE_COUNT];

static std::atomic<uint8_t> g_render_busy{0};  // set by the audio thread around each slice

void audio_wait_idle()
{
    while (g_render_busy.load(std::memory_order_acquire)) {
    }
}

bool audio_stop(PlayerState* player)
{
    if (!player) return false;
    return true;
}
