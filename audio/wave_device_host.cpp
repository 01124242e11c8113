// audio/wave_device_host.cpp -- a null wave device for the native builds: it opens, accepts its
// buffer and never plays it; its position is whatever a test sets. The thread is a std::thread.
#include "audio/wave_device.h"
#include "audio/wave_device_host.h"

#include <atomic>
#include <chrono>
#include <thread>

static bool                  g_host_open;         // between open and close
static int32_t               g_host_open_calls;   // opens asked for, for tests
static bool                  g_host_fail_open;    // tests: no device
static std::atomic<uint32_t> g_host_position{0};  // bytes "played", set by tests
static std::atomic<int32_t>  g_host_fail_every{0}; // tests: every n-th position read fails; 0: none
static std::atomic<int32_t>  g_host_reads{0};      // position reads asked for, failed ones included
static std::thread           g_host_thread;
static uint32_t              g_host_prepared;     // bytes of the buffer prepared, 0 when none
static bool                  g_host_playing;      // written and not reset since

bool wave_device_open(int32_t rate)
{
    g_host_open_calls++;
    if (g_host_fail_open) return false;
    g_host_open = true;
    return true;
}

void wave_device_close()
{
    g_host_open = false;
}

bool wave_device_is_open()
{
    return g_host_open;
}

void wave_device_prepare(void* buffer, uint32_t bytes) { g_host_prepared = bytes; }

void wave_device_write()
{
    g_host_position.store(0, std::memory_order_relaxed);
    g_host_playing = true;
}

void wave_device_reset() { g_host_playing = false; }

void wave_device_unprepare() { g_host_prepared = 0; }

bool wave_device_position_bytes(uint32_t* bytes)
{
    const int32_t n = g_host_reads.load(std::memory_order_relaxed) + 1;
    const int32_t every = g_host_fail_every.load(std::memory_order_relaxed);
    const bool fails = every > 0 && n % every == 0;
    if (!fails) *bytes = g_host_position.load(std::memory_order_relaxed);
    // Counted last, with release: a test that sees the count also sees the thread done with the read.
    g_host_reads.store(n, std::memory_order_release);
    return !fails;
}

bool wave_device_thread_start(void (*proc)())
{
    g_host_thread = std::thread(proc);
    return true;
}

void wave_device_thread_join()
{
    if (g_host_thread.joinable()) g_host_thread.join();
}

void wave_device_sleep(int32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void wave_device_host_set_position(uint32_t bytes)
{
    g_host_position.store(bytes, std::memory_order_relaxed);
}

int32_t wave_device_host_open_calls()
{
    return g_host_open_calls;
}

void wave_device_host_fail_open(bool fail)
{
    g_host_fail_open = fail;
}

void wave_device_host_fail_position(int32_t every)
{
    g_host_fail_every.store(every, std::memory_order_relaxed);
}

int32_t wave_device_host_position_reads()
{
    return g_host_reads.load(std::memory_order_acquire);
}

uint32_t wave_device_host_prepared_bytes() { return g_host_prepared; }
bool     wave_device_host_playing() { return g_host_playing; }
