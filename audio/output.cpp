// audio/output.cpp -- playback through a looping ring of audio slices: start and stop, slice
// rendering (player ticks between chunks of mixing), the audio thread that re-renders each slice
// the device has finished with, and the per-slice position records.
// Portable; the device and the thread are behind audio/wave_device.h. The interface runs on the
// main thread; render_slice runs there during the pre-fill and on the audio thread afterwards.
#include "audio/audio.h"

#include <cstring>

#include "audio/audio_local.h"
#include "audio/mixer.h"
#include "audio/wave_device.h"
#include "base/heap.h"
#include "base/math.h"
#include "module/module.h"
#include "module/stream.h"
#include "module/xm_loader.h"
#include "player/player.h"
#include "player/voice.h"

float   g_rate_inverse;             // 1 / g_output_rate
int32_t g_slice_frames;             // stereo frames per slice: 20 ms rounded up to a multiple of 4
int32_t g_ring_frames;              // two seconds' worth of slices
int32_t g_slice_count;              // slices in the ring (100)

int16_t*       g_ring;              // the device's looping buffer, g_ring_frames x 4 bytes
float*         g_mix_area;          // inside g_mix_memory, at its first 16-byte boundary
SlicePosition* g_slice_positions;   // g_slice_count records
int32_t        g_write_slice;       // next slice to render
PlayerState*   g_audio_player;      // null when stopped

static void* g_mix_memory;          // the allocation g_mix_area lies in
static bool  g_ring_prepared;       // the device holds g_ring as its buffer
static bool  g_thread_running;      // a thread was started and not yet joined

// The device's play position is a 32-bit byte count that wraps after about 6.8 hours at 44100 Hz.
// The thread folds each reading into a 64-bit count, so the slice stays right across the wrap.
static uint32_t g_position_last;    // the last 32-bit reading
static uint64_t g_position_bytes;   // bytes played since the device started, unwrapped

// The flags the two threads share. Each has one writer (see the table at audio_thread).
std::atomic<int32_t> g_audible_slice{0};
std::atomic<uint8_t> g_stop_request{0};
std::atomic<uint8_t> g_render_busy{0};
std::atomic<uint8_t> g_thread_exited{1};

enum { RATE_MIN = 8000, RATE_MAX = 192000 };

// ---- sizes and resets ----------------------------------------------------------------------

bool audio_set_rate(int32_t rate)
{
    if (rate < RATE_MIN || rate > RATE_MAX) return false;  // also keeps every size and ramp above 0
    g_output_rate = rate;
    g_rate_inverse = 1.0f / static_cast<float>(rate);
    g_slice_frames = (rate * 20 / 1000 + 3) & ~3;           // 882 -> 884 at 44100 Hz
    g_ring_frames = (1000 / 20) * g_slice_frames * 2;       // fifty slices a second, two seconds
    g_slice_count = g_ring_frames / g_slice_frames;
    g_ramp_frames = rate * 128 / 44100;
    g_ramp_scale = 1.0f / static_cast<float>(g_ramp_frames);
    return true;
}

static void allocate_buffers()
{
    g_slice_positions = static_cast<SlicePosition*>(MemCalloc(g_slice_count, sizeof(SlicePosition)));
    g_ring = static_cast<int16_t*>(MemCalloc(g_ring_frames, 4));
    g_mix_memory = MemCalloc(static_cast<size_t>(g_ring_frames) * 8 + 256, 1);
    g_mix_area = reinterpret_cast<float*>((reinterpret_cast<uintptr_t>(g_mix_memory) + 15) & ~static_cast<uintptr_t>(15));
}

// Releases what playback allocated; the device must no longer read the ring.
static void release_buffers()
{
    if (g_mix_memory) { MemFree(g_mix_memory); g_mix_memory = nullptr; g_mix_area = nullptr; }
    if (g_ring) { MemFree(g_ring); g_ring = nullptr; }
    g_audio_player = nullptr;
    if (g_slice_positions) { MemFree(g_slice_positions); g_slice_positions = nullptr; }
}

// ---- slice rendering -----------------------------------------------------------------------

