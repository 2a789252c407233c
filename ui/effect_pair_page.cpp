#include "ui/effect_pair_page.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "effects/effect.h"
#include "effects/effect_chain.h"
#include "ui/mix_slider.h"

EffectPairPage::EffectPairPage(const QString& title, QWidget* parent)
    : PropertyPage(title, parent) {}

void EffectPairPage::Link(Effect* left, Effect* right, EffectChain* leftChain,
                          EffectChain* rightChain) {
  left_ = left;
  right_ = right;
  leftChain_ = leftChain;
  rightChain_ = rightChain;
  WriteShownValues();
}

void EffectPairPage::EnableBoth(bool enabled) {
  if (leftChain_ != nullptr && left_ != nullptr) {
    leftChain_->SetEnabled(left_, enabled);
  }
  if (rightChain_ != nullptr && right_ != nullptr) {
    rightChain_->SetEnabled(right_, enabled);
  }
}

void EffectPairPage::SetDryInputMixBoth(int32_t position) {
  for (Effect* effect : {left_, right_}) {
    if (effect != nullptr) {
      effect->SetDryInputMix(position);
    }
  }
}

void EffectPairPage::SetDryOutputMixBoth(int32_t position) {
  for (Effect* effect : {left_, right_}) {
    if (effect != nullptr) {
      effect->SetDryOutputMix(position);
    }
  }
}

void EffectPairPage::ShowMixLevels(MixSlider* input, MixSlider* output) {
  if (left_ != nullptr) {
    input->ShowMix(left_->GetDryInputMix());
    input->ShowRoundedPercent(left_->GetDryInputMix());
    output->ShowRoundedPercent(left_->GetDryOutputMix());
  }
  if (right_ != nullptr) {
    output->ShowMix(right_->GetDryOutputMix());
  }
}

bool EffectPairPage::LeftEnabled() const {
  return left_ != nullptr && (left_->enabled & 1) != 0;
}

void EffectPairPage::BuildMixControls(const QString& enableCaption, QCheckBox*& enableBox,
                                      MixSlider*& input, MixSlider*& output) {
  enableBox = new QCheckBox(enableCaption, this);
  input = new MixSlider(QStringLiteral("Dry Input Mix"), kMixPositionUnity, this);
  output = new MixSlider(QStringLiteral("Dry Output Mix"), kMixPositionUnity, this);
  connect(input, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetDryInputMixBoth(position); });
  connect(output, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetDryOutputMixBoth(position); });
}

QHBoxLayout* EffectPairPage::LayOutMixRow(QCheckBox* enableBox, MixSlider* input, MixSlider* output,
                                          QWidget* extra) {
  auto* row = new QHBoxLayout;
  row->addWidget(input);
  row->addWidget(output);
  if (extra != nullptr) {
    row->addWidget(extra);
  }
  row->addSpacing(12);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enableBox);
  layout->addLayout(row, 1);
  return row;
}

void EffectPairPage::ShowEnableAndMixLevels(QCheckBox* enableBox, MixSlider* input,
                                            MixSlider* output) {
  enableBox->setChecked(LeftEnabled());
  ShowMixLevels(input, output);
}
