// assets/assets.h -- the data the program carries: the music module, then the pictures, stored one
// after another in that order; and the scroll text. assets/embed.py places it for every build and
// takes the sizes and counts below from here.
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

// The pictures, stored in this order directly behind the module. 16-bit images are little-endian
// words, rows top to bottom without padding; the slides are 256 x 256 DXT1 blocks.
enum {
    GLOBE_IMAGE_BYTES   = 64 * 64 * 2,      // A4R4G4B4
    SPARK_IMAGE_BYTES   = 32 * 32 * 2,      // R5G6B5
    CAPTION_IMAGE_BYTES = 128 * 128 * 2,    // R5G6B5
    TITLE_HEADER_BYTES  = 128,              // a DDS file header, never read
    TITLE_IMAGE_BYTES   = 256 * 256 * 2,    // R5G6B5
    SLIDE_IMAGE_BYTES   = 256 * 256 / 2,    // DXT1: 64 x 64 blocks of 8 bytes
    SLIDE_COUNT         = 7,
};
extern "C" {
extern const uint8_t g_globeImage[GLOBE_IMAGE_BYTES];
extern const uint8_t g_sparkImage[SPARK_IMAGE_BYTES];
extern const uint8_t g_captionImage[CAPTION_IMAGE_BYTES];
extern const uint8_t g_titleHeader[TITLE_HEADER_BYTES];
extern const uint8_t g_titleImage[TITLE_IMAGE_BYTES];
extern const uint8_t g_slideImages[SLIDE_COUNT * SLIDE_IMAGE_BYTES];
extern const uint8_t g_pictureData_end[];             // just past slide 6
}
extern const uint8_t* const g_slidePointers[SLIDE_COUNT];  // slide i at g_slideImages + i * SLIDE_IMAGE_BYTES
