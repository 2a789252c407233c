#pragma once
// A Schroeder allpass section over a 32-bit delay line.

#include <cstdint>

#include "dsp/ring_line.h"

// The line owns its values, stored unsaturated; the delay is
// (write - read) mod length.
struct AllpassDelay : RingLine<int32_t> {
  int32_t gain = 0;  // g x 256
};

// For each sample: v = x + (buffer[read] g >> 8), stored unsaturated at
// buffer[write]; then y = buffer[read] - (v g >> 8), reading buffer[read]
// after that store (they coincide for a zero delay); out = sat(y).
void RunAllpass(const int16_t* src, int16_t* dst, AllpassDelay* allpass, int32_t count);
