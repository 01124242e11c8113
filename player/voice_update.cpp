// player/voice_update.cpp -- turns a channel's period, volume, panning and envelopes into the
// fields of its voice that the mixer reads, and hands a sounding note over to the twin voice.
// Portable; runs inside player_tick, at every tick for every channel. Holds the voice table.
#include "player/voice.h"

#include <cstring>

#include "base/math.h"
#include "player/channel.h"
#include "player/step.h"

Voice   g_voices[VOICE_COUNT];      // the mixer visits slots 0..63; the player binds channels to them
int32_t g_output_rate;              // Hz

void voices_reset()
{
    memset(g_voices, 0, sizeof g_voices);
    for (int32_t i = 0; i < VOICE_COUNT; i++) {
        g_voices[i].index = i;
        g_voices[i].step = 1;
    }
}

// 255 / 2^35: volume 64 x envelope 64 x fadeout 65536 x global 64 = 2^34 becomes 127.5 -> 128.
static const float kVolumeScale = 255.0f / 34359738368.0f;

static void set_gains(Voice* voice)
{
    voice->volume_left = voice->volume * (255 - voice->panning) / 255;
    voice->volume_right = voice->volume * voice->panning / 255;
}

// The twin of a voice: slots i and i + 32 take turns for channel i.
static Voice* twin_of(Voice* voice)
{
    int32_t slot = voice->index;
    if (slot < 0 || slot >= MIXED_VOICES) slot = static_cast<int32_t>(voice - g_voices) & (MIXED_VOICES - 1);
    int32_t twin = slot < 32 ? slot + 32 : slot - 32;
    return &g_voices[twin];
}

// The frequency of the linear table, 8363 x 2^(n / 768) Hz rounded, depends only on the whole
// number n = 4608 - (period - offset), and the x87 power costs more than the rest of a voice's
// update: fill_linear_frequencies (called by player_reset) works out each n in the table's range.
enum { kLinearLow = -8192, kLinearCount = 16384 };  // 5 Hz to 14.0 MHz
static int32_t g_linear_hz[kLinearCount];

static int64_t linear_frequency_of(int32_t n)
{
    double hz = 8363.0 * Pow(2.0, n / 768.0);
    // Keys far above the table (relative notes, big offsets) would overflow the record.
    return hz > 2147483647.0 ? 2147483647 : FloatToInt(hz);
}

void fill_linear_frequencies()
{
    for (int32_t slot = 0; slot < kLinearCount; slot++)
        g_linear_hz[slot] = static_cast<int32_t>(linear_frequency_of(slot + kLinearLow));
}

static int64_t linear_frequency(int32_t n)
{
    const uint32_t slot = static_cast<uint32_t>(n - kLinearLow);
    return slot < kLinearCount ? g_linear_hz[slot] : linear_frequency_of(n);
}

void update_voice(ChannelState* channel, const Sample* sample, const PlayerState* player)
{
    Voice* voice = channel->voice;
    if (!voice) return;
    // The offset (arpeggio, auto-vibrato) raises the pitch, so it is taken from the period: both
    // tables' periods fall as the pitch rises. Amiga period 0 has no frequency: the old one stays.
    bool linear = player->flags & LINEAR_PERIODS;
    int32_t period = channel->period - channel->period_offset;
    if (!linear && period == 0) channel->update_flags &= ~UPDATE_FREQUENCY;
    uint8_t flags = channel->update_flags;

    if (flags & UPDATE_TRIGGER) {
        if (voice->sample) {
            // The old note goes on in the twin at zero target gain, so the mixer ramps it out.
            Voice* twin = twin_of(voice);
            *twin = *voice;
            twin->index = static_cast<int32_t>(twin - g_voices);
            voice->volume_info = 0;
            voice->volume = 0;
            voice->volume_left = 0;
            voice->volume_right = 0;
            voice = twin;
            channel->voice = voice;
        }
        // A sample without data (an instrument without samples, a keymap entry beyond the
        // instrument's samples) leaves the voice silent rather than handing the mixer no data.
        voice->sample = sample->data ? const_cast<Sample*>(sample) : nullptr;
        uint32_t end = static_cast<uint32_t>(sample->loop_start + sample->loop_length);
        if (static_cast<uint32_t>(voice->start_offset) >= end) voice->start_offset = 0;
        voice->position = voice->start_offset;
        voice->position_fraction = 0;
        voice->direction = 1;
        voice->start_offset = 0;
        voice->level_left = 0;
        voice->level_right = 0;
        voice->ramp_remaining = 0;
    }

    if (flags & UPDATE_VOLUME) {
        float v = static_cast<float>(channel->volume) * static_cast<float>(channel->envelope_volume);
        v = v * static_cast<float>(channel->fadeout_volume);
        v = v * static_cast<float>(PlayerLoadGlobalVolume(player));
        v = v * kVolumeScale;
        int32_t volume = static_cast<int32_t>(FloatToInt(v));
        voice->volume_info = volume;
        voice->volume = volume;
        set_gains(voice);
    }

    if (flags & UPDATE_PANNING) {
        int32_t p = channel->panning;
        int32_t distance = p - 128 < 0 ? 128 - p : p - 128;
        int32_t q = p + ((128 - distance) / 32) * (channel->envelope_panning - 32);
        q = q < 0 ? 0 : (q > 255 ? 255 : q);
        voice->panning_info = q;
        voice->panning = q;
        set_gains(voice);
    }

    if (flags & UPDATE_FREQUENCY) {
        int64_t f;
        if (linear) {
            f = linear_frequency(4608 - period);
        } else {
            f = 14317056 / period;
        }
        voice->frequency = static_cast<int32_t>(f);
        uint64_t F = f < 100 ? 100 : static_cast<uint64_t>(f);
        uint64_t rate = g_output_rate > 0 ? static_cast<uint64_t>(g_output_rate) : 44100;
        voice->step = static_cast<int32_t>(F / rate);
        voice->step_fraction = static_cast<uint32_t>(((F % rate) << 32) / rate);
    }
}
