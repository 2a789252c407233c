#pragma once
// The factory: a new node of the class with the given type id, built with its
// default parameters, or null for an id no class has.

#include <cstdint>
#include <memory>

#include "effects/effect.h"

// Type ids of the effect classes.
enum EffectTypeId : int32_t {
  kEqualizerEffectId = 3,
  kChorusEffectId = 7,
  kReverbEffectId = 11,
  kDelayEffectId = 15,
  kDistortionEffectId = 16,
  kCompressionEffectId = 17,
  kEnvelopeFilterEffectId = 18,
  kFilterModulationEffectId = 19,
};

std::unique_ptr<Effect> CreateEffect(int32_t typeId);
