// `--effect delay`: the delay time, within the Delay page's range.

#include "cli/effect_options.h"
#include "effects/delay_effect.h"

void BindDelayOptions(EffectOptionBinder& binder) {
  const auto delay =
      binder.Number("delayMs", DelaySettings::kMinDelayMs, DelaySettings::kMaxDelayMs);
  binder.OnApply([delay](Effect& effect, int32_t channel, int32_t, std::string*) {
    // Before a run only the stored time matters: Prepare places the line.
    SetIfGiven(static_cast<DelayEffect&>(effect).record.delayMs, delay, channel);
    return true;
  });
}
