// `--effect distortion`: the Shaper page's feedback and pre-filter, and the
// transfer curve within the response graph's value range.

#include <string>

#include "cli/effect_options.h"
#include "effects/distortion_effect.h"

void BindDistortionOptions(EffectOptionBinder& binder) {
  using S = DistortionSettings;
  const auto feedback = binder.Integer("feedback", S::kMinFeedback, S::kMaxFeedback);
  const auto cutoff =
      binder.Number("preFilterHz", DistortionPreFilter::kMinHz, DistortionPreFilter::kMaxHz);
  const auto curve = binder.Curve("curve", S::kCurveMinPoints, S::kCurveMaxPoints, S::kCurveMinX,
                                  S::kCurveMaxX, S::kCurveMinY, S::kCurveMaxY);
  binder.OnApply([=](Effect& effect, int32_t channel, int32_t, std::string* error) {
    auto& shaper = static_cast<DistortionEffect&>(effect);
    SetIfGiven(shaper.record.feedback, feedback, channel);
    SetIfGiven(shaper.record.preFilter.preFilterHz, cutoff, channel);
    return ApplyCurveOption(curve[channel], "distortion", shaper, error);
  });
}
