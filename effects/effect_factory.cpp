#include "effects/effect_factory.h"

#include <new>

#include "effects/chorus_effect.h"
#include "effects/compression_effect.h"
#include "effects/delay_effect.h"
#include "effects/distortion_effect.h"
#include "effects/effect_parameters.h"
#include "effects/envelope_filter_effect.h"
#include "effects/equalizer_effect.h"
#include "effects/filter_modulation_effect.h"
#include "effects/reverb_effect.h"

namespace {

std::unique_ptr<Effect> MakeEqualizer() {
  return std::make_unique<EqualizerEffect>();
}

std::unique_ptr<Effect> MakeChorus() {
  using S = ChorusSettings;
  return std::make_unique<ChorusEffect>(S::kDefaultPreFilterHz, S::kDefaultInitialDelayMs,
                                        S::kDefaultFinalDelayMs, S::kDefaultModLengthMs,
                                        S::kDefaultFeedbackPercent, float_mix::kDefaultLevel,
                                        float_mix::kDefaultLevel);
}

std::unique_ptr<Effect> MakeReverb() {
  using S = ReverbSettings;
  return std::make_unique<ReverbEffect>(S::kDefaultMinEchoMs, S::kDefaultMaxEchoMs,
                                        S::kDefaultLowCutHz, S::kDefaultHighCutHz,
                                        S::kDefaultReverbTimeMs, S::kDefaultEchoCount,
                                        float_mix::kDefaultLevel, float_mix::kDefaultLevel);
}

std::unique_ptr<Effect> MakeDelay() {
  return std::make_unique<DelayEffect>(DelaySettings::kDefaultDelayMs, float_mix::kDefaultLevel,
                                       float_mix::kDefaultLevel);
}

std::unique_ptr<Effect> MakeDistortion() {
  return std::make_unique<DistortionEffect>();
}

std::unique_ptr<Effect> MakeCompression() {
  return std::make_unique<CompressionEffect>(CompressionSettings::kDefaultEnvelopeDelayMs);
}

std::unique_ptr<Effect> MakeEnvelopeFilter() {
  using S = EnvelopeFilterSettings;
  return std::make_unique<EnvelopeFilterEffect>(S::kDefaultInitialCutoff, S::kDefaultResonance,
                                                S::kDefaultFinalCutoff);
}

std::unique_ptr<Effect> MakeFilterModulation() {
  using S = FilterModulationSettings;
  return std::make_unique<FilterModulationEffect>(S::kDefaultInitialCutoff, S::kDefaultResonance,
                                                  S::kDefaultFinalCutoff, float_mix::kDefaultLevel,
                                                  float_mix::kDefaultLevel);
}

// One line per effect class, in the renderer's order:
// {type id, node name, list text, list position, renderer name, construct, parameters}.
const EffectKind kKinds[] = {
    {kDelayEffectId, "Delay Effect", "Delay", 4, "delay", MakeDelay, &kDelayParameters},
    {kChorusEffectId, "Chorus Effect", "Chorus", 6, "chorus", MakeChorus, &kChorusParameters},
    {kReverbEffectId, "Reverb Effect", "Reverb", 7, "reverb", MakeReverb, &kReverbParameters},
    {kEqualizerEffectId, "Equalizer Effect", "Equalizer", 0, "eq", MakeEqualizer,
     &kEqualizerParameters},
    {kDistortionEffectId, "Distorsion Effect", "Distorsion", 2, "distortion", MakeDistortion,
     &kDistortionParameters},
    {kCompressionEffectId, "Compression Effect", "Compression", 1, "compression", MakeCompression,
     &kCompressionParameters},
    {kEnvelopeFilterEffectId, "Envelope Filter", "AutoWAH", 3, "autowah", MakeEnvelopeFilter,
     &kEnvelopeFilterParameters},
    {kFilterModulationEffectId, "Filter Modulation", "Filter Mod.", 5, "filtermod",
     MakeFilterModulation, &kFilterModulationParameters},
};

// The first kind that `matches`, or null.
template <class Match>
const EffectKind* FindKind(Match matches) {
  for (const EffectKind& kind : kKinds) {
    if (matches(kind)) {
      return &kind;
    }
  }
  return nullptr;
}

}  // namespace

std::span<const EffectKind> EffectKinds() {
  return kKinds;
}

const EffectKind* FindEffectKind(int32_t typeId) {
  return FindKind([typeId](const EffectKind& kind) { return kind.typeId == typeId; });
}

const EffectKind* FindEffectKind(std::string_view renderName) {
  return FindKind([renderName](const EffectKind& kind) { return kind.renderName == renderName; });
}

const EffectKind* EffectKindAtListPosition(int32_t position) {
  return FindKind([position](const EffectKind& kind) { return kind.listPosition == position; });
}

std::string_view EffectNodeName(int32_t typeId) {
  const EffectKind* kind = FindEffectKind(typeId);
  return kind ? kind->nodeName : std::string_view();
}

std::unique_ptr<Effect> CreateEffect(int32_t typeId) {
  const EffectKind* kind = FindEffectKind(typeId);
  if (!kind) {
    return nullptr;
  }
  try {
    return kind->construct();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
