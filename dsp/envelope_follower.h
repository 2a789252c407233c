#pragma once
// An envelope follower: a running sum of scaled magnitudes over a window of
// L samples (with k = 1/L, the moving average of |x|).

#include <cstdint>

#include "dsp/ring_line.h"

// The ring owns the window's past scaled magnitudes; the read position is
// the oldest entry.
struct EnvelopeFollower : RingLine<int16_t> {
  int32_t sum = 0;     // carried from call to call
  float scale = 0.0f;  // k
};

// For each sample: e = round-half-even(|x| k) in single precision; the oldest
// entry leaves the sum and e enters it; out = sat(sum).
void RunEnvelope(const int16_t* src, int16_t* dst, EnvelopeFollower* follower, int32_t count);
