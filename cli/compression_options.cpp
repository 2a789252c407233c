// `--effect compression`: the Compression page's envelope time and the gain
// curve within the response graph's value range.

#include <list>
#include <string>
#include <vector>

#include "cli/effect_options.h"
#include "effects/compression_effect.h"

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

void BindCompressionOptions(EffectOptionBinder& binder) {
  using S = CompressionSettings;
  const auto delay =
      binder.Number("envelopeDelayMs", S::kMinEnvelopeDelayMs, S::kMaxEnvelopeDelayMs);
  const auto curve = binder.Curve("curve", S::kCurveMinPoints, S::kCurveMaxPoints, S::kCurveMinX,
                                  S::kCurveMaxX, S::kCurveMinY, S::kCurveMaxY);
  binder.OnApply([=](Effect& effect, int32_t channel, int32_t, std::string* error) {
    CompressionSettings& s = static_cast<CompressionEffect&>(effect).record;
    if (delay[channel]) {
      s.envelopeDelayMs = static_cast<float>(*delay[channel]);
    }
    if (curve[channel] && !IncreasesAsFloats(*curve[channel])) {
      *error =
          "--effect compression: curve: x must stay strictly increasing as single-precision values";
      return false;
    }
    if (curve[channel]) {
      s.curvePoints = KeepCurve(*curve[channel]);
      s.curvePointCount = static_cast<int32_t>(curve[channel]->size());
    }
    return true;
  });
}
