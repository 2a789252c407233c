// The table oscillator: linear interpolation with a 12-bit phase fraction.

#include "dsp/wavetable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/dsp/test_signals.h"

using test_signals::Block;

namespace {
std::vector<int16_t> SineTable(int32_t length, double peak) {
  std::vector<int16_t> t(static_cast<size_t>(length));
  for (int32_t i = 0; i < length; ++i) {
    t[static_cast<size_t>(i)] =
        static_cast<int16_t>(std::sin(6.283185307179586 * i / length) * peak);
  }
  return t;
}

// Per sample, recomputing the interpolation from the position each time.
Block ReferenceOscillator(const std::vector<int16_t>& table, int32_t wrap, int32_t p,
                          int32_t fraction, int32_t increment, int32_t depth, size_t count) {
  const auto length = static_cast<int32_t>(table.size());
  Block out(count);
  for (size_t n = 0; n < count; ++n) {
    const int32_t next = p + 1 >= length ? p + 1 - wrap : p + 1;
    const int32_t y0 = table[static_cast<size_t>(p)];
    const int32_t d = table[static_cast<size_t>(next)] - y0;
    const auto value = static_cast<int32_t>(y0 + ((int64_t{d} * fraction) >> 12));
    out[n] = static_cast<int16_t>(static_cast<int32_t>(int64_t{value} * depth) >> 12);
    fraction += increment;
    if (fraction >= 4096) {
      p += fraction >> 12;
      if (p >= length) {
        p -= wrap;
      }
      fraction &= 4095;
    }
  }
  return out;
}
}  // namespace

TEST(RunWavetable, MatchesTheReferenceForSeveralIncrementsDepthsAndBlocks) {
  const std::vector<int16_t> table = SineTable(256, 4096);
  for (const int32_t increment : {0, 1, 11, 23, 4096, 5000, 40000}) {
    for (const int32_t depth : {16, 32, 4096, 30000}) {
      for (const auto& pattern : test_signals::BlockPatterns()) {
        Wavetable osc{table, 3, 100, 256, increment, depth};
        const Block input = test_signals::Silence(20000);
        const Block out = test_signals::RunInBlocks(
            input, pattern,
            [&](const int16_t* src, int16_t* dst, int32_t n) { RunWavetable(src, dst, &osc, n); });
        EXPECT_EQ(out, ReferenceOscillator(table, 256, 3, 100, increment, depth, input.size()))
            << "increment " << increment << " depth " << depth;
      }
    }
  }
}

TEST(RunWavetable, WholeStepsReadOneEntryPerSampleScaledByDepth) {
  std::vector<int16_t> table = {100, -200, 300, -400, 500};
  Wavetable osc{table, 0, 0, 5, 4096, 2048};
  Block out(12);
  RunWavetable(nullptr, out.data(), &osc, 12);
  for (size_t n = 0; n < out.size(); ++n) {
    EXPECT_EQ(out[n], (table[n % 5] * 2048) >> 12) << n;
  }
  EXPECT_EQ(osc.position, 2);
  EXPECT_EQ(osc.fraction, 0);
}

TEST(RunWavetable, WrapAmountSmallerThanLengthLoopsOverTheTail) {
  // A table of 8 with wrap 4: positions run 0..7, then 4..7 again.
  std::vector<int16_t> table = {0, 1, 2, 3, 4, 5, 6, 7};
  Wavetable osc{table, 0, 0, 4, 4096, 4096};
  Block out(14);
  RunWavetable(nullptr, out.data(), &osc, 14);
  EXPECT_EQ(out, (Block{0, 1, 2, 3, 4, 5, 6, 7, 4, 5, 6, 7, 4, 5}));
  EXPECT_EQ(ReferenceOscillator(table, 4, 0, 0, 4096, 4096, 14), out);
}
