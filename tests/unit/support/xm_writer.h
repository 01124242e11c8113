// tests/unit/support/xm_writer.h -- the XM writer the tests share with the forge
// (tools/xm_writer), and the module most loader tests start from.
#pragma once
#include "tools/xm_writer/xm_writer.h"

namespace xmw {

// A small module that uses every feature: two patterns (packed and mixed cells), three
// instruments (one without samples; one with an 8-bit forward loop and envelopes with sustain and
// loop; one with a 16-bit ping-pong sample and auto-vibrato) and an order table of 0, 1, 0.
Module Demo();

}  // namespace xmw
