// Throughput of the equalizer, distortion, compression, envelope filter and
// filter modulation callbacks on one channel: 44.1 kHz, a noise input,
// items = samples. 512-sample blocks, and the equalizer at every block length
// the engine can give it (128..8192 bytes: 32..8192 samples).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "effects/compression_effect.h"
#include "effects/distortion_effect.h"
#include "effects/envelope_filter_effect.h"
#include "effects/equalizer_effect.h"
#include "effects/filter_modulation_effect.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kBlock = 512;

std::vector<int16_t> Noise(int32_t length) {
  std::vector<int16_t> block(static_cast<size_t>(length));
  uint32_t state = 7;
  for (auto& s : block) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<int16_t>(state >> 17);  // about half scale
  }
  return block;
}

void Run(benchmark::State& state, Effect& effect, int32_t block) {
  effect.Prepare(effect.settings, block, kRate);
  const std::vector<int16_t> input = Noise(block);
  std::vector<int16_t> output(static_cast<size_t>(block));
  for (auto _ : state) {
    effect.process(input.data(), output.data(), effect.settings, block);
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * block);
  effect.Release();
}

void BM_EqualizerCallback(benchmark::State& state) {
  // A 16-band curve at 1/3-octave spacing with varied gains.
  const EqualizerBandCurve curve =
      BuildEqualizerCurve({6, 3, 0, -3, -6, -12, 0, 12, 6, 0, -20, 0, 3, 6, 9, 0}, 2);
  EqualizerEffect eq;
  eq.SetBandCurve(curve);
  Run(state, eq, static_cast<int32_t>(state.range(0)));
}
BENCHMARK(BM_EqualizerCallback)->RangeMultiplier(2)->Range(32, 8192);

void BM_DistortionCallback(benchmark::State& state) {
  static constexpr CurvePoint kCurve[] = {{-32768.0f, -32767.0f},
                                          {-8000.0f, -30000.0f},
                                          {0.0f, 0.0f},
                                          {8000.0f, 30000.0f},
                                          {32768.0f, 32767.0f}};
  DistortionEffect distortion;
  distortion.SetCurve(kCurve);
  distortion.record.feedback = static_cast<int32_t>(state.range(0));
  Run(state, distortion, kBlock);
}
// Without feedback (the default) and with a quarter of the previous value.
BENCHMARK(BM_DistortionCallback)->ArgName("feedback")->Arg(0)->Arg(32);

void BM_CompressionCallback(benchmark::State& state) {
  static constexpr CurvePoint kCurve[] = {{0.0f, 6.0f}, {8000.0f, 0.0f}, {32768.0f, -12.0f}};
  CompressionEffect compression(20.0f);
  compression.SetCurve(kCurve);
  Run(state, compression, kBlock);
}
BENCHMARK(BM_CompressionCallback);

void BM_EnvelopeFilterCallback(benchmark::State& state) {
  EnvelopeFilterEffect wah(100.0f, 0.707f, 2500.0f);
  Run(state, wah, kBlock);
}
BENCHMARK(BM_EnvelopeFilterCallback);

void BM_FilterModulationCallback(benchmark::State& state) {
  FilterModulationEffect mod(100.0f, 0.707f, 5000.0f, 0.707f, 0.707f);
  Run(state, mod, kBlock);
}
BENCHMARK(BM_FilterModulationCallback);

}  // namespace
