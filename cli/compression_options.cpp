// `--effect compression`: the Compression page's envelope time and the gain
// curve within the response graph's value range.

#include <string>

#include "cli/effect_options.h"
#include "effects/compression_effect.h"

void BindCompressionOptions(EffectOptionBinder& binder) {
  using S = CompressionSettings;
  const auto delay =
      binder.Number("envelopeDelayMs", S::kMinEnvelopeDelayMs, S::kMaxEnvelopeDelayMs);
  const auto curve = binder.Curve("curve", S::kCurveMinPoints, S::kCurveMaxPoints, S::kCurveMinX,
                                  S::kCurveMaxX, S::kCurveMinY, S::kCurveMaxY);
  binder.OnApply([=](Effect& effect, int32_t channel, int32_t, std::string* error) {
    auto& compression = static_cast<CompressionEffect&>(effect);
    SetIfGiven(compression.record.envelopeDelayMs, delay, channel);
    return ApplyCurveOption(curve[channel], "compression", compression, error);
  });
}
