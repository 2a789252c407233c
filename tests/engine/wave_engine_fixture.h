#pragma once
// An engine on the simulated wave service, with recorders for its messages,
// its progress and the ends of its runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effects/effect_chain.h"
#include "engine/wave_engine.h"
#include "platform/simulated_wave_service.h"
#include "tests/support/recorders.h"
#include "tests/support/test_files.h"
#include "tests/support/wave_builder.h"

namespace wave_engine_test {

// Block i of a recording: 16-bit samples i * 1000 + j (wrapping), so every
// block is recognisable and in order.
inline void FillBlock(uint8_t* data, uint32_t bytes, int32_t blockIndex) {
  for (uint32_t j = 0; j + 1 < bytes; j += 2) {
    const auto value = static_cast<uint16_t>(blockIndex * 1000 + static_cast<int32_t>(j / 2) + 1);
    data[j] = static_cast<uint8_t>(value & 0xff);
    data[j + 1] = static_cast<uint8_t>(value >> 8);
  }
}

class WaveEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeEngine(); }

  void MakeEngine() {
    engine.reset();
    played.clear();
    recordedBlocks = 0;
    notifier.messages.clear();
    notifier.details.clear();
    progress.positions.clear();
    runEnds = 0;
    auto service = std::make_unique<SimulatedWaveService>(2, 2);
    sim = service.get();
    engine = std::make_unique<WaveEngine>(&notifier, std::move(service));
    engine->leftChain = &left;
    engine->rightChain = &right;
    engine->progress = &progress;
    engine->runEnded = [this] { ++runEnds; };
    engine->settings.blockBytes = 1024;
    engine->settings.bufferCount = 8;
    engine->settings.sampleRate = 22000;
    engine->settings.channels = 2;
    engine->settings.bitsPerSample = 16;
    // Recorded blocks are numbered in the order the device fills them.
    sim->SetInputGenerator(
        [this](uint8_t* data, uint32_t bytes) { FillBlock(data, bytes, recordedBlocks++); });
    sim->SetOutputObserver(
        [this](const uint8_t* data, uint32_t bytes) { played.emplace_back(data, data + bytes); });
  }

  void ExpectIdle() {
    EXPECT_FALSE(engine->inputOpen);
    EXPECT_FALSE(engine->outputOpen);
    EXPECT_FALSE(engine->inputStarted);
    EXPECT_FALSE(engine->outputStarted);
    EXPECT_FALSE(engine->windowCreated);
    EXPECT_EQ(sim->OpenDeviceCount(), 0);
    EXPECT_EQ(left.prepared, 0);
    EXPECT_EQ(right.prepared, 0);
  }

  std::string WriteInputFile(const std::string& name, const std::vector<uint8_t>& data,
                             uint16_t channels = 2, uint16_t bits = 16, uint32_t rate = 22050) {
    const std::string path = dir.File(name);
    test_support::WriteFileBytes(
        path, test_support::BuildWave(test_support::PcmFormat(channels, rate, bits), data));
    return path;
  }

  test_support::TempDir dir;
  test_support::RecordingNotifier notifier;
  test_support::RecordingProgress progress;
  int32_t runEnds = 0;  // the runs that have ended, whatever ended them
  EffectChain left;
  EffectChain right;
  SimulatedWaveService* sim = nullptr;
  std::unique_ptr<WaveEngine> engine;
  int32_t recordedBlocks = 0;
  std::vector<std::vector<uint8_t>> played;
};

// The largest magnitude of one channel of interleaved stereo samples.
inline int32_t PeakOf(const std::vector<int16_t>& samples, int32_t channel) {
  int32_t peak = 0;
  for (size_t i = static_cast<size_t>(channel); i < samples.size(); i += 2) {
    peak = std::max(peak, std::abs(static_cast<int32_t>(samples[i])));
  }
  return peak;
}

inline std::vector<uint8_t> Block(uint32_t bytes, int32_t index) {
  std::vector<uint8_t> block(bytes);
  FillBlock(block.data(), bytes, index);
  return block;
}

}  // namespace wave_engine_test
