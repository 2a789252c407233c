#pragma once
// The chorus: the dry input mixed with a low-passed copy whose delay sweeps
// between an initial and a final delay, with feedback. The sweep reads the
// line at a speed a sine oscillator modulates around one sample per sample,
// interpolating linearly between samples.

#include <cstdint>
#include <vector>

#include "dsp/biquad.h"
#include "dsp/mix.h"
#include "dsp/wavetable.h"
#include "effects/effect.h"
#include "effects/float_mix_effect.h"

struct ChorusSettings {
  // The delay line the sweep reads, lineLength samples while prepared. Its
  // read position moves in fractions of a sample, so it is kept here rather
  // than as a DelayLine.
  std::vector<int16_t> line;
  int32_t readFraction = 0;  // read position below one sample, x 4096
  int32_t writeIndex = 0;
  int32_t readIndex = 0;     // read position, whole samples
  int32_t lineLength = 0;    // trunc(finalDelayMs x rate x 0.001) + blockFrames
  int32_t lastWet = 0;       // the last interpolated sample, fed back into the line
  int32_t feedbackCoef = 0;  // trunc(feedbackPercent x 2.56): feedback x 256
  Wavetable lfo;             // one sine period of 256 entries, peak 4096
  MixStage mix;              // input plus the wet block (gains 0 and 1)
  float dryInputMix = float_mix::kDefaultLevel;
  float dryOutputMix = float_mix::kDefaultLevel;
  BiquadSection preFilter;  // low-pass in front of the line
  // Cut-off of the pre-filter in Hz; the Chorus page allows kMinPreFilterHz..kMaxPreFilterHz.
  static constexpr float kDefaultPreFilterHz = 4000.0f;
  float preFilterHz = kDefaultPreFilterHz;
  static constexpr float kMinPreFilterHz = 500.0f;
  static constexpr float kMaxPreFilterHz = 16000.0f;
  std::vector<int16_t> modulation;  // the oscillator's output for one block
  // Period of the sweep in ms.
  static constexpr float kDefaultModLengthMs = 4000.0f;
  float modLengthMs = kDefaultModLengthMs;
  static constexpr float kMinModLengthMs = 100.0f;
  static constexpr float kMaxModLengthMs = 10000.0f;
  // Shortest delay of the sweep in ms; at most one gap below the final
  // delay's limit, so that the final delay always has room above it.
  static constexpr float kDefaultInitialDelayMs = 5.0f;
  float initialDelayMs = kDefaultInitialDelayMs;
  static constexpr float kMinInitialDelayMs = 1.0f;
  static constexpr float kMaxInitialDelayMs = 99.0f;
  // Longest delay of the sweep in ms: at least kFinalDelayMinGapMs above the
  // initial delay, at most kMaxFinalDelayMs.
  static constexpr float kDefaultFinalDelayMs = 10.0f;
  float finalDelayMs = kDefaultFinalDelayMs;
  static constexpr float kFinalDelayMinGapMs = 1.0f;
  static constexpr float kMaxFinalDelayMs = 100.0f;
  // Feedback in percent.
  static constexpr float kDefaultFeedbackPercent = 0.5f;
  float feedbackPercent = kDefaultFeedbackPercent;
  static constexpr float kMinFeedbackPercent = 1.0f;
  static constexpr float kMaxFeedbackPercent = 100.0f;
};

static_assert(ChorusSettings::kMaxInitialDelayMs + ChorusSettings::kFinalDelayMinGapMs ==
              ChorusSettings::kMaxFinalDelayMs);

class ChorusEffect : public FloatMixEffect<ChorusSettings> {
 public:
  ChorusEffect(float preFilterHz, float initialDelayMs, float finalDelayMs, float modLengthMs,
               float feedbackPercent, float dryInputMix, float dryOutputMix);
  ~ChorusEffect() override;

  void Prepare(void* settings, int32_t blockFrames, int32_t sampleRate) override;
  static int32_t ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                 int32_t count);
  void Release() override;

  ChorusSettings record;
};
