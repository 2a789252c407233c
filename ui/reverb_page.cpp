#include "ui/reverb_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

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
  enableBox_ = new QCheckBox(QStringLiteral("Enable Reverb"), this);
  inputMix_ = new MixSlider(QStringLiteral("Dry Input Mix"), kMixSliderMax / 2, this);
  outputMix_ = new MixSlider(QStringLiteral("Dry Output Mix"), kMixSliderMax / 2, this);

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
  lowCutEdit_->ShowValue(lowCutHz);
  highCutEdit_->ShowValue(highCutHz);
  minEchoEdit_->ShowValue(minEchoMs);
  maxEchoEdit_->ShowValue(maxEchoMs);
  reverbTimeEdit_->ShowValue(reverbTimeMs);

  auto* row = new QHBoxLayout;
  row->addWidget(inputMix_);
  row->addWidget(outputMix_);
  row->addSpacing(12);
  row->addWidget(parameters, 1, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enableBox_);
  layout->addLayout(row, 1);

  connect(enableBox_, &QCheckBox::clicked, this, [this] { TakeData(); });
  connect(inputMix_, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetDryInputMixBoth(position); });
  connect(outputMix_, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetDryOutputMixBoth(position); });
}

void ReverbPage::OnSetActive() {
  enableBox_->setChecked(LeftEnabled());
  ShowMixLevels(inputMix_, outputMix_);
}

bool ReverbPage::OnKillActive() {
  return TakeData();
}

bool ReverbPage::TakeData() {
  if (!lowCutEdit_->TakeValue(lowCutHz) || !highCutEdit_->TakeValue(highCutHz) ||
      !minEchoEdit_->TakeValue(minEchoMs) || !maxEchoEdit_->TakeValue(maxEchoMs) ||
      !reverbTimeEdit_->TakeValue(reverbTimeMs)) {
    return false;
  }
  using S = ReverbSettings;
  for (Effect* effect : {left_, right_}) {
    auto* reverb = dynamic_cast<ReverbEffect*>(effect);
    if (reverb == nullptr) {
      continue;
    }
    S& s = reverb->record;
    s.requestedEchoCount = echoSpin_->value();
    ClampStore(lowCutHz, s.lowCutHz, S::kMinLowCutHz, S::kMaxLowCutHz);
    ClampStore(highCutHz, s.highCutHz, S::kMinHighCutHz, S::kMaxHighCutHz);
    ClampStore(minEchoMs, s.minEchoMs, S::kMinMinEchoMs, S::kMaxMinEchoMs);
    // The lower bound follows the minimum as typed, before its limits.
    ClampStore(maxEchoMs, s.maxEchoMs, minEchoMs + S::kMaxEchoMinGapMs, S::kMaxMaxEchoMs);
    ClampStore(reverbTimeMs, s.reverbTimeMs, S::kMinReverbTimeMs, S::kMaxReverbTimeMs);
  }
  EnableBoth(enableBox_->isChecked());
  return true;
}
