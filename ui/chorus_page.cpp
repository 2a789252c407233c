#include "ui/chorus_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include "effects/chorus_effect.h"
#include "ui/clamp_store.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"
#include "ui/page_form.h"

ChorusPage::ChorusPage(QWidget* parent) : EffectPairPage(QStringLiteral("Chorus"), parent) {
  BuildControls();
}

void ChorusPage::BuildControls() {
  BuildMixControls(QStringLiteral("Enable Chorus"), enableBox_, inputMix_, outputMix_);

  auto* parameters = new QGroupBox(QStringLiteral("Parameters"), this);
  PageForm form(parameters);
  preFilterEdit_ = form.AddNumber(QStringLiteral("Pre.Filter Cutoff"), QStringLiteral("Hz"));
  initialDelayEdit_ = form.AddNumber(QStringLiteral("Initial Delay"), QStringLiteral("msec."));
  finalDelayEdit_ = form.AddNumber(QStringLiteral("Final Delay"), QStringLiteral("msec."));
  modLengthEdit_ = form.AddNumber(QStringLiteral("Mod. Length"), QStringLiteral("msec."));
  feedbackEdit_ = form.AddNumber(QStringLiteral("Feedback"), QStringLiteral("%"));
  for (NumberEdit* edit :
       {preFilterEdit_, initialDelayEdit_, finalDelayEdit_, modLengthEdit_, feedbackEdit_}) {
    edit->SetDigitsOnly(true);
  }
  preFilterEdit_->ShowValue(preFilterHz_);
  initialDelayEdit_->ShowValue(initialDelayMs_);
  finalDelayEdit_->ShowValue(finalDelayMs_);
  modLengthEdit_->ShowValue(modLengthMs_);
  feedbackEdit_->ShowValue(feedbackPercent_);

  LayOutMixRow(enableBox_, inputMix_, outputMix_)->addWidget(parameters, 1, Qt::AlignTop);

  connect(enableBox_, &QCheckBox::clicked, this, [this] { TakeData(); });
}

void ChorusPage::OnSetActive() {
  ShowEnableAndMixLevels(enableBox_, inputMix_, outputMix_);
}

bool ChorusPage::OnKillActive() {
  return TakeData();
}

bool ChorusPage::TakeData() {
  if (!preFilterEdit_->TakeValue(preFilterHz_) || !initialDelayEdit_->TakeValue(initialDelayMs_) ||
      !finalDelayEdit_->TakeValue(finalDelayMs_) || !modLengthEdit_->TakeValue(modLengthMs_) ||
      !feedbackEdit_->TakeValue(feedbackPercent_)) {
    return false;
  }
  WriteShownValues();
  EnableBoth(enableBox_->isChecked());
  return true;
}

void ChorusPage::WriteShownValues() {
  using S = ChorusSettings;
  for (Effect* effect : {left_, right_}) {
    auto* chorus = dynamic_cast<ChorusEffect*>(effect);
    if (chorus == nullptr) {
      continue;
    }
    S& s = chorus->record;
    ClampStore(preFilterHz_, s.preFilterHz, S::kMinPreFilterHz, S::kMaxPreFilterHz);
    ClampStore(initialDelayMs_, s.initialDelayMs, S::kMinInitialDelayMs, S::kMaxInitialDelayMs);
    // The lower bound follows the initial delay as stored: the final delay
    // stays above it and within its own limit, whatever was typed.
    ClampStore(finalDelayMs_, s.finalDelayMs, s.initialDelayMs + S::kFinalDelayMinGapMs,
               S::kMaxFinalDelayMs);
    ClampStore(modLengthMs_, s.modLengthMs, S::kMinModLengthMs, S::kMaxModLengthMs);
    ClampStore(feedbackPercent_, s.feedbackPercent, S::kMinFeedbackPercent, S::kMaxFeedbackPercent);
  }
}
