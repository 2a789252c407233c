#include "ui/eq_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "effects/effect_chain.h"

int32_t EQPage::currentBand = 0;

namespace {
// Hz per radian of angular frequency.
constexpr double kHzPerRadian = 0.15915494309644432;
// Height of the band sliders, in pixels.
constexpr int kBandSliderHeight = 150;

// The spin box's values are 16-bit unsigned numbers.
int AsSpinValue(float value) {
  return static_cast<uint16_t>(static_cast<int32_t>(value));
}
}  // namespace

EQPage::EQPage(QWidget* parent) : EffectPairPage(QStringLiteral("Graphic EQ"), parent) {
  BuildControls();
}

void EQPage::BuildControls() {
  enableBox_ = new QCheckBox(QStringLiteral("Enable EQ"), this);

  spacingList_ = new QComboBox(this);
  for (const char* name : kEqualizerSpacingNames) {
    spacingList_->addItem(QString::fromLatin1(name));
  }
  spacingList_->setCurrentIndex(0);

  frequencySpin_ = new QSpinBox(this);
  frequencySpin_->setRange(0, 0);
  frequencySpin_->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  // The box is stepped with its arrows only; its text follows its position.
  frequencySpin_->findChild<QLineEdit*>()->setReadOnly(true);
  frequencySpin_->setKeyboardTracking(false);
  frequencySpin_->setMinimumWidth(80);
  frequencySpin_->setAlignment(Qt::AlignRight);

  gainEdit_ = new QLineEdit(this);
  gainEdit_->setReadOnly(true);
  gainEdit_->setMaximumWidth(80);
  gainEdit_->setAlignment(Qt::AlignRight);

  auto* top = new QGridLayout;
  top->addWidget(enableBox_, 0, 0, 1, 2);
  top->addWidget(new QLabel(QStringLiteral("Frequency Spacing"), this), 1, 0);
  top->addWidget(spacingList_, 1, 1);
  top->setColumnStretch(2, 1);
  top->addWidget(new QLabel(QStringLiteral("Band Freq."), this), 0, 3);
  top->addWidget(frequencySpin_, 0, 4);
  top->addWidget(new QLabel(QStringLiteral("Hz"), this), 0, 5);
  top->addWidget(new QLabel(QStringLiteral("Band Gain"), this), 1, 3);
  top->addWidget(gainEdit_, 1, 4);
  top->addWidget(new QLabel(QStringLiteral("dB"), this), 1, 5);

  auto* group = new QGroupBox(this);
  auto* bands = new QHBoxLayout(group);
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    auto* slider = new QSlider(Qt::Vertical, group);
    slider->setRange(kSliderMinimum, kSliderMaximum);
    slider->setValue(0);
    slider->setTickPosition(QSlider::NoTicks);
    slider->setPageStep(10);
    // Minimum (+20 dB) at the top; Up moves the thumb up.
    slider->setInvertedAppearance(true);
    slider->setInvertedControls(true);
    slider->setMinimumHeight(kBandSliderHeight);
    slider->setToolTip(QStringLiteral("Band %1").arg(band));
    connect(slider, &QSlider::valueChanged, this,
            [this, band](int position) { OnSliderMoved(band, position); });
    bands->addWidget(slider);
    sliders_[band] = slider;
  }

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(group, 1);

  connect(enableBox_, &QCheckBox::clicked, this, [this] { EnableBoth(enableBox_->isChecked()); });
  connect(spacingList_, &QComboBox::currentIndexChanged, this,
          [this](int index) { OnSpacingChanged(index); });
  connect(frequencySpin_, &QSpinBox::valueChanged, this, [this](int hz) {
    if (!settingFrequency_) {
      OnFrequencyStepped(hz);
    }
  });
}

void EQPage::Initialize() {
  initialized_ = true;
  for (EqualizerBandCurve* curve : {&leftCurve_, &rightCurve_}) {
    SetEqualizerSpacing(*curve, 0);
    for (CurvePoint& point : *curve) {
      point.y = kEqualizerInitialGainDb;
    }
  }
  // The sliders stand at 0 while every band holds +1 dB, until a slider is
  // first moved.
  const std::array<std::pair<Effect*, const EqualizerBandCurve*>, 2> targets = {
      {{left_, &leftCurve_}, {right_, &rightCurve_}}};
  for (const auto& [effect, curve] : targets) {
    if (effect != nullptr) {
      auto* settings = static_cast<EqualizerSettings*>(effect->settings);
      settings->curvePoints = curve->data();
      settings->curvePointCount = kEqualizerBandCount;
    }
  }
  for (QSlider* slider : sliders_) {
    const QSignalBlocker blocker(slider);
    slider->setValue(0);
  }
  const QSignalBlocker blocker(spacingList_);
  spacingList_->setCurrentIndex(0);
}

void EQPage::OnSetActive() {
  if (!initialized_) {
    Initialize();
  }
  ShowBand(currentBand);
  enableBox_->setChecked(LeftEnabled());
}

bool EQPage::OnKillActive() {
  EnableBoth(enableBox_->isChecked());
  return true;
}

void EQPage::OnSliderMoved(int band, int position) {
  const float gainDb = static_cast<float>(-position);
  leftCurve_[band].y = gainDb;
  rightCurve_[band].y = gainDb;
  ShowBand(band);
}

void EQPage::OnFrequencyStepped(int hz) {
  const int32_t sampleRate = leftChain_ != nullptr ? leftChain_->sampleRate : 0;
  // Without a sampling rate there is no angle to give the band; dividing by
  // zero would put an infinite frequency into the curve.
  if (sampleRate <= 0) {
    return;
  }
  const float x = EqualizerBandAngle(hz, sampleRate);
  leftCurve_[currentBand].x = x;
  rightCurve_[currentBand].x = x;
}

void EQPage::OnSpacingChanged(int spacing) {
  SetEqualizerSpacing(leftCurve_, spacing);
  SetEqualizerSpacing(rightCurve_, spacing);
  ShowBand(currentBand);
}

void EQPage::ShowBand(int32_t band) {
  currentBand = band;
  const int32_t sampleRate = leftChain_ != nullptr ? leftChain_->sampleRate : 0;
  const int32_t blockLength = leftChain_ != nullptr ? leftChain_->blockLength : 0;
  const float hz = static_cast<float>(sampleRate * kHzPerRadian);
  // Four bins of the equalizer's transform; no margin while no block length
  // is known yet.
  const int32_t margin = blockLength != 0 ? (2 * sampleRate) / blockLength : 0;

  gainEdit_->setText(QString::number(static_cast<int32_t>(leftCurve_[band].y)));

  int lower = 0;
  int upper = 0;
  int position = 0;
  if (band == kEqualizerBandCount - 1) {
    lower = upper = position = static_cast<uint16_t>(sampleRate / 2);
  } else if (band > 0) {
    lower = AsSpinValue(leftCurve_[band - 1].x * hz + static_cast<float>(margin));
    upper = AsSpinValue(leftCurve_[band + 1].x * hz - static_cast<float>(margin));
    position = AsSpinValue(leftCurve_[band].x * hz);
  }
  settingFrequency_ = true;
  frequencySpin_->setRange(std::min(lower, upper), std::max(lower, upper));
  frequencySpin_->setValue(position);
  settingFrequency_ = false;

  RedesignKernels();
}

void EQPage::RedesignKernels() {
  for (Effect* effect : {left_, right_}) {
    if (effect != nullptr && effect->prepared) {
      DesignEqualizerKernel(static_cast<EqualizerSettings*>(effect->settings));
    }
  }
}
