#include "ui/swept_filter_page.h"

#include <QComboBox>

#include "dsp/biquad.h"
#include "effects/envelope_filter_effect.h"
#include "ui/clamp_store.h"
#include "ui/page_form.h"

namespace {
// A drop-down list of `names`, the first one selected.
template <typename Names>
QComboBox* ListOf(const Names& names) {
  auto* list = new QComboBox;
  for (const char* name : names) {
    list->addItem(QString::fromLatin1(name));
  }
  list->setCurrentIndex(0);
  return list;
}
}  // namespace

SweptFilterPage::SweptFilterPage(const QString& title, const QString& enableCaption,
                                 bool digitsOnly, QWidget* parent)
    : ParametersPage(title, enableCaption, false, parent) {
  filterTypeList_ = ListOf(kFilterKindNames);
  Form().AddRow(QStringLiteral("Filter Type"), filterTypeList_);
  scalingList_ = ListOf(kSweepScalingNames);
  Form().AddRow(QStringLiteral("Freq. Scaling"), scalingList_);
  const QString hz = QStringLiteral("Hz");
  AddValueEdit(QStringLiteral("Initial Cutoff Freq."), hz, initialCutoff_, digitsOnly);
  AddValueEdit(QStringLiteral("Initial Resonance"), QString(), initialResonance_, digitsOnly);
  AddValueEdit(QStringLiteral("Final Cutoff Freq."), hz, finalCutoff_, digitsOnly);
  AddValueEdit(QStringLiteral("Final Resonance"), QString(), finalResonance_, digitsOnly);
}

void SweptFilterPage::WriteShownValues() {
  StoreInto(left_);
  StoreInto(right_);
}

void SweptFilterPage::StoreSweptFilter(const SweptFilterFields& fields) {
  using R = SweptFilterRanges;
  fields.filterKind = filterTypeList_->currentIndex();
  fields.sweepScaling = scalingList_->currentIndex();
  ClampStore(initialCutoff_, fields.initialCutoff, R::kMinCutoffHz, R::kMaxCutoffHz);
  ClampStore(initialResonance_, fields.initialResonance, R::kMinResonance, R::kMaxResonance);
  ClampStore(finalCutoff_, fields.finalCutoff, R::kMinCutoffHz, R::kMaxCutoffHz);
  // Both channels get the same limits, so that they filter alike.
  ClampStore(finalResonance_, fields.finalResonance, R::kMinResonance, R::kMaxResonance);
}
