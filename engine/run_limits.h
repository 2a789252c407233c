#pragma once
// Ranges of the run settings the I/O page and the command line hand over.

#include <cstdint>
#include <limits>

inline constexpr int32_t kMinBufferCount = 4;
inline constexpr int32_t kMaxBufferCount = 32;
inline constexpr int32_t kMinSampleRate = 11000;
inline constexpr int32_t kMaxSampleRate = 44100;

// A device number that stands for our JACK ports left unconnected (the
// renderer's "none", for a patchbay); far from any number a list gives.
inline constexpr int32_t kJackUnconnected = std::numeric_limits<int32_t>::min();
