#include "effects/effect_factory.h"

#include <new>

// Each effect class adds its case here as it is built.
std::unique_ptr<Effect> CreateEffect(int32_t typeId) {
  try {
    switch (typeId) {
      default:
        return nullptr;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
