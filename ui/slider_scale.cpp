#include "ui/slider_scale.h"

#include <QPainter>
#include <algorithm>
#include <utility>

#include "ui/plot_frame.h"
#include "ui/top_minimum_slider.h"

namespace {
constexpr int kTickLength = 4;
}  // namespace

SliderScale::SliderScale(const TopMinimumSlider* slider, std::vector<Mark> marks,
                         const QString& title, QWidget* parent)
    : QWidget(parent), slider_(slider), marks_(std::move(marks)), title_(title) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

QSize SliderScale::minimumSizeHint() const {
  int widest = 0;
  for (const Mark& mark : marks_) {
    widest = std::max(widest, fontMetrics().horizontalAdvance(mark.label));
  }
  const int titleWidth = title_.isEmpty() ? 0 : fontMetrics().height() + PlotFrame::kLabelGap;
  return QSize(titleWidth + widest + PlotFrame::kLabelGap + kTickLength, 0);
}

QSize SliderScale::sizeHint() const {
  return minimumSizeHint();
}

void SliderScale::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QColor(PlotFrame::kLabelColor));
  const int line = fontMetrics().height();
  const int labelRight = width() - kTickLength - PlotFrame::kLabelGap;
  int top = height();
  int bottom = 0;
  for (const Mark& mark : marks_) {
    const int y =
        mapFrom(slider_->window(),
                slider_->mapTo(slider_->window(), QPoint(0, slider_->HandleCentreY(mark.position))))
            .y();
    top = std::min(top, y);
    bottom = std::max(bottom, y);
    if (slider_->tickPosition() == QSlider::NoTicks) {
      painter.drawLine(width() - kTickLength, y, width() - 1, y);
    }
    painter.drawText(QRect(0, y - line / 2, labelRight, line), Qt::AlignRight | Qt::AlignVCenter,
                     mark.label);
  }
  if (!title_.isEmpty() && bottom > top) {
    painter.translate(0, (top + bottom) / 2.0);
    painter.rotate(-90);
    painter.drawText(QRectF(-(bottom - top) / 2.0, 0, bottom - top, line), Qt::AlignCenter, title_);
  }
}
