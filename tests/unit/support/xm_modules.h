// tests/unit/support/xm_modules.h -- small modules for the loader's tests and the fuzzer's seeds.
#pragma once
#include "xm_writer.h"

xmw::Module OneSample(const xmw::Sample& s);   // two channels, one pattern of 4 rows, one instrument
xmw::Sample Ramp(int bits, int frames);         // a rising saw of 8- or 16-bit frames
xmw::Module Limits();                           // every limit the loader accepts at once
