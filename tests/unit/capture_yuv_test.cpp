// The capture's conversion of its frames for the encoder (tools/capture/frame_yuv.h): the colour bars
// against their published BT.601 studio-range values, and the vector form against the one a pixel
// at a time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tools/capture/frame_yuv.h"

namespace {

struct Bar {
    const char* name;
    uint8_t r, g, b;
    int y, cb, cr;  // ITU-R BT.601, 8 bits, 100 % bars: the exact values rounded
};

const Bar kBars[] = {
    { "white", 255, 255, 255, 235, 128, 128 }, { "yellow", 255, 255, 0, 210, 16, 146 },
    { "cyan", 0, 255, 255, 170, 166, 16 },     { "green", 0, 255, 0, 145, 54, 34 },
    { "magenta", 255, 0, 255, 106, 202, 222 }, { "red", 255, 0, 0, 81, 90, 240 },
    { "blue", 0, 0, 255, 41, 240, 110 },       { "black", 0, 0, 0, 16, 128, 128 },
};

std::vector<uint8_t> Frame(int width, int height, uint32_t seed)
{
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < frame.size(); i++) {
        seed = seed * 1664525u + 1013904223u;
        frame[i] = i % 4 == 3 ? 0 : static_cast<uint8_t>(seed >> 24);
    }
    return frame;
}

}  // namespace

// Each bar at its published value: the coefficients in 1/16384 lose nothing that rounding keeps.
TEST(CaptureYuv, ColourBarsAtTheirPublishedValues)
{
    for (const Bar& bar : kBars) {
        std::vector<uint8_t> frame;
        for (int i = 0; i < 16 * 2; i++) frame.insert(frame.end(), { bar.b, bar.g, bar.r, 0 });
        std::vector<uint8_t> yuv(16 * 2 * 3 / 2);
        FrameToYuv420(frame.data(), 16, 2, yuv.data());
        EXPECT_EQ(yuv[0], bar.y) << bar.name;
        EXPECT_EQ(yuv[31], bar.y) << bar.name;
        EXPECT_EQ(yuv[32], bar.cb) << bar.name;
        EXPECT_EQ(yuv[40], bar.cr) << bar.name;
    }
}

// The show's size, and a width whose last pixels the vector form leaves to the other.
TEST(CaptureYuv, VectorFormEqualsOnePixelAtATime)
{
    for (const int width : { 640, 22 }) {
        const int height = width == 640 ? 480 : 6;
        const std::vector<uint8_t> frame = Frame(width, height, static_cast<uint32_t>(width));
        std::vector<uint8_t> fast(static_cast<size_t>(width) * height * 3 / 2), slow(fast.size());
        FrameToYuv420(frame.data(), width, height, fast.data());
        FrameToYuv420Reference(frame.data(), width, height, slow.data());
        EXPECT_EQ(fast, slow) << width << " x " << height;
    }
}
