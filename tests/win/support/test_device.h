// tests/win/support/test_device.h -- a small window with a windowed Direct3D 8 device on the test
// display, for tests that need the real Wine implementation.
#pragma once
#include <d3d8.h>

bool              TestDisplayAvailable();   // QE_TEST_DISPLAY is set (wine-run gives it to X as DISPLAY)
bool              TestSessionRequired();    // CI, or inside the headless session: display and sound must be there
IDirect3DDevice8* TestDeviceOpen();         // null when there is no display or no device
void              TestDeviceClose();        // safe after a failed or missing open

// A test that needs the headless session's display or sound server skips without it, except where
// the session is known to be there (CI always has one; scripts/test runs inside one): there a
// missing display or device is a failure, not a skip.
#define QE_SKIP_WITHOUT_SESSION(what)                                                          \
    do {                                                                                       \
        if (TestSessionRequired()) FAIL() << "no " << (what) << ", although the session has one"; \
        GTEST_SKIP() << "no " << (what);                                                       \
    } while (0)
