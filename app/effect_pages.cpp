#include "app/effect_pages.h"

#include <vector>

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
constexpr EffectPageKind Kind(int32_t typeId) {
  return EffectPageKind{{},
                        typeId,
                        []() -> std::unique_ptr<PropertyPage> { return std::make_unique<Page>(); },
                        [](PropertyPage& page, Effect* left, Effect* right, EffectChain* leftChain,
                           EffectChain* rightChain) {
                          static_cast<Page&>(page).Link(left, right, leftChain, rightChain);
                        }};
}

// The page of each effect type.
const EffectPageKind kPages[] = {
    Kind<EQPage>(kEqualizerEffectId),      Kind<CompressionPage>(kCompressionEffectId),
    Kind<ShaperPage>(kDistortionEffectId), Kind<AutoWahPage>(kEnvelopeFilterEffectId),
    Kind<DelayPage>(kDelayEffectId),       Kind<FilterModPage>(kFilterModulationEffectId),
    Kind<ChorusPage>(kChorusEffectId),     Kind<ReverbPage>(kReverbEffectId),
};

int32_t ListPositionOfText(std::string_view listText) {
  const std::span<const EffectPageKind> kinds = EffectPageKinds();
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (kinds[i].listText == listText) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}
}  // namespace

std::span<const EffectPageKind> EffectPageKinds() {
  // In the registry's list order, with its list texts.
  static const std::vector<EffectPageKind> kinds = [] {
    std::vector<EffectPageKind> ordered;
    for (int32_t position = 0; const EffectKind* effect = EffectKindAtListPosition(position);
         ++position) {
      for (const EffectPageKind& page : kPages) {
        if (page.typeId == effect->typeId) {
          ordered.push_back(page);
          ordered.back().listText = effect->listText;
        }
      }
    }
    return ordered;
  }();
  return kinds;
}

int32_t ListPositionOf(int32_t typeId) {
  const std::span<const EffectPageKind> kinds = EffectPageKinds();
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (kinds[i].typeId == typeId) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

int32_t DefaultPickA() {
  return ListPositionOfText("Chorus");
}
int32_t DefaultPickB() {
  return ListPositionOfText("Reverb");
}
