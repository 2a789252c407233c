#pragma once
// A circular delay line of 16-bit samples.

#include <cstdint>

// Fields in this order. The delay in samples is (write - read) mod length.
struct DelayLine {
  int16_t* buffer = nullptr;  // `length` samples, owned by the caller
  int32_t writePosition = 0;
  int32_t readPosition = 0;
  int32_t length = 0;
  int32_t ownerWord = 0;  // the owner's; never touched by the routine
  int32_t busy = 0;       // 1 while RunDelayLine runs
};

// For each sample: store the input at the write position, advance it, then
// take the output from the read position and advance that. The write comes
// before the read, so read == write gives delay 0 (the input passes through).
void RunDelayLine(const int16_t* src, int16_t* dst, DelayLine* line, int32_t count);
