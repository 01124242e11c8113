// audio/audio.h -- audio output: the waveOut ring, the audio thread and slice rendering.
#pragma once
#include <cstdint>

struct PlayerState;

extern int32_t g_output_rate;       // Hz, given to audio_open (44100)

bool    audio_open(int32_t rate, int32_t unused);   // false: no device, or no module I/O callbacks
void    audio_close();
bool    audio_start(PlayerState* player);           // false only for a null player
bool    audio_stop(PlayerState* player);            // false only for a null player
void    audio_wait_idle();                          // spins while the audio thread renders a slice
int32_t audio_get_order(PlayerState* player);
int32_t audio_get_row(PlayerState* player);
int32_t audio_get_time_ms(PlayerState* player);
