#pragma once
// Sample saturation shared by every routine that emits samples.

#include <cstdint>

// The sample range is symmetric: -32768 is never produced, so that negating
// or rectifying an output can never overflow 16 bits.
inline constexpr int32_t kSampleMax = 32767;
inline constexpr int32_t kSampleMin = -32767;

// Clamps a 32-bit intermediate to -32767..+32767.
inline constexpr int16_t Saturate(int32_t value) {
  const int32_t low = value < kSampleMin ? kSampleMin : value;
  return static_cast<int16_t>(low > kSampleMax ? kSampleMax : low);
}
