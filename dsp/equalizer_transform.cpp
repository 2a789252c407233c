#include "dsp/equalizer_transform.h"

#include <cmath>

#include "dsp/angles.h"

void TwiddleTable(Complex* out, int32_t n) {
  const float step = static_cast<float>(angles::kTwiddleTwoPi / n);
  for (int32_t i = 0; i < n; ++i) {
    const double angle = static_cast<double>(static_cast<float>(i) * step);
    out[i] = {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
  }
}

void BitReverseTable(int32_t* out, int32_t bits, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    int32_t reversed = 0;
    for (int32_t b = 0; b < bits; ++b) {
      reversed |= ((i >> b) & 1) << (bits - 1 - b);
    }
    out[i] = reversed | (i & ~((int32_t{1} << bits) - 1));
  }
}

void HammingWindow(float* out, int32_t n) {
  for (int32_t k = 0; k <= n; ++k) {
    out[k] = static_cast<float>(0.54 - 0.46 * std::cos(angles::kTwoPi * k / n));
  }
}

void RunButterflies(Complex* data, const Complex* twiddle, int32_t n, int32_t bits, bool inverse) {
  const float sign = inverse ? 1.0f : -1.0f;
  for (int32_t s = 0; s < bits; ++s) {
    const int32_t half = int32_t{1} << s;
    const int32_t span = 2 * half;
    const int32_t stride = n / span;
    // j = 0 multiplies by 1: a plain sum and difference.
    for (int32_t i = 0; i < n; i += span) {
      const Complex t = data[i + half];
      data[i + half] = {data[i].re - t.re, data[i].im - t.im};
      data[i] = {data[i].re + t.re, data[i].im + t.im};
    }
    for (int32_t j = 1; j < half; ++j) {
      const float wr = twiddle[j * stride].re;
      const float wi = sign * twiddle[j * stride].im;
      for (int32_t i = j; i < n; i += span) {
        const Complex a = data[i + half];
        const Complex t = {a.re * wr - a.im * wi, a.re * wi + a.im * wr};
        data[i + half] = {data[i].re - t.re, data[i].im - t.im};
        data[i] = {data[i].re + t.re, data[i].im + t.im};
      }
    }
  }
}

void ForwardTransform(const int32_t* bitReverse, const Complex* twiddle, const Complex* in,
                      Complex* out, int32_t n, int32_t bits) {
  for (int32_t i = 0; i < n; ++i) {
    out[bitReverse[i]] = in[i];
  }
  RunButterflies(out, twiddle, n, bits, false);
}

void InverseTransform(const int32_t* bitReverse, const Complex* twiddle, const Complex* in,
                      Complex* out, int32_t n, int32_t bits) {
  const float scale = 1.0f / static_cast<float>(n);
  for (int32_t i = 0; i < n; ++i) {
    out[bitReverse[i]] = {in[i].re * scale, in[i].im * scale};
  }
  RunButterflies(out, twiddle, n, bits, true);
}
