#include "dsp/biquad.h"

#include <algorithm>
#include <cmath>

#include "dsp/saturate.h"
#include "dsp/wrap32.h"

namespace {
// The stored approximation of pi/2 that maps a Nyquist fraction to the
// bilinear transform's pre-warping angle.
constexpr double kHalfPi = 1.57079632675;
// The highest frequency a section is designed at, as a Nyquist fraction.
constexpr double kMaxFraction = 0.95;

// Q14 with rounding away from zero, limited to the symmetric 16-bit range.
Q14 ToQ14(double value) {
  const double scaled = value * kQ14One;
  const double rounded = value > 0.0 ? std::ceil(scaled) : std::floor(scaled);
  return static_cast<Q14>(std::clamp(rounded, -32767.0, 32767.0));
}
}  // namespace

void DesignBiquad(BiquadSection* section) {
  const double g = section->gain;
  double w = 0.0;
  double q = 0.0;
  if (section->kind == FilterKind::BandPass) {
    if (section->f2 > kMaxFraction) {
      section->f2 = static_cast<float>(kMaxFraction);
    }
    const double c = 0.5 * std::tan(static_cast<double>(section->f1) * kHalfPi);
    const double d = 0.5 * std::tan(static_cast<double>(section->f2) * kHalfPi);
    w = std::sqrt(c * d);
    q = w / (d - c);
  } else {
    const double f = section->f1 > kMaxFraction ? kMaxFraction : section->f1;
    w = std::tan(f * kHalfPi);
    q = section->q;
  }

  const double a = w * w * q;
  const double a0 = a + w + q;
  const double a1 = 2.0 * (a - q);
  const double a2 = a - w + q;

  double b0 = 0.0;
  double b1 = 0.0;
  double b2 = 0.0;
  switch (section->kind) {
    case FilterKind::LowPass:
      b0 = a;
      b1 = 2.0 * a;
      b2 = a;
      break;
    case FilterKind::HighPass:
      b0 = q;
      b1 = -2.0 * q;
      b2 = q;
      break;
    case FilterKind::BandPass:
      b0 = w;
      b1 = 0.0;
      b2 = -w;
      break;
    case FilterKind::BandStop:
    case FilterKind::AllPass:
      // The denominator reversed: a zero for every pole.
      b0 = a2;
      b1 = a1;
      b2 = a0;
      break;
  }

  Q14* out = section->coefficients;
  out[0] = ToQ14(b2 / a0 * g);
  out[1] = ToQ14(b1 / a0 * g);
  out[2] = ToQ14(b0 / a0 * g);
  out[3] = ToQ14(a2 / a0);
  out[4] = ToQ14(a1 / a0);
  out[5] = kQ14One;
}

void RunBiquad(const int16_t* src, int16_t* dst, BiquadSection* section, int32_t count) {
  const Q14* c = section->coefficients;
  const int64_t b2 = c[0];
  const int64_t b1 = c[1];
  const int64_t b0 = c[2];
  const int64_t a2 = c[3];
  const int64_t a1 = c[4];
  int32_t* h = section->history;
  // The ring at position p holds x[n-3], x[n-2], x[n-1] in slots p+1..p+3 and
  // y[n-3], y[n-2], y[n-1] in slots p+4, p+5, p; each sample writes x[n] over
  // y[n-3] at p+4 and y[n] over x[n-3] at p+1, then p steps on. The loop keeps
  // the six values in locals and writes the ring back in the same layout.
  int32_t p = section->ringPosition;
  int32_t x3 = h[(p + 1) % 6];
  int32_t x2 = h[(p + 2) % 6];
  int32_t x1 = h[(p + 3) % 6];
  int32_t y3 = h[(p + 4) % 6];
  int32_t y2 = h[(p + 5) % 6];
  int32_t y1 = h[p];
  for (int32_t n = 0; n < count; ++n) {
    const int32_t x0 = src[n];
    const int32_t acc = Wrap32(b2 * x2 + b1 * x1 + b0 * x0 - a2 * y2 - a1 * y1);
    const int32_t y0 = Saturate(acc >> kQ14Shift);
    dst[n] = static_cast<int16_t>(y0);
    x3 = x2;
    x2 = x1;
    x1 = x0;
    y3 = y2;
    y2 = y1;
    y1 = y0;
  }
  p = (p + count) % 6;
  h[(p + 1) % 6] = x3;
  h[(p + 2) % 6] = x2;
  h[(p + 3) % 6] = x1;
  h[(p + 4) % 6] = y3;
  h[(p + 5) % 6] = y2;
  h[p] = y1;
  section->ringPosition = p;
}
