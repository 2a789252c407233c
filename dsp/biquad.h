#pragma once
// Second-order filter sections: bilinear-transform design of the analogue
// low-pass, high-pass, band-pass, band-stop and all-pass prototypes into Q14
// coefficients, and a fixed-point direct-form-I run over blocks of samples.

#include <array>
#include <cstdint>

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
  BandStop = 3,  // same numerator as AllPass
  AllPass = 4,
};
inline constexpr std::array<const char*, 5> kFilterKindNames = {"LowPass", "HighPass", "BandPass",
                                                                "BandStop", "AllPass"};

// Sizes of the arrays a section's owner allocates.
inline constexpr int32_t kBiquadCoefficientCount = 6;
inline constexpr int32_t kBiquadHistoryCount = 6;

// One second-order section, embedded in an effect's settings record. The
// owner allocates both arrays, zeroes the history and sets ringPosition to 0;
// an owner may keep further fields of its own after these.
struct BiquadSection {
  // b2, b1, b0, a2, a1, a0 after design, all Q14, a0 = 16384.
  Q14* coefficients = nullptr;
  // Six slots forming one ring of past inputs and outputs.
  int32_t* history = nullptr;
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

// Filters `count` samples: acc = b2 x[n-2] + b1 x[n-1] + b0 x[n] - a2 y[n-2]
// - a1 y[n-1] in 32 bits, y[n] = acc >> 14 (arithmetic) saturated. The fed
// back outputs are the saturated ones. src and dst may be the same block.
void RunBiquad(const int16_t* src, int16_t* dst, BiquadSection* section, int32_t count);
