// `--effect chorus`: the Chorus page's five parameters, within its ranges.

#include <string>

#include "cli/effect_options.h"
#include "effects/chorus_effect.h"

void BindChorusOptions(EffectOptionBinder& binder) {
  using S = ChorusSettings;
  const auto cutoff = binder.Number("preFilterHz", S::kMinPreFilterHz, S::kMaxPreFilterHz);
  const auto initial =
      binder.Number("initialDelayMs", S::kMinInitialDelayMs, S::kMaxInitialDelayMs);
  // The final delay's lower end follows the initial delay; checked on apply.
  const auto finalDelay = binder.Number(
      "finalDelayMs", S::kMinInitialDelayMs + S::kFinalDelayMinGapMs, S::kMaxFinalDelayMs);
  const auto period = binder.Number("modLengthMs", S::kMinModLengthMs, S::kMaxModLengthMs);
  const auto feedback =
      binder.Number("feedbackPercent", S::kMinFeedbackPercent, S::kMaxFeedbackPercent);
  binder.OnApply([=](Effect& effect, int32_t channel, int32_t, std::string* error) {
    ChorusSettings& s = static_cast<ChorusEffect&>(effect).record;
    constexpr OrderedKeys kDelays = {"initialDelayMs", S::kMinInitialDelayMs, "finalDelayMs",
                                     S::kMaxFinalDelayMs, S::kFinalDelayMinGapMs};
    if (!CheckOrderedKeys("chorus", kDelays, initial[channel], s.initialDelayMs,
                          finalDelay[channel], s.finalDelayMs, error)) {
      return false;
    }
    SetIfGiven(s.preFilterHz, cutoff, channel);
    SetIfGiven(s.initialDelayMs, initial, channel);
    SetIfGiven(s.finalDelayMs, finalDelay, channel);
    SetIfGiven(s.modLengthMs, period, channel);
    SetIfGiven(s.feedbackPercent, feedback, channel);
    return true;
  });
}