// Renders slice g_write_slice: player ticks whenever a tick's worth of frames has been mixed,
// mixing in chunks between them, then the 16-bit conversion into the slice's place in the ring.
// Ticks are not aligned to slices: a tick may end inside a slice and the next begin there.
void render_slice()
{
    const int32_t s = g_write_slice;
    PlayerState* p = g_audio_player;
    float* block = g_mix_area + 2 * static_cast<size_t>(s) * g_slice_frames;
    memset(block, 0, static_cast<size_t>(g_slice_frames) * 2 * sizeof(float));
    int32_t done = 0;
    int32_t left = p->tick_samples_left;
    while (done < g_slice_frames) {
        if (left <= 0) {
            if (p->tick_callback) p->tick_callback(p);
            left = p->samples_per_tick;  // read after the tick: a tempo change counts at once
            if (left < 1) left = 1;      // a broken tempo must not stall the slice
        }
        int32_t chunk = left < g_slice_frames - done ? left : g_slice_frames - done;
        mix_voices(block + 2 * done, chunk);
        done += chunk;
        left -= chunk;
        // Each chunk's duration is rounded on its own (single precision, ties to even): the sum
        // drifts from the exact time by those roundings, 2005 ms for the ring's exact 2004.5.
        float ms = static_cast<float>(chunk) * g_rate_inverse * 1000.0f;
        p->elapsed_ms += static_cast<int32_t>(FloatToInt(ms));
    }
    SlicePosition* rec = &g_slice_positions[s];  // read from other threads: whole stores, no tearing
    __atomic_store_n(&rec->order_position, static_cast<uint8_t>(p->order_position), __ATOMIC_RELAXED);
    __atomic_store_n(&rec->row, static_cast<uint8_t>(p->row), __ATOMIC_RELAXED);
    __atomic_store_n(&rec->elapsed_ms, p->elapsed_ms, __ATOMIC_RELAXED);
    p->tick_samples_left = left;
    convert_to_pcm16(g_ring + 2 * static_cast<size_t>(s) * g_slice_frames, block, g_slice_frames);
    g_write_slice = s + 1 == g_slice_count ? 0 : s + 1;
}

int32_t audio_slice_at(uint32_t bytes)
{
    // A reading below the last one by less than 2^31 is taken as the device stepping back, and
    // anything else as a step forward: the 32-bit count wrapping is a small step forward.
    g_position_bytes += static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(bytes - g_position_last)));
    g_position_last = bytes;
    uint64_t frames = g_position_bytes / 4;
    return static_cast<int32_t>((frames % static_cast<uint64_t>(g_ring_frames)) / static_cast<uint64_t>(g_slice_frames));
}

void audio_position_reset()
{
    g_position_last = 0;
    g_position_bytes = 0;
}

// ---- the audio thread ----------------------------------------------------------------------
// Shared with the main thread, without locks:
//   g_stop_request   main writes (0 before the thread exists, 1 in audio_stop); the thread polls it.
//   g_render_busy    the thread writes (1 around each slice); main spins on it before stopping.
//   g_thread_exited  main writes 0 before creating the thread; the thread writes 1 as it ends;
//                    main releases the buffers only after reading 1 (release/acquire).
//   g_audible_slice  the thread writes; position queries read it on any thread.
// Everything else the thread touches is set up before it is created, which orders it.

static void audio_thread()
{
    while (!g_stop_request.load(std::memory_order_acquire)) {
        // A position the device cannot give is no position: the thread keeps the last good one and
        // renders nothing this time. Taking it as byte 0 would look like the device stepping back
        // to slice 0, and the thread would render over the slice that is playing.
        uint32_t bytes;
        if (wave_device_position_bytes(&bytes)) {
            const int32_t play = audio_slice_at(bytes);
            // Render every slice the device has left, up to the one it is in (never that one).
            while (g_write_slice != play) {
                g_render_busy.store(1, std::memory_order_seq_cst);
                render_slice();
                int32_t next = g_audible_slice.load(std::memory_order_relaxed) + 1;
                g_audible_slice.store(next == g_slice_count ? 0 : next, std::memory_order_relaxed);
                g_render_busy.store(0, std::memory_order_release);
            }
        }
        wave_device_sleep(5);
    }
    g_thread_exited.store(1, std::memory_order_release);
}

void audio_wait_idle()
{
    while (g_render_busy.load(std::memory_order_seq_cst)) {
    }
}

