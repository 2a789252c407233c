#pragma once
// Peak levels and clipped samples of a run, for the meters of the window and
// the renderer's summary.
//
// The processing side gathers a block's peaks into a plain BlockLevels
// (GatherLevel over each channel's 16-bit samples) and adds it to the
// LevelMeter with a few relaxed atomic operations: no lock, no allocation, no
// waiting, so the same code serves a realtime callback. The display side
// takes the peaks since its last look, and reads the clip counts, the same
// way; a reading may mix two neighbouring blocks, which a meter cannot show.
//
// Where clipping is measured: at the input, as the samples come in; at the
// output, as the chains hand the samples back. A sample counts as clipped
// when it is at full scale there (+32767 or -32767, or -32768 coming from
// the input). Every stage that emits samples saturates to +-32767, so a
// sample that any effect of the chain saturated, at either end, arrives at
// the output at full scale and is counted once, however many stages clipped
// it.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

inline constexpr int32_t kFullScale = 32767;
inline constexpr int32_t kMeterChannels = 2;

// Where a level is taken.
enum MeterPoint : int32_t { kMeterInput = 0, kMeterOutput = 1 };
inline constexpr int32_t kMeterPoints = 2;

// One channel's samples at one point, over a block or a run.
struct ChannelLevel {
  int32_t peak = 0;      // the largest magnitude, 0..32768
  uint64_t clipped = 0;  // samples at full scale
};

// What one block came to: [point][channel].
struct BlockLevels {
  std::array<std::array<ChannelLevel, kMeterChannels>, kMeterPoints> level{};
};

// Adds `count` samples to `level`. No allocation; one pass.
void GatherLevel(const int16_t* samples, int32_t count, ChannelLevel& level);

// 20 log10(peak / 32767) in dBFS: 0 at full scale, -infinity for silence.
double PeakDbfs(int32_t peak);

// What a run came to: [point][channel].
struct RunLevels {
  int32_t channels = 2;
  std::array<std::array<ChannelLevel, kMeterChannels>, kMeterPoints> level{};

  uint64_t OutputClipped() const;
};

// "peak -6.0 dBFS left, -6.1 dBFS right" ("peak -6.0 dBFS" for mono; "-inf"
// for silence) of the output.
std::string OutputPeakText(const RunLevels& levels);
// "37596 samples clipped" (one sample: "1 sample clipped"), or "no samples
// clipped", at the output.
std::string OutputClippedText(const RunLevels& levels);

class LevelMeter {
 public:
  // The display side's look at the meter.
  struct Reading {
    int32_t channels = 2;
    // The highest peak since the previous reading: [point][channel].
    std::array<std::array<int32_t, kMeterChannels>, kMeterPoints> peak{};
    // Samples clipped since the meter was made: [point][channel].
    std::array<std::array<uint64_t, kMeterChannels>, kMeterPoints> clipped{};
  };

  // Before a run processes its first block: its channel count; the run's
  // totals start again from nothing (the clip counts of Take go on).
  void BeginRun(int32_t channels);
  // Processing side: one block's levels.
  void Add(const BlockLevels& block);
  // Display side: the peaks since the last Take (cleared by it) and the clip
  // counts.
  Reading Take();
  // What the current or last run came to.
  RunLevels Run() const;

 private:
  static_assert(std::atomic<uint64_t>::is_always_lock_free);
  static_assert(std::atomic<int32_t>::is_always_lock_free);

  std::atomic<int32_t> channels_{2};
  std::array<std::array<std::atomic<int32_t>, kMeterChannels>, kMeterPoints> recentPeak_{};
  std::array<std::array<std::atomic<int32_t>, kMeterChannels>, kMeterPoints> runPeak_{};
  std::array<std::array<std::atomic<uint64_t>, kMeterChannels>, kMeterPoints> clipped_{};
  // The clip counts when the run began (control side only).
  std::array<std::array<uint64_t, kMeterChannels>, kMeterPoints> runClipStart_{};
};
