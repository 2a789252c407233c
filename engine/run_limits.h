#pragma once
// Ranges of the run settings the I/O page and the command line hand over.

#include <cstdint>

inline constexpr int32_t kMinBufferCount = 4;
inline constexpr int32_t kMaxBufferCount = 32;
inline constexpr int32_t kMinSampleRate = 11000;
inline constexpr int32_t kMaxSampleRate = 44100;
