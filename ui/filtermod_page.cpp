#include "ui/filtermod_page.h"

#include "effects/filter_modulation_effect.h"
#include "ui/clamp_store.h"

FilterModPage::FilterModPage(QWidget* parent)
    : SweptFilterPage(QStringLiteral("Filt.Mod."), QStringLiteral("Enable Filter Modulation"), true,
                      parent) {
  AddValueEdit(QStringLiteral("Modulator Length"), QStringLiteral("ms"), modulatorLengthMs_, true);
}

void FilterModPage::StoreInto(Effect* effect) {
  auto* filter = dynamic_cast<FilterModulationEffect*>(effect);
  if (filter == nullptr) {
    return;
  }
  using S = FilterModulationSettings;
  S& s = filter->record;
  StoreSweptFilter({s.filterKind, s.sweepScaling, s.initialCutoff, s.initialResonance,
                    s.finalCutoff, s.finalResonance});
  ClampStore(modulatorLengthMs_, s.modulatorLengthMs, S::kMinModulatorLengthMs,
             S::kMaxModulatorLengthMs);
}
