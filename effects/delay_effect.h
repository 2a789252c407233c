#pragma once
// The delay: each channel's input delayed by a fixed time and mixed with the
// unprocessed input. The line holds half a second; the delay time can change
// while the line runs (SetDelayTime), the other state is set up by Prepare.

#include <cstdint>

#include "dsp/delay_line.h"
#include "dsp/mix.h"
#include "effects/effect.h"
#include "effects/float_mix_effect.h"

struct DelaySettings {
  // Half a second of past input, trunc(rate x 0.5) + 1 samples while prepared.
  DelayLine line;
  // Delay time in milliseconds; the Delay page offers whole milliseconds in
  // kMinDelayMs..kMaxDelayMs.
  static constexpr float kDefaultDelayMs = 10.0f;
  float delayMs = kDefaultDelayMs;
  static constexpr float kMinDelayMs = 0.0f;
  static constexpr float kMaxDelayMs = 100.0f;
  // Input plus the delayed block; gain 0 the input's, gain 1 the delayed
  // signal's.
  MixStage mix;
  float dryInputMix = float_mix::kDefaultLevel;   // level of the input
  float dryOutputMix = float_mix::kDefaultLevel;  // level of the delayed signal
};

class DelayEffect : public FloatMixEffect<DelaySettings> {
 public:
  DelayEffect(float delayMs, float dryInputMix, float dryOutputMix);
  ~DelayEffect() override;

  void Prepare(void* settings, int32_t blockFrames, int32_t sampleRate) override;
  // Delays the source by the line's delay and mixes it with the source.
  static int32_t ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                 int32_t count);
  void Release() override;

  // Changes the delay of a running line without clearing it: the read
  // position moves by the difference in samples (truncated), so a longer
  // delay replays older samples and a shorter one skips ahead. With no rate
  // known yet (0), or no line allocated, only the stored time changes.
  void SetDelayTime(float newMs, int32_t sampleRate);

  DelaySettings record;
};
