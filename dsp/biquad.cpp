#include "dsp/biquad.h"

#include <algorithm>
#include <cmath>

#include "dsp/angles.h"
#include "dsp/saturate.h"
#include "dsp/wrap32.h"

namespace {
using angles::kHalfPi;
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
      // The denominator reversed: a zero for every pole, so the magnitude is
      // flat and only the phase turns. BandStop takes this numerator by
      // definition, so it is an all-pass too, not a notch (a notch would take
      // b0 = b2 = A + Q, b1 = a1); settings that choose it keep that sound.
      b0 = a2;
      b1 = a1;
      b2 = a0;
      break;
  }

  BiquadCoefficients& out = section->coefficients;
  out[0] = ToQ14(b2 / a0 * g);
  out[1] = ToQ14(b1 / a0 * g);
  out[2] = ToQ14(b0 / a0 * g);
  out[3] = ToQ14(a2 / a0);
  out[4] = ToQ14(a1 / a0);
  out[5] = kQ14One;
}

BiquadSection DesignedBiquad(FilterKind kind, float f1, float f2, float q, float gain) {
  BiquadSection section;
  section.kind = kind;
  section.f1 = f1;
  section.f2 = f2;
  section.q = q;
  section.gain = gain;
  DesignBiquad(&section);
  return section;
}

void RunBiquad(const int16_t* src, int16_t* dst, BiquadSection* section, int32_t count) {
  const Q14* c = section->coefficients.data();
  section->ringPosition = RunBiquadRing(src, dst, section->history, section->ringPosition, count,
                                        [c](int32_t) { return c; });
}
