#include "effects/equalizer_effect.h"

#include <algorithm>
#include <cmath>

#include "dsp/angles.h"
#include "dsp/vector_clones.h"
#include "effects/block_pieces.h"
#include "effects/effect_factory.h"

namespace {

// Flat at 0 dB from 0 to pi: the curve until a page hands over its own.
constexpr CurvePoint kFlatCurve[2] = {{0.0f, 0.0f}, {angles::kFlatCurveEnd, 0.0f}};

// Where the top band of the octave spacings sits, and the end of the range
// the kernel samples.
constexpr float kTopBandAngle = angles::kPiFloat;
// dB to a natural-log exponent (stands for ln 10 / 20).
constexpr double kDbToNeper = 0.115;
// The smallest transform the design works with: the curve needs at least two
// samples (n / 4).
constexpr int32_t kMinTransformSize = 8;

int32_t NextPowerOfTwo(int32_t value) {
  int32_t power = 1;
  while (power < value) {
    power *= 2;
  }
  return power;
}

// out[i] = block[i] + overlap[i], clamped to -32767..+32767 and rounded to
// the nearest integer (ties to even); each overlap entry is cleared as it is
// read.
TONALITH_VECTOR_CLONES
void TakeOverlap(const float* block, float* overlap, int16_t* out, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const float value = std::clamp(block[i] + overlap[i], -32767.0f, 32767.0f);
    overlap[i] = 0.0f;
    out[i] = static_cast<int16_t>(std::nearbyint(value));
  }
}

// Filters one piece of at most n/2 samples.
void FilterBlock(EqualizerSettings& s, const int16_t* source, int16_t* destination, int32_t count) {
  const int32_t n = s.n;
  const int32_t half = n / 2;
  for (int32_t i = 0; i < count; ++i) {
    s.block[i] = static_cast<float>(source[i]);
  }
  std::fill(s.block.begin() + count, s.block.end(), 0.0f);

  // Spectrum of the real block: the n-point ForwardTransform with zero
  // imaginary parts, the input copied straight into bit-reversed order. It is
  // kept complex and n points long (not packed into an n/2-point transform)
  // because the table's angles make it only nearly a DFT: the even/odd split
  // of the packed form relies on a conjugate symmetry these angles do not give
  // exactly, and on loud full-scale blocks its results drift more than 64 steps.
  Complex* spectrum = s.spectrum.data();
  for (int32_t m = 0; m < n; ++m) {
    spectrum[s.bitReverseN[m]] = {s.block[m], 0.0f};
  }
  RunButterflies(spectrum, s.twiddleN.data(), n, s.bits, false);
  spectrum[half] = {0.0f, 0.0f};  // the Nyquist bin of every block is dropped

  Complex* product = s.work.data();
  for (int32_t k = 0; k <= half; ++k) {
    const Complex a = spectrum[k];
    const Complex b = s.kernel[k];
    product[k] = {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
  }
  for (int32_t k = 1; k < half; ++k) {
    product[n - k] = {product[k].re, -product[k].im};
  }

  // InverseTransform of the completed spectrum into the spectrum array (its
  // scratch); the real part is the filtered block.
  const float scale = 1.0f / static_cast<float>(n);
  for (int32_t k = 0; k < n; ++k) {
    spectrum[s.bitReverseN[k]] = {product[k].re * scale, product[k].im * scale};
  }
  RunButterflies(spectrum, s.twiddleN.data(), n, s.bits, true);
  for (int32_t m = 0; m < n; ++m) {
    s.block[m] = spectrum[m].re;
  }

  // Overlap-add: each position of the ring is cleared as it is read and the
  // new tail is added in, so a short block keeps the rest of the earlier
  // tails. With full blocks this is the same as storing the tail.
  int32_t p = s.overlapPosition;
  for (int32_t i = 0; i < count;) {
    const int32_t run = std::min(count - i, n - p);  // up to the ring's end
    TakeOverlap(s.block.data() + i, s.overlap.data() + p, destination + i, run);
    i += run;
    p = (p + run) & (n - 1);
  }
  s.overlapPosition = p;
  for (int32_t i = count; i < n; ++i) {
    s.overlap[p] += s.block[i];
    p = (p + 1) & (n - 1);
  }
}

}  // namespace

