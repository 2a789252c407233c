#include "ui/slider_column.h"

#include <QLabel>
#include <QVBoxLayout>
#include <utility>

#include "ui/top_minimum_slider.h"

namespace {
// Height of the slider track, in pixels.
constexpr int kSliderHeight = 140;
// Narrowest caption, in pixels; captions wrap onto at most two lines.
constexpr int kCaptionMinimumWidth = 84;
constexpr int kCaptionLines = 2;
}  // namespace

SliderColumn::SliderColumn(const QString& caption, int minimum, int maximum, int tickInterval,
                           int position, const QString& text, QWidget* parent)
    : QWidget(parent) {
  valueLabel_ = new QLabel(text, this);
  valueLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);

  slider_ = new TopMinimumSlider(this);
  slider_->setRange(minimum, maximum);
  slider_->setTickPosition(QSlider::TicksBothSides);
  slider_->setTickInterval(tickInterval);
  slider_->setPageStep(tickInterval);
  slider_->setValue(position);
  slider_->setMinimumHeight(kSliderHeight);

  captionLabel_ = new QLabel(caption, this);
  captionLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  captionLabel_->setWordWrap(true);
  // Every caption takes two lines, so that the sliders of a row line up.
  captionLabel_->setMinimumWidth(kCaptionMinimumWidth);
  captionLabel_->setFixedHeight(captionLabel_->fontMetrics().lineSpacing() * kCaptionLines + 2);

  sliderRow_ = new QHBoxLayout;
  sliderRow_->setSpacing(0);
  sliderRow_->addStretch(1);
  sliderRow_->addWidget(slider_);
  sliderRow_->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(valueLabel_);
  layout->addLayout(sliderRow_, 1);
  layout->addWidget(captionLabel_);

  connect(slider_, &QSlider::valueChanged, this, [this](int value) {
    if (!settingPosition_) {
      emit Moved(value);
    }
  });
}

void SliderColumn::SetScale(std::vector<SliderScale::Mark> marks) {
  auto* scale =
      new SliderScale(static_cast<TopMinimumSlider*>(slider_), std::move(marks), QString(), this);
  // Left of the slider, with as much room right of it, so that the slider
  // stays centred under its texts.
  sliderRow_->insertWidget(1, scale);
  sliderRow_->insertSpacing(3, scale->sizeHint().width());
}

int SliderColumn::Position() const {
  return slider_->value();
}

void SliderColumn::SetPosition(int position) {
  settingPosition_ = true;
  slider_->setValue(position);
  settingPosition_ = false;
}

void SliderColumn::SetText(const QString& text) {
  valueLabel_->setText(text);
}

QString SliderColumn::Text() const {
  return valueLabel_->text();
}
