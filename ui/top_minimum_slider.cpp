#include "ui/top_minimum_slider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

TopMinimumSlider::TopMinimumSlider(QWidget* parent) : QSlider(Qt::Vertical, parent) {
  setInvertedAppearance(true);
  setInvertedControls(true);
}

int TopMinimumSlider::HandleCentreY(int value) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect handle =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  const int span = groove.height() - handle.height();
  return groove.top() + handle.height() / 2 +
         QStyle::sliderPositionFromValue(minimum(), maximum(), value, span, option.upsideDown);
}

// The style fills the groove from the minimum's end to the handle. Drawn as
// a slider with its minimum at the bottom whose handle stands at the mirrored
// value, the handle stays where it is and the fill runs from the bottom.
void TopMinimumSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.upsideDown = !option.upsideDown;
  option.sliderPosition = minimum() + maximum() - option.sliderPosition;
  option.sliderValue = minimum() + maximum() - option.sliderValue;
  option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
  if (tickPosition() != NoTicks) {
    option.subControls |= QStyle::SC_SliderTickmarks;
  }
  style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}
