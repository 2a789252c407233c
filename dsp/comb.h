#pragma once
// A feedback comb filter: the output is the line's delayed signal, and the
// delayed signal scaled by g is subtracted from the input written back.

#include <cstdint>

#include "dsp/ring_line.h"

// The line owns its samples; the delay is (write - read) mod length.
struct CombDelay : RingLine<int16_t> {
  int32_t gain = 0;  // feedback g x 256
};

// For each sample: y = buffer[read]; out = y; buffer[write] = sat(x - (y g >> 8)).
// The stored value is saturated; the shift is arithmetic.
void RunComb(const int16_t* src, int16_t* dst, CombDelay* comb, int32_t count);
