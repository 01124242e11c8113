// base/math.h -- the float helpers the whole program shares, and its random numbers.
// Sine, cosine, power and float-to-integer run on the x87 unit with the same instructions and the
// same 64-bit precision on every x86 build, so the player and the show compute identical numbers on
// Windows and on the native builds. Portable (x86 and x86-64, GCC and clang); the WebAssembly build
// uses the C library's double routines, and its sound is checked against the native render.
#pragma once
#include <cstdint>

double  Sin(double radians);
double  Cos(double radians);
double  Sqrt(double x);
double  Pow(double x, double y);      // 0 for x = 0; x must otherwise be positive
int64_t FloatToInt(double x);         // nearest integer, ties to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2)

// MT19937 with the 1998 reference seeding (multiplier 69069), seeded with 4357 on first use.
void    RandomSeed(uint32_t seed);
int32_t Random();                     // 0..32767: the low 15 bits of the tempered word
