#include "ui/reverb_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>

#include "effects/reverb_effect.h"
#include "ui/clamp_store.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"
#include "ui/page_form.h"

namespace {
// The number of echoes the page starts with.
constexpr int kInitialEchoCount = 6;
}  // namespace

ReverbPage::ReverbPage(QWidget* parent) : EffectPairPage(QStringLiteral("Reverb"), parent) {
  BuildControls();
}

void ReverbPage::BuildControls() {
  BuildMixControls(QStringLiteral("Enable Reverb"), enableBox_, inputMix_, outputMix_);

  auto* parameters = new QGroupBox(QStringLiteral("Parameters"), this);
  PageForm form(parameters);
  echoSpin_ = new QSpinBox;
  echoSpin_->setRange(ReverbSettings::kMinEchoCount, ReverbSettings::kMaxEchoCount);
  echoSpin_->setValue(kInitialEchoCount);
  // Stepped with its arrows only; its field shows the position.
  echoSpin_->findChild<QLineEdit*>()->setReadOnly(true);
  echoSpin_->setAlignment(Qt::AlignRight);
  form.AddRow(QStringLiteral("Num.of Echoes"), echoSpin_);
  lowCutEdit_ = form.AddNumber(QStringLiteral("Low Cutoff Freq."), QStringLiteral("Hz"));
  highCutEdit_ = form.AddNumber(QStringLiteral("High Cutoff Freq."), QStringLiteral("Hz"));
  minEchoEdit_ = form.AddNumber(QStringLiteral("Min.  Echo Duration"), QStringLiteral("ms."));
  maxEchoEdit_ = form.AddNumber(QStringLiteral("Max. Echo Duration"), QStringLiteral("ms."));
  reverbTimeEdit_ = form.AddNumber(QStringLiteral("Reverberation Time"), QStringLiteral("ms."));
  lowCutEdit_->ShowValue(lowCutHz_);
  highCutEdit_->ShowValue(highCutHz_);
  minEchoEdit_->ShowValue(minEchoMs_);
  maxEchoEdit_->ShowValue(maxEchoMs_);
  reverbTimeEdit_->ShowValue(reverbTimeMs_);

  LayOutMixRow(enableBox_, inputMix_, outputMix_)->addWidget(parameters, 1, Qt::AlignTop);

  connect(enableBox_, &QCheckBox::clicked, this, [this] { TakeData(); });
}

void ReverbPage::OnSetActive() {
  ShowEnableAndMixLevels(enableBox_, inputMix_, outputMix_);
}

bool ReverbPage::OnKillActive() {
  return TakeData();
}

bool ReverbPage::TakeData() {
  if (!lowCutEdit_->TakeValue(lowCutHz_) || !highCutEdit_->TakeValue(highCutHz_) ||
      !minEchoEdit_->TakeValue(minEchoMs_) || !maxEchoEdit_->TakeValue(maxEchoMs_) ||
      !reverbTimeEdit_->TakeValue(reverbTimeMs_)) {
    return false;
  }
  WriteShownValues();
  EnableBoth(enableBox_->isChecked());
  return true;
}

void ReverbPage::WriteShownValues() {
  using S = ReverbSettings;
  for (Effect* effect : {left_, right_}) {
    auto* reverb = dynamic_cast<ReverbEffect*>(effect);
    if (reverb == nullptr) {
      continue;
    }
    S& s = reverb->record;
    s.requestedEchoCount = echoSpin_->value();
    ClampStore(lowCutHz_, s.lowCutHz, S::kMinLowCutHz, S::kMaxLowCutHz);
    ClampStore(highCutHz_, s.highCutHz, S::kMinHighCutHz, S::kMaxHighCutHz);
    ClampStore(minEchoMs_, s.minEchoMs, S::kMinMinEchoMs, S::kMaxMinEchoMs);
    // The lower bound follows the minimum as stored: the longest echo stays
    // above the shortest and within its own limit, whatever was typed.
    ClampStore(maxEchoMs_, s.maxEchoMs, s.minEchoMs + S::kMaxEchoMinGapMs, S::kMaxMaxEchoMs);
    ClampStore(reverbTimeMs_, s.reverbTimeMs, S::kMinReverbTimeMs, S::kMaxReverbTimeMs);
  }
}
