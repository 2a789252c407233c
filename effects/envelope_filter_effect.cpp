#include "effects/envelope_filter_effect.h"

#include <algorithm>
#include <cmath>

#include "dsp/saturate.h"
#include "dsp/wrap32.h"
#include "effects/effect_factory.h"

namespace {

// The design's pre-warping constant (the stored approximation of pi/2) and
// its frequency limit.
constexpr double kHalfPi = 1.57079632675;
constexpr double kMaxFraction = 0.95;
constexpr double kE = 2.718281828459045;

// Position of set i between the initial (0) and final (1) values, or a
// negative value for an unknown scaling.
double SweepPosition(int32_t i, int32_t scaling) {
  switch (scaling) {
    case 0:
      return i * 0.0078125;
    case 1:
      return (std::exp(i / 128.0) - 1.0) / (kE - 1.0);
    case 2:
      return 1.0 - std::exp(-i * 0.02857142857142857);
    default:
      return -1.0;
  }
}

// Band edges of a band-pass whose pre-warped geometric centre is `edge` and
// whose quality is q: with w the centre, d - c = w / q and c d = w^2.
void SetBandEdges(BiquadSection& section, float edge, float q) {
  const double f = std::min(static_cast<double>(edge), kMaxFraction);
  const double w = 0.5 * std::tan(f * kHalfPi);
  const double h = w / (2.0 * q);
  const double d = h + std::sqrt(h * h + w * w);
  const double c = w * w / d;
  section.f1 = static_cast<float>(std::atan(2.0 * c) / kHalfPi);
  section.f2 = static_cast<float>(std::atan(2.0 * d) / kHalfPi);
}

void FilterBlock(EnvelopeFilterSettings& s, const int16_t* source, int16_t* destination,
                 int32_t count) {
  RunEnvelope(source, s.levels.data(), s.envelope.get(), count);
  // Levels 0..32767 pick sets 0..127.
  for (int32_t n = 0; n < count; ++n) {
    s.setIndices[n] = static_cast<int16_t>(s.levels[n] >> 8);
  }
  s.historyPosition =
      RunSweptBiquad(source, destination, s.coefficientBank.data(), s.setIndices.data(),
                     s.filterHistory.data(), s.historyPosition, count);
  for (int32_t n = 0; n < count; ++n) {
    const int64_t sum = static_cast<int64_t>(s.dryInputGain) * source[n] +
                        static_cast<int64_t>(s.dryOutputGain) * destination[n];
    destination[n] = Saturate(Wrap32(sum) >> 8);
  }
}

}  // namespace

void BuildCoefficientBank(CoefficientSet* bank, float initialCutoff, float finalCutoff,
                          float initialResonance, float finalResonance, int32_t kind,
                          int32_t scaling, int32_t sampleRate) {
  const float cutoffSpan = finalCutoff - initialCutoff;
  const float resonanceSpan = finalResonance - initialResonance;
  for (int32_t i = 0; i < kCoefficientSetCount; ++i) {
    const double s = SweepPosition(i, scaling);
    if (s < 0.0) {
      return;
    }
    BiquadSection section;
    section.coefficients = bank[i].data();
    section.kind = static_cast<FilterKind>(kind);
    section.f1 = static_cast<float>((initialCutoff + cutoffSpan * s) / sampleRate * 2);
    section.q = static_cast<float>(initialResonance + resonanceSpan * s);
    section.gain = 1.0f;
    if (section.kind == FilterKind::BandPass) {
      SetBandEdges(section, section.f1, section.q);
    }
    DesignBiquad(&section);
  }
}

