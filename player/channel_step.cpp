// player/channel_step.cpp -- one channel at a row tick and at the following ticks: instrument and
// sample resolution, note periods, instrument reset, envelopes, fadeout and auto-vibrato.
// Portable; runs inside player_tick.
#include "base/math.h"
#include "player/channel.h"
#include "player/step.h"
#include "player/voice.h"

static bool is_tone_portamento(uint8_t effect)
{
    return effect == EFFECT_TONE_PORTAMENTO || effect == EFFECT_TONE_PORTAMENTO_VOLUME_SLIDE;
}

void resolve_instrument(const PlayerState* player, const ChannelState* channel,
                        const Instrument** instrument, const Sample** sample)
{
    if (channel->instrument >= player->instrument_count || !player->instruments) {
        *instrument = &empty_instrument;
        *sample = &empty_sample;
        return;
    }
    const Instrument* inst = &player->instruments[channel->instrument];
    uint8_t number = channel->key < 96 ? inst->keymap[channel->key] : 16;
    const Sample* s = number < 16 ? inst->samples[number] : nullptr;
    *instrument = inst;
    *sample = s ? s : &empty_sample;
}

int32_t note_period_of(const PlayerState* player, int32_t real_key, int32_t finetune)
{
    int32_t linear = 7680 - real_key * 64 - finetune / 2;
    if (player->flags & LINEAR_PERIODS) return linear;
    // Without the linear table the period is an Amiga period (frequency 14317056 / period) chosen
    // for the same pitch: linear 4608 plays 8363 Hz, which is Amiga period 1712.
    double amiga = 1712.0 * Pow(2.0, (linear - 4608) / 768.0);
    int64_t period = FloatToInt(amiga);
    return period < 1 ? 1 : static_cast<int32_t>(period);
}

void instrument_reset(ChannelState* channel, const Sample* sample)
{
    channel->volume = sample->volume;
    channel->panning = sample->panning;
    channel->envelope_volume = 64;
    channel->envelope_panning = 32;
    channel->fadeout_volume = 65536;
    channel->key_off = 0;
    channel->volume_envelope_point = 0;
    channel->volume_envelope_tick = 0;
    channel->volume_envelope_slope = 0;
    channel->volume_envelope_done = 0;
    channel->panning_envelope_point = 0;
    channel->panning_envelope_tick = 0;
    channel->panning_envelope_slope = 0;
    channel->panning_envelope_done = 0;
    // The envelope values are left as they are: the first envelope step sets them.
    channel->vibrato_position = 0;
    channel->vibrato_sweep_counter = 0;
    channel->update_flags |= UPDATE_VOLUME | UPDATE_PANNING;
}

void envelope_step(ChannelState* channel, const Instrument* instrument, int update_flag)
{
    bool volume = update_flag == UPDATE_VOLUME;
    const EnvelopePoint* points = volume ? instrument->volume_points : instrument->panning_points;
    int32_t n = volume ? instrument->volume_point_count : instrument->panning_point_count;
    uint8_t type = volume ? instrument->volume_type : instrument->panning_type;
    int32_t sustain = volume ? instrument->volume_sustain : instrument->panning_sustain;
    int32_t loop_start = volume ? instrument->volume_loop_start : instrument->panning_loop_start;
    int32_t loop_end = volume ? instrument->volume_loop_end : instrument->panning_loop_end;
    int32_t* p = volume ? &channel->volume_envelope_point : &channel->panning_envelope_point;
    int32_t* t = volume ? &channel->volume_envelope_tick : &channel->panning_envelope_tick;
    int32_t* v = volume ? &channel->volume_envelope_value : &channel->panning_envelope_value;
    int32_t* o = volume ? &channel->envelope_volume : &channel->envelope_panning;
    int32_t* d = volume ? &channel->volume_envelope_slope : &channel->panning_envelope_slope;
    uint8_t* done = volume ? &channel->volume_envelope_done : &channel->panning_envelope_done;
    if (n > 12) n = 12;  // the record holds 12 points; a larger count from a file is cut

    if (*p < n && points[*p].x == *t) {
        // A loop start that names no point is not followed.
        if ((type & ENVELOPE_LOOP) && *p == loop_end && loop_start < n) {
            *p = loop_start;
            *t = points[*p].x;
        }
        if (*p == n - 1) {
            *o = points[*p].y;
            *done = 1;
            channel->update_flags |= update_flag;
            return;
        }
        if ((type & ENVELOPE_SUSTAIN) && *p == sustain && !channel->key_off) {
            *o = points[*p].y;
            channel->update_flags |= update_flag;
            return;
        }
        int32_t dx = points[*p + 1].x - points[*p].x;
        int32_t dy = points[*p + 1].y - points[*p].y;
        // 64-bit products: a file's y may be up to 65535, whose 16.16 value wraps like the record's.
        *d = dx ? static_cast<int32_t>(static_cast<int64_t>(dy) * 65536 / dx) : 0;
        *v = static_cast<int32_t>(static_cast<uint32_t>(points[*p].y) << 16);
        *p += 1;
    } else if (*p < n) {
        *v = static_cast<int32_t>(static_cast<uint32_t>(*v) + static_cast<uint32_t>(*d));
    }
    *o = *v >> 16;
    *t += 1;
    channel->update_flags |= update_flag;
}

