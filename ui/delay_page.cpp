#include "ui/delay_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <array>
#include <utility>

#include "effects/effect_chain.h"
#include "ui/mix_slider.h"
#include "ui/slider_column.h"

namespace {
// Labels beside a delay slider, every so many ms.
constexpr int kDelayScaleStepMs = 25;

// The text above a delay slider.
QString DelayText(int32_t ms) {
  return QString::number(ms) + QStringLiteral(" ms");
}
}  // namespace

DelayPage::DelayPage(QWidget* parent) : EffectPairPage(QStringLiteral("Delay"), parent) {
  BuildControls();
}

void DelayPage::BuildControls() {
  enableBox_ = new QCheckBox(QStringLiteral("Enable Delay"), this);
  // The mix sliders start at the top, whatever the effects hold; entering
  // the page moves them to the levels. The delay sliders start at the delay
  // their text shows, which the effects get when the page is linked.
  leftInput_ = new MixSlider(QStringLiteral("Dry Input Left"), 0, this);
  rightInput_ = new MixSlider(QStringLiteral("Dry Input Right"), 0, this);
  leftOutput_ = new MixSlider(QStringLiteral("Dry Output Left"), 0, this);
  rightOutput_ = new MixSlider(QStringLiteral("Dry Output Right"), 0, this);
  constexpr int kInitialPosition = kDelaySliderMax - kInitialDelayMs * kDelayStepsPerMs;
  static_assert(DelayMsFromSlider(kInitialPosition) == kInitialDelayMs);
  leftDelay_ =
      new SliderColumn(QStringLiteral("Left Delay Amount"), 0, kDelaySliderMax, kDelayTickInterval,
                       kInitialPosition, DelayText(kInitialDelayMs), this);
  rightDelay_ =
      new SliderColumn(QStringLiteral("Right Delay Amount"), 0, kDelaySliderMax, kDelayTickInterval,
                       kInitialPosition, DelayText(kInitialDelayMs), this);

  // 0, 25, ... 100 ms beside the delay sliders.
  for (SliderColumn* delay : {leftDelay_, rightDelay_}) {
    std::vector<SliderScale::Mark> marks;
    for (int ms = 0; ms <= kDelaySliderMax / kDelayStepsPerMs; ms += kDelayScaleStepMs) {
      marks.push_back({kDelaySliderMax - ms * kDelayStepsPerMs, QString::number(ms)});
    }
    delay->SetScale(std::move(marks));
  }

  auto* mixes = new QGroupBox(QStringLiteral("Mix"), this);
  auto* mixRow = new QHBoxLayout(mixes);
  for (MixSlider* slider : {leftInput_, rightInput_, leftOutput_, rightOutput_}) {
    mixRow->addWidget(slider);
  }
  auto* delays = new QGroupBox(QStringLiteral("Delay"), this);
  auto* delayRow = new QHBoxLayout(delays);
  delayRow->addWidget(leftDelay_);
  delayRow->addWidget(rightDelay_);

  auto* row = new QHBoxLayout;
  row->addWidget(mixes, 2);
  row->addWidget(delays, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enableBox_);
  layout->addLayout(row, 1);

  connect(enableBox_, &QCheckBox::clicked, this, [this](bool checked) { EnableBoth(checked); });
  connect(leftInput_, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetMix(left_, true, position); });
  connect(rightInput_, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetMix(right_, true, position); });
  connect(leftOutput_, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetMix(left_, false, position); });
  connect(rightOutput_, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetMix(right_, false, position); });
  connect(leftDelay_, &SliderColumn::Moved, this,
          [this](int position) { OnDelayMoved(leftDelay_, left_, leftChain_, position); });
  connect(rightDelay_, &SliderColumn::Moved, this,
          [this](int position) { OnDelayMoved(rightDelay_, right_, rightChain_, position); });
}

void DelayPage::OnSetActive() {
  enableBox_->setChecked(LeftEnabled());
  // Only the thumbs follow the levels; the texts and the delay sliders keep
  // what they show.
  if (left_ != nullptr) {
    leftInput_->ShowMix(left_->GetDryInputMix());
    leftOutput_->ShowMix(left_->GetDryOutputMix());
  }
  if (right_ != nullptr) {
    rightInput_->ShowMix(right_->GetDryInputMix());
    rightOutput_->ShowMix(right_->GetDryOutputMix());
  }
}

bool DelayPage::OnKillActive() {
  EnableBoth(enableBox_->isChecked());
  return true;
}

void DelayPage::SetMix(Effect* effect, bool input, int32_t position) {
  if (effect == nullptr) {
    return;
  }
  if (input) {
    effect->SetDryInputMix(position);
  } else {
    effect->SetDryOutputMix(position);
  }
}

void DelayPage::OnDelayMoved(SliderColumn* slider, Effect* effect, EffectChain* chain,
                             int position) {
  const int32_t ms = DelayMsFromSlider(position);
  SetDelay(effect, chain, ms);
  slider->SetText(DelayText(ms));
}

void DelayPage::SetDelay(Effect* effect, EffectChain* chain, int32_t ms) {
  if (auto* delay = dynamic_cast<DelayEffect*>(effect)) {
    delay->SetDelayTime(static_cast<float>(ms), chain != nullptr ? chain->sampleRate : 0);
  }
}

void DelayPage::ShowEffectValues() {
  const std::array<std::pair<Effect*, SliderColumn*>, 2> sliders = {
      {{left_, leftDelay_}, {right_, rightDelay_}}};
  for (const auto& [effect, slider] : sliders) {
    if (const auto* delay = dynamic_cast<const DelayEffect*>(effect)) {
      // The slider stands on the whole milliseconds; the effect keeps its
      // time until the slider is moved.
      const int position =
          kDelaySliderMax - static_cast<int>(delay->record.delayMs * kDelayStepsPerMs);
      slider->SetPosition(position);
      slider->SetText(DelayText(DelayMsFromSlider(position)));
    }
  }
}

void DelayPage::WriteShownValues() {
  SetDelay(left_, leftChain_, DelayMsFromSlider(leftDelay_->Position()));
  SetDelay(right_, rightChain_, DelayMsFromSlider(rightDelay_->Position()));
}
