#pragma once
// The 16-band graphic equalizer: fast convolution (overlap-add) of each block
// with a linear-phase FIR kernel designed by frequency sampling from a curve
// of gains in dB over angular frequency (radians per sample, 0 to pi).
//
// A kernel of M = blockFrames taps is built from the curve sampled at M/2
// points, given the phase of a pure delay of (M - 1)/2 samples, windowed with
// a Hamming window and transformed once into an N = 2M point spectrum. Each
// block then costs one real forward and one real inverse transform.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dsp/curve.h"
#include "dsp/equalizer_transform.h"
#include "effects/effect.h"

// The band curve the EQ page builds: 16 bands, each a gain in dB at an
// angular frequency set by the frequency spacing.
inline constexpr int32_t kEqualizerBandCount = 16;

struct EqualizerSettings {
  int32_t n = 0;                     // transform size, 2 x blockFrames
  int32_t bits = 0;                  // log2 n
  std::vector<Complex> twiddleN;     // TwiddleTable of size n
  std::vector<Complex> twiddleHalf;  // first n/2 hold TwiddleTable of size n/2
  std::vector<Complex> work;         // transform scratch; product spectrum; impulse response
  std::vector<Complex> spectrum;     // the block's spectrum
  std::vector<Complex> kernel;       // the kernel spectrum (first the M-point target)
  std::vector<float> block;          // the time-domain block
  std::vector<float> magnitude;      // n/4 used
  std::vector<float> window;         // n/2 + 1 used
  std::vector<float> overlap;        // the overlap-add ring
  int32_t overlapPosition = 0;
  std::vector<int32_t> bitReverseN;     // BitReverseTable for bits and n
  std::vector<int32_t> bitReverseHalf;  // first n/2 hold BitReverseTable for bits - 1
  // The band curve, x = angular frequency increasing from 0 to pi, y = gain
  // in dB: the effect's own copy (SetBandCurve), flat at 0 dB until one is
  // handed over.
  OwnedCurve<kEqualizerBandCount> curve;
};
// Band gains in dB (the page's sliders run -20..60, gain = -position).
inline constexpr float kEqualizerMinGainDb = -60.0f;
inline constexpr float kEqualizerMaxGainDb = 20.0f;
// The gain every band gets when the page first builds its curve.
inline constexpr float kEqualizerInitialGainDb = 1.0f;
// Frequency spacing: 0 "Linear", 1 "1/2 Octaves", 2 "1/3 Octaves", 3 "1/4 Octaves".
inline constexpr std::array<const char*, 4> kEqualizerSpacingNames = {"Linear", "1/2 Octaves",
                                                                      "1/3 Octaves", "1/4 Octaves"};
inline constexpr int32_t kEqualizerMinSpacing = 0;
inline constexpr int32_t kEqualizerMaxSpacing = 3;
// A band frequency in Hz lies between 0 and half the sampling rate: at most
// half the highest rate a WAV file may have (384000); the input's own half
// rate is checked when the band curve is built.
inline constexpr double kEqualizerMaxBandHz = 384000.0 / 2;

using EqualizerBandCurve = std::array<CurvePoint, kEqualizerBandCount>;

// Band angular frequencies for a spacing index: linear from 0 to pi, or
// octave fractions 1/(s + 1) counted down from pi. An index outside 0..3
// leaves `curve` unchanged.
void SetEqualizerSpacing(EqualizerBandCurve& curve, int32_t spacing);

// The whole band curve from 16 gains in dB (band 0 first) and a spacing.
EqualizerBandCurve BuildEqualizerCurve(const std::array<float, kEqualizerBandCount>& gainsDb,
                                       int32_t spacing);

// Radians per sample of a band frequency in Hz at `sampleRate`:
// hz / sampleRate x 2 pi (angles::kTwoPi).
float EqualizerBandAngle(double hz, int32_t sampleRate);

// Recomputes the kernel spectrum from the curve. Needs the arrays of a
// prepared equalizer.
void DesignEqualizerKernel(EqualizerSettings* settings);

// The taps of the designed kernel: the kernel spectrum taken back through
// the inverse transform, its first n/2 real parts (the rest is the zero
// padding). What the equalizer's response is computed from; needs the
// arrays of a prepared equalizer.
std::vector<float> EqualizerKernelTaps(const EqualizerSettings& settings);

// The gain in dB, at `angle` radians per sample, of a filter with these
// taps: 20 log10 |sum of taps[m] e^(-j angle m)|, never below kResponseFloorDb.
inline constexpr double kResponseFloorDb = -120.0;
double FilterGainDb(std::span<const float> taps, double angle);

// The static process callback. `count` is normally the prepared block length;
// a shorter block is zero-padded, a longer one is filtered in pieces.
int32_t RunEqualizer(const int16_t* source, int16_t* destination, void* settings, int32_t count);

class EqualizerEffect : public Effect {
 public:
  EqualizerEffect();
  ~EqualizerEffect() override;

  void Prepare(void* settings, int32_t blockFrames, int32_t sampleRate) override;
  void Update(void* settings, int32_t sampleRate) override;
  void Process(const int16_t* source, int16_t* destination, int32_t count) override;
  void Release() override;
  // No mix: the output is the filtered signal only, shown at 100 %.
  void SetDryInputMix(int32_t position) override;
  void SetDryOutputMix(int32_t position) override;
  int32_t GetDryInputMix() const override;
  int32_t GetDryOutputMix() const override;

  // Takes a copy of the band curve (the flat default for fewer than two
  // points). The kernel follows at its next design: DesignEqualizerKernel
  // (which the EQ page runs on every band it shows), Update or Prepare.
  void SetBandCurve(std::span<const CurvePoint> points);

  EqualizerSettings record;
};
