// The auto-wah's coefficient bank and swept filter against per-sample models.

#include "effects/envelope_filter_effect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "effect_test_signals.h"
#include "effects/effect_factory.h"

using namespace effect_test;

namespace {

constexpr double kK = 1.57079632675;

// A set designed by hand: the section DesignBiquad gets for a cut-off and Q.
CoefficientSet DesignSet(double cutoffHz, double q, int32_t kind, int32_t rate) {
  BiquadSection section;
  section.kind = static_cast<FilterKind>(kind);
  section.f1 = static_cast<float>(cutoffHz / rate * 2);
  section.q = static_cast<float>(q);
  section.gain = 1.0f;
  if (kind == 2) {
    // The band whose pre-warped geometric centre is the cut-off and whose
    // quality is q: edges c and d with c d = w^2 and d - c = w / q.
    const double w = 0.5 * std::tan(std::min<double>(section.f1, 0.95) * kK);
    const double qf = section.q;
    const double d = w / (2 * qf) + std::sqrt(w * w / (4 * qf * qf) + w * w);
    const double c = w * w / d;
    section.f1 = static_cast<float>(std::atan(2 * c) / kK);
    section.f2 = static_cast<float>(std::atan(2 * d) / kK);
  }
  DesignBiquad(&section);
  return section.coefficients;
}

double Position(int32_t i, int32_t scaling) {
  if (scaling == 0) {
    return i / 128.0;
  }
  if (scaling == 1) {
    return (std::exp(i / 128.0) - 1) / (std::exp(1.0) - 1);
  }
  return 1 - std::exp(-i / 35.0);
}

std::vector<int16_t> ModelEnvelopeFilter(const EnvelopeFilterSettings& s, int32_t rate,
                                         const std::vector<int16_t>& x) {
  const int32_t length = static_cast<int32_t>(rate * 5.0f * 0.002) + 1;
  ModelEnvelope envelope(length, static_cast<float>(1.6 / (length + 1)));
  ModelBiquad filter;
  std::vector<int16_t> y(x.size());
  for (size_t n = 0; n < x.size(); ++n) {
    const int32_t level = envelope.Step(x[n]);
    const int32_t wet = filter.Step(s.coefficientBank[level / 256].data(), x[n]);
    y[n] = MixSample(s.dryInputGain, x[n], s.dryOutputGain, wet);
  }
  return y;
}

}  // namespace

TEST(EnvelopeFilterEffect, FactoryDefaults) {
  auto node = CreateEffect(kEnvelopeFilterEffectId);
  ASSERT_NE(node, nullptr);
  EXPECT_STREQ(node->Name(), "Envelope Filter");
  auto& s = *static_cast<EnvelopeFilterSettings*>(node->settings);
  EXPECT_EQ(s.initialCutoff, 100.0f);
  EXPECT_EQ(s.finalCutoff, 2500.0f);
  EXPECT_EQ(s.initialResonance, 0.707f);
  EXPECT_EQ(s.finalResonance, 0.707f);
  EXPECT_EQ(s.filterKind, 0);
  EXPECT_EQ(s.sweepScaling, 0);
  EXPECT_EQ(node->GetDryOutputMix(), 254);
  node->Prepare(node->settings, 64, 44100);
  EXPECT_EQ(s.envelope.Length(), 442);
}

TEST(EnvelopeFilterEffect, BankSetsSitAtTheirSweepPositions) {
  for (int32_t kind = 0; kind <= 4; ++kind) {
    for (int32_t scaling = 0; scaling <= 2; ++scaling) {
      std::vector<CoefficientSet> bank(kCoefficientSetCount);
      BuildCoefficientBank(bank.data(), 200.0f, 9000.0f, 0.6f, 8.0f, kind, scaling, 44100);
      for (int32_t i : {0, 1, 35, 64, 127}) {
        const double s = Position(i, scaling);
        const float dF = 9000.0f - 200.0f;
        const float dQ = 8.0f - 0.6f;
        EXPECT_EQ(bank[i], DesignSet(200.0f + dF * s, 0.6f + dQ * s, kind, 44100))
            << "kind " << kind << " scaling " << scaling << " set " << i;
      }
    }
  }
  EXPECT_NEAR(Position(35, 2), 0.632, 0.001);
  EXPECT_NEAR(Position(127, 0), 0.9921875, 1e-12);
  EXPECT_NEAR(Position(127, 1), 0.9877, 1e-4);
  EXPECT_NEAR(Position(127, 2), 0.9735, 1e-4);
}

TEST(EnvelopeFilterEffect, UnknownScalingDesignsNoSet) {
  std::vector<CoefficientSet> bank(kCoefficientSetCount, CoefficientSet{});
  BuildCoefficientBank(bank.data(), 100.0f, 2000.0f, 1.0f, 1.0f, 0, 3, 44100);
  EXPECT_TRUE(std::all_of(bank.begin(), bank.end(),
                          [](const CoefficientSet& c) { return c == CoefficientSet{}; }));
}

