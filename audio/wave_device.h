// audio/wave_device.h -- the only audio calls that touch the operating system: the wave output
// device, its one looping buffer, its play position, and the audio thread.
// wave_device_win32.cpp implements them with WinMM and KERNEL32; wave_device_host.cpp is a null
// device for the native builds, so that everything above it (audio/output.cpp) runs in tests.
#pragma once
#include <cstdint>

bool     wave_device_open(int32_t rate);            // 16-bit stereo PCM at rate Hz; false: no device
void     wave_device_close();                       // resets and closes; harmless when none is open
bool     wave_device_is_open();
void     wave_device_prepare(void* buffer, uint32_t bytes);  // the one buffer, set to loop without end
void     wave_device_write();                       // starts playing the prepared buffer from its start
void     wave_device_reset();                       // stops playing; the device no longer reads the buffer
void     wave_device_unprepare();                   // forgets the buffer; harmless when none is prepared
bool     wave_device_position_bytes(uint32_t* bytes);  // bytes played since the write, wrapping at 2^32;
                                                    // false: the device could not say, *bytes untouched

bool wave_device_thread_start(void (*proc)());      // runs proc at time-critical priority; false: no thread
void wave_device_thread_join();                     // waits until proc has returned, then forgets the thread
void wave_device_sleep(int32_t ms);
