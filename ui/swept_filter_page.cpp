#include "ui/swept_filter_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>

#include "dsp/biquad.h"
#include "effects/envelope_filter_effect.h"
#include "ui/clamp_store.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"
#include "ui/page_form.h"

SweptFilterPage::SweptFilterPage(const QString& title, const QString& enableCaption,
                                 bool digitsOnly, QWidget* parent)
    : EffectPairPage(title, parent) {
  BuildControls(enableCaption, digitsOnly);
}

SweptFilterPage::~SweptFilterPage() = default;

void SweptFilterPage::BuildControls(const QString& enableCaption, bool digitsOnly) {
  // The enable state, like the parameters, is taken when the page is left.
  BuildMixControls(enableCaption, enableBox_, inputMix_, outputMix_);

  auto* parameters = new QGroupBox(QStringLiteral("Parameters"), this);
  form_ = std::make_unique<PageForm>(parameters);
  filterTypeList_ = new QComboBox;
  for (const char* name : kFilterKindNames) {
    filterTypeList_->addItem(QString::fromLatin1(name));
  }
  filterTypeList_->setCurrentIndex(0);
  form_->AddRow(QStringLiteral("Filter Type"), filterTypeList_);
  scalingList_ = new QComboBox;
  for (const char* name : kSweepScalingNames) {
    scalingList_->addItem(QString::fromLatin1(name));
  }
  scalingList_->setCurrentIndex(0);
  form_->AddRow(QStringLiteral("Freq. Scaling"), scalingList_);
  initialCutoffEdit_ =
      form_->AddNumber(QStringLiteral("Initial Cutoff Freq."), QStringLiteral("Hz"));
  initialResonanceEdit_ = form_->AddNumber(QStringLiteral("Initial Resonance"));
  finalCutoffEdit_ = form_->AddNumber(QStringLiteral("Final Cutoff Freq."), QStringLiteral("Hz"));
  finalResonanceEdit_ = form_->AddNumber(QStringLiteral("Final Resonance"));
  for (NumberEdit* edit :
       {initialCutoffEdit_, initialResonanceEdit_, finalCutoffEdit_, finalResonanceEdit_}) {
    edit->SetDigitsOnly(digitsOnly);
  }
  initialCutoffEdit_->ShowValue(initialCutoff_);
  initialResonanceEdit_->ShowValue(initialResonance_);
  finalCutoffEdit_->ShowValue(finalCutoff_);
  finalResonanceEdit_->ShowValue(finalResonance_);

  LayOutMixRow(enableBox_, inputMix_, outputMix_)->addWidget(parameters, 1, Qt::AlignTop);
}

void SweptFilterPage::OnSetActive() {
  ShowEnableAndMixLevels(enableBox_, inputMix_, outputMix_);
}

bool SweptFilterPage::OnKillActive() {
  return TakeData();
}

bool SweptFilterPage::TakeData() {
  if (!initialCutoffEdit_->TakeValue(initialCutoff_) ||
      !initialResonanceEdit_->TakeValue(initialResonance_) ||
      !finalCutoffEdit_->TakeValue(finalCutoff_) ||
      !finalResonanceEdit_->TakeValue(finalResonance_) || !ReadMoreEdits()) {
    return false;
  }
  WriteShownValues();
  EnableBoth(enableBox_->isChecked());
  return true;
}

void SweptFilterPage::WriteShownValues() {
  StoreInto(left_);
  StoreInto(right_);
}

void SweptFilterPage::StoreSweptFilter(const SweptFilterFields& fields) const {
  using R = SweptFilterRanges;
  fields.filterKind = filterTypeList_->currentIndex();
  fields.sweepScaling = scalingList_->currentIndex();
  ClampStore(initialCutoff_, fields.initialCutoff, R::kMinCutoffHz, R::kMaxCutoffHz);
  ClampStore(initialResonance_, fields.initialResonance, R::kMinResonance, R::kMaxResonance);
  ClampStore(finalCutoff_, fields.finalCutoff, R::kMinCutoffHz, R::kMaxCutoffHz);
  // Both channels get the same limits, so that they filter alike.
  ClampStore(finalResonance_, fields.finalResonance, R::kMinResonance, R::kMaxResonance);
}
