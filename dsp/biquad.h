#pragma once
// Second-order filter sections: bilinear-transform design of the analogue
// low-pass, high-pass, band-pass, band-stop and all-pass prototypes into Q14
// coefficients, and a fixed-point direct-form-I run over blocks of samples.

#include <array>
#include <cstdint>
#include <utility>

#include "dsp/saturate.h"
#include "dsp/wrap32.h"

// A filter coefficient held as value x 16384 in a 32-bit integer, limited to
// -32767..+32767 (magnitudes below 2.0).
using Q14 = int32_t;
inline constexpr int32_t kQ14One = 16384;
inline constexpr int32_t kQ14Shift = 14;

// Which prototype a section is designed from. The names double as the texts
// the filter pages list, in this order.
enum class FilterKind : int32_t {
  LowPass = 0,
  HighPass = 1,
  BandPass = 2,  // given by its two band edges; unity gain at the centre
  BandStop = 3,  // AllPass's numerator: an all-pass too (see DesignBiquad)
  AllPass = 4,
};
inline constexpr std::array<const char*, 5> kFilterKindNames = {"LowPass", "HighPass", "BandPass",
                                                                "BandStop", "AllPass"};

// A section's coefficients, b2, b1, b0, a2, a1, a0, all Q14 with a0 = 16384;
// and its history: the six-slot ring of past inputs and outputs followed by
// the rounding remainder the recursion carries from one output to the next.
inline constexpr int32_t kBiquadCoefficientCount = 6;
inline constexpr int32_t kBiquadRemainderSlot = 6;
inline constexpr int32_t kBiquadHistoryCount = 7;
using BiquadCoefficients = std::array<Q14, kBiquadCoefficientCount>;
using BiquadHistory = std::array<int32_t, kBiquadHistoryCount>;

// One second-order section, embedded in an effect's settings record. It holds
// its coefficients and history itself; a new section (or one given a fresh
// history) starts from silence.
struct BiquadSection {
  BiquadCoefficients coefficients{};
  BiquadHistory history{};
  int32_t ringPosition = 0;  // 0..5
  FilterKind kind = FilterKind::LowPass;
  // Frequencies as fractions of the Nyquist frequency (Hz / rate x 2).
  float f1 = 0.0f;    // cut-off or centre; the lower edge for BandPass
  float f2 = 0.0f;    // upper edge, read only for BandPass
  float q = 0.707f;   // not read for BandPass
  float gain = 1.0f;  // linear factor on the numerator
};

// Designs the coefficient array from kind, f1, f2, q and gain, in double
// precision. Frequencies above 0.95 design as 0.95; only a BandPass f2 is
// written back. History and ring position are left alone, so a running
// filter changes its response without clearing its state.
void DesignBiquad(BiquadSection* section);

// A section of `kind` at f1 (and f2, for BandPass) with quality q and linear
// gain, designed by DesignBiquad and starting from silence.
BiquadSection DesignedBiquad(FilterKind kind, float f1, float f2, float q, float gain);

// `value`, passed through an empty assembler statement: the compiler must
// form it as written before using it, rather than re-associating the sum it
// comes from with later terms.
inline int32_t KeepFormed(int32_t value) {
#if defined(__GNUC__)
  __asm__("" : "+r"(value));
#endif
  return value;
}

// One output of the recurrence below from coefficients c (b2, b1, b0, a2, a1)
// and the input x0 with the past inputs x1, x2 and outputs y1, y2. The shift
// rounds toward minus infinity; the part it drops, acc & 16383 (0..16383,
// taken before saturation), is kept in `remainder` and added to the next
// step's sum. This error feedback keeps the rounding from building up a DC
// offset through the recursion (at low cut-offs its DC gain runs into the
// thousands), an offset that also held the output at a constant away from 0
// after the input stopped.
inline int32_t BiquadStep(const Q14* c, int32_t x0, int32_t x1, int32_t x2, int32_t y1, int32_t y2,
                          int32_t& remainder) {
  // The sum wraps modulo 2^32, so its order is free: the term of the output
  // just computed comes last, which keeps the recursion's chain short (one
  // multiply and one subtraction between an output and the next sum).
  const int32_t partial = Add32(Add32(Add32(Mul32(c[0], x2), Mul32(c[1], x1)), Mul32(c[2], x0)),
                                Sub32(remainder, Mul32(c[3], y2)));
  const int32_t acc = Sub32(KeepFormed(partial), Mul32(c[4], y1));
  remainder = acc & (kQ14One - 1);
  return Saturate(acc >> kQ14Shift);
}

