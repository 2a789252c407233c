#include "effects/compression_effect.h"

#include <algorithm>
#include <cmath>

#include "dsp/vector_clones.h"
#include "effects/block_pieces.h"
#include "effects/effect_factory.h"
#include "effects/envelope_window.h"

namespace {

// dB to a natural-log exponent (stands for ln 10 / 20), applied as a power of
// two: 2^(g x 0.115 x log2 e).
constexpr double kDbToNeper = 0.115;
constexpr double kLog2E = 1.4426950408889634;
// A level's gain table entry: level >> kLevelShift.
constexpr int kLevelShift = 7;
constexpr float kLargestSample = 32767.0f;

// destination[n] = source[n] x the gain for levels[n], clamped and rounded
// to the nearest integer (ties to even).
TONALITH_VECTOR_CLONES
void ApplyGains(const int16_t* source, const int16_t* levels, const float* table,
                int16_t* destination, int32_t count) {
  for (int32_t n = 0; n < count; ++n) {
    // Levels are 0..32767, so k is 0..255 (entry 256 is never used).
    const int32_t k = levels[n] >> kLevelShift;
    const float y =
        std::clamp(static_cast<float>(source[n]) * table[k], -kLargestSample, kLargestSample);
    destination[n] = static_cast<int16_t>(std::nearbyint(y));
  }
}

void CompressBlock(CompressionSettings& s, const int16_t* source, int16_t* destination,
                   int32_t count) {
  RunEnvelope(source, s.levels.data(), &s.envelope, count);
  ApplyGains(source, s.levels.data(), s.gainTable.data(), destination, count);
  int_mix::MixBlock(source, destination, s.dryInputGain, s.dryOutputGain, count);
}

}  // namespace

CompressionEffect::CompressionEffect(float envelopeDelayMs)
    : IntMixEffect(EffectNodeName(kCompressionEffectId), kCompressionEffectId, &record,
                   &CompressionEffect::ProcessCallback) {
  record.envelopeDelayMs = envelopeDelayMs;
  record.curve.Assign(CompressionSettings::kDefaultCurve, CompressionSettings::kDefaultCurve);
}

CompressionEffect::~CompressionEffect() {
  Release();
}

void CompressionEffect::Prepare(void* /*settings: always this node's record*/, int32_t blockFrames,
                                int32_t sampleRate) {
  if (prepared) {
    return;
  }
  prepared = 1;
  CompressionSettings& s = record;
  // The window: the product of the float time and the integer rate, times the
  // double 0.002.
  const int32_t length =
      static_cast<int32_t>(s.envelopeDelayMs * static_cast<float>(sampleRate) * 0.002) + 1;
  // The page never asks for a window shorter than three samples (1 ms at
  // 1000 Hz gives 3).
  PrepareEnvelopeWindow(s.envelope, length);

  s.blockFrames = std::max(blockFrames, 1);
  s.levels.assign(static_cast<size_t>(s.blockFrames), 0);
  s.gainTable.assign(CompressionSettings::kGainTableSize, 0.0f);
  RebuildGainTable(&s);
}

void CompressionEffect::Update(void*, int32_t) {
  if (prepared) {
    RebuildGainTable(&record);
  }
}

void CompressionEffect::SetCurve(std::span<const CurvePoint> points) {
  record.curve.Assign(points, CompressionSettings::kDefaultCurve);
  if (prepared) {
    RebuildGainTable(&record);
  }
}

void RebuildGainTable(CompressionSettings* settings) {
  float* table = settings->gainTable.data();
  ResampleCurve(settings->curve.Points(), table, settings->curve.Count(),
                CompressionSettings::kGainTableSize);
  for (int32_t k = 0; k < CompressionSettings::kGainTableSize; ++k) {
    table[k] = static_cast<float>(std::exp2(table[k] * kDbToNeper * kLog2E));
  }
}

float CompressedLevel(const CompressionSettings& settings, int32_t level) {
  const int32_t held = std::clamp(level, 0, 32767);
  return std::min(static_cast<float>(held) * settings.gainTable[held >> kLevelShift],
                  kLargestSample);
}

int32_t CompressionEffect::ProcessCallback(const int16_t* source, int16_t* destination,
                                           void* settings, int32_t count) {
  auto& s = *static_cast<CompressionSettings*>(settings);
  RunInPieces(source, destination, count, s.blockFrames,
              [&s](const int16_t* in, int16_t* out, int32_t n) { CompressBlock(s, in, out, n); });
  return 0;
}

void CompressionEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  record.envelope = {};
  record.levels = {};
  record.gainTable = {};
  record.blockFrames = 0;
}