// ---- the interface -------------------------------------------------------------------------

bool audio_open(int32_t rate, int32_t unused)
{
    if (!module_io_ready()) return false;
    if (rate < RATE_MIN || rate > RATE_MAX) return false;
    audio_close();
    g_output_rate = rate;
    if (!wave_device_open(rate)) return false;
    audio_set_rate(rate);
    voices_reset();
    return true;
}

void audio_close()
{
    if (g_audio_player) audio_stop(g_audio_player);  // never close the device under a running thread
    wave_device_close();
}

bool audio_start(PlayerState* player)
{
    if (!player) return false;
    audio_stop(player);
    if (!wave_device_is_open()) return false;
    // A second start finds the voices of the earlier playback: clear them as audio_open does.
    voices_reset();
    player_reset(player);  // the start of the song, channel i on voice i
    g_audio_player = player;
    allocate_buffers();
    wave_device_prepare(g_ring, static_cast<uint32_t>(g_ring_frames) * 4);
    g_ring_prepared = true;

    // Pre-fill: every slice of the ring once, on this thread, before the device starts.
    g_write_slice = 0;
    do {
        render_slice();
    } while (g_write_slice != 0);
    g_audible_slice.store(0, std::memory_order_relaxed);
    audio_position_reset();
    wave_device_write();

    g_stop_request.store(0, std::memory_order_relaxed);
    g_thread_exited.store(0, std::memory_order_relaxed);  // before the thread exists, so a stop cannot see a stale 1
    g_thread_running = wave_device_thread_start(audio_thread);
    if (!g_thread_running) g_thread_exited.store(1, std::memory_order_relaxed);
    return true;
}

bool audio_stop(PlayerState* player)
{
    if (!player) return false;
    g_stop_request.store(1, std::memory_order_seq_cst);
    audio_wait_idle();
    if (g_thread_running) {
        while (!g_thread_exited.load(std::memory_order_acquire)) wave_device_sleep(50);
        wave_device_thread_join();
        g_thread_running = false;
    }
    if (g_ring_prepared) {
        // The device stops looping the ring here rather than at close, so that the ring can be
        // released and a later start can give the device a new one.
        wave_device_reset();
        wave_device_unprepare();
        g_ring_prepared = false;
    }
    release_buffers();
    return true;
}

bool player_free(PlayerState* player)
{
    if (!player) return false;
    audio_wait_idle();
    audio_stop(player);  // a device still playing would read the samples freed below
    xm_free(player);
    return true;
}

static const SlicePosition* audible_position(PlayerState* player)
{
    if (!player || !g_slice_positions) return nullptr;
    return &g_slice_positions[g_audible_slice.load(std::memory_order_relaxed)];
}

int32_t audio_get_order(PlayerState* player)
{
    const SlicePosition* rec = audible_position(player);
    return rec ? __atomic_load_n(&rec->order_position, __ATOMIC_RELAXED) : 0;
}

int32_t audio_get_row(PlayerState* player)
{
    const SlicePosition* rec = audible_position(player);
    return rec ? __atomic_load_n(&rec->row, __ATOMIC_RELAXED) : 0;
}

int32_t audio_get_time_ms(PlayerState* player)
{
    const SlicePosition* rec = audible_position(player);
    return rec ? __atomic_load_n(&rec->elapsed_ms, __ATOMIC_RELAXED) : 0;
}

// ---- offline rendering ---------------------------------------------------------------------

bool audio_render_begin(PlayerState* player, int32_t rate)
{
    if (!player || g_audio_player || wave_device_is_open()) return false;
    if (!audio_set_rate(rate)) return false;
    voices_reset();
    player_reset(player);  // the start of the song, channel i on voice i
    g_audio_player = player;
    allocate_buffers();
    g_write_slice = 0;
    return true;
}

const int16_t* audio_render_next(int32_t* frames)
{
    if (!g_audio_player || g_thread_running || g_ring_prepared) return nullptr;
    const int32_t s = g_write_slice;
    render_slice();
    if (frames) *frames = g_slice_frames;
    return g_ring + 2 * static_cast<size_t>(s) * g_slice_frames;
}

void audio_render_end()
{
    if (g_thread_running || g_ring_prepared) return;  // device playback: audio_stop ends that
    release_buffers();
}