void SetEqualizerSpacing(EqualizerBandCurve& curve, int32_t spacing) {
  if (spacing == 0) {
    for (int32_t i = 0; i < kEqualizerBandCount; ++i) {
      curve[i].x = static_cast<float>(i * angles::kLinearBandStep);
    }
  } else if (spacing >= 1 && spacing <= kEqualizerMaxSpacing) {
    const double ratio = std::pow(2.0, -1.0 / (spacing + 1));
    curve[kEqualizerBandCount - 1].x = kTopBandAngle;
    for (int32_t i = kEqualizerBandCount - 2; i >= 0; --i) {
      curve[i].x = static_cast<float>(curve[i + 1].x * ratio);
    }
  }
}

EqualizerBandCurve BuildEqualizerCurve(const std::array<float, kEqualizerBandCount>& gainsDb,
                                       int32_t spacing) {
  EqualizerBandCurve curve{};
  for (int32_t i = 0; i < kEqualizerBandCount; ++i) {
    curve[i].y = gainsDb[i];
  }
  SetEqualizerSpacing(curve, spacing);
  return curve;
}

float EqualizerBandAngle(double hz, int32_t sampleRate) {
  return static_cast<float>(hz / sampleRate * angles::kTwoPi);
}

void DesignEqualizerKernel(EqualizerSettings* settings) {
  EqualizerSettings& s = *settings;
  const int32_t n = s.n;
  const int32_t m = n / 2;

  // The magnitude samples stand for evenly spaced frequencies from 0 to pi,
  // so the curve they are taken from must span exactly that range. A band
  // curve that starts above 0 or ends below pi (the octave spacings) is
  // extended flat to the ends: (0, first gain) in front, (pi, last gain)
  // behind. A curve from 0 to pi (linear spacing) is sampled as it is.
  const std::span<const CurvePoint> bands = s.curve.View();
  std::array<CurvePoint, kEqualizerBandCount + 2> curve{};
  int32_t count = 0;
  if (bands.front().x > 0.0f) {
    curve[count++] = {0.0f, bands.front().y};
  }
  for (const CurvePoint& point : bands) {
    curve[count++] = point;
  }
  if (bands.back().x < kTopBandAngle) {
    curve[count++] = {kTopBandAngle, bands.back().y};
  }
  ResampleCurve(curve.data(), s.magnitude.data(), count, n / 4);
  for (int32_t k = 0; k < n / 4; ++k) {
    s.magnitude[k] = static_cast<float>(std::exp(kDbToNeper * s.magnitude[k]));
  }

  // The target spectrum: the sampled magnitudes with the phase of a delay of
  // (M - 1)/2 samples, conjugate-symmetric so that the impulse response is real.
  const double phaseStep = angles::kKernelPhaseTwoPi * ((m - 1) * 0.5 / m);
  double theta = 0.0;
  for (int32_t k = 0; k < m / 2; ++k) {
    const double magnitude = s.magnitude[k];
    s.kernel[k] = {static_cast<float>(magnitude * std::cos(theta)),
                   static_cast<float>(magnitude * std::sin(theta))};
    if (k > 0) {
      s.kernel[m - k] = {s.kernel[k].re, -s.kernel[k].im};
    }
    theta -= phaseStep;
  }
  s.kernel[m / 2] = {0.0f, 0.0f};

  InverseTransform(s.bitReverseHalf.data(), s.twiddleHalf.data(), s.kernel.data(), s.work.data(), m,
                   s.bits - 1);
  for (int32_t k = 0; k < m; ++k) {
    s.work[k] = {s.work[k].re * s.window[k], 0.0f};
  }
  for (int32_t k = m; k < n; ++k) {
    s.work[k] = {0.0f, 0.0f};
  }
  ForwardTransform(s.bitReverseN.data(), s.twiddleN.data(), s.work.data(), s.kernel.data(), n,
                   s.bits);
}

std::vector<float> EqualizerKernelTaps(const EqualizerSettings& s) {
  const int32_t n = s.n;
  std::vector<Complex> impulse(static_cast<size_t>(n));
  InverseTransform(s.bitReverseN.data(), s.twiddleN.data(), s.kernel.data(), impulse.data(), n,
                   s.bits);
  std::vector<float> taps(static_cast<size_t>(n / 2));
  for (int32_t m = 0; m < n / 2; ++m) {
    taps[m] = impulse[m].re;
  }
  return taps;
}

