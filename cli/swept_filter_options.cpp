// `--effect autowah` and `--effect filtermod`: the AutoWah and FilterMod
// pages' swept filter (kind, scaling, initial and final cut-off and
// resonance) and the FilterMod page's modulator length.

#include <array>
#include <string>
#include <string_view>

#include "cli/effect_options.h"
#include "effects/envelope_filter_effect.h"
#include "effects/filter_modulation_effect.h"

namespace {

using R = SweptFilterRanges;

constexpr std::array<std::string_view, 5> kKindTexts = {kFilterKindNames[0], kFilterKindNames[1],
                                                        kFilterKindNames[2], kFilterKindNames[3],
                                                        kFilterKindNames[4]};
constexpr std::array<std::string_view, 3> kScalingTexts = {
    kSweepScalingNames[0], kSweepScalingNames[1], kSweepScalingNames[2]};

// Declares the swept filter's keys and registers the function that writes
// them into the `record` of an `EffectClass` node.
template <class EffectClass>
void BindSweptFilter(EffectOptionBinder& binder) {
  const auto kind = binder.Choice("filterKind", kKindTexts);
  const auto scaling = binder.Choice("sweepScaling", kScalingTexts);
  const auto initialCutoff = binder.Number("initialCutoff", R::kMinCutoffHz, R::kMaxCutoffHz);
  const auto initialQ = binder.Number("initialResonance", R::kMinResonance, R::kMaxResonance);
  const auto finalCutoff = binder.Number("finalCutoff", R::kMinCutoffHz, R::kMaxCutoffHz);
  const auto finalQ = binder.Number("finalResonance", R::kMinResonance, R::kMaxResonance);
  binder.OnApply([=](Effect& effect, int32_t channel, int32_t, std::string*) {
    auto& s = static_cast<EffectClass&>(effect).record;
    if (kind[channel]) {
      s.filterKind = *kind[channel];
    }
    if (scaling[channel]) {
      s.sweepScaling = *scaling[channel];
    }
    if (initialCutoff[channel]) {
      s.initialCutoff = static_cast<float>(*initialCutoff[channel]);
    }
    if (initialQ[channel]) {
      s.initialResonance = static_cast<float>(*initialQ[channel]);
    }
    if (finalCutoff[channel]) {
      s.finalCutoff = static_cast<float>(*finalCutoff[channel]);
    }
    if (finalQ[channel]) {
      s.finalResonance = static_cast<float>(*finalQ[channel]);
    }
    return true;
  });
}

}  // namespace

void BindAutoWahOptions(EffectOptionBinder& binder) {
  BindSweptFilter<EnvelopeFilterEffect>(binder);
}

void BindFilterModOptions(EffectOptionBinder& binder) {
  BindSweptFilter<FilterModulationEffect>(binder);
  using S = FilterModulationSettings;
  const auto length =
      binder.Number("modulatorLengthMs", S::kMinModulatorLengthMs, S::kMaxModulatorLengthMs);
  binder.OnApply([=](Effect& effect, int32_t channel, int32_t, std::string*) {
    if (length[channel]) {
      static_cast<FilterModulationEffect&>(effect).record.modulatorLengthMs =
          static_cast<float>(*length[channel]);
    }
    return true;
  });
}
