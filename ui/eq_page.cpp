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
#include <cmath>
#include <vector>

#include "dsp/angles.h"
#include "effects/effect_chain.h"
#include "effects/effect_parameters.h"
#include "ui/eq_response_plot.h"
#include "ui/plot_frame.h"
#include "ui/slider_scale.h"
#include "ui/top_minimum_slider.h"

int32_t EQPage::currentBand_ = 0;

namespace {
// Height of the band sliders, in pixels.
constexpr int kBandSliderHeight = 150;
// Marks of the dB scale beside the sliders, every kScaleStepDb.
constexpr int kScaleStepDb = 10;

// A band frequency as written under its slider, in at most five characters:
// whole Hz below 1 kHz, then kHz with one decimal ("1.5k"), whole kHz from
// 100 kHz (the top bands of files at high rates).
QString BandFrequencyText(double hz) {
  if (hz < 999.5) {
    return QString::number(static_cast<int>(std::lround(hz)));
  }
  return QString::number(hz / 1000.0, 'f', hz < 99950.0 ? 1 : 0) + QLatin1Char('k');
}

// The frequency box of an inner band, in whole Hz.
struct BandLimits {
  int lower;
  int upper;
  int position;
};

// The band at `hz` between neighbours at `belowHz` and `aboveHz` moves
// between them, keeping `margin` Hz from each. Where the neighbours are too
// close for the margin it may move anywhere strictly between them, and where
// no whole Hz lies strictly between them it stays where it is. The limits
// never cross and always include the band's own frequency.
BandLimits InnerBandLimits(float belowHz, float hz, float aboveHz, int32_t margin) {
  const int position = static_cast<int>(hz);
  const int lowest = static_cast<int>(std::floor(belowHz)) + 1;
  const int highest = static_cast<int>(std::ceil(aboveHz)) - 1;
  if (lowest > highest) {
    return {position, position, position};
  }
  int lower = std::max(static_cast<int>(belowHz + static_cast<float>(margin)), lowest);
  int upper = std::min(static_cast<int>(aboveHz - static_cast<float>(margin)), highest);
  if (lower > upper) {
    lower = lowest;
    upper = highest;
  }
  const int shown = std::clamp(position, lowest, highest);
  return {std::min(lower, shown), std::max(upper, shown), shown};
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
  auto* bands = new QGridLayout(group);
  bands->setHorizontalSpacing(2);
  plot_ = new EqResponsePlot(group);
  // Every frequency label is as wide as the widest, so the columns, and with
  // them the bands in the plot, are evenly spaced.
  const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("88.8k")) + 4;
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    // Minimum (+20 dB) at the top; Up moves the thumb up.
    auto* slider = new TopMinimumSlider(group);
    slider->setRange(kSliderMinimum, kSliderMaximum);
    slider->setValue(0);
    slider->setTickPosition(QSlider::NoTicks);
    slider->setPageStep(10);
    slider->setMinimumHeight(kBandSliderHeight);
    slider->setToolTip(QStringLiteral("Band %1").arg(band));
    // Every notification of the slider counts, a press and a release
    // without a move included: each one selects the band.
    connect(slider, &QSlider::valueChanged, this,
            [this, band](int position) { OnSliderMoved(band, position); });
    for (auto notification : {&QSlider::sliderPressed, &QSlider::sliderReleased}) {
      connect(slider, notification, this,
              [this, band, slider] { OnSliderMoved(band, slider->value()); });
    }
    bands->addWidget(slider, 1, band + 1, Qt::AlignHCenter);
    sliders_[band] = slider;

