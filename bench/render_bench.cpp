// ProcessBlock's conversions with empty chains: bytes to 16-bit channels and
// back, in samples per second (a stereo frame counts two samples); with
// meter:1 the block's levels are gathered on the way.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/block_processor.h"

namespace {

void BM_ProcessBlockConversion(benchmark::State& state) {
  const auto bits = static_cast<int32_t>(state.range(0));
  const auto channels = static_cast<int32_t>(state.range(1));
  const auto blockBytes = static_cast<int32_t>(state.range(2));
  LevelMeter meter;
  LevelMeter* metered = state.range(3) != 0 ? &meter : nullptr;
  StreamParameters stream;
  stream.bitsPerSample = bits;
  stream.channels = channels;
  stream.framesPerBlock = FramesPerBlock(blockBytes, bits, channels);
  WorkBuffers work;
  work.Allocate(stream.framesPerBlock);
  EffectChain left;
  EffectChain right;
  std::vector<uint8_t> source(static_cast<size_t>(blockBytes));
  for (size_t i = 0; i < source.size(); ++i) {
    source[i] = static_cast<uint8_t>(i * 37 + 11);
  }
  std::vector<uint8_t> destination(source.size());
  const int32_t frames = FrameCount(static_cast<uint32_t>(blockBytes), bits, channels);
  for (auto _ : state) {
    ProcessBlock(stream, left, right, work, source.data(), destination.data(), frames, metered);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frames * channels);
  state.SetBytesProcessed(state.iterations() * blockBytes);
}

BENCHMARK(BM_ProcessBlockConversion)
    ->ArgNames({"bits", "channels", "block", "meter"})
    ->ArgsProduct({{8, 16}, {1, 2}, {1024, 8192}, {0, 1}});

}  // namespace
