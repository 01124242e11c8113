// player/step.h -- the player's per-channel steps, shared by the sequencer, the effects and the
// voice update. Internal to player/ (and its tests).
#pragma once
#include <cstdint>

#include "module/module.h"
#include "module/xm_loader.h"  // empty_instrument, empty_sample

struct ChannelState;

// The effect-column commands this player knows (the file's numbers; 20 is K).
enum Effect {
    EFFECT_ARPEGGIO = 0,
    EFFECT_TONE_PORTAMENTO = 3,
    EFFECT_TONE_PORTAMENTO_VOLUME_SLIDE = 5,
    EFFECT_PATTERN_BREAK = 13,      // D
    EFFECT_EXTENDED = 14,           // E: the command is the parameter's high nibble
    EFFECT_SPEED_TEMPO = 15,        // F
    EFFECT_KEY_OFF = 20,            // K
};
enum ExtendedEffect { EXTENDED_PATTERN_LOOP = 6, EXTENDED_NOTE_DELAY = 13 };  // E6y, EDy

// The channel's instrument and sample, from its instrument index and key; never null.
void resolve_instrument(const PlayerState* player, const ChannelState* channel,
                        const Instrument** instrument, const Sample** sample);

void row_step(PlayerState* player, ChannelState* channel, const PatternCell* cell);   // tick 0
void tick_step(PlayerState* player, ChannelState* channel, const PatternCell* cell);  // ticks 1..
void instrument_reset(ChannelState* channel, const Sample* sample);
void envelope_step(ChannelState* channel, const Instrument* instrument, int update_flag);  // UPDATE_VOLUME or UPDATE_PANNING
void auto_vibrato(ChannelState* channel, const Instrument* instrument);
// The tables of x87 results that the ticks look up: the linear table's frequencies and the
// auto-vibrato sine. They depend on nothing else; player_reset fills them.
void fill_linear_frequencies();
void fill_vibrato_sine();
void update_voice(ChannelState* channel, const Sample* sample, const PlayerState* player);

// Volume column (v = the cell's volume byte) and effect column, at the row tick and the others.
void volume_column_row(ChannelState* channel, uint8_t v);
void volume_column_tick(ChannelState* channel, uint8_t v);
void effect_row(PlayerState* player, ChannelState* channel, const PatternCell* cell,
                int32_t saved_period, int32_t saved_volume, int32_t saved_panning);
void effect_tick(PlayerState* player, ChannelState* channel, const PatternCell* cell, const Sample* sample);

// The period of a key (0..255, relative note included) with a finetune, for the module's table:
// the linear period, or, for modules without the linear table, the Amiga period of the same pitch.
int32_t note_period_of(const PlayerState* player, int32_t real_key, int32_t finetune);
