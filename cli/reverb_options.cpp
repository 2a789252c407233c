// `--effect reverb`: the Reverb page's parameters, within its ranges.

#include <string>

#include "cli/effect_options.h"
#include "effects/reverb_effect.h"

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
    const double minMs = minEcho[channel].value_or(s.minEchoMs);
    const double maxMs = maxEcho[channel].value_or(s.maxEchoMs);
    const double lowest = minMs + S::kMaxEchoMinGapMs;
    if (maxMs < lowest) {
      *error = "--effect reverb: maxEchoMs=" + Number(maxMs) +
               ": out of range (allowed: minEchoMs+" + Number(S::kMaxEchoMinGapMs) + ".." +
               Number(S::kMaxMaxEchoMs) + ", here " + Number(lowest) + ".." +
               Number(S::kMaxMaxEchoMs) + ")";
      return false;
    }
    if (echoes[channel]) {
      s.requestedEchoCount = *echoes[channel];
    }
    if (lowCut[channel]) {
      s.lowCutHz = static_cast<float>(*lowCut[channel]);
    }
    if (highCut[channel]) {
      s.highCutHz = static_cast<float>(*highCut[channel]);
    }
    if (minEcho[channel]) {
      s.minEchoMs = static_cast<float>(*minEcho[channel]);
    }
    if (maxEcho[channel]) {
      s.maxEchoMs = static_cast<float>(*maxEcho[channel]);
    }
    if (time[channel]) {
      s.reverbTimeMs = static_cast<float>(*time[channel]);
    }
    return true;
  });
}
