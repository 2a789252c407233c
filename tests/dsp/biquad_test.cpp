// Biquad design and the fixed-point filter run, against references written
// from the definitions: the design in double, the run sample by sample over
// the literal six-slot history ring and the remainder slot after it.

#include "dsp/biquad.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "tests/dsp/test_signals.h"

namespace {

using test_signals::Block;

// The design, step by step as defined, in double.
std::array<int32_t, 6> ReferenceDesign(FilterKind kind, float f1, float f2, float q, float gain) {
  const double k = 1.57079632675;
  double w;
  double quality;
  if (kind == FilterKind::BandPass) {
    const float upper = f2 > 0.95 ? 0.95f : f2;
    const double c = 0.5 * std::tan(double{f1} * k);
    const double d = 0.5 * std::tan(double{upper} * k);
    w = std::sqrt(c * d);
    quality = w / (d - c);
  } else {
    const double f = f1 > 0.95 ? 0.95 : double{f1};
    w = std::tan(f * k);
    quality = q;
  }
  const double a = w * w * quality;
  const double den[3] = {a + w + quality, 2 * (a - quality), a - w + quality};  // a0, a1, a2
  double num[3];                                                                // b0, b1, b2
  switch (kind) {
    case FilterKind::LowPass:
      num[0] = a, num[1] = 2 * a, num[2] = a;
      break;
    case FilterKind::HighPass:
      num[0] = quality, num[1] = -2 * quality, num[2] = quality;
      break;
    case FilterKind::BandPass:
      num[0] = w, num[1] = 0, num[2] = -w;
      break;
    default:
      num[0] = den[2], num[1] = den[1], num[2] = den[0];
  }
  auto q14 = [](double v) {
    double t = v * 16384;
    t = v > 0 ? std::ceil(t) : std::floor(t);
    return static_cast<int32_t>(std::fmin(32767.0, std::fmax(-32767.0, t)));
  };
  return {q14(num[2] / den[0] * gain), q14(num[1] / den[0] * gain), q14(num[0] / den[0] * gain),
          q14(den[2] / den[0]),        q14(den[1] / den[0]),        16384};
}

// Sample by sample over the six-slot ring, 32-bit wrap-around arithmetic;
// slot 6 carries the remainder of each shift (before clamping) into the next
// sum.
struct ReferenceBiquad {
  std::array<int32_t, 6> c{};
  std::array<int32_t, 7> h{};
  int p = 0;
  int16_t Step(int16_t x) {
    const int64_t sum = int64_t{c[0]} * h[(p + 2) % 6] + int64_t{c[1]} * h[(p + 3) % 6] +
                        int64_t{c[2]} * x - int64_t{c[3]} * h[(p + 5) % 6] - int64_t{c[4]} * h[p] +
                        h[6];
    const auto acc = static_cast<int32_t>(sum);
    int32_t y = acc >> 14;
    h[6] = static_cast<int32_t>(int64_t{acc} - int64_t{y} * 16384);
    y = y > 32767 ? 32767 : (y < -32767 ? -32767 : y);
    h[(p + 4) % 6] = x;
    h[(p + 1) % 6] = y;
    p = (p + 1) % 6;
    return static_cast<int16_t>(y);
  }
};

struct Design {
  FilterKind kind;
  float f1, f2, q, gain;
};

std::vector<Design> Designs() {
  return {
      {FilterKind::LowPass, 0.5f, 0.0f, 0.707f, 1.0f},
      {FilterKind::LowPass, 0.001f, 0.0f, 0.707f, 1.0f},  // a1 clamped at -32767
      {FilterKind::LowPass, 0.3628f, 0.0f, 4.0f, 1.0f},
      {FilterKind::HighPass, 0.02f, 0.0f, 0.5f, 0.8f},
      {FilterKind::HighPass, 0.99f, 0.0f, 0.707f, 1.0f},
      {FilterKind::BandPass, 100.0f / 22050, 4000.0f / 22050, 0.0f, 0.5f},
      {FilterKind::BandPass, 0.1f, 0.98f, 0.0f, 1.0f},
      {FilterKind::BandStop, 0.2f, 0.0f, 2.0f, 1.0f},
      {FilterKind::AllPass, 0.7f, 0.0f, 0.3f, 1.5f},
  };
}

}  // namespace

TEST(DesignBiquad, LowPassAtHalfNyquistGivesTheKnownArray) {
  BiquadSection section = DesignedBiquad(FilterKind::LowPass, 0.5f, 0.0f, 0.707f, 1.0f);
  EXPECT_EQ(section.coefficients, (std::array<Q14, 6>{4799, 9597, 4799, 2810, -1, 16384}));
}

