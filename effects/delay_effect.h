#pragma once
// The delay: each channel's input delayed by a fixed time and mixed with the
// unprocessed input. The line holds half a second; the delay time can change
// while the line runs (SetDelayTime), the other state is set up by Prepare.

#include <cstdint>
#include <vector>

#include "dsp/mix.h"
#include "effects/effect.h"
#include "effects/float_mix_effect.h"

struct DelaySettings {
  // Ring buffer of past input, lineLength samples while prepared.
  std::vector<int16_t> line;
  int32_t writeIndex = 0;  // where the next input sample goes
  int32_t readIndex = 0;   // where the next delayed sample comes from
  int32_t lineLength = 0;  // trunc(rate x 0.5) + 1
  // Delay time in milliseconds; the Delay page offers whole milliseconds in
  // kMinDelayMs..kMaxDelayMs.
  float delayMs = 10.0f;
  static constexpr float kMinDelayMs = 0.0f;
  static constexpr float kMaxDelayMs = 100.0f;
  int32_t busy = 0;  // 1 while the callback's delay-line pass runs
  // Input plus the delayed block, gains x 256.
  MixStage mix;
  float dryInputMix = float_mix::kDefaultLevel;   // level of the input
  float dryOutputMix = float_mix::kDefaultLevel;  // level of the delayed signal

  // Storage behind `mix`: the gains live as long as the effect, the delayed
  // block and the accumulator from Prepare to Release.
  std::vector<int32_t> gains;
  std::vector<int16_t> delayed;
  std::vector<int32_t> accumulator;
};

class DelayEffect : public FloatMixEffect<DelaySettings> {
 public:
  DelayEffect(float delayMs, float dryInputMix, float dryOutputMix);
  ~DelayEffect() override;

  void Prepare(void* settings, int32_t blockLength, int32_t sampleRate) override;
  // Delays the source by the line's delay and mixes it with the source.
  static int32_t ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                 int32_t count);
  void Release() override;

  // Changes the delay of a running line without clearing it: the read
  // position moves by the difference in samples (truncated), so a longer
  // delay replays older samples and a shorter one skips ahead. With no rate
  // known yet (0), only the stored time changes.
  void SetDelayTime(float newMs, int32_t sampleRate);

  DelaySettings record;
};
