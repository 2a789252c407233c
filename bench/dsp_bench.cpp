// Throughput of the toolkit routines the callbacks are built from, on one
// channel: 512-sample blocks of noise, items = samples. The biquad is the
// chorus pre-filter (a low-pass at 8 kHz, 44.1 kHz); the comb and allpass
// have the reverb's default delays at 44.1 kHz; the mixes have two signals
// (delay, chorus) and seven (the reverb's input and six combs).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "dsp/allpass.h"
#include "dsp/biquad.h"
#include "dsp/comb.h"
#include "dsp/envelope_follower.h"
#include "dsp/mix.h"
#include "dsp/wavetable.h"

namespace {

constexpr int32_t kBlock = 512;

std::vector<int16_t> Noise(int32_t length, uint32_t seed) {
  std::vector<int16_t> block(static_cast<size_t>(length));
  uint32_t state = seed;
  for (auto& s : block) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<int16_t>(state >> 17);  // about half scale
  }
  return block;
}

template <typename Run>
void RunBlocks(benchmark::State& state, Run&& run) {
  const std::vector<int16_t> input = Noise(kBlock, 3);
  std::vector<int16_t> output(kBlock);
  for (auto _ : state) {
    run(input.data(), output.data());
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_RunBiquad(benchmark::State& state) {
  BiquadSection section =
      DesignedBiquad(FilterKind::LowPass, 8000.0f / 44100 * 2, 0.0f, 0.707f, 1.0f);
  RunBlocks(state, [&](const int16_t* in, int16_t* out) { RunBiquad(in, out, &section, kBlock); });
}
BENCHMARK(BM_RunBiquad);

// A comb or an allpass line of `delay` samples with feedback `gain`.
template <typename Line>
void RunLineBlocks(benchmark::State& state, void (*run)(const int16_t*, int16_t*, Line*, int32_t),
                   int32_t delay, int32_t gain) {
  Line line;
  line.Allocate(delay + 1, delay);
  line.gain = gain;
  RunBlocks(state, [&](const int16_t* in, int16_t* out) { run(in, out, &line, kBlock); });
}

void BM_RunComb(benchmark::State& state) {
  RunLineBlocks<CombDelay>(state, RunComb, 1008, 215);
}
BENCHMARK(BM_RunComb);

void BM_RunAllpass(benchmark::State& state) {
  RunLineBlocks<AllpassDelay>(state, RunAllpass, 101, 180);
}
BENCHMARK(BM_RunAllpass);

void BM_RunWavetable(benchmark::State& state) {
  // The chorus oscillator at its default sweep: a step every 372 samples.
  Wavetable oscillator;
  oscillator.table.resize(256);
  for (int32_t i = 0; i < 256; ++i) {
    oscillator.table[static_cast<size_t>(i)] = static_cast<int16_t>((i * 97) % 8192 - 4096);
  }
  oscillator.wrap = 256;
  oscillator.increment = 11;
  oscillator.depth = 16;
  RunBlocks(state,
            [&](const int16_t* in, int16_t* out) { RunWavetable(in, out, &oscillator, kBlock); });
}
BENCHMARK(BM_RunWavetable);

void BM_RunEnvelope(benchmark::State& state) {
  EnvelopeFollower follower;
  follower.Allocate(442, 440);
  follower.scale = 1.6f / 443;
  RunBlocks(state,
            [&](const int16_t* in, int16_t* out) { RunEnvelope(in, out, &follower, kBlock); });
}
BENCHMARK(BM_RunEnvelope);

void BM_MixSignals(benchmark::State& state) {
  const auto signals = static_cast<int32_t>(state.range(0));
  MixStage stage;
  stage.gains.assign(static_cast<size_t>(signals), 60);
  stage.gains[0] = 180;
  stage.AllocateBlocks(signals, kBlock);
  const std::vector<int16_t> extra = Noise((signals - 1) * kBlock, 5);
  stage.extraSignals.assign(extra.begin(), extra.end());
  RunBlocks(state, [&](const int16_t* in, int16_t* out) { MixSignals(in, out, &stage, kBlock); });
}
BENCHMARK(BM_MixSignals)->Arg(2)->Arg(7);

}  // namespace
