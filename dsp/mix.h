#pragma once
// The weighted sum of a block's input with further signals, gains x 256.

#include <cstdint>

// Fields in this order; the owner allocates every array.
struct MixStage {
  // K, at least 1: the block input plus K-1 extra signals.
  int32_t signalCount = 1;
  // K-1 blocks of `count` samples each, one after another.
  int16_t* extraSignals = nullptr;
  // K gains x 256: gain 0 for the block input, gains 1..K-1 for the extras.
  int32_t* gains = nullptr;
  // At least `count` entries of scratch.
  int32_t* accumulator = nullptr;
};

// dst[i] = (gain0 src[i] + sum gain_k extra_k[i]) >> 8, arithmetic, saturated
// to -32767..+32767. The whole sum is formed before dst is written, so src
// and dst may be the same block.
void MixSignals(const int16_t* src, int16_t* dst, MixStage* stage, int32_t count);
