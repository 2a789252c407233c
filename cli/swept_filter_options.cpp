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
    SetIfGiven(s.filterKind, kind, channel);
    SetIfGiven(s.sweepScaling, scaling, channel);
    SetIfGiven(s.initialCutoff, initialCutoff, channel);
    SetIfGiven(s.initialResonance, initialQ, channel);
    SetIfGiven(s.finalCutoff, finalCutoff, channel);
    SetIfGiven(s.finalResonance, finalQ, channel);
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
    SetIfGiven(static_cast<FilterModulationEffect&>(effect).record.modulatorLengthMs, length,
               channel);
    return true;
  });
}
