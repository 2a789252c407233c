#pragma once
// A circular delay line of 16-bit samples.

#include <cstdint>

#include "dsp/ring_line.h"

// The line owns its samples; the delay is (write - read) mod length.
using DelayLine = RingLine<int16_t>;

// For each sample: store the input at the write position, advance it, then
// take the output from the read position and advance that. The write comes
// before the read, so read == write gives delay 0 (the input passes through).
void RunDelayLine(const int16_t* src, int16_t* dst, DelayLine* line, int32_t count);
