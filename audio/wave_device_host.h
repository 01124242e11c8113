// audio/wave_device_host.h -- what native tests can do to the null wave device.
#pragma once
#include <cstdint>

void    wave_device_host_set_position(uint32_t bytes);  // the play position the device reports next
int32_t wave_device_host_open_calls();                   // successful and failed opens since start
void    wave_device_host_fail_open(bool fail);           // the next opens find no device
void    wave_device_host_fail_position(int32_t every);  // every n-th position read fails (0: none)
int32_t wave_device_host_position_reads();               // position reads so far, failed ones included
uint32_t wave_device_host_prepared_bytes();             // the buffer prepared, 0 when none
bool    wave_device_host_playing();                      // written, and not reset since
