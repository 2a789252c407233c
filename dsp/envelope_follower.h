#pragma once
// An envelope follower: a running sum of scaled magnitudes over a window of
// L samples (with k = 1/L, the moving average of |x|).

#include <cstdint>

// Fields in this order.
struct EnvelopeFollower {
  int16_t* buffer = nullptr;  // L past scaled magnitudes, owned by the caller
  int32_t length = 0;         // L
  int32_t sum = 0;            // carried from call to call
  int32_t readPosition = 0;   // the oldest entry
  int32_t writePosition = 0;
  float scale = 0.0f;  // k
};

// For each sample: e = round-half-even(|x| k) in single precision; the oldest
// entry leaves the sum and e enters it; out = sat(sum).
void RunEnvelope(const int16_t* src, int16_t* dst, EnvelopeFollower* follower, int32_t count);
