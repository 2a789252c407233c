#include "app/effect_pages.h"

#include <cstring>

#include "effects/effect_factory.h"
#include "ui/autowah_page.h"
#include "ui/chorus_page.h"
#include "ui/compression_page.h"
#include "ui/delay_page.h"
#include "ui/eq_page.h"
#include "ui/filtermod_page.h"
#include "ui/reverb_page.h"
#include "ui/shaper_page.h"

namespace {
template <class Page>
constexpr EffectPageKind Kind(const char* listText, int32_t typeId) {
  return EffectPageKind{listText, typeId,
                        []() -> std::unique_ptr<PropertyPage> { return std::make_unique<Page>(); },
                        [](PropertyPage& page, Effect* left, Effect* right, EffectChain* leftChain,
                           EffectChain* rightChain) {
                          static_cast<Page&>(page).Link(left, right, leftChain, rightChain);
                        }};
}

// List order: the choice lists show the effects in this order.
const EffectPageKind kKinds[] = {
    Kind<EQPage>("Equalizer", kEqualizerEffectId),
    Kind<CompressionPage>("Compression", kCompressionEffectId),
    Kind<ShaperPage>("Distorsion", kDistortionEffectId),
    Kind<AutoWahPage>("AutoWAH", kEnvelopeFilterEffectId),
    Kind<DelayPage>("Delay", kDelayEffectId),
    Kind<FilterModPage>("Filter Mod.", kFilterModulationEffectId),
    Kind<ChorusPage>("Chorus", kChorusEffectId),
    Kind<ReverbPage>("Reverb", kReverbEffectId),
};

int32_t IndexOf(const char* listText) {
  const std::span<const EffectPageKind> kinds = EffectPageKinds();
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (std::strcmp(kinds[i].listText, listText) == 0) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}
}  // namespace

std::span<const EffectPageKind> EffectPageKinds() {
  return std::span<const EffectPageKind>(kKinds);
}

int32_t DefaultPickA() {
  return IndexOf("Chorus");
}
int32_t DefaultPickB() {
  return IndexOf("Reverb");
}
