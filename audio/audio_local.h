// audio/audio_local.h -- the audio output's own state, shared by its files and its tests.
#pragma once
#include <atomic>
#include <cstdint>

struct PlayerState;

struct SlicePosition {              // where the player stood when a slice's rendering ended
    uint8_t order_position;         // low 8 bits
    uint8_t row;                    // low 8 bits
    int32_t elapsed_ms;
};

extern float          g_rate_inverse;       // 1 / g_output_rate
extern int32_t        g_slice_frames;       // stereo frames per audio slice (884 at 44100 Hz)
extern int32_t        g_ring_frames;        // stereo frames in the ring (100 slices)
extern int32_t        g_slice_count;        // g_ring_frames / g_slice_frames
extern int16_t*       g_ring;               // g_ring_frames x (left, right); the device loops over it
extern float*         g_mix_area;           // one float mix block per slice, 16-byte aligned
extern SlicePosition* g_slice_positions;    // one per slice
extern int32_t        g_write_slice;        // the next slice to render
extern PlayerState*   g_audio_player;       // the module playing; null when stopped

extern std::atomic<int32_t> g_audible_slice;   // the slice the device plays, as the thread counts
extern std::atomic<uint8_t> g_stop_request;    // main -> thread: end at the next poll
extern std::atomic<uint8_t> g_render_busy;     // thread -> main: a slice is being rendered
extern std::atomic<uint8_t> g_thread_exited;   // thread -> main: the thread has ended

bool    audio_set_rate(int32_t rate);          // sizes and ramp constants; false outside 8000..192000 Hz
void    render_slice();                        // renders g_write_slice and moves it on
int32_t audio_slice_at(uint32_t bytes);        // the slice the device is in, from its 32-bit position
void    audio_position_reset();                // the device starts again from byte 0
