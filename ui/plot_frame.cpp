#include "ui/plot_frame.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {
constexpr QChar kMinusSign(0x2212);
}  // namespace

QString PlotNumber(double value, int decimals) {
  QString text = QString::number(std::fabs(value), 'f', decimals);
  // -0.4 written with no decimals is "0", not "-0".
  if (value < 0.0 && text != QString::number(0.0, 'f', decimals)) {
    text.prepend(kMinusSign);
  }
  return text;
}

std::vector<PlotTick> EvenTicks(double first, double last, double step, int labelEvery,
                                const QString& suffix) {
  std::vector<PlotTick> ticks;
  const int count = static_cast<int>(std::floor((last - first) / step + 1e-9)) + 1;
  for (int i = 0; i < count; ++i) {
    const double value = first + i * step;
    ticks.push_back({value, i % labelEvery == 0 ? PlotNumber(value) + suffix : QString()});
  }
  return ticks;
}

void PlotFrame::SetAxes(PlotAxis x, PlotAxis y) {
  x_ = std::move(x);
  y_ = std::move(y);
  hasAxes_ = true;
}

QMargins PlotFrame::Gutters(const QFontMetrics& metrics) const {
  if (!hasAxes_) {
    return {};
  }
  int widestY = 0;
  for (const PlotTick& tick : y_.ticks) {
    widestY = std::max(widestY, metrics.horizontalAdvance(tick.label));
  }
  int lastX = 0;
  if (!x_.ticks.empty()) {
    lastX = metrics.horizontalAdvance(x_.ticks.back().label);
  }
  const int line = metrics.height();
  const int left = (y_.title.isEmpty() ? 0 : line + kLabelGap) + widestY + kLabelGap;
  const int bottom = line + kLabelGap + (x_.title.isEmpty() ? 0 : line);
  return QMargins(left, line / 2, std::max(lastX / 2, 2), bottom);
}

void PlotFrame::DrawBackground(QPainter& painter, const QRectF& plot) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(plot, Qt::white);
  if (hasAxes_) {
    painter.setPen(QColor(kGridColor));
    for (const PlotTick& tick : x_.ticks) {
      const double x = std::round(X(tick.value, plot));
      painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    for (const PlotTick& tick : y_.ticks) {
      const double y = std::round(Y(tick.value, plot));
      painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
  }
  painter.restore();
}

void PlotFrame::DrawFrame(QPainter& painter, const QRectF& plot) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot.adjusted(0, 0, -1, -1));
  if (!hasAxes_) {
    painter.restore();
    return;
  }
  const QFontMetrics metrics = painter.fontMetrics();
  const int line = metrics.height();
  painter.setPen(QColor(kLabelColor));
  for (const PlotTick& tick : y_.ticks) {
    if (tick.label.isEmpty()) {
      continue;
    }
    const double y = Y(tick.value, plot);
    const QRectF box(0, y - line / 2.0, plot.left() - kLabelGap, line);
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, tick.label);
  }
  for (const PlotTick& tick : x_.ticks) {
    if (tick.label.isEmpty()) {
      continue;
    }
    const double x = X(tick.value, plot);
    const double width = metrics.horizontalAdvance(tick.label) + 2;
    const QRectF box(x - width / 2, plot.bottom() + kLabelGap, width, line);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, tick.label);
  }
  if (!x_.title.isEmpty()) {
    const QRectF box(plot.left(), plot.bottom() + kLabelGap + line, plot.width(), line);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, x_.title);
  }
  if (!y_.title.isEmpty()) {
    painter.translate(0, plot.center().y());
    painter.rotate(-90);
    const QRectF box(-plot.height() / 2, 0, plot.height(), line);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, y_.title);
  }
  painter.restore();
}
