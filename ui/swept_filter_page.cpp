#include "ui/swept_filter_page.h"

SweptFilterPage::SweptFilterPage(const QString& title, const QString& enableCaption,
                                 bool digitsOnly, const EffectParameters& parameters,
                                 QWidget* parent)
    : ParametersPage(title, enableCaption, false, parameters, parent) {
  // The values the page starts with, which the effects get when the page is
  // linked to them.
  AddChoiceList(QStringLiteral("Filter Type"), "filterKind");
  AddChoiceList(QStringLiteral("Freq. Scaling"), "sweepScaling");
  const QString hz = QStringLiteral("Hz");
  AddValueEdit(QStringLiteral("Initial Cutoff Freq."), hz, "initialCutoff", 100.0f, digitsOnly);
  AddValueEdit(QStringLiteral("Initial Resonance"), QString(), "initialResonance", 0.707f,
               digitsOnly);
  AddValueEdit(QStringLiteral("Final Cutoff Freq."), hz, "finalCutoff", 10000.0f, digitsOnly);
  AddValueEdit(QStringLiteral("Final Resonance"), QString(), "finalResonance", 0.707f, digitsOnly);
}
