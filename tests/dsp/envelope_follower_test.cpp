// The envelope follower: a running sum of rounded, scaled magnitudes.

#include "dsp/envelope_follower.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "tests/dsp/test_signals.h"

using test_signals::Block;

namespace {
// A follower over a zeroed window of `length` with both positions at 0.
EnvelopeFollower FollowerOf(int32_t length, float k) {
  EnvelopeFollower env;
  env.Allocate(length, 0);
  env.scale = k;
  return env;
}

// Ties to even by hand: the nearest integer, and the even one of two.
int32_t RoundHalfEven(float v) {
  const float lower = std::floor(v);
  const float diff = v - lower;
  if (diff > 0.5f) {
    return static_cast<int32_t>(lower) + 1;
  }
  if (diff < 0.5f) {
    return static_cast<int32_t>(lower);
  }
  const auto l = static_cast<int32_t>(lower);
  return l % 2 == 0 ? l : l + 1;
}

Block ReferenceEnvelope(const Block& input, int32_t length, float k) {
  std::vector<int16_t> ring(static_cast<size_t>(length), 0);
  int32_t sum = 0;
  int32_t r = 0;
  int32_t w = 0;
  Block out(input.size());
  for (size_t i = 0; i < input.size(); ++i) {
    const int32_t a = input[i] < 0 ? -int32_t{input[i]} : input[i];
    const float product = static_cast<float>(a) * k;
    const int32_t e = RoundHalfEven(product);
    const int32_t old = ring[static_cast<size_t>(r)];
    ring[static_cast<size_t>(w)] = static_cast<int16_t>(e);
    sum = sum + e - old;
    out[i] = static_cast<int16_t>(sum > 32767 ? 32767 : (sum < -32767 ? -32767 : sum));
    w = (w + 1) % length;
    r = (r + 1) % length;
  }
  return out;
}
}  // namespace

TEST(RunEnvelope, MatchesTheReferenceForSeveralWindowsAndScales) {
  for (const int32_t length : {1, 2, 64, 441}) {
    for (const float k : {1.0f / static_cast<float>(length), 0.5f, 1.0f, 0.013f, 3.0f}) {
      for (const auto& [name, input] : test_signals::Catalogue(3000)) {
        for (const auto& pattern : test_signals::BlockPatterns()) {
          EnvelopeFollower env = FollowerOf(length, k);
          const Block out = test_signals::RunInBlocks(
              input, pattern,
              [&](const int16_t* src, int16_t* dst, int32_t n) { RunEnvelope(src, dst, &env, n); });
          ASSERT_EQ(out, ReferenceEnvelope(input, length, k))
              << name << " L " << length << " k " << k;
          EXPECT_TRUE(test_signals::NeverMinus32768(out));
        }
      }
    }
  }
}

TEST(RunEnvelope, RoundsHalvesToEven) {
  // k = 0.5: magnitudes 1, 3, 5 give 0.5, 1.5, 2.5, which round to 0, 2, 2.
  EnvelopeFollower env = FollowerOf(1, 0.5f);
  const Block input = {1, -3, 5};
  Block out(3);
  RunEnvelope(input.data(), out.data(), &env, 3);
  EXPECT_EQ(out, (Block{0, 2, 2}));
}

TEST(RunEnvelope, AveragesTheMagnitudeOverItsWindow) {
  constexpr int32_t kLength = 100;
  EnvelopeFollower env = FollowerOf(kLength, 1.0f / kLength);
  const Block input = test_signals::FullScaleSquare(1000, 10);
  Block out(input.size());
  RunEnvelope(input.data(), out.data(), &env, 1000);
  // Each magnitude is 327.67 or 327.68, rounded to 328: the window sums to 32767 (clamped).
  EXPECT_EQ(out.back(), 32767);
  EXPECT_EQ(out[49], 50 * 328);
}