    auto* frequency = new QLabel(group);
    frequency->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    frequency->setMinimumWidth(labelWidth);
    bands->addWidget(frequency, 2, band + 1);
    frequencyLabels_[band] = frequency;
    bands->setColumnStretch(band + 1, 1);
  }
  std::vector<SliderScale::Mark> marks;
  for (int position = kSliderMinimum; position <= kSliderMaximum; position += kScaleStepDb) {
    const int db = -position;
    marks.push_back({position, db > 0 ? QStringLiteral("+%1").arg(db) : PlotNumber(db)});
  }
  bands->addWidget(new SliderScale(static_cast<TopMinimumSlider*>(sliders_[0]), std::move(marks),
                                   QStringLiteral("Gain (dB)"), group),
                   1, 0);
  auto* hz = new QLabel(QStringLiteral("Hz"), group);
  hz->setAlignment(Qt::AlignRight | Qt::AlignTop);
  bands->addWidget(hz, 2, 0);
  bands->addWidget(plot_, 0, 0, 1, kEqualizerBandCount + 1);
  bands->setRowStretch(0, 3);
  bands->setRowStretch(1, 2);
  std::array<const QWidget*, kEqualizerBandCount> columns{};
  std::copy(sliders_.begin(), sliders_.end(), columns.begin());
  plot_->SetBandSliders(columns);

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
  HandCurvesOver();
  for (QSlider* slider : sliders_) {
    const QSignalBlocker blocker(slider);
    slider->setValue(0);
  }
  const QSignalBlocker blocker(spacingList_);
  spacingList_->setCurrentIndex(0);
}

void EQPage::WriteShownValues() {
  if (!initialized_) {
    Initialize();
  }
}

void EQPage::ShowEffectValues() {
  if (dynamic_cast<const EqualizerEffect*>(left_) == nullptr) {
    return;
  }
  initialized_ = true;
  const std::array<std::pair<Effect*, EqualizerBandCurve*>, 2> curves = {
      {{left_, &leftCurve_}, {right_, &rightCurve_}}};
  for (const auto& [effect, curve] : curves) {
    const auto* equalizer = dynamic_cast<const EqualizerEffect*>(effect);
    if (equalizer != nullptr && equalizer->record.curve.Count() == kEqualizerBandCount) {
      std::copy_n(equalizer->record.curve.Points(), kEqualizerBandCount, curve->begin());
    } else {
      // The flat default: every band at 0 dB, spaced linearly.
      *curve = BuildEqualizerCurve({}, kEqualizerMinSpacing);
    }
  }
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    const QSignalBlocker blocker(sliders_[band]);
    sliders_[band]->setValue(-static_cast<int>(std::lround(leftCurve_[band].y)));
  }
  // The spacing the bands follow, as a preset names it.
  const int32_t rate = leftChain_ != nullptr ? leftChain_->sampleRate : 0;
  const ChannelSetup shown = CaptureChannel(*FindEffectKind(kEqualizerEffectId), *left_, rate);
  const QSignalBlocker blocker(spacingList_);
  spacingList_->setCurrentIndex(static_cast<int>(
      std::get<double>(*shown.values[ParameterIndex(kEqualizerParameters, "spacing")])));
  ShowBandFrequencies();
  ShowResponse();
}

void EQPage::OnSetActive() {
  if (!initialized_) {
    Initialize();
  }
  ShowBand(currentBand_);
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
  const int32_t band = currentBand_;
  if (band <= 0 || band >= kEqualizerBandCount - 1) {
    return;  // the end bands are pinned
  }
  const float x = EqualizerBandAngle(hz, sampleRate);
  // The curve's x values stay strictly increasing: a frequency that does not
  // lie strictly between the neighbours' (whole Hz round to the same angle
  // as a neighbour's) is not taken.
  if (!(x > leftCurve_[band - 1].x && x < leftCurve_[band + 1].x)) {
    return;
  }
  leftCurve_[band].x = x;
  rightCurve_[band].x = x;
  // Heard from the next redesign (a slider move, a spacing change, entering
  // the page) or the next run.
  HandCurvesOver();
  ShowBandFrequencies();
  ShowResponse();
}

