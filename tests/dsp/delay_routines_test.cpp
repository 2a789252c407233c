// The delay-based building blocks: the plain delay line, the feedback comb
// and the Schroeder allpass, each against a per-sample reference with
// modular indices.

#include <gtest/gtest.h>

#include <vector>

#include "dsp/allpass.h"
#include "dsp/comb.h"
#include "dsp/delay_line.h"
#include "tests/dsp/test_signals.h"

using test_signals::Block;

namespace {
int32_t Sat(int64_t v) {
  const auto w = static_cast<int32_t>(v);
  return w > 32767 ? 32767 : (w < -32767 ? -32767 : w);
}

struct Geometry {
  int32_t length, write, read;
};

// A zeroed line of the given geometry.
template <typename Line>
Line LineOf(const Geometry& g) {
  Line line;
  line.Allocate(g.length, 0);
  line.writePosition = g.write;
  line.readPosition = g.read;
  return line;
}
std::vector<Geometry> Geometries() {
  return {{1, 0, 0}, {2, 0, 1}, {11, 0, 0}, {101, 0, 1}, {444, 17, 300}, {1200, 1199, 0}};
}
}  // namespace

TEST(RunDelayLine, MatchesTheReference) {
  for (const Geometry& g : Geometries()) {
    for (const auto& [name, input] : test_signals::Catalogue(2500)) {
      for (const auto& pattern : test_signals::BlockPatterns()) {
        DelayLine line = LineOf<DelayLine>(g);
        const Block out = test_signals::RunInBlocks(
            input, pattern,
            [&](const int16_t* src, int16_t* dst, int32_t n) { RunDelayLine(src, dst, &line, n); });
        // Reference: the delay is (write - read) mod L, the write comes first.
        std::vector<int16_t> ring(static_cast<size_t>(g.length), 0);
        Block expected(input.size());
        int32_t w = g.write;
        int32_t r = g.read;
        for (size_t i = 0; i < input.size(); ++i) {
          ring[static_cast<size_t>(w)] = input[i];
          w = (w + 1) % g.length;
          expected[i] = ring[static_cast<size_t>(r)];
          r = (r + 1) % g.length;
        }
        ASSERT_EQ(out, expected) << name << " L " << g.length;
        EXPECT_EQ(line.writePosition, w);
        EXPECT_EQ(line.readPosition, r);
      }
    }
  }
}

TEST(RunDelayLine, ReadEqualToWritePassesTheInputThrough) {
  const Block input = test_signals::Noise(1000, 3);
  DelayLine line = LineOf<DelayLine>({50, 20, 20});
  Block out(input.size());
  RunDelayLine(input.data(), out.data(), &line, 1000);
  EXPECT_EQ(out, input);
}

TEST(RunComb, MatchesTheReferenceForSeveralGainsAndDelays) {
  for (const Geometry& g : Geometries()) {
    for (const int32_t gain : {0, 1, 180, 215, 256, -200, 300}) {
      for (const auto& [name, input] : test_signals::Catalogue(2000)) {
        for (const auto& pattern : {std::vector<int32_t>{1}, std::vector<int32_t>{512, 37}}) {
          CombDelay comb = LineOf<CombDelay>(g);
          comb.gain = gain;
          const Block out = test_signals::RunInBlocks(
              input, pattern,
              [&](const int16_t* src, int16_t* dst, int32_t n) { RunComb(src, dst, &comb, n); });
          std::vector<int16_t> ring(static_cast<size_t>(g.length), 0);
          Block expected(input.size());
          int32_t w = g.write;
          int32_t r = g.read;
          for (size_t i = 0; i < input.size(); ++i) {
            const int32_t y = ring[static_cast<size_t>(r)];
            expected[i] = static_cast<int16_t>(y);
            r = (r + 1) % g.length;
            ring[static_cast<size_t>(w)] =
                static_cast<int16_t>(Sat(int64_t{input[i]} - ((y * gain) >> 8)));
            w = (w + 1) % g.length;
          }
          ASSERT_EQ(out, expected) << name << " L " << g.length << " g " << gain;
          EXPECT_TRUE(test_signals::NeverMinus32768(out)) << name;
        }
      }
    }
  }
}

TEST(RunComb, ImpulseEchoesEveryDelayWithAlternatingSignAndDecay) {
  // Write 0, read 1 in a line of 101: the echo period is 100 samples, and
  // each pass subtracts g/256 of the echo.
  CombDelay comb;
  comb.Allocate(101, 100);
  comb.gain = 128;
  const Block input = test_signals::Impulse(501, 16384);
  Block out(input.size());
  RunComb(input.data(), out.data(), &comb, 501);
  EXPECT_EQ(out[100], 16384);
  EXPECT_EQ(out[200], -8192);
  EXPECT_EQ(out[300], 4096);
  EXPECT_EQ(out[400], -2048);
  EXPECT_EQ(out[500], 1024);
  EXPECT_EQ(out[99], 0);
}

TEST(RunAllpass, MatchesTheReferenceForSeveralGainsAndDelays) {
  for (const Geometry& g : Geometries()) {
    for (const int32_t gain : {0, 180, 255, -128, 256}) {
      for (const auto& [name, input] : test_signals::Catalogue(2000)) {
        for (const auto& pattern : {std::vector<int32_t>{1}, std::vector<int32_t>{300, 7}}) {
          AllpassDelay allpass = LineOf<AllpassDelay>(g);
          allpass.gain = gain;
          const Block out = test_signals::RunInBlocks(
              input, pattern, [&](const int16_t* src, int16_t* dst, int32_t n) {
                RunAllpass(src, dst, &allpass, n);
              });
          std::vector<int32_t> ring(static_cast<size_t>(g.length), 0);
          Block expected(input.size());
          int32_t w = g.write;
          int32_t r = g.read;
          for (size_t i = 0; i < input.size(); ++i) {
            const int32_t v = input[i] + static_cast<int32_t>(
                                             (int64_t{ring[static_cast<size_t>(r)]} * gain) >> 8);
            ring[static_cast<size_t>(w)] = v;
            const int64_t y = ring[static_cast<size_t>(r)] - ((int64_t{v} * gain) >> 8);
            r = (r + 1) % g.length;
            w = (w + 1) % g.length;
            expected[i] = static_cast<int16_t>(Sat(y));
          }
          ASSERT_EQ(out, expected) << name << " L " << g.length << " g " << gain;
          EXPECT_EQ(allpass.buffer, ring);
          EXPECT_TRUE(test_signals::NeverMinus32768(out)) << name;
        }
      }
    }
  }
}
