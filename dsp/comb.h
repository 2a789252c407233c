#pragma once
// A feedback comb filter: the output is the line's delayed signal, and the
// delayed signal scaled by g is subtracted from the input written back.

#include <cstdint>

// Fields in this order.
struct CombDelay {
  int32_t length = 0;  // L, entries of the buffer
  int32_t delay = 0;   // the owner's record of the delay; not read by RunComb
  int32_t writePosition = 0;
  int32_t readPosition = 0;
  int16_t* buffer = nullptr;  // L samples, owned by the caller
  int32_t gain = 0;           // feedback g x 256
};

// For each sample: y = buffer[read]; out = y; buffer[write] = sat(x - (y g >> 8)).
// The stored value is saturated; the shift is arithmetic.
void RunComb(const int16_t* src, int16_t* dst, CombDelay* comb, int32_t count);
