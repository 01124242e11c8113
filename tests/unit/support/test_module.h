// tests/unit/support/test_module.h -- a module built in memory, a few cells at a time, for the
// player's tests; and playback start as the renderer does it.
#pragma once
#include <cstdint>
#include <deque>
#include <vector>

#include "module/module.h"
#include "player/channel.h"
#include "player/voice.h"

struct TestModule {
    PlayerState                           state{};
    std::vector<Pattern>                  patterns;
    std::deque<std::vector<PatternCell>>  cells;
    std::vector<Instrument>               instruments;
    std::deque<Sample>                    samples;
    std::deque<std::vector<int16_t>>      sample_data;

    // channels per row; one pattern per entry of rows, played in that order (order i -> pattern i)
    TestModule(int channels, std::vector<int> rows, int speed = 6, int bpm = 125);

    PatternCell& cell(int pattern, int row, int channel);
    void set(int pattern, int row, int channel, uint8_t note, uint8_t instrument = 0,
             uint8_t volume = 0, uint8_t effect = 0, uint8_t param = 0);
    // An instrument with one looped sample (volume, panning) for every key; returns its number (1-based).
    int add_instrument(uint8_t volume = 64, int32_t panning = 128);
    Instrument& instrument(int number) { return instruments[number - 1]; }
    Sample& sample_of(int number) { return *instruments[number - 1].samples[0]; }

    PlayerState* p() { return &state; }
    void start();                        // playback start: player state, channels and voices
    void tick() { state.tick_callback(&state); }
};


// Playback start as the renderer does it: the playback fields, the first channel_count channels
// (each bound to its voice), and a voice table as audio_open leaves it, at 44100 Hz.
void StartPlayback(PlayerState* player);
