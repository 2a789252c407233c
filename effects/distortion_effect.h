#pragma once
// The distortion: a wave shaper. The input runs through a second-order
// low-pass pre-filter, then every sample, plus a fraction of the previous
// shaped sample (feedback), is looked up in a transfer curve the user draws.
// The shaped signal is mixed with the unprocessed input.
//
// The curve is sampled into 257 entries spanning the whole 16-bit input range:
// entry 0 stands for -32768, entry 256 for +32768, 256 input steps apart, with
// linear interpolation between neighbours.

#include <cstdint>
#include <span>
#include <vector>

#include "dsp/biquad.h"
#include "dsp/curve.h"
#include "effects/effect.h"
#include "effects/int_mix_effect.h"

// The pre-filter: a section followed by its cut-off in hertz.
struct DistortionPreFilter {
  BiquadSection section;
  static constexpr float kDefaultHz = 8000.0f;
  float preFilterHz = kDefaultHz;
  // The Shaper page limits the cut-off to this range.
  static constexpr float kMinHz = 500.0f;
  static constexpr float kMaxHz = 16000.0f;
};

struct DistortionSettings {
  static constexpr int32_t kShapeTableSize = 257;
  std::vector<int32_t> shapeTable;  // the curve at 257 input levels, while prepared
  // Feedback factor x 256 (the page's slider): +-128 adds or subtracts half of
  // the previous shaped value.
  static constexpr int32_t kDefaultFeedback = 0;
  int32_t feedback = kDefaultFeedback;
  static constexpr int32_t kMinFeedback = -128;
  static constexpr int32_t kMaxFeedback = 128;
  int32_t lastOutput = 0;                         // previous shaped value, all 32 bits
  int32_t dryInputGain = int_mix::kDefaultGain;   // x 256, the unprocessed input
  int32_t dryOutputGain = int_mix::kDefaultGain;  // x 256, the shaped signal
  std::vector<int16_t> filtered;                  // the pre-filtered block
  DistortionPreFilter preFilter;
  // The transfer curve, input level to output level: the range the response
  // graph and the command line allow, then the effect's own copy (SetCurve),
  // the identity line until one is handed over.
  static constexpr float kCurveMinX = -32768.0f;
  static constexpr float kCurveMaxX = 32768.0f;
  static constexpr float kCurveMinY = -32767.0f;
  static constexpr float kCurveMaxY = 32767.0f;
  static constexpr int32_t kCurveMinPoints = 2;
  static constexpr int32_t kCurveMaxPoints = 127;
  // The identity line: the curve until the response graph hands over its own.
  static constexpr CurvePoint kDefaultCurve[2] = {{-32767.0f, -32767.0f}, {32767.0f, 32767.0f}};
  OwnedCurve<kCurveMaxPoints> curve;
  int32_t blockFrames = 0;  // samples `filtered` holds
};

// Samples the current curve into the shape table (a prepared effect's).
void RebuildShapeTable(DistortionSettings* settings);

class DistortionEffect : public IntMixEffect<DistortionSettings> {
 public:
  DistortionEffect();
  ~DistortionEffect() override;

  void Prepare(void* settings, int32_t blockFrames, int32_t sampleRate) override;
  // Rebuilds the shape table from the current curve; the pre-filter keeps its
  // design until the next Prepare.
  void Update(void* settings, int32_t sampleRate) override;
  // Pre-filter, shaping with feedback, mix.
  static int32_t ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                 int32_t count);
  void Release() override;

  // Takes a copy of the transfer curve (the identity line for fewer than two
  // points) and, when prepared, rebuilds the shape table from it at once.
  void SetCurve(std::span<const CurvePoint> points);

  DistortionSettings record;
};
