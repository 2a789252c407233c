// `--effect reverb`: the Reverb page's parameters, within its ranges.

#include <string>

#include "cli/effect_options.h"
#include "effects/reverb_effect.h"

void BindReverbOptions(EffectOptionBinder& binder) {
  using S = ReverbSettings;
  const auto echoes = binder.Integer("echoCount", S::kMinEchoCount, S::kMaxEchoCount);
  const auto lowCut = binder.Number("lowCutHz", S::kMinLowCutHz, S::kMaxLowCutHz);
  const auto highCut = binder.Number("highCutHz", S::kMinHighCutHz, S::kMaxHighCutHz);
  const auto minEcho = binder.Number("minEchoMs", S::kMinMinEchoMs, S::kMaxMinEchoMs);
  // The longest echo's lower end follows the shortest; checked on apply.
  const auto maxEcho =
      binder.Number("maxEchoMs", S::kMinMinEchoMs + S::kMaxEchoMinGapMs, S::kMaxMaxEchoMs);
  const auto time = binder.Number("reverbTimeMs", S::kMinReverbTimeMs, S::kMaxReverbTimeMs);
  binder.OnApply([=](Effect& effect, int32_t channel, int32_t, std::string* error) {
    ReverbSettings& s = static_cast<ReverbEffect&>(effect).record;
    constexpr OrderedKeys kEchoes = {"minEchoMs", S::kMinMinEchoMs, "maxEchoMs", S::kMaxMaxEchoMs,
                                     S::kMaxEchoMinGapMs};
    if (!CheckOrderedKeys("reverb", kEchoes, minEcho[channel], s.minEchoMs, maxEcho[channel],
                          s.maxEchoMs, error)) {
      return false;
    }
    SetIfGiven(s.requestedEchoCount, echoes, channel);
    SetIfGiven(s.lowCutHz, lowCut, channel);
    SetIfGiven(s.highCutHz, highCut, channel);
    SetIfGiven(s.minEchoMs, minEcho, channel);
    SetIfGiven(s.maxEchoMs, maxEcho, channel);
    SetIfGiven(s.reverbTimeMs, time, channel);
    return true;
  });
}
