#include "ui/level_plot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {
// The full-scale level, 0 dBFS.
constexpr double kFullScale = 32768.0;
// The plot at its smallest, without its labels.
constexpr QSize kSmallestPlot(120, 110);
constexpr QRgb kReferenceColor = 0x9AA3AE;

double Decibels(double level) {
  return 20.0 * std::log10(level / kFullScale);
}
}  // namespace

LevelPlot::LevelPlot(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  PlotAxis x{kLowestDb, kHighestDb, EvenTicks(kLowestDb, kHighestDb, 10.0, 2),
             QStringLiteral("Input level (dBFS)")};
  PlotAxis y{kHighestDb, kLowestDb, EvenTicks(kLowestDb, kHighestDb, 10.0, 2),
             QStringLiteral("Output level (dBFS)")};
  frame_.SetAxes(std::move(x), std::move(y));
  table_.gainTable.assign(CompressionSettings::kGainTableSize, 1.0f);
}

void LevelPlot::SetCurve(std::span<const CurvePoint> curve) {
  if (curve.size() < 2) {
    return;
  }
  table_.curve.Assign(curve, curve);
  RebuildGainTable(&table_);
  update();
}

double LevelPlot::OutputLevelDb(double inputDb) const {
  const double level = kFullScale * std::pow(10.0, inputDb / 20.0);
  const auto held = static_cast<int32_t>(std::min(level, kFullScale - 1.0));
  const double out = CompressedLevel(table_, std::max(held, 1));
  return Decibels(std::max(out, 1e-3));
}

QSize LevelPlot::minimumSizeHint() const {
  const QMargins gutters = frame_.Gutters(fontMetrics());
  return kSmallestPlot.grownBy(gutters);
}

QSize LevelPlot::sizeHint() const {
  return minimumSizeHint();
}

QRectF LevelPlot::ShownPlot() const {
  return QRectF(rect()).marginsRemoved(QMarginsF(frame_.Gutters(fontMetrics())));
}

void LevelPlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRectF plot = ShownPlot();
  frame_.DrawBackground(painter, plot);
  frame_.DrawFrame(painter, plot);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setClipRect(plot);
  painter.setPen(QPen(QColor(kReferenceColor), 1.0, Qt::DashLine));
  painter.drawLine(QPointF(frame_.X(kLowestDb, plot), frame_.Y(kLowestDb, plot)),
                   QPointF(frame_.X(kHighestDb, plot), frame_.Y(kHighestDb, plot)));
  QPainterPath path;
  const int columns = std::max(2, static_cast<int>(plot.width()));
  for (int i = 0; i <= columns; ++i) {
    const double inputDb = kLowestDb + (kHighestDb - kLowestDb) * i / columns;
    const QPointF point(frame_.X(inputDb, plot), frame_.Y(OutputLevelDb(inputDb), plot));
    if (i == 0) {
      path.moveTo(point);
    } else {
      path.lineTo(point);
    }
  }
  painter.setPen(QPen(QColor(PlotFrame::kCurveColor), 2.0));
  painter.drawPath(path);
}
