// Piecewise-linear resampling of breakpoint curves into tables.

#include "dsp/curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
// The walk in single precision, one output at a time: advance through every
// breakpoint the position has passed, then evaluate within the segment.
std::vector<float> ReferenceResample(const std::vector<CurvePoint>& p, int n) {
  const int last = static_cast<int>(p.size()) - 1;
  const float step = (p[last].x - p[0].x) / static_cast<float>(n - 1);
  std::vector<float> out;
  float pos = 0.0f;
  int s = 0;
  for (int k = 0; k < n; ++k) {
    if (s == last) {
      out.push_back(p[last].y);
    } else {
      const float width = p[s + 1].x - p[s].x;
      const float slope = (p[s + 1].y - p[s].y) / width;
      out.push_back(slope * pos + p[s].y);
    }
    pos += step;
    while (s < last && pos >= p[s + 1].x - p[s].x) {
      pos -= p[s + 1].x - p[s].x;
      ++s;
    }
  }
  return out;
}
}  // namespace

TEST(ResampleCurve, TwoPointsGiveAnEvenRamp) {
  const std::vector<CurvePoint> line = {{0.0f, 0.0f}, {1.0f, 10.0f}};
  std::vector<float> out(11);
  ResampleCurve(line.data(), out.data(), 2, 11);
  for (int k = 0; k <= 10; ++k) {
    EXPECT_NEAR(out[k], static_cast<float>(k), 1e-5f) << k;
  }
  EXPECT_LE(out[10], 10.0f);
}

TEST(ResampleCurve, StaysContinuousAcrossUnequalSegments) {
  const std::vector<CurvePoint> curve = {{0.0f, 0.0f}, {0.3f, 3.0f}, {1.0f, -4.0f}};
  std::vector<float> out(101);
  ResampleCurve(curve.data(), out.data(), 3, 101);
  for (int k = 1; k < 101; ++k) {
    EXPECT_LT(std::fabs(out[k] - out[k - 1]), 0.1001f) << k;
  }
  EXPECT_NEAR(out[30], 3.0f, 1e-4f);
  EXPECT_EQ(out, ReferenceResample(curve, 101));
}

TEST(ResampleCurve, MatchesTheReferenceOnWideAndNarrowSegments) {
  // Octave-spaced breakpoints: the first segments are far narrower than a
  // step at small n, the last ones far wider.
  std::vector<CurvePoint> octaves;
  for (int i = 0; i < 16; ++i) {
    octaves.push_back({0.0001f * std::pow(2.0f, static_cast<float>(i)), (i % 2 ? 12.0f : -12.0f)});
  }
  const std::vector<CurvePoint> shaper = {
      {-1.0f, -1.0f}, {-0.2f, -0.9f}, {0.0f, 0.0f}, {0.05f, 0.8f}, {1.0f, 1.0f}};
  for (const auto& curve : {octaves, shaper}) {
    for (const int n : {2, 3, 16, 64, 257, 4096}) {
      std::vector<float> out(static_cast<size_t>(n));
      ResampleCurve(curve.data(), out.data(), static_cast<int>(curve.size()), n);
      EXPECT_EQ(out, ReferenceResample(curve, n)) << "n " << n;
    }
  }
}

TEST(ResampleCurve, NarrowSegmentsAreSkippedNotExtrapolated) {
  // Without passing every breakpoint a step crosses, the narrow first
  // segments would be stretched over whole steps, far beyond +-12.
  std::vector<CurvePoint> octaves;
  for (int i = 0; i < 16; ++i) {
    octaves.push_back({0.0001f * std::pow(2.0f, static_cast<float>(i)), (i % 2 ? 12.0f : -12.0f)});
  }
  for (const int n : {8, 16, 32, 64, 128}) {
    std::vector<float> out(static_cast<size_t>(n));
    ResampleCurve(octaves.data(), out.data(), 16, n);
    for (const float v : out) {
      EXPECT_LE(std::fabs(v), 12.0f + 1e-3f) << "n " << n;
    }
    EXPECT_NEAR(out.back(), octaves.back().y, 1e-3f);
  }
}

TEST(ResampleCurve, HoldsTheLastValueAndReadsNothingBeyondTheLastPoint) {
  // A step that lands exactly on the end: the table ends at the last y.
  const std::vector<CurvePoint> curve = {{0.0f, 1.0f}, {0.5f, 2.0f}, {1.0f, 7.0f}};
  std::vector<float> out(3);
  ResampleCurve(curve.data(), out.data(), 3, 3);
  EXPECT_EQ(out, (std::vector<float>{1.0f, 2.0f, 7.0f}));
}

TEST(ResampleCurveToInts, RoundsEachValueHalfToEven) {
  // y from 0 to 5 over 11 outputs: 0, 0.5, 1, ..., 5.
  const std::vector<CurvePoint> line = {{0.0f, 0.0f}, {10.0f, 5.0f}};
  std::vector<int32_t> out(11);
  ResampleCurveToInts(line.data(), out.data(), 2, 11);
  EXPECT_EQ(out, (std::vector<int32_t>{0, 0, 1, 2, 2, 2, 3, 4, 4, 4, 5}));

  std::vector<float> floats(300);
  std::vector<int32_t> ints(300);
  const std::vector<CurvePoint> shaper = {{0.0f, -30000.0f}, {0.4f, 120.5f}, {1.0f, 32767.0f}};
  ResampleCurve(shaper.data(), floats.data(), 3, 300);
  ResampleCurveToInts(shaper.data(), ints.data(), 3, 300);
  for (size_t k = 0; k < floats.size(); ++k) {
    EXPECT_EQ(ints[k], static_cast<int32_t>(std::nearbyint(floats[k]))) << k;
  }
}
