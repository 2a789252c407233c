// Throughput of the delay, chorus and reverb callbacks on one channel:
// 44.1 kHz, 512-sample blocks, a noise input, items = samples.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "effects/chorus_effect.h"
#include "effects/delay_effect.h"
#include "effects/effect_factory.h"
#include "effects/reverb_effect.h"

namespace {
constexpr int32_t kRate = 44100;
constexpr int32_t kBlock = 512;

std::vector<int16_t> NoiseBlock() {
  std::vector<int16_t> block(kBlock);
  uint32_t state = 1;
  for (auto& s : block) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<int16_t>(state >> 17);  // about half scale
  }
  return block;
}

void RunEffect(benchmark::State& state, Effect& effect) {
  effect.Prepare(effect.settings, kBlock, kRate);
  const std::vector<int16_t> input = NoiseBlock();
  std::vector<int16_t> output(kBlock);
  for (auto _ : state) {
    effect.process(input.data(), output.data(), effect.settings, kBlock);
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
  effect.Release();
}

void BM_DelayCallback(benchmark::State& state) {
  DelayEffect delay(10.0f, 0.707f, 0.707f);
  RunEffect(state, delay);
}
BENCHMARK(BM_DelayCallback);

void BM_ChorusCallback(benchmark::State& state) {
  // The Chorus page's starting values.
  ChorusEffect chorus(8000.0f, 5.0f, 10.0f, 2000.0f, 25.0f, 0.707f, 0.707f);
  RunEffect(state, chorus);
}
BENCHMARK(BM_ChorusCallback);

void BM_ReverbCallback(benchmark::State& state) {
  ReverbEffect reverb(20.0f, 25.0f, 100.0f, 4000.0f, 1000.0f, static_cast<int32_t>(state.range(0)),
                      0.707f, 0.707f);
  RunEffect(state, reverb);
}
BENCHMARK(BM_ReverbCallback)->Arg(6)->Arg(16);
}  // namespace