void EQPage::OnSpacingChanged(int spacing) {
  SetEqualizerSpacing(leftCurve_, spacing);
  SetEqualizerSpacing(rightCurve_, spacing);
  ShowBand(currentBand_);
}

void EQPage::ShowBand(int32_t band) {
  currentBand_ = band;
  const int32_t sampleRate = leftChain_ != nullptr ? leftChain_->sampleRate : 0;
  const int32_t blockFrames = leftChain_ != nullptr ? leftChain_->blockFrames : 0;
  const float hz = static_cast<float>(sampleRate * angles::kHzPerRadian);
  // Four bins of the equalizer's transform of 2 x blockFrames points; no
  // margin while no block length is known yet.
  const int32_t margin = blockFrames != 0 ? (2 * sampleRate) / blockFrames : 0;

  gainEdit_->setText(QString::number(static_cast<int32_t>(leftCurve_[band].y)));

  BandLimits limits{0, 0, 0};
  if (band == kEqualizerBandCount - 1) {
    const int nyquist = sampleRate / 2;
    limits = {nyquist, nyquist, nyquist};
  } else if (band > 0) {
    limits = InnerBandLimits(leftCurve_[band - 1].x * hz, leftCurve_[band].x * hz,
                             leftCurve_[band + 1].x * hz, margin);
  }
  settingFrequency_ = true;
  frequencySpin_->setRange(limits.lower, limits.upper);
  frequencySpin_->setValue(limits.position);
  settingFrequency_ = false;

  RedesignKernels();
  ShowBandFrequencies();
  ShowResponse();
}

void EQPage::ShowBandFrequencies() {
  const int32_t sampleRate = leftChain_ != nullptr ? leftChain_->sampleRate : 0;
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    const double hz = leftCurve_[band].x * sampleRate * angles::kHzPerRadian;
    const QString text = sampleRate > 0 ? BandFrequencyText(hz) : QString();
    frequencyLabels_[band]->setText(text);
    sliders_[band]->setToolTip(sampleRate > 0
                                   ? QStringLiteral("Band %1: %2 Hz").arg(band).arg(std::lround(hz))
                                   : QStringLiteral("Band %1").arg(band));
  }
}

void EQPage::ShowResponse() {
  plot_->SetSpacing(spacingList_->currentIndex());
  plot_->SetBands(leftCurve_, currentBand_);
  auto* left = dynamic_cast<EqualizerEffect*>(left_);
  if (left != nullptr && left->prepared) {
    plot_->SetTaps(EqualizerKernelTaps(left->record));
    return;
  }
  const int32_t blockFrames = leftChain_ != nullptr ? leftChain_->blockFrames : 0;
  if (blockFrames <= 0) {
    plot_->SetTaps({});
    return;
  }
  if (preview_.prepared && previewFrames_ != blockFrames) {
    preview_.Release();
  }
  preview_.SetBandCurve(leftCurve_);
  if (preview_.prepared) {
    DesignEqualizerKernel(&preview_.record);
  } else {
    preview_.Prepare(preview_.settings, blockFrames, leftChain_->sampleRate);
    previewFrames_ = blockFrames;
  }
  plot_->SetTaps(EqualizerKernelTaps(preview_.record));
}

void EQPage::HandCurvesOver() {
  const std::array<std::pair<Effect*, const EqualizerBandCurve*>, 2> targets = {
      {{left_, &leftCurve_}, {right_, &rightCurve_}}};
  for (const auto& [effect, curve] : targets) {
    if (auto* equalizer = dynamic_cast<EqualizerEffect*>(effect)) {
      equalizer->SetBandCurve(*curve);
    }
  }
}

void EQPage::RedesignKernels() {
  HandCurvesOver();
  for (Effect* effect : {left_, right_}) {
    if (auto* equalizer = dynamic_cast<EqualizerEffect*>(effect);
        equalizer && equalizer->prepared) {
      DesignEqualizerKernel(&equalizer->record);
    }
  }
}
