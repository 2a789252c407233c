#pragma once
// A Schroeder allpass section over a 32-bit delay line.

#include <cstdint>

// Fields in this order.
struct AllpassDelay {
  int32_t length = 0;  // L, entries of the buffer
  int32_t delay = 0;   // the owner's record of the delay; not read by RunAllpass
  int32_t writePosition = 0;
  int32_t readPosition = 0;
  int32_t* buffer = nullptr;  // L values, owned by the caller
  int32_t gain = 0;           // g x 256
};

// For each sample: v = x + (buffer[read] g >> 8), stored unsaturated at
// buffer[write]; then y = buffer[read] - (v g >> 8), reading buffer[read]
// after that store (they coincide for a zero delay); out = sat(y).
void RunAllpass(const int16_t* src, int16_t* dst, AllpassDelay* allpass, int32_t count);
