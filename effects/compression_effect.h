#pragma once
// The compression: a level-dependent gain. An envelope follower measures the
// input level sample by sample, a gain curve drawn by the user maps the level
// (0..32768) to a gain in dB, and every sample is multiplied by the linear
// gain for its level; the result is mixed with the unprocessed input. The
// curve's shape makes it a compressor, expander, limiter or gate.
//
// There is no separate attack or release: the envelope window alone sets how
// fast the level rises and falls.

#include <cstdint>
#include <span>
#include <vector>

#include "dsp/curve.h"
#include "dsp/envelope_follower.h"
#include "effects/effect.h"
#include "effects/int_mix_effect.h"

struct CompressionSettings {
  static constexpr int32_t kGainTableSize = 257;
  // Linear gain per level step: entry k serves levels 128k..128k+127.
  std::vector<float> gainTable;
  std::vector<int16_t> levels;                    // the envelope of the current block
  EnvelopeFollower envelope;                      // its window from Prepare to Release
  int32_t dryInputGain = int_mix::kDefaultGain;   // x 256, the unprocessed input
  int32_t dryOutputGain = int_mix::kDefaultGain;  // x 256, the compressed signal
  // The gain curve, x = level, y = gain in dB: the range the response graph
  // and the command line allow, then the effect's own copy (SetCurve), flat
  // at +1 dB until one is handed over.
  static constexpr float kCurveMinX = 0.0f;
  static constexpr float kCurveMaxX = 32768.0f;
  static constexpr float kCurveMinY = -40.0f;
  static constexpr float kCurveMaxY = 40.0f;
  static constexpr int32_t kCurveMinPoints = 2;
  static constexpr int32_t kCurveMaxPoints = 127;
  // Flat at +1 dB: the curve until the response graph hands over its own.
  static constexpr CurvePoint kDefaultCurve[2] = {{0.0f, 1.0f}, {32767.0f, 1.0f}};
  OwnedCurve<kCurveMaxPoints> curve;
  // Envelope window time ("Envelope Delay"); the page's spin box range.
  static constexpr float kDefaultEnvelopeDelayMs = 20.0f;
  float envelopeDelayMs = kDefaultEnvelopeDelayMs;
  static constexpr float kMinEnvelopeDelayMs = 1.0f;
  static constexpr float kMaxEnvelopeDelayMs = 50.0f;
  int32_t blockFrames = 0;  // samples `levels` holds
};

// Samples the current curve into the gain table and converts dB to linear
// factors (a prepared effect's table).
void RebuildGainTable(CompressionSettings* settings);

// The level a steady input at envelope level `level` (0..32767) comes out
// at: the level times the table's gain for it, saturated as the samples are.
// Needs a built gain table.
float CompressedLevel(const CompressionSettings& settings, int32_t level);

class CompressionEffect : public IntMixEffect<CompressionSettings> {
 public:
  explicit CompressionEffect(float envelopeDelayMs);
  ~CompressionEffect() override;

  void Prepare(void* settings, int32_t blockFrames, int32_t sampleRate) override;
  // Rebuilds the gain table; the envelope window keeps its length until the
  // next Prepare.
  void Update(void* settings, int32_t sampleRate) override;
  // Envelope, gain per sample, mix.
  static int32_t ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                 int32_t count);
  void Release() override;

  // Takes a copy of the gain curve (flat +1 dB for fewer than two points)
  // and, when prepared, rebuilds the gain table from it at once.
  void SetCurve(std::span<const CurvePoint> points);

  CompressionSettings record;
};
