#pragma once
// The one place the engine touches sample values: a block of raw 8- or 16-bit,
// mono or interleaved stereo PCM bytes becomes 16-bit samples per channel, runs
// through the left chain (channel 0) and the right chain (channel 1, stereo
// only), and goes back into the input's own layout.
//
// Each channel has two work buffers whose roles (current, spare) swap after
// every enabled effect, so no effect output is ever copied. The roles that end
// one block carry over to the next: its input goes into whichever buffer held
// the previous block's output.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "effects/effect_chain.h"
#include "engine/level_meter.h"

// 8-bit PCM is unsigned with 128 as silence; scaled to the 16-bit range.
// 0 -> -32768, 128 -> 0, 255 -> +32512.
inline int16_t SampleFromByte(uint8_t byte) {
  return static_cast<int16_t>((static_cast<int32_t>(byte) - 128) * 256);
}

// The arithmetic shift keeps the sign; the limit keeps the byte away from 0,
// so -32768 comes back as 1 and the result stays symmetric around 128.
inline uint8_t ByteFromSample(int16_t sample) {
  const int32_t v = std::clamp(static_cast<int32_t>(sample) >> 8, -127, 127);
  return static_cast<uint8_t>(v + 128);
}

// A 16-bit sample in its little-endian bytes, and back.
inline int16_t SampleFromLittleEndian(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
inline void StoreLittleEndian(uint8_t* p, int16_t sample) {
  const auto bits = static_cast<uint16_t>(sample);
  p[0] = static_cast<uint8_t>(bits);
  p[1] = static_cast<uint8_t>(bits >> 8);
}

// The stream's layout, constant for a run.
struct StreamParameters {
  int32_t bitsPerSample = 16;  // 8 selects the 8-bit conversions, anything else 16-bit
  int32_t channels = 1;        // 2 selects stereo, anything else mono
  int32_t framesPerBlock = 0;  // what the chains are prepared with
};

// trunc(blockBytes / (bits x channels) x 8), computed in floating point.
int32_t FramesPerBlock(int32_t blockBytes, int32_t bitsPerSample, int32_t channels);

// Whole frames in `bytes` of the stream (bytes / bytes per frame): every whole
// frame of a short last block counts.
int32_t FrameCount(uint32_t bytes, int32_t bitsPerSample, int32_t channels);

// The two work buffers of each channel and their current roles. Allocated
// (zero-filled) when a run starts, freed when it ends.
struct WorkBuffers {
  // Two buffers per channel, each with room for 2 x frames per block.
  void Allocate(int32_t framesPerBlock);
  void Free();

  std::array<int16_t*, 2> current{};  // index 0 left, 1 right
  std::array<int16_t*, 2> spare{};
  std::array<std::vector<int16_t>, 4> storage;
  int32_t capacity = 0;  // frames each buffer holds (0 when not allocated)
};

// Converts `frames` frames of `source` into `destination` (same layout,
// distinct buffers) through the chains. Reads each chain's `records` and
// `count` afresh, so records rebuilt between blocks are seen. frames = 0 does
// nothing; frames beyond the work buffers' capacity are not processed. With
// a `meter`, the block's peaks and clipped samples at the input and at the
// output of the chains are added to it. No allocation.
void ProcessBlock(const StreamParameters& stream, const EffectChain& leftChain,
                  const EffectChain& rightChain, WorkBuffers& work, const uint8_t* source,
                  uint8_t* destination, int32_t frames, LevelMeter* meter = nullptr);
