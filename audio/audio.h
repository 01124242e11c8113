// audio/audio.h -- audio output: the waveOut ring, the audio thread and slice rendering.
#pragma once
#include <cstdint>

#include "player/voice.h"  // g_output_rate, given to audio_open

struct PlayerState;

bool    audio_open(int32_t rate, int32_t unused);   // false: no device, no module I/O callbacks, or a rate
                                                    // outside 8000..192000 Hz
void    audio_close();                              // stops any playback, then resets and closes the device
bool    audio_start(PlayerState* player);           // false for a null player, or with no device open
bool    audio_stop(PlayerState* player);            // false only for a null player
void    audio_wait_idle();                          // spins while the audio thread renders a slice
bool    player_free(PlayerState* player);           // false for null; stops playback first, then
                                                    // releases the module (xm_free)
int32_t audio_get_order(PlayerState* player);       // where the sound now heard was rendered;
int32_t audio_get_row(PlayerState* player);         // 0 for a null player or when nothing plays
int32_t audio_get_time_ms(PlayerState* player);

// Offline rendering through the same slices, without a device or a thread (tools, tests).
// begin resets the player as playback start does; next renders the following slice into the ring
// and returns its frames there (null before begin); end releases the buffers.
bool           audio_render_begin(PlayerState* player, int32_t rate);  // false: null player, unsupported
                                                                       // rate, a device open or playing
const int16_t* audio_render_next(int32_t* frames);
void           audio_render_end();
