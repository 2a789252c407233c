#pragma once
// The effect registry and the factory. One table names each effect class
// once: its type id, the name its nodes carry, the text of the start-up
// choice lists and its place in them, the name the renderer and the presets
// use, how a node with the default parameters is built, and its parameter
// table. The factory, the start-up choice, the renderer and the presets all
// read it.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

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

struct EffectParameters;

struct EffectKind {
  int32_t typeId;
  std::string_view nodeName;    // "Delay Effect": the Config page lists nodes by it
  std::string_view listText;    // "Delay": the start-up choice lists
  int32_t listPosition;         // where the choice lists show it, from 0
  std::string_view renderName;  // "delay": the renderer's and the presets' name
  // A new node built with the default parameters.
  std::unique_ptr<Effect> (*construct)();
  const EffectParameters* parameters;
};

// Every effect class, in the renderer's order.
std::span<const EffectKind> EffectKinds();
// The kind of a type id, of a renderer name, or at a choice list position;
// null when there is none.
const EffectKind* FindEffectKind(int32_t typeId);
const EffectKind* FindEffectKind(std::string_view renderName);
const EffectKind* EffectKindAtListPosition(int32_t position);
// The node name of a type id (empty for an unknown id).
std::string_view EffectNodeName(int32_t typeId);

// A new node of the class with the given type id, built with its default
// parameters, or null for an id no class has (or when memory runs out).
std::unique_ptr<Effect> CreateEffect(int32_t typeId);
