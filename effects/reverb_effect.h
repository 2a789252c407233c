#pragma once
// The reverb: the input band-limited, smeared by two allpass stages and fed to
// a bank of parallel feedback combs with evenly spread echo times; the comb
// outputs are summed with the dry input.

#include <array>
#include <cstdint>
#include <vector>

#include "dsp/allpass.h"
#include "dsp/biquad.h"
#include "dsp/comb.h"
#include "dsp/mix.h"
#include "effects/effect.h"
#include "effects/float_mix_effect.h"

inline constexpr int32_t kMaxReverbCombs = 16;

struct ReverbSettings {
  static constexpr int32_t kDefaultEchoCount = 6;
  // N, the combs in use while prepared (copied from requestedEchoCount).
  int32_t echoCount = kDefaultEchoCount;
  std::vector<int16_t> scratch;  // one work block
  std::array<CombDelay, kMaxReverbCombs> combs{};
  // Input plus the N comb outputs, stored one block after the other; room for
  // kMaxReverbCombs + 1 gains from construction.
  MixStage mix;
  float dryInputMix = float_mix::kDefaultLevel;
  float dryOutputMix = float_mix::kDefaultLevel;
  BiquadSection bandPass;  // the input band, gain 0.5
  // Lower edge of the input band in Hz.
  static constexpr float kDefaultLowCutHz = 100.0f;
  float lowCutHz = kDefaultLowCutHz;
  static constexpr float kMinLowCutHz = 50.0f;
  static constexpr float kMaxLowCutHz = 500.0f;
  // Upper edge of the input band in Hz.
  static constexpr float kDefaultHighCutHz = 4000.0f;
  float highCutHz = kDefaultHighCutHz;
  static constexpr float kMinHighCutHz = 1000.0f;
  static constexpr float kMaxHighCutHz = 22000.0f;
  // Two allpasses that smear the band before the combs, about 0.47 ms and
  // 0.59 ms long. AvoidSmallDivisors lifts any length up to 100 to 101, so at
  // every common rate (up to 96000 samples per second the raw lengths stay
  // below 57) both are 101 samples: the same allpass twice.
  AllpassDelay allpass1;
  AllpassDelay allpass2;
  // Echo time of the first comb in ms; at most one gap below the longest
  // echo's limit, so that the last comb always has room above it.
  static constexpr float kDefaultMinEchoMs = 20.0f;
  float minEchoMs = kDefaultMinEchoMs;
  static constexpr float kMinMinEchoMs = 1.0f;
  static constexpr float kMaxMinEchoMs = 99.0f;
  // Echo time of the last comb in ms: at least kMaxEchoMinGapMs above the
  // first comb's, at most kMaxMaxEchoMs.
  static constexpr float kDefaultMaxEchoMs = 25.0f;
  float maxEchoMs = kDefaultMaxEchoMs;
  static constexpr float kMaxEchoMinGapMs = 1.0f;
  static constexpr float kMaxMaxEchoMs = 100.0f;
  // Time for the tail to fall by 60 dB, in ms.
  static constexpr float kDefaultReverbTimeMs = 1000.0f;
  float reverbTimeMs = kDefaultReverbTimeMs;
  static constexpr float kMinReverbTimeMs = 100.0f;
  static constexpr float kMaxReverbTimeMs = 4000.0f;
  // Combs for the next Prepare.
  int32_t requestedEchoCount = kDefaultEchoCount;
  static constexpr int32_t kMinEchoCount = 2;
  static constexpr int32_t kMaxEchoCount = kMaxReverbCombs;
};

static_assert(ReverbSettings::kMaxMinEchoMs + ReverbSettings::kMaxEchoMinGapMs ==
              ReverbSettings::kMaxMaxEchoMs);

// Raises `a` by one for each of 2, 3, ..., 100 in turn that divides it (each
// divisor tested once, in order), keeping delay lengths clear of small common
// factors so that the echoes of different combs rarely coincide. Any `a` from
// 2 to 100 comes out as 101: once the divisor tested reaches `a`, every
// later test divides it and raises it by one, up to 101.
int32_t AvoidSmallDivisors(int32_t a);

class ReverbEffect : public FloatMixEffect<ReverbSettings> {
 public:
  ReverbEffect(float minEchoMs, float maxEchoMs, float lowCutHz, float highCutHz,
               float reverbTimeMs, int32_t echoCount, float dryInputMix, float dryOutputMix);
  ~ReverbEffect() override;

  void Prepare(void* settings, int32_t blockFrames, int32_t sampleRate) override;
  static int32_t ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                 int32_t count);
  void Release() override;

  // Spreads the level over the N comb gains: each gets level / N x 512.
  void SetDryOutputMix(int32_t position) override;

  ReverbSettings record;
};
