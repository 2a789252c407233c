#pragma once
// The spellings of pi that the signal processing uses. They are not one
// value: each is the value its piece of design code is defined with, and the
// output depends on it to the last bit (a coefficient rounded the other way,
// a table entry one step off). So each keeps its own name and value here,
// with what it feeds; none may be replaced by a more exact pi.

namespace angles {

// Pi to ten decimals. The chorus sizes its sweep from a half sine sampled
// with it; the linear equalizer bands are spaced by about a fifteenth of it.
inline constexpr double kPi = 3.1415926535;

// Half of kPi (exactly): the bilinear transform's pre-warping factor, which
// maps a Nyquist fraction f to the angle f x pi/2 in DesignBiquad and in the
// swept filters' band edges.
inline constexpr double kHalfPi = 1.57079632675;
static_assert(kHalfPi == kPi / 2);

// Pi / 15 as the equalizer's linear spacing is defined: one ulp below
// kPi / 15, so it is written out rather than computed. Spacing of the 16 linear bands.
inline constexpr double kLinearBandStep = 0.20943951023333332;

// Pi as a float (3.1415927f): where the equalizer's octave spacings put the
// top band, and the end of the range its kernel design samples.
inline constexpr float kPiFloat = 3.1415927f;

// The upper end of the equalizer's flat default curve. Any curve ending
// below kPiFloat is extended flat to it before sampling, so this only has to
// lie in (0, pi]; it keeps the default curve's defined value.
inline constexpr float kFlatCurveEnd = 3.1415f;

// 2 pi to nine decimals: Hz to radians per sample for the equalizer's band
// frequencies, the Hamming window, and the 256-entry oscillator tables.
inline constexpr double kTwoPi = 6.283185307;

// One step of a 256-entry oscillator table (the chorus sine, the filter
// modulation's raised cosine): kTwoPi / 256, exact in binary.
inline constexpr double kTableStep256 = 0.02454369260546875;
static_assert(kTableStep256 == kTwoPi / 256);

// Hz per radian: 1 / kTwoPi, as the EQ page converts band angles to Hz.
inline constexpr double kHzPerRadian = 0.15915494309644432;
static_assert(kHzPerRadian == 1 / kTwoPi);

// 2 pi cut to three decimals: the angle unit of the equalizer's twiddle
// table. With it the block transforms are close to, not exactly, discrete
// Fourier transforms; the equalizer's output is defined with these tables.
inline constexpr double kTwiddleTwoPi = 6.283;

// 2 pi rounded up at the sixth decimal: the step of the linear phase that the
// equalizer gives its target kernel spectrum.
inline constexpr double kKernelPhaseTwoPi = 6.283186;

}  // namespace angles
