// The equalizer's tables and radix-2 transforms.

#include "dsp/equalizer_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

struct Tables {
  explicit Tables(int32_t bits) : n(1 << bits), bits(bits), twiddle(n), bitReverse(n) {
    TwiddleTable(twiddle.data(), n);
    BitReverseTable(bitReverse.data(), bits, n);
  }
  int32_t n;
  int32_t bits;
  std::vector<Complex> twiddle;
  std::vector<int32_t> bitReverse;
};

std::vector<Complex> RandomSignal(int32_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(-30000.0f, 30000.0f);
  std::vector<Complex> x(n);
  for (auto& c : x) {
    c = {value(rng), value(rng)};
  }
  return x;
}

}  // namespace

TEST(EqualizerTransform, BitReverseTableReversesTheLowBits) {
  std::vector<int32_t> table(8);
  BitReverseTable(table.data(), 3, 8);
  EXPECT_EQ(table, (std::vector<int32_t>{0, 4, 2, 6, 1, 5, 3, 7}));
  std::vector<int32_t> big(2048);
  BitReverseTable(big.data(), 11, 2048);
  EXPECT_EQ(big[1], 1024);
  EXPECT_EQ(big[2047], 2047);
  EXPECT_EQ(big[3], 1536);
}

TEST(EqualizerTransform, TwiddleAnglesUseTheConstant6283) {
  std::vector<Complex> table(4);
  TwiddleTable(table.data(), 4);
  EXPECT_EQ(table[0].re, 1.0f);
  EXPECT_EQ(table[0].im, 0.0f);
  // Entry 2 sits at 3.1415, a little short of pi: its sine is about 9.3e-5.
  EXPECT_NEAR(table[2].im, std::sin(2.0 * static_cast<float>(6.283 / 4)), 1e-9);
  EXPECT_GT(table[2].im, 9e-5f);
}

TEST(EqualizerTransform, HammingWindowHasNPlusOneValues) {
  std::vector<float> window(513, -1.0f);
  HammingWindow(window.data(), 512);
  EXPECT_NEAR(window[0], 0.08f, 1e-6);
  EXPECT_NEAR(window[256], 1.0f, 1e-6);
  EXPECT_NEAR(window[512], 0.08f, 1e-6);
  EXPECT_NEAR(window[128], 0.54f, 1e-6);
}

TEST(EqualizerTransform, ForwardIsCloseToTheDiscreteFourierTransform) {
  for (int32_t bits : {3, 6, 9}) {
    const Tables t(bits);
    const auto x = RandomSignal(t.n, 17 + bits);
    std::vector<Complex> out(t.n);
    ForwardTransform(t.bitReverse.data(), t.twiddle.data(), x.data(), out.data(), t.n, t.bits);
    double worst = 0.0;
    for (int32_t k = 0; k < t.n; ++k) {
      std::complex<double> sum = 0.0;
      for (int32_t m = 0; m < t.n; ++m) {
        sum += std::complex<double>(x[m].re, x[m].im) *
               std::polar(1.0, -2.0 * M_PI * ((int64_t{k} * m) % t.n) / t.n);
      }
      worst = std::max(worst, std::abs(sum - std::complex<double>(out[k].re, out[k].im)));
    }
    // The table's 6.283 moves each angle by at most 3e-5 of a turn.
    EXPECT_LT(worst, 30000.0 * t.n * 3e-4) << "bits " << bits;
  }
}

TEST(EqualizerTransform, InverseUndoesForward) {
  const Tables t(10);
  const auto x = RandomSignal(t.n, 5);
  std::vector<Complex> spectrum(t.n);
  std::vector<Complex> back(t.n);
  ForwardTransform(t.bitReverse.data(), t.twiddle.data(), x.data(), spectrum.data(), t.n, t.bits);
  InverseTransform(t.bitReverse.data(), t.twiddle.data(), spectrum.data(), back.data(), t.n,
                   t.bits);
  for (int32_t i = 0; i < t.n; ++i) {
    ASSERT_NEAR(back[i].re, x[i].re, 2.0f) << i;
    ASSERT_NEAR(back[i].im, x[i].im, 2.0f) << i;
  }
}
