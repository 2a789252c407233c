#include "engine/level_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "dsp/vector_clones.h"

namespace {

// Raises `target` to `value` if it is lower. A compare-and-swap loop rather
// than a load and a store, so that a reader's reset between them is not
// undone with an older peak.
void RaiseTo(std::atomic<int32_t>& target, int32_t value) {
  int32_t current = target.load(std::memory_order_relaxed);
  while (value > current &&
         !target.compare_exchange_weak(current, value, std::memory_order_relaxed)) {
  }
}

std::string DbfsText(int32_t peak) {
  if (peak <= 0) {
    return "-inf";
  }
  const double dbfs = PeakDbfs(peak);
  // Within a rounding of full scale (-32768 lies a hair above it): no sign.
  if (dbfs > -0.05) {
    return "0.0";
  }
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", dbfs);
  return text;
}

}  // namespace

TONALITH_VECTOR_CLONES
void GatherLevel(const int16_t* samples, int32_t count, ChannelLevel& level) {
  // Everything stays in 16-bit lanes, so that the compiler makes vector code
  // of eight samples a step: the highest and the lowest sample rather than
  // magnitudes (the magnitude of -32768 needs 17 bits), and the count in
  // chunks a 16-bit counter cannot overflow.
  constexpr int32_t kChunk = 32768;
  int16_t highest = 0;
  int16_t lowest = 0;
  for (int32_t start = 0; start < count; start += kChunk) {
    const int32_t end = std::min(count, start + kChunk);
    uint16_t clipped = 0;
    for (int32_t i = start; i < end; ++i) {
      const int16_t sample = samples[i];
      highest = std::max(highest, sample);
      lowest = std::min(lowest, sample);
      clipped += static_cast<uint16_t>((sample >= kFullScale) | (sample <= -kFullScale));
    }
    level.clipped += clipped;
  }
  level.peak = std::max({level.peak, static_cast<int32_t>(highest), -static_cast<int32_t>(lowest)});
}

double PeakDbfs(int32_t peak) {
  if (peak <= 0) {
    return -std::numeric_limits<double>::infinity();
  }
  return 20.0 * std::log10(static_cast<double>(peak) / kFullScale);
}

uint64_t RunLevels::OutputClipped() const {
  uint64_t total = 0;
  for (int32_t c = 0; c < std::min(channels, kMeterChannels); ++c) {
    total += level[kMeterOutput][static_cast<size_t>(c)].clipped;
  }
  return total;
}

std::string OutputPeakText(const RunLevels& levels) {
  const auto& output = levels.level[kMeterOutput];
  if (levels.channels != 2) {
    return "peak " + DbfsText(output[0].peak) + " dBFS";
  }
  return "peak " + DbfsText(output[0].peak) + " dBFS left, " + DbfsText(output[1].peak) +
         " dBFS right";
}

std::string OutputClippedText(const RunLevels& levels) {
  const uint64_t clipped = levels.OutputClipped();
  if (clipped == 0) {
    return "no samples clipped";
  }
  return std::to_string(clipped) + (clipped == 1 ? " sample clipped" : " samples clipped");
}

void LevelMeter::BeginRun(int32_t channels) {
  channels_.store(channels == 1 ? 1 : 2, std::memory_order_relaxed);
  for (int32_t p = 0; p < kMeterPoints; ++p) {
    for (int32_t c = 0; c < kMeterChannels; ++c) {
      runPeak_[p][c].store(0, std::memory_order_relaxed);
      runClipStart_[p][c] = clipped_[p][c].load(std::memory_order_relaxed);
    }
  }
}

void LevelMeter::Add(const BlockLevels& block) {
  for (int32_t p = 0; p < kMeterPoints; ++p) {
    for (int32_t c = 0; c < kMeterChannels; ++c) {
      const ChannelLevel& level = block.level[p][c];
      RaiseTo(recentPeak_[p][c], level.peak);
      RaiseTo(runPeak_[p][c], level.peak);
      if (level.clipped != 0) {
        clipped_[p][c].fetch_add(level.clipped, std::memory_order_relaxed);
      }
    }
  }
}

LevelMeter::Reading LevelMeter::Take() {
  Reading reading;
  reading.channels = channels_.load(std::memory_order_relaxed);
  for (int32_t p = 0; p < kMeterPoints; ++p) {
    for (int32_t c = 0; c < kMeterChannels; ++c) {
      reading.peak[p][c] = recentPeak_[p][c].exchange(0, std::memory_order_relaxed);
      reading.clipped[p][c] = clipped_[p][c].load(std::memory_order_relaxed);
    }
  }
  return reading;
}

RunLevels LevelMeter::Run() const {
  RunLevels run;
  run.channels = channels_.load(std::memory_order_relaxed);
  for (int32_t p = 0; p < kMeterPoints; ++p) {
    for (int32_t c = 0; c < kMeterChannels; ++c) {
      run.level[p][c].peak = runPeak_[p][c].load(std::memory_order_relaxed);
      run.level[p][c].clipped =
          clipped_[p][c].load(std::memory_order_relaxed) - runClipStart_[p][c];
    }
  }
  return run;
}