// The sine waveform's value at each of the 256 phases, worked out with the x87 sine by
// fill_vibrato_sine (called by player_reset).
static int8_t g_vibrato_sine[256];

void fill_vibrato_sine()
{
    for (int32_t p = 0; p < 256; p++) {
        float angle = static_cast<float>(p) * 6.283184f / 256.0f;
        g_vibrato_sine[p] = static_cast<int8_t>(FloatToInt(Sin(angle) * 64.0));
    }
}

void auto_vibrato(ChannelState* channel, const Instrument* instrument)
{
    int32_t p = channel->vibrato_position;
    int32_t w;
    switch (instrument->vibrato_type) {
    case VIBRATO_SINE: w = g_vibrato_sine[p]; break;
    case VIBRATO_SQUARE: w = p < 128 ? 64 : -64; break;
    case VIBRATO_RAMP_DOWN: w = (128 - ((p + 128) % 256)) >> 1; break;
    case VIBRATO_RAMP_UP: w = (128 - ((384 - p) % 256)) >> 1; break;
    default: w = 0; break;  // the format defines no waveform above 3: no vibrato
    }
    int32_t a = w * instrument->vibrato_depth;
    if (instrument->vibrato_sweep) a = channel->vibrato_sweep_counter * a / instrument->vibrato_sweep;
    channel->period_offset += a >> 6;
    if (channel->vibrato_sweep_counter < instrument->vibrato_sweep) channel->vibrato_sweep_counter++;
    channel->vibrato_position += instrument->vibrato_rate;
    if (channel->vibrato_position > 255) channel->vibrato_position -= 256;
    channel->update_flags |= UPDATE_FREQUENCY;
}

// Steps 12 to 14 of the row step and 3 to 4 of the tick step: envelopes and fadeout.
static void envelopes_and_fadeout(ChannelState* channel, const Instrument* instrument, bool row_tick)
{
    if (instrument->volume_type & ENVELOPE_ON) {
        if (!channel->volume_envelope_done) envelope_step(channel, instrument, UPDATE_VOLUME);
    } else if (row_tick && channel->key_off) {
        channel->envelope_volume = 0;
    }
    if ((instrument->panning_type & ENVELOPE_ON) && !channel->panning_envelope_done)
        envelope_step(channel, instrument, UPDATE_PANNING);
    if (channel->key_off) {
        channel->fadeout_volume -= instrument->volume_fadeout;
        if (channel->fadeout_volume < 0) channel->fadeout_volume = 0;
        channel->update_flags |= UPDATE_VOLUME;
    }
}

void row_step(PlayerState* player, ChannelState* channel, const PatternCell* cell)
{
    bool portamento = is_tone_portamento(cell->effect);
    if (cell->instrument && !portamento) channel->instrument = static_cast<uint8_t>(cell->instrument - 1);
    // Notes 97..254 are keys the keymap does not have: they are read as no note.
    bool note = cell->note >= 1 && cell->note <= 96;
    if (note && !portamento) channel->key = static_cast<uint8_t>(cell->note - 1);

    const Instrument* instrument;
    const Sample* sample;
    resolve_instrument(player, channel, &instrument, &sample);

    int32_t saved_period = channel->period;
    int32_t saved_volume = channel->volume;
    int32_t saved_panning = channel->panning;
    channel->update_flags = 0;

    if (note) {
        channel->real_key = static_cast<uint8_t>(cell->note - 1 + sample->relative_note);
        channel->note_period = note_period_of(player, channel->real_key, sample->finetune);
        if (!portamento) channel->period = channel->note_period;
        channel->update_flags = UPDATE_TRIGGER;
    }
    channel->period_offset = 0;
    channel->update_flags |= UPDATE_FREQUENCY | UPDATE_VOLUME;

    if (cell->instrument) instrument_reset(channel, sample);
    if (cell->volume) volume_column_row(channel, cell->volume);
    if (cell->note == 255 || cell->effect == EFFECT_KEY_OFF) channel->key_off = 1;

    envelopes_and_fadeout(channel, instrument, true);
    effect_row(player, channel, cell, saved_period, saved_volume, saved_panning);
    auto_vibrato(channel, instrument);
    update_voice(channel, sample, player);
}

void tick_step(PlayerState* player, ChannelState* channel, const PatternCell* cell)
{
    const Instrument* instrument;
    const Sample* sample;
    resolve_instrument(player, channel, &instrument, &sample);
    channel->period_offset = 0;
    channel->update_flags = 0;
    envelopes_and_fadeout(channel, instrument, false);
    volume_column_tick(channel, cell->volume);
    effect_tick(player, channel, cell, sample);
    auto_vibrato(channel, instrument);
    update_voice(channel, sample, player);
}
