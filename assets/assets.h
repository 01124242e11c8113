// assets/assets.h -- the data the program carries: the music module, then the pictures, stored one
// after another in that order; and the scroll text.
#pragma once
#include <cstdint>

extern "C" {
extern const uint8_t g_moduleData[];      // the XM module
extern const uint8_t g_moduleData_end[];
}

inline int32_t ModuleDataSize() { return static_cast<int32_t>(g_moduleData_end - g_moduleData); }
