// `--effect distortion`: the Shaper page's feedback and pre-filter, and the
// transfer curve within the response graph's value range.

#include <list>
#include <string>
#include <vector>

#include "cli/effect_options.h"
#include "effects/distortion_effect.h"

namespace {

// The effect reads its curve through a pointer and never owns it: the curves
// made here live as long as the process.
const CurvePoint* KeepCurve(const std::vector<CurvePointValue>& points) {
  static std::list<std::vector<CurvePoint>> curves;
  std::vector<CurvePoint>& curve = curves.emplace_back();
  for (const CurvePointValue& p : points) {
    curve.push_back({static_cast<float>(p.x), static_cast<float>(p.y)});
  }
  return curve.data();
}

// The curve is held in single precision: x values that differ only beyond
// it would make a segment of zero width.
bool IncreasesAsFloats(const std::vector<CurvePointValue>& points) {
  for (size_t i = 1; i < points.size(); ++i) {
    if (!(static_cast<float>(points[i].x) > static_cast<float>(points[i - 1].x))) {
      return false;
    }
  }
  return true;
}

}  // namespace

void BindDistortionOptions(EffectOptionBinder& binder) {
  using S = DistortionSettings;
  const auto feedback = binder.Integer("feedback", S::kMinFeedback, S::kMaxFeedback);
  const auto cutoff =
      binder.Number("preFilterHz", DistortionPreFilter::kMinHz, DistortionPreFilter::kMaxHz);
  const auto curve = binder.Curve("curve", S::kCurveMinPoints, S::kCurveMaxPoints, S::kCurveMinX,
                                  S::kCurveMaxX, S::kCurveMinY, S::kCurveMaxY);
  binder.OnApply([=](Effect& effect, int32_t channel, int32_t, std::string* error) {
    DistortionSettings& s = static_cast<DistortionEffect&>(effect).record;
    if (feedback[channel]) {
      s.feedback = *feedback[channel];
    }
    if (cutoff[channel]) {
      s.preFilter->preFilterHz = static_cast<float>(*cutoff[channel]);
    }
    if (curve[channel] && !IncreasesAsFloats(*curve[channel])) {
      *error =
          "--effect distortion: curve: x must stay strictly increasing as single-precision values";
      return false;
    }
    if (curve[channel]) {
      s.curvePoints = KeepCurve(*curve[channel]);
      s.curvePointCount = static_cast<int32_t>(curve[channel]->size());
    }
    return true;
  });
}
