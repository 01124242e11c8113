// tests/win/support/test_device.h -- a small window with a windowed Direct3D 8 device on the test
// display, for tests that need the real Wine implementation.
#pragma once
#include <d3d8.h>

bool              TestDisplayAvailable();   // QE_TEST_DISPLAY is set (wine-run gives it to X as DISPLAY)
IDirect3DDevice8* TestDeviceOpen();         // null when there is no display or no device
void              TestDeviceClose();        // safe after a failed or missing open