TEST(DesignBiquad, MatchesTheDefinitionForEveryKind) {
  for (const Design& d : Designs()) {
    BiquadSection section = DesignedBiquad(d.kind, d.f1, d.f2, d.q, d.gain);
    const auto expected = ReferenceDesign(d.kind, d.f1, d.f2, d.q, d.gain);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(section.coefficients[i], expected[i])
          << "kind " << static_cast<int>(d.kind) << " f1 " << d.f1 << " slot " << i;
    }
  }
}

TEST(DesignBiquad, LimitsFrequenciesAt095AndWritesBackOnlyTheBandPassUpperEdge) {
  BiquadSection high = DesignedBiquad(FilterKind::LowPass, 0.99f, 0.0f, 0.707f, 1.0f);
  BiquadSection at = DesignedBiquad(FilterKind::LowPass, 0.95f, 0.0f, 0.707f, 1.0f);
  EXPECT_EQ(high.f1, 0.99f);
  EXPECT_EQ(high.coefficients, at.coefficients);
  EXPECT_EQ(high.coefficients, ReferenceDesign(FilterKind::LowPass, 0.95f, 0, 0.707f, 1.0f));

  BiquadSection band = DesignedBiquad(FilterKind::BandPass, 0.2f, 0.99f, 0.0f, 1.0f);
  EXPECT_EQ(band.f2, 0.95f);
  EXPECT_EQ(band.f1, 0.2f);
}

TEST(DesignBiquad, BandStopAndAllPassShareTheirCoefficients) {
  BiquadSection stop = DesignedBiquad(FilterKind::BandStop, 0.3f, 0.0f, 1.2f, 1.0f);
  BiquadSection all = DesignedBiquad(FilterKind::AllPass, 0.3f, 0.0f, 1.2f, 1.0f);
  EXPECT_EQ(stop.coefficients, all.coefficients);
}

TEST(DesignBiquad, LeavesHistoryAndRingPositionAlone) {
  BiquadSection section = DesignedBiquad(FilterKind::HighPass, 0.1f, 0.0f, 0.707f, 1.0f);
  section.history = {1, 2, 3, 4, 5, 6, 7};
  section.ringPosition = 4;
  section.f1 = 0.2f;
  DesignBiquad(&section);
  EXPECT_EQ(section.history, (std::array<int32_t, 7>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(section.ringPosition, 4);
}

TEST(RunBiquad, MatchesTheRingReferenceOnEverySignalAndBlockSplit) {
  for (const Design& d : Designs()) {
    for (const auto& [name, input] : test_signals::Catalogue(3000)) {
      for (const auto& pattern : test_signals::BlockPatterns()) {
        BiquadSection section = DesignedBiquad(d.kind, d.f1, d.f2, d.q, d.gain);
        ReferenceBiquad ref;
        std::copy(section.coefficients.begin(), section.coefficients.end(), ref.c.begin());
        Block expected(input.size());
        for (size_t i = 0; i < input.size(); ++i) {
          expected[i] = ref.Step(input[i]);
        }
        const Block out = test_signals::RunInBlocks(
            input, pattern,
            [&](const int16_t* src, int16_t* dst, int32_t n) { RunBiquad(src, dst, &section, n); });
        ASSERT_EQ(out, expected) << name << " kind " << static_cast<int>(d.kind);
        // The record's ring is the reference's ring, slot for slot.
        EXPECT_EQ(section.history, ref.h) << name;
        EXPECT_EQ(section.ringPosition, ref.p) << name;
        EXPECT_TRUE(test_signals::NeverMinus32768(out)) << name;
      }
    }
  }
}

TEST(RunBiquad, FullScaleThroughUnityLowPassSettlesAtOrBelow32767) {
  BiquadSection section = DesignedBiquad(FilterKind::LowPass, 0.05f, 0.0f, 0.707f, 1.0f);
  Block up(4000, 32767);
  Block out(up.size());
  RunBiquad(up.data(), out.data(), &section, static_cast<int32_t>(up.size()));
  EXPECT_GE(out.back(), 32700);
  EXPECT_LE(out.back(), 32767);

  BiquadSection negative = DesignedBiquad(FilterKind::LowPass, 0.05f, 0.0f, 0.707f, 1.0f);
  Block down(4000, -32768);
  RunBiquad(down.data(), out.data(), &negative, static_cast<int32_t>(down.size()));
  EXPECT_TRUE(test_signals::NeverMinus32768(out));
  EXPECT_LE(out.back(), -32700);
}

TEST(RunBiquad, RunsInPlace) {
  BiquadSection a = DesignedBiquad(FilterKind::BandPass, 0.05f, 0.3f, 0.0f, 0.5f);
  BiquadSection b = DesignedBiquad(FilterKind::BandPass, 0.05f, 0.3f, 0.0f, 0.5f);
  Block input = test_signals::Noise(777, 9);
  Block separate(input.size());
  RunBiquad(input.data(), separate.data(), &a, 777);
  RunBiquad(input.data(), input.data(), &b, 777);
  EXPECT_EQ(input, separate);
}
