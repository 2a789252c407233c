#include "effects/effect_factory.h"

#include <new>

#include "effects/chorus_effect.h"
#include "effects/compression_effect.h"
#include "effects/delay_effect.h"
#include "effects/distortion_effect.h"
#include "effects/envelope_filter_effect.h"
#include "effects/equalizer_effect.h"
#include "effects/filter_modulation_effect.h"
#include "effects/reverb_effect.h"

std::unique_ptr<Effect> CreateEffect(int32_t typeId) {
  try {
    switch (typeId) {
      case kEqualizerEffectId:
        return std::make_unique<EqualizerEffect>();
      case kChorusEffectId:
        return std::make_unique<ChorusEffect>(4000.0f, 5.0f, 10.0f, 4000.0f, 0.5f,
                                              float_mix::kDefaultLevel, float_mix::kDefaultLevel);
      case kReverbEffectId:
        return std::make_unique<ReverbEffect>(20.0f, 25.0f, 100.0f, 4000.0f, 1000.0f, 6,
                                              float_mix::kDefaultLevel, float_mix::kDefaultLevel);
      case kDelayEffectId:
        return std::make_unique<DelayEffect>(10.0f, float_mix::kDefaultLevel,
                                             float_mix::kDefaultLevel);
      case kDistortionEffectId:
        return std::make_unique<DistortionEffect>();
      case kCompressionEffectId:
        return std::make_unique<CompressionEffect>(20.0f);
      case kEnvelopeFilterEffectId:
        return std::make_unique<EnvelopeFilterEffect>(100.0f, 0.707f, 2500.0f);
      case kFilterModulationEffectId:
        return std::make_unique<FilterModulationEffect>(100.0f, 0.707f, 5000.0f, 0.707f, 0.707f);
      default:
        return nullptr;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
