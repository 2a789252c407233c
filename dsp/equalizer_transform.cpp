#include "dsp/equalizer_transform.h"

#include <cmath>

#include "dsp/angles.h"
#include "dsp/vector_clones.h"

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

namespace {

// The butterfly of two points with the twiddle (wr, wi): t = a x w; the lower
// point becomes lo + t, the upper lo - t.
inline void Butterfly(Complex& lo, Complex& hi, float wr, float wi) {
  const Complex a = hi;
  const Complex t = {a.re * wr - a.im * wi, a.re * wi + a.im * wr};
  hi = {lo.re - t.re, lo.im - t.im};
  lo = {lo.re + t.re, lo.im + t.im};
}

// j = 0 multiplies by 1: a plain sum and difference.
inline void UnitButterfly(Complex& lo, Complex& hi) {
  const Complex t = hi;
  hi = {lo.re - t.re, lo.im - t.im};
  lo = {lo.re + t.re, lo.im + t.im};
}

// The stages in which a group's butterflies are too few to fill a vector:
// each twiddle in turn over every group.
void RunNarrowStage(Complex* data, const Complex* twiddle, int32_t n, int32_t half, float sign) {
  const int32_t span = 2 * half;
  const int32_t stride = n / span;
  for (int32_t i = 0; i < n; i += span) {
    UnitButterfly(data[i], data[i + half]);
  }
  for (int32_t j = 1; j < half; ++j) {
    const float wr = twiddle[j * stride].re;
    const float wi = sign * twiddle[j * stride].im;
    for (int32_t i = j; i < n; i += span) {
      Butterfly(data[i], data[i + half], wr, wi);
    }
  }
}

// The other stages group by group, the group's butterflies side by side.
TONALITH_VECTOR_CLONES
void RunWideStage(Complex* data, const Complex* twiddle, int32_t n, int32_t half, float sign) {
  const int32_t span = 2 * half;
  const int32_t stride = n / span;
  for (int32_t i = 0; i < n; i += span) {
    Complex* lo = data + i;
    Complex* hi = lo + half;
    UnitButterfly(lo[0], hi[0]);
    for (int32_t j = 1; j < half; ++j) {
      Butterfly(lo[j], hi[j], twiddle[j * stride].re, sign * twiddle[j * stride].im);
    }
  }
}

// Groups of at least this many butterflies run side by side.
constexpr int32_t kWideHalf = 8;

}  // namespace

void RunButterflies(Complex* data, const Complex* twiddle, int32_t n, int32_t bits, bool inverse) {
  // Every butterfly of a stage works on its own two points, so the order
  // within a stage leaves the result alone.
  const float sign = inverse ? 1.0f : -1.0f;
  for (int32_t s = 0; s < bits; ++s) {
    const int32_t half = int32_t{1} << s;
    if (half < kWideHalf) {
      RunNarrowStage(data, twiddle, n, half, sign);
    } else {
      RunWideStage(data, twiddle, n, half, sign);
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
