// assets/assets.h -- the data the program carries: the music module, then the pictures, stored one
// after another in that order; and the scroll text.
#pragma once
#include <cstdint>

extern "C" {
extern const uint8_t g_moduleData[];      // the XM module
extern const uint8_t g_moduleData_end[];
}

inline int32_t ModuleDataSize() { return static_cast<int32_t>(g_moduleData_end - g_moduleData); }

// The scroll text: Windows-1252, CRLF line ends, then a NUL; the array is 65,536 bytes, zero past the
// text. g_scrollText_end marks the end of the text itself (where the NUL is).
extern "C" {
extern const uint8_t g_scrollText[65536];
extern const uint8_t g_scrollText_end[];
}
inline int32_t ScrollTextSize() { return static_cast<int32_t>(g_scrollText_end - g_scrollText); }
