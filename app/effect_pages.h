#pragma once
// The effects a user can load at start-up, in the order of the choice lists:
// the list text, the factory type id and how to build and link the page.
// Adding an effect to the program is one entry in effect_pages.cpp.

#include <cstdint>
#include <memory>
#include <span>

#include "ui/property_page.h"

class Effect;
class EffectChain;

struct EffectPageKind {
  const char* listText;
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

// The list positions picked when the user changes nothing: "Chorus" and
// "Reverb".
int32_t DefaultPickA();
int32_t DefaultPickB();
