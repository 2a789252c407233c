#pragma once
// The weighted sum of a block's input with further signals, gains x 256.

#include <cstddef>
#include <cstdint>
#include <vector>

// The stage owns its gains and its block storage. The gains live as long as
// the stage, so that mix levels can be set before any run; the extra signals
// and the accumulator exist while a run is prepared.
struct MixStage {
  // K, at least 1: the block input plus K-1 extra signals.
  int32_t signalCount = 1;
  // K-1 blocks one after another; each call's blocks are `count` samples
  // long and sit at a stride of `count`.
  std::vector<int16_t> extraSignals;
  // Gain 0 for the block input, gains 1..K-1 for the extras, all x 256.
  std::vector<int32_t> gains;
  // Scratch for the sums, one entry per sample of a block.
  std::vector<int32_t> accumulator;

  // Room for K = `mixed` signals of blocks of up to `blockFrames` samples,
  // zeroed.
  void AllocateBlocks(int32_t mixed, int32_t blockFrames) {
    const auto frames = static_cast<size_t>(blockFrames);
    signalCount = mixed;
    extraSignals.assign(static_cast<size_t>(mixed - 1) * frames, 0);
    accumulator.assign(frames, 0);
  }
  // Frees the block storage; the gains stay.
  void FreeBlocks() {
    extraSignals = {};
    accumulator = {};
  }
};

// dst[i] = (gainA a[i] + gainB b[i]) >> 8, arithmetic, saturated to
// -32767..+32767, the sum wrapped to 32 bits. dst may be a or b.
void MixTwoSignals(const int16_t* a, const int16_t* b, int16_t* dst, int32_t gainA, int32_t gainB,
                   int32_t count);

// dst[i] = (gain0 src[i] + sum gain_k extra_k[i]) >> 8, arithmetic, saturated
// to -32767..+32767. The whole sum is formed before dst is written, so src
// and dst may be the same block.
void MixSignals(const int16_t* src, int16_t* dst, MixStage* stage, int32_t count);