// The RunBiquad recurrence over `count` samples with the coefficients
// coefficientsAt(n) for sample n, on a history of a six-slot ring at
// `ringPosition` followed by the remainder slot; hands each output y[n] to
// emit(n, y[n]) and returns the new ring position. The ring at position p
// holds x[n-3], x[n-2], x[n-1] in slots p+1..p+3 and y[n-3], y[n-2], y[n-1] in
// slots p+4, p+5, p; each sample writes x[n] over y[n-3] at p+4 and y[n] over
// x[n-3] at p+1, then p steps on. The loop keeps the values in locals and
// writes the history back in the same layout. An effect that works on each
// filtered sample at once does so in `emit`, inside the filter's loop.
template <typename CoefficientsAt, typename Emit>
int32_t FilterBiquadRing(const int16_t* src, BiquadHistory& history, int32_t ringPosition,
                         int32_t count, CoefficientsAt coefficientsAt, Emit&& emit) {
  int32_t p = ringPosition;
  int32_t x3 = history[(p + 1) % 6];
  int32_t x2 = history[(p + 2) % 6];
  int32_t x1 = history[(p + 3) % 6];
  int32_t y3 = history[(p + 4) % 6];
  int32_t y2 = history[(p + 5) % 6];
  int32_t y1 = history[p];
  int32_t remainder = history[kBiquadRemainderSlot];
  for (int32_t n = 0; n < count; ++n) {
    const int32_t x0 = src[n];
    const int32_t y0 = BiquadStep(coefficientsAt(n), x0, x1, x2, y1, y2, remainder);
    emit(n, y0);
    x3 = x2;
    x2 = x1;
    x1 = x0;
    y3 = y2;
    y2 = y1;
    y1 = y0;
  }
  p = (p + count) % 6;
  history[(p + 1) % 6] = x3;
  history[(p + 2) % 6] = x2;
  history[(p + 3) % 6] = x1;
  history[(p + 4) % 6] = y3;
  history[(p + 5) % 6] = y2;
  history[p] = y1;
  history[kBiquadRemainderSlot] = remainder;
  return p;
}

// FilterBiquadRing writing each output to dst[n].
template <typename CoefficientsAt>
int32_t RunBiquadRing(const int16_t* src, int16_t* dst, BiquadHistory& history,
                      int32_t ringPosition, int32_t count, CoefficientsAt coefficientsAt) {
  return FilterBiquadRing(src, history, ringPosition, count, coefficientsAt,
                          [dst](int32_t n, int32_t y) { dst[n] = static_cast<int16_t>(y); });
}

// A section's recurrence (as RunBiquad) handing each output to emit(n, y).
template <typename Emit>
void FilterBiquad(const int16_t* src, BiquadSection* section, int32_t count, Emit&& emit) {
  const Q14* c = section->coefficients.data();
  section->ringPosition = FilterBiquadRing(
      src, section->history, section->ringPosition, count, [c](int32_t) { return c; },
      std::forward<Emit>(emit));
}

// Filters `count` samples: acc = b2 x[n-2] + b1 x[n-1] + b0 x[n] - a2 y[n-2]
// - a1 y[n-1] + r[n-1] in 32 bits, y[n] = acc >> 14 (arithmetic) saturated,
// r[n] = acc & 16383 (the remainder of the shift, before saturation; 0 when
// the history is cleared). The fed back outputs are the saturated ones. src
// and dst may be the same block.
void RunBiquad(const int16_t* src, int16_t* dst, BiquadSection* section, int32_t count);
