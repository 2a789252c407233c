#pragma once
// The effects a user can load at start-up, in the order of the choice lists:
// the list text and type id (from the effect registry, which also gives the
// order) and how to build and link the page. An effect's page is one entry
// in effect_pages.cpp.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "ui/property_page.h"

class Effect;
class EffectChain;

struct EffectPageKind {
  std::string_view listText;
  int32_t typeId;
  // A new page of the effect (constructed without arguments).
  std::unique_ptr<PropertyPage> (*create)();
  // Hands the page its effect in the left and in the right chain (either may
  // be null) and the two chains.
  void (*link)(PropertyPage& page, Effect* left, Effect* right, EffectChain* leftChain,
               EffectChain* rightChain);
};

// Every loadable effect, in list order.
std::span<const EffectPageKind> EffectPageKinds();
// The list position of an effect type id; -1 when it has no page.
int32_t ListPositionOf(int32_t typeId);

// The list positions picked when the user changes nothing: "Chorus" and
// "Reverb".
int32_t DefaultPickA();
int32_t DefaultPickB();
