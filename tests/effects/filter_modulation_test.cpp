// The filter modulation's oscillator and swept filter against per-sample
// models, and the anchors of its phase steps and periods.

#include "effects/filter_modulation_effect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "effect_test_signals.h"
#include "effects/effect_factory.h"

using namespace effect_test;

namespace {

// The raised cosine oscillator, from its definition.
struct ModelModulator {
  ModelModulator(int32_t rate, float lengthMs)
      : step(static_cast<int32_t>(256 / (static_cast<float>(rate) * lengthMs * 0.001) * 4096)) {
    for (int32_t i = 0; i < 256; ++i) {
      table[i] = static_cast<int32_t>((std::cos(i * 0.02454369260546875) + 1.0) * 63.5);
    }
  }
  int32_t Step() {
    const int32_t y0 = table[p];
    const int32_t d = table[(p + 1) % 256] - y0;
    const int32_t out = ((y0 + ((d * fraction) >> 12)) * 4096) >> 12;
    fraction += step;
    p = (p + fraction / 4096) % 256;
    fraction %= 4096;
    return out;
  }
  int32_t step;
  int32_t table[256];
  int32_t p = 0;
  int32_t fraction = 0;
};

std::vector<int16_t> ModelFilterModulation(const FilterModulationSettings& s, int32_t rate,
                                           const std::vector<int16_t>& x) {
  ModelModulator modulator(rate, s.modulatorLengthMs);
  ModelBiquad filter;
  std::vector<int16_t> y(x.size());
  for (size_t n = 0; n < x.size(); ++n) {
    const int32_t set = modulator.Step();
    const int32_t wet = filter.Step(s.coefficientBank[set].data(), x[n]);
    y[n] = MixSample(s.dryInputGain, x[n], s.dryOutputGain, wet);
  }
  return y;
}

}  // namespace

TEST(FilterModulationEffect, FactoryDefaults) {
  auto node = CreateEffect(kFilterModulationEffectId);
  ASSERT_NE(node, nullptr);
  EXPECT_STREQ(node->Name(), "Filter Modulation");
  auto& s = *static_cast<FilterModulationSettings*>(node->settings);
  EXPECT_EQ(s.initialCutoff, 100.0f);
  EXPECT_EQ(s.finalCutoff, 5000.0f);
  EXPECT_EQ(s.finalResonance, 0.707f);
  EXPECT_EQ(s.modulatorLengthMs, 4000.0f);
  EXPECT_EQ(s.dryInputGain, 180);
  EXPECT_EQ(s.dryOutputGain, 180);
  EXPECT_EQ(node->GetDryInputMix(), 254);
}

TEST(FilterModulationEffect, ModulatorTableIsARaisedCosine) {
  FilterModulationEffect effect(100, 0.707f, 5000, 0.707f, 0.707f);
  effect.Prepare(effect.settings, 64, 44100);
  const auto& t = effect.record.modulator.table;
  EXPECT_EQ(t[0], 127);
  EXPECT_EQ(t[1], 126);
  EXPECT_EQ(t[127], 0);
  EXPECT_EQ(t[128], 0);
  EXPECT_EQ(t[255], 126);
}

TEST(FilterModulationEffect, PhaseStepsAndPeriods) {
  const struct {
    int32_t rate;
    int32_t step;
    double periodSamples;
  } cases[] = {{44100, 5, 209715.2}, {22050, 11, 95325.1}, {8000, 32, 32768.0}};
  for (const auto& c : cases) {
    EXPECT_EQ(ModulatorPhaseStep(c.rate, 4000.0f), c.step);
    EXPECT_NEAR(256.0 * 4096 / c.step, c.periodSamples, 0.1);
  }
  // Too long a period truncates the step to 0 and freezes the modulator.
  EXPECT_EQ(ModulatorPhaseStep(44100, 24000.0f), 0);
}

TEST(FilterModulationEffect, StartsAtTheLastSetAndReachesTheFirstAfterHalfAPeriod) {
  FilterModulationEffect effect(100, 0.707f, 5000, 0.707f, 0.707f);
  const int32_t half = 128 * 4096 / 32;  // 128 table steps at 8000 Hz
  effect.Prepare(effect.settings, half + 1, 8000);
  const auto x = Noise(half + 1, 3);
  RunInBlocks(effect, x, half + 1);
  EXPECT_EQ(effect.record.levels[0], 127);
  EXPECT_EQ(effect.record.levels[half], 0);
  EXPECT_EQ(effect.record.levels[half / 2], 63);  // a quarter period: the middle
}

TEST(FilterModulationEffect, MatchesThePerSampleModel) {
  struct Params {
    float initialCutoff, finalCutoff, initialQ, finalQ, lengthMs;
    int32_t kind, scaling, inGain, outGain;
  };
  const Params params[] = {{100, 5000, 0.707f, 0.707f, 100, 0, 0, 180, 180},
                           {100, 10000, 0.5f, 10, 250, 1, 1, 0, 256},
                           {300, 5000, 2, 0.6f, 1000, 2, 2, 180, 361},
                           {22000, 100, 100, 0.5f, 100, 3, 0, 361, 361},
                           {500, 4000, 1, 30, 16000, 4, 2, 90, 200}};
  for (int32_t rate : {8000, 22050, 44100, 96000}) {
    for (const Params& p : params) {
      for (int32_t block : {1, 250, 2048}) {
        for (const auto& x : TestSignals(6000)) {
          FilterModulationEffect effect(p.initialCutoff, p.initialQ, p.finalCutoff, 0, 0);
          effect.record.finalResonance = p.finalQ;
          effect.record.modulatorLengthMs = p.lengthMs;
          effect.record.filterKind = p.kind;
          effect.record.sweepScaling = p.scaling;
          effect.record.dryInputGain = p.inGain;
          effect.record.dryOutputGain = p.outGain;
          effect.Prepare(effect.settings, block, rate);
          const auto want = ModelFilterModulation(effect.record, rate, x);
          const auto got = RunInBlocks(effect, x, block);
          ASSERT_EQ(got, want) << "rate " << rate << " kind " << p.kind << " block " << block;
          EXPECT_EQ(std::count(got.begin(), got.end(), int16_t{-32768}), 0);
        }
      }
    }
  }
}

TEST(FilterModulationEffect, SilenceStaysSilence) {
  FilterModulationEffect effect(100, 0.707f, 5000, 0.707f, 0.707f);
  effect.record.modulatorLengthMs = 100;
  effect.Prepare(effect.settings, 256, 44100);
  const auto y = RunInBlocks(effect, std::vector<int16_t>(8192, 0), 256);
  EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](int16_t v) { return v == 0; }));
}

TEST(FilterModulationEffect, EqualInitialAndFinalValuesMakeAFixedFilter) {
  FilterModulationEffect effect(800, 3.0f, 800, 0, 1);
  effect.record.modulatorLengthMs = 100;
  effect.record.filterKind = 1;
  effect.Prepare(effect.settings, 128, 22050);
  const CoefficientSet fixed = effect.record.coefficientBank[0];
  for (const auto& set : effect.record.coefficientBank) {
    ASSERT_EQ(set, fixed);
  }
  const auto x = Chirp(4000);
  const auto y = RunInBlocks(effect, x, 128);
  ModelBiquad filter;
  for (size_t n = 0; n < x.size(); ++n) {
    ASSERT_EQ(y[n], filter.Step(fixed.data(), x[n])) << n;
  }
}