int32_t RunSweptBiquad(const int16_t* source, int16_t* destination, const CoefficientSet* bank,
                       const int16_t* setIndices, int32_t* history, int32_t ringPosition,
                       int32_t count) {
  // The same ring as RunBiquad's: at position p, slots p+2 and p+3 hold
  // x[n-2] and x[n-1], p+5 and p hold y[n-2] and y[n-1]; the sample writes
  // x[n] at p+4 and y[n] at p+1, then p steps on. The values travel in locals
  // and are written back in that layout at the end.
  int32_t p = ringPosition;
  int32_t x3 = history[(p + 1) % 6];
  int32_t x2 = history[(p + 2) % 6];
  int32_t x1 = history[(p + 3) % 6];
  int32_t y3 = history[(p + 4) % 6];
  int32_t y2 = history[(p + 5) % 6];
  int32_t y1 = history[p];
  for (int32_t n = 0; n < count; ++n) {
    const Q14* c = bank[setIndices[n]].data();
    const int32_t x0 = source[n];
    const int32_t acc = Wrap32(static_cast<int64_t>(c[0]) * x2 + static_cast<int64_t>(c[1]) * x1 +
                               static_cast<int64_t>(c[2]) * x0 - static_cast<int64_t>(c[3]) * y2 -
                               static_cast<int64_t>(c[4]) * y1);
    const int32_t y0 = Saturate(acc >> kQ14Shift);
    destination[n] = static_cast<int16_t>(y0);
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
  return p;
}

EnvelopeFilterEffect::EnvelopeFilterEffect(float initialCutoff, float initialResonance,
                                           float finalCutoff, float, float, float)
    : Effect("Envelope Filter", kEnvelopeFilterEffectId, &record,
             &EnvelopeFilterEffect::ProcessCallback) {
  record.initialCutoff = initialCutoff;
  record.initialResonance = initialResonance;
  record.finalCutoff = finalCutoff;
  record.finalResonance = initialResonance;
}

EnvelopeFilterEffect::~EnvelopeFilterEffect() {
  Release();
}

void EnvelopeFilterEffect::Prepare(void* /*settings: always this node's record*/,
                                   int32_t blockLength, int32_t sampleRate) {
  if (prepared) {
    return;
  }
  prepared = 1;
  EnvelopeFilterSettings& s = record;
  s.envelopeWindowMs = 5.0f;
  // At 44100 samples per second, L = 442.
  const int32_t length =
      static_cast<int32_t>(static_cast<float>(sampleRate) * s.envelopeWindowMs * 0.002) + 1;
  // The read position starts at 2: a ring needs at least three slots.
  s.envelopeHistory.assign(static_cast<size_t>(std::max(length, 3)), 0);
  s.envelope = std::make_unique<EnvelopeFollower>();
  s.envelope->buffer = s.envelopeHistory.data();
  s.envelope->length = static_cast<int32_t>(s.envelopeHistory.size());
  s.envelope->sum = 0;
  s.envelope->writePosition = 0;
  s.envelope->readPosition = 2;
  s.envelope->scale = static_cast<float>(1.6 / (s.envelope->length + 1));

  s.blockLength = std::max(blockLength, 1);
  s.levels.assign(static_cast<size_t>(s.blockLength), 0);
  s.setIndices.assign(static_cast<size_t>(s.blockLength), 0);
  s.coefficientBank.assign(kCoefficientSetCount, CoefficientSet{});
  BuildCoefficientBank(s.coefficientBank.data(), s.initialCutoff, s.finalCutoff, s.initialResonance,
                       s.finalResonance, s.filterKind, s.sweepScaling, sampleRate);
  s.filterHistory.assign(8, 0);
  s.historyPosition = 0;
}

int32_t EnvelopeFilterEffect::ProcessCallback(const int16_t* source, int16_t* destination,
                                              void* settings, int32_t count) {
  auto& s = *static_cast<EnvelopeFilterSettings*>(settings);
  for (int32_t done = 0; s.blockLength > 0 && done < count; done += s.blockLength) {
    FilterBlock(s, source + done, destination + done, std::min(s.blockLength, count - done));
  }
  return 0;
}

void EnvelopeFilterEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  EnvelopeFilterSettings& s = record;
  s.envelopeHistory = {};
  s.envelope.reset();
  s.levels = {};
  s.setIndices = {};
  s.coefficientBank = {};
  s.filterHistory = {};
  s.blockLength = 0;
}

void EnvelopeFilterEffect::Process(const int16_t*, int16_t*, int32_t) {}

void EnvelopeFilterEffect::SetDryInputMix(int32_t position) {
  record.dryInputGain = int_mix::GainFromPosition(position);
}

void EnvelopeFilterEffect::SetDryOutputMix(int32_t position) {
  record.dryOutputGain = int_mix::GainFromPosition(position);
}

int32_t EnvelopeFilterEffect::GetDryInputMix() const {
  return int_mix::PositionFromGain(record.dryInputGain);
}

int32_t EnvelopeFilterEffect::GetDryOutputMix() const {
  return int_mix::PositionFromGain(record.dryOutputGain);
}
