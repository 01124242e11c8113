// tools/capture/frame_yuv.h -- a captured frame as the encoder stores it: B, G, R, 0 pixels into
// planar Y'CbCr 4:2:0 (ffmpeg's yuv420p), ITU-R BT.601 at studio range (Y' 16..235, Cb and Cr
// 16..240): of 8-bit R, G, B,
//   Y' = 16 + (65.481 R + 128.553 G + 24.966 B) / 255
//   Cb = 128 + (-37.797 R - 74.203 G + 112 B) / 255
//   Cr = 128 + (112 R - 93.786 G - 18.214 B) / 255
// in integers: the coefficients in 1/16384 (those of Cb and of Cr summing to 0, so that grey has
// no colour), the results rounded.
// Cb and Cr are taken of the mean of each 2 x 2 block (sited at its centre, as ffmpeg's own
// conversion does), the sums rounded once. Portable: the capture build converts in its writer thread,
// the unit tests natively.
#pragma once

#include <cstddef>
#include <cstdint>

// width and height even; out holds width * height * 3 / 2 bytes: the Y' plane, then Cb, then Cr.
void FrameToYuv420(const uint8_t* bgr0, int width, int height, uint8_t* out);

// The same, one pixel at a time: what FrameToYuv420 must equal (its vector form is checked against it).
void FrameToYuv420Reference(const uint8_t* bgr0, int width, int height, uint8_t* out);