TEST(EnvelopeFilterEffect, BandPassEdgesKeepCentreAndQuality) {
  std::vector<CoefficientSet> bank(kCoefficientSetCount);
  BuildCoefficientBank(bank.data(), 1000.0f, 1000.0f, 4.0f, 4.0f, 2, 0, 44100);
  // The band-pass design's centre w = sqrt(c d) is the swept cut-off's
  // 0.5 tan(f K) and its quality w / (d - c) the swept resonance: b0 = w / a0.
  const double w = 0.5 * std::tan(static_cast<float>(1000.0 / 44100 * 2) * kK);
  const double a0 = w * w * 4.0 + w + 4.0;
  EXPECT_NEAR(bank[0][2], w / a0 * 16384, 1.0);
  EXPECT_EQ(bank[0][1], 0);
  EXPECT_EQ(bank[0][0], -bank[0][2]);
}

TEST(EnvelopeFilterEffect, MatchesThePerSampleModel) {
  struct Params {
    float initialCutoff, finalCutoff, initialQ, finalQ;
    int32_t kind, scaling, inGain, outGain;
  };
  const Params params[] = {{100, 2500, 0.707f, 0.707f, 0, 0, 180, 180},
                           {100, 10000, 0.5f, 10, 1, 2, 0, 256},
                           {300, 5000, 2, 0.6f, 2, 1, 180, 361},
                           {22000, 100, 100, 0.5f, 3, 0, 361, 361},
                           {500, 4000, 1, 30, 4, 2, 90, 200}};
  for (int32_t rate : {8000, 22050, 44100, 48000}) {
    for (const Params& p : params) {
      for (int32_t block : {1, 333, 1024}) {
        for (const auto& x : TestSignals(5000)) {
          EnvelopeFilterEffect effect(p.initialCutoff, p.initialQ, p.finalCutoff);
          effect.record.finalResonance = p.finalQ;
          effect.record.filterKind = p.kind;
          effect.record.sweepScaling = p.scaling;
          effect.record.dryInputGain = p.inGain;
          effect.record.dryOutputGain = p.outGain;
          effect.Prepare(effect.settings, block, rate);
          const auto want = ModelEnvelopeFilter(effect.record, rate, x);
          const auto got = RunInBlocks(effect, x, block);
          ASSERT_EQ(got, want) << "rate " << rate << " kind " << p.kind << " block " << block;
          EXPECT_EQ(std::count(got.begin(), got.end(), int16_t{-32768}), 0);
        }
      }
    }
  }
}

TEST(EnvelopeFilterEffect, SilenceStaysSilence) {
  EnvelopeFilterEffect effect(100, 0.707f, 2500);
  effect.Prepare(effect.settings, 256, 44100);
  const auto y = RunInBlocks(effect, std::vector<int16_t>(2048, 0), 256);
  EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](int16_t v) { return v == 0; }));
  EXPECT_TRUE(std::all_of(effect.record.setIndices.begin(), effect.record.setIndices.end(),
                          [](int16_t v) { return v == 0; }));
}

TEST(EnvelopeFilterEffect, LoudSteadySineUsesTheLastSet) {
  EnvelopeFilterEffect effect(100, 0.707f, 2500);
  effect.Prepare(effect.settings, 1024, 44100);
  const auto x = Sine(1024 * 4, 1000.0 / 44100, 32767.0);
  RunInBlocks(effect, x, 1024);
  EXPECT_TRUE(std::all_of(effect.record.setIndices.begin(), effect.record.setIndices.end(),
                          [](int16_t v) { return v == 127; }));
}

TEST(EnvelopeFilterEffect, EqualInitialAndFinalValuesMakeAFixedFilter) {
  for (int32_t kind : {0, 1, 2}) {
    EnvelopeFilterEffect effect(1500, 2.0f, 1500);
    effect.record.filterKind = kind;
    effect.record.sweepScaling = 1;
    effect.record.dryInputGain = 0;
    effect.record.dryOutputGain = 256;
    effect.Prepare(effect.settings, 256, 44100);
    const CoefficientSet fixed = DesignSet(1500, 2.0, kind, 44100);
    for (const auto& set : effect.record.coefficientBank) {
      ASSERT_EQ(set, fixed);
    }
    const auto x = Chirp(4096);
    const auto y = RunInBlocks(effect, x, 256);
    ModelBiquad filter;
    for (size_t n = 0; n < x.size(); ++n) {
      ASSERT_EQ(y[n], filter.Step(fixed.data(), x[n])) << n;
    }
  }
}