double FilterGainDb(std::span<const float> taps, double angle) {
  // The phasor e^(-j angle m) is carried by rotation, in double precision.
  const double stepRe = std::cos(angle);
  const double stepIm = -std::sin(angle);
  double phasorRe = 1.0;
  double phasorIm = 0.0;
  double sumRe = 0.0;
  double sumIm = 0.0;
  for (const float tap : taps) {
    sumRe += tap * phasorRe;
    sumIm += tap * phasorIm;
    const double re = phasorRe * stepRe - phasorIm * stepIm;
    phasorIm = phasorRe * stepIm + phasorIm * stepRe;
    phasorRe = re;
  }
  const double magnitude = std::hypot(sumRe, sumIm);
  return std::max(20.0 * std::log10(magnitude), kResponseFloorDb);
}

int32_t RunEqualizer(const int16_t* source, int16_t* destination, void* settings, int32_t count) {
  EqualizerSettings& s = *static_cast<EqualizerSettings*>(settings);
  RunInPieces(source, destination, count, s.n / 2,
              [&s](const int16_t* in, int16_t* out, int32_t n) { FilterBlock(s, in, out, n); });
  return 0;
}

EqualizerEffect::EqualizerEffect()
    : Effect(EffectNodeName(kEqualizerEffectId), kEqualizerEffectId, &record, RunEqualizer) {
  record.curve.Assign(kFlatCurve, kFlatCurve);
}

void EqualizerEffect::SetBandCurve(std::span<const CurvePoint> points) {
  record.curve.Assign(points, kFlatCurve);
}

EqualizerEffect::~EqualizerEffect() {
  Release();
}

void EqualizerEffect::Prepare(void*, int32_t blockFrames, int32_t) {
  if (prepared) {
    return;
  }
  EqualizerSettings& s = record;
  // The transforms are radix 2: a block length that is not a power of two
  // (the engine never uses one) gets the next larger transform.
  s.n = std::max(kMinTransformSize, 2 * NextPowerOfTwo(std::max(blockFrames, 1)));
  s.bits = static_cast<int32_t>(std::lround(std::log2(static_cast<double>(s.n))));
  const size_t n = static_cast<size_t>(s.n);
  s.twiddleN.assign(n, Complex{});
  s.twiddleHalf.assign(n, Complex{});
  s.work.assign(n, Complex{});
  s.spectrum.assign(n, Complex{});
  s.kernel.assign(n, Complex{});
  s.block.assign(n, 0.0f);
  s.magnitude.assign(n, 0.0f);
  s.window.assign(n + 1, 0.0f);
  s.overlap.assign(n, 0.0f);
  s.overlapPosition = 0;
  s.bitReverseN.assign(n, 0);
  s.bitReverseHalf.assign(n, 0);

  TwiddleTable(s.twiddleN.data(), s.n);
  TwiddleTable(s.twiddleHalf.data(), s.n / 2);
  HammingWindow(s.window.data(), s.n / 2);
  BitReverseTable(s.bitReverseN.data(), s.bits, s.n);
  BitReverseTable(s.bitReverseHalf.data(), s.bits - 1, s.n / 2);

  DesignEqualizerKernel(&s);
  prepared = 1;
}

void EqualizerEffect::Update(void*, int32_t) {
  if (prepared) {
    DesignEqualizerKernel(&record);
  }
}

void EqualizerEffect::Process(const int16_t* source, int16_t* destination, int32_t count) {
  if (prepared && count > 0) {
    RunEqualizer(source, destination, &record, count);
  }
}

void EqualizerEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  EqualizerSettings& s = record;
  s.twiddleN = {};
  s.twiddleHalf = {};
  s.work = {};
  s.spectrum = {};
  s.kernel = {};
  s.block = {};
  s.magnitude = {};
  s.window = {};
  s.overlap = {};
  s.bitReverseN = {};
  s.bitReverseHalf = {};
  s.n = 0;  // the callback does nothing until the next Prepare
  s.bits = 0;
}

void EqualizerEffect::SetDryInputMix(int32_t) {}
void EqualizerEffect::SetDryOutputMix(int32_t) {}
int32_t EqualizerEffect::GetDryInputMix() const {
  return 256;
}
int32_t EqualizerEffect::GetDryOutputMix() const {
  return 256;
}
