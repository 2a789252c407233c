#include "effects/envelope_filter_effect.h"

#include <algorithm>
#include <cmath>

#include "dsp/angles.h"
#include "effects/effect_factory.h"
#include "effects/envelope_window.h"

namespace {

// The design's pre-warping constant and its frequency limit.
using angles::kHalfPi;
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
  RunEnvelope(source, s.levels.data(), &s.envelope, count);
  // Levels 0..32767 pick sets 0..127.
  for (int32_t n = 0; n < count; ++n) {
    s.setIndices[n] = static_cast<int16_t>(s.levels[n] >> 8);
  }
  SweepAndMix(s, source, destination, s.setIndices.data(), count);
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
    section.kind = static_cast<FilterKind>(kind);
    section.f1 = static_cast<float>((initialCutoff + cutoffSpan * s) / sampleRate * 2);
    section.q = static_cast<float>(initialResonance + resonanceSpan * s);
    section.gain = 1.0f;
    if (section.kind == FilterKind::BandPass) {
      SetBandEdges(section, section.f1, section.q);
    }
    DesignBiquad(&section);
    bank[i] = section.coefficients;
  }
}

int32_t RunSweptBiquad(const int16_t* source, int16_t* destination, const CoefficientSet* bank,
                       const int16_t* setIndices, BiquadHistory& history, int32_t ringPosition,
                       int32_t count) {
  return RunBiquadRing(source, destination, history, ringPosition, count,
                       [bank, setIndices](int32_t n) { return bank[setIndices[n]].data(); });
}

EnvelopeFilterEffect::EnvelopeFilterEffect(float initialCutoff, float initialResonance,
                                           float finalCutoff)
    : IntMixEffect(EffectNodeName(kEnvelopeFilterEffectId), kEnvelopeFilterEffectId, &record,
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
                                   int32_t blockFrames, int32_t sampleRate) {
  if (prepared) {
    return;
  }
  prepared = 1;
  EnvelopeFilterSettings& s = record;
  s.envelopeWindowMs = 5.0f;
  // At 44100 samples per second, L = 442.
  const int32_t length =
      static_cast<int32_t>(static_cast<float>(sampleRate) * s.envelopeWindowMs * 0.002) + 1;
  PrepareEnvelopeWindow(s.envelope, length);

  s.blockFrames = std::max(blockFrames, 1);
  s.levels.assign(static_cast<size_t>(s.blockFrames), 0);
  s.setIndices.assign(static_cast<size_t>(s.blockFrames), 0);
  PrepareSweptFilter(s, sampleRate);
}

int32_t EnvelopeFilterEffect::ProcessCallback(const int16_t* source, int16_t* destination,
                                              void* settings, int32_t count) {
  auto& s = *static_cast<EnvelopeFilterSettings*>(settings);
  RunSweptBlocks(s, source, destination, count, FilterBlock);
  return 0;
}

void EnvelopeFilterEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  EnvelopeFilterSettings& s = record;
  s.envelope = {};
  s.levels = {};
  s.setIndices = {};
  ReleaseSweptFilter(s);
}
