// tests/unit/support/test_module.cpp -- in-memory modules for the player's tests.
#include "test_module.h"

#include <cstring>

#include "audio/audio.h"
#include "module/xm_loader.h"
#include "player/player.h"

TestModule::TestModule(int channels, std::vector<int> rows, int speed, int bpm)
{
    state.channel_count = static_cast<int16_t>(channels);
    state.song_length = static_cast<int16_t>(rows.size());
    state.restart_position = 0;
    state.flags = 1;
    state.default_speed = static_cast<int16_t>(speed);
    state.default_bpm = static_cast<int16_t>(bpm);
    state.initial_global_volume = 64;
    state.tick_callback = player_tick;
    for (size_t i = 0; i < rows.size(); i++) {
        state.order_table[i] = static_cast<uint8_t>(i);
        cells.emplace_back(static_cast<size_t>(rows[i] * channels), PatternCell{0, 0, 0, 0, 0});
        patterns.push_back(Pattern{rows[i], cells.back().data()});
    }
    state.patterns = patterns.data();
    state.pattern_slots = state.patterns_used = static_cast<int32_t>(rows.size());
    instruments.reserve(32);
}

PatternCell& TestModule::cell(int pattern, int row, int channel)
{
    return patterns[pattern].cells[row * state.channel_count + channel];
}

void TestModule::set(int pattern, int row, int channel, uint8_t note, uint8_t instrument,
                     uint8_t volume, uint8_t effect, uint8_t param)
{
    cell(pattern, row, channel) = PatternCell{note, instrument, volume, effect, param};
}

int TestModule::add_instrument(uint8_t volume, int32_t panning)
{
    sample_data.emplace_back(64 + 8, int16_t(0));
    for (int i = 0; i < 64; i++) sample_data.back()[i] = static_cast<int16_t>(i * 512 - 16384);
    sample_data.back()[64] = sample_data.back()[0];
    Sample s{};
    s.data = sample_data.back().data();
    s.length = 64;
    s.loop_start = 0;
    s.loop_length = 64;
    s.volume = volume;
    s.panning = panning;
    s.bits = 16;
    s.loop_type = 2;
    samples.push_back(s);
    Instrument inst{};
    inst.sample_count = 1;
    for (auto& slot : inst.samples) slot = &empty_sample;
    inst.samples[0] = &samples.back();
    instruments.push_back(inst);  // reserved above: earlier pointers stay valid
    state.instruments = instruments.data();
    state.instrument_count = static_cast<int16_t>(instruments.size());
    return static_cast<int>(instruments.size());
}

void TestModule::start() { StartPlayback(&state); }

void StartPlayback(PlayerState* p)
{
    g_output_rate = 44100;
    voices_reset();
    player_reset(p);
}
