#include "ui/autowah_page.h"

#include "effects/envelope_filter_effect.h"

AutoWahPage::AutoWahPage(QWidget* parent)
    : SweptFilterPage(QStringLiteral("AutoWah"), QStringLiteral("Enable AutoWah"), false, parent) {}

void AutoWahPage::StoreInto(Effect* effect) {
  auto* filter = dynamic_cast<EnvelopeFilterEffect*>(effect);
  if (filter == nullptr) {
    return;
  }
  EnvelopeFilterSettings& s = filter->record;
  StoreSweptFilter({s.filterKind, s.sweepScaling, s.initialCutoff, s.initialResonance,
                    s.finalCutoff, s.finalResonance});
}
