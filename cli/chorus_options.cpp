// `--effect chorus`: the Chorus page's five parameters, within its ranges.

#include <string>

#include "cli/effect_options.h"
#include "effects/chorus_effect.h"

namespace {
std::string Number(double value) {
  std::string text = std::to_string(value);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') {
    text.pop_back();
  }
  return text;
}
}  // namespace

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
    const double initialMs = initial[channel].value_or(s.initialDelayMs);
    const double finalMs = finalDelay[channel].value_or(s.finalDelayMs);
    const double lowest = initialMs + S::kFinalDelayMinGapMs;
    if (finalMs < lowest) {
      *error = "--effect chorus: finalDelayMs=" + Number(finalMs) +
               ": out of range (allowed: initialDelayMs+" + Number(S::kFinalDelayMinGapMs) + ".." +
               Number(S::kMaxFinalDelayMs) + ", here " + Number(lowest) + ".." +
               Number(S::kMaxFinalDelayMs) + ")";
      return false;
    }
    if (cutoff[channel]) {
      s.preFilterHz = static_cast<float>(*cutoff[channel]);
    }
    if (initial[channel]) {
      s.initialDelayMs = static_cast<float>(*initial[channel]);
    }
    if (finalDelay[channel]) {
      s.finalDelayMs = static_cast<float>(*finalDelay[channel]);
    }
    if (period[channel]) {
      s.modLengthMs = static_cast<float>(*period[channel]);
    }
    if (feedback[channel]) {
      s.feedbackPercent = static_cast<float>(*feedback[channel]);
    }
    return true;
  });
}
