// player/effects.cpp -- the volume-column and effect commands this player knows, at the row tick
// and at the following ticks. Every other command is read with the pattern and ignored, and no
// command remembers its parameter: a parameter of 0 means 0.
// Portable; runs inside player_tick.
#include "player/channel.h"
#include "player/player.h"
#include "player/step.h"

static void volume_slide(ChannelState* channel, int32_t amount)
{
    int32_t v = channel->volume + amount;
    channel->volume = v < 0 ? 0 : (v > 64 ? 64 : v);
    channel->update_flags |= UPDATE_VOLUME;
}

void volume_column_row(ChannelState* channel, uint8_t v)
{
    int32_t x = v & 15;
    if (v >= 0x10 && v <= 0x50) {
        channel->volume = v - 16;
        channel->update_flags |= UPDATE_VOLUME;
    } else if (v >= 0x60 && v <= 0x6F) {
        volume_slide(channel, -x);
    } else if (v >= 0x70 && v <= 0x7F) {
        volume_slide(channel, x);
    } else if (v >= 0x80 && v <= 0x8F) {
        volume_slide(channel, -x);
    } else if (v >= 0x90 && v <= 0x9F) {
        volume_slide(channel, x);
    } else if (v >= 0xC0 && v <= 0xCF) {
        channel->panning = x * 16;
        channel->update_flags |= UPDATE_PANNING;
    } else if (v >= 0xD0 && v <= 0xDF) {
        channel->panning -= x;  // no bound here: the voice update clamps what it derives
        channel->update_flags |= UPDATE_PANNING;
    } else if (v >= 0xE0 && v <= 0xEF) {
        channel->panning += x;
        channel->update_flags |= UPDATE_PANNING;
    } else if (v >= 0xF0) {
        // Tone portamento in the volume column: the note changes the period without a restart.
        channel->update_flags &= ~UPDATE_TRIGGER;
    }
}

// The slides 6x, 7x, Dx and Ex also run at the row tick (above), so they act speed times a row.
void volume_column_tick(ChannelState* channel, uint8_t v)
{
    int32_t x = v & 15;
    if (v >= 0x60 && v <= 0x6F) {
        volume_slide(channel, -x);
    } else if (v >= 0x70 && v <= 0x7F) {
        volume_slide(channel, x);
    } else if (v >= 0xD0 && v <= 0xDF) {
        channel->panning -= x;
        channel->update_flags |= UPDATE_PANNING;
    } else if (v >= 0xE0 && v <= 0xEF) {
        channel->panning += x;
        channel->update_flags |= UPDATE_PANNING;
    }
}

enum { DELAY_DROPS = UPDATE_FREQUENCY | UPDATE_VOLUME | UPDATE_PANNING | UPDATE_TRIGGER };

void effect_row(PlayerState* player, ChannelState* channel, const PatternCell* cell,
                int32_t saved_period, int32_t saved_volume, int32_t saved_panning)
{
    int32_t x = cell->param >> 4;
    int32_t y = cell->param & 15;
    switch (cell->effect) {
    case EFFECT_PATTERN_BREAK: {  // Dxy: pattern break, to row x * 10 + y of the next order entry
        int32_t row = x * 10 + y;
        player->next_row = row > 63 ? 0 : row;
        int32_t next = player->order_position + 1;
        player->next_order = next >= player->song_length ? 0 : next;  // not the restart position
        break;
    }
    case EFFECT_EXTENDED:
        if (x == EXTENDED_PATTERN_LOOP) {  // E6y: pattern loop; the start row stays in force into later patterns
            if (y == 0) {
                channel->loop_row = player->row;
            } else {
                channel->loop_count = channel->loop_count == 0 ? y : channel->loop_count - 1;
                if (channel->loop_count != 0) player->row = channel->loop_row - 1;
            }
        } else if (x == EXTENDED_NOTE_DELAY) {  // EDy: note delay; the old note sounds on until tick y
            channel->update_flags &= ~DELAY_DROPS;
            channel->period = saved_period;
            channel->volume = saved_volume;
            channel->panning = saved_panning;
        }
        break;
    case EFFECT_SPEED_TEMPO:  // Fxx: speed below 32, tempo from 32
        if (cell->param < 32) player->speed = cell->param;
        else player_set_bpm(player, cell->param);
        break;
    default:  // arpeggio acts at the following ticks, tone portamento in the row step, K is the key-off rule
        break;
    }
}

void effect_tick(PlayerState* player, ChannelState* channel, const PatternCell* cell, const Sample* sample)
{
    int32_t x = cell->param >> 4;
    int32_t y = cell->param & 15;
    if (cell->effect == EFFECT_ARPEGGIO && cell->param != 0) {  // arpeggio: note, +x, +y semitones by tick
        if (player->flags & LINEAR_PERIODS) {
            int32_t phase = player->tick % 3;
            if (phase == 1) channel->period_offset = x * 64;
            else if (phase == 2) channel->period_offset = y * 64;
        }
        channel->update_flags |= UPDATE_FREQUENCY;
    } else if (cell->effect == EFFECT_EXTENDED && x == EXTENDED_NOTE_DELAY) {
        if (player->tick == y) {
            instrument_reset(channel, sample);
            channel->period = channel->note_period;
            channel->update_flags |= UPDATE_FREQUENCY;
            if (cell->volume) volume_column_row(channel, cell->volume);
            channel->update_flags |= UPDATE_TRIGGER;
        } else {
            channel->update_flags &= ~DELAY_DROPS;
        }
    }
}
