#include "ui/eq_response_plot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <utility>

#include "dsp/angles.h"

namespace {
constexpr double kLastBand = kEqualizerBandCount - 1;
// The area between the response and 0 dB.
constexpr QRgb kFillColor = 0x3A78C8;
// The plot at its smallest height, and its width when no sliders are set.
constexpr int kSmallestHeight = 110;
constexpr int kSmallestWidth = 320;

PlotAxis GainAxis() {
  PlotAxis axis{EqResponsePlot::kTopDb, EqResponsePlot::kBottomDb, {}, QStringLiteral("dB")};
  for (int db = -60; db <= 20; db += 10) {
    QString label;
    if (db % 20 == 0) {
      label = db > 0 ? QStringLiteral("+%1").arg(db) : PlotNumber(db);
    }
    axis.ticks.push_back({static_cast<double>(db), label});
  }
  return axis;
}
}  // namespace

EqResponsePlot::EqResponsePlot(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  PlotAxis bands{0.0, kLastBand, {}, QString()};
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    bands.ticks.push_back({static_cast<double>(band), QString()});
  }
  frame_.SetAxes(std::move(bands), GainAxis());
}

void EqResponsePlot::SetBandSliders(
    const std::array<const QWidget*, kEqualizerBandCount>& sliders) {
  sliders_ = sliders;
  columnsStale_ = true;
  update();
}

void EqResponsePlot::SetSpacing(int32_t spacing) {
  if (spacing != spacing_) {
    spacing_ = spacing;
    columnsStale_ = true;
    update();
  }
}

void EqResponsePlot::SetTaps(std::vector<float> taps) {
  taps_ = std::move(taps);
  columnsStale_ = true;
  update();
}

void EqResponsePlot::SetBands(const EqualizerBandCurve& bands, int32_t selected) {
  bands_ = bands;
  selected_ = selected;
  update();
}

double EqResponsePlot::AngleAt(double u) const {
  if (spacing_ <= 0) {
    return u * angles::kLinearBandStep;
  }
  // Octave fractions 1/(s + 1) counted down from the top band at pi.
  return angles::kPiFloat * std::exp2((u - kLastBand) / (spacing_ + 1));
}

double EqResponsePlot::PositionOf(double angle) const {
  if (spacing_ <= 0) {
    return angle / angles::kLinearBandStep;
  }
  if (angle <= 0.0) {
    return -1.0;  // left of the plot
  }
  return kLastBand + (spacing_ + 1) * std::log2(angle / angles::kPiFloat);
}

QSize EqResponsePlot::minimumSizeHint() const {
  return QSize(kSmallestWidth, kSmallestHeight);
}

QSize EqResponsePlot::sizeHint() const {
  return minimumSizeHint();
}

QRectF EqResponsePlot::ShownPlot() const {
  const int line = fontMetrics().height();
  double left = frame_.Gutters(fontMetrics()).left();
  double right = width() - line;
  if (sliders_[0] != nullptr && sliders_[kEqualizerBandCount - 1] != nullptr) {
    auto centre = [this](const QWidget* slider) {
      const QPoint inWindow = slider->mapTo(window(), QPoint(slider->width() / 2, 0));
      return static_cast<double>(mapFrom(window(), inWindow).x());
    };
    left = centre(sliders_[0]);
    right = centre(sliders_[kEqualizerBandCount - 1]);
  }
  return QRectF(QPointF(left, line / 2.0), QPointF(right, height() - line / 2.0));
}

void EqResponsePlot::resizeEvent(QResizeEvent*) {
  columnsStale_ = true;
}

void EqResponsePlot::ComputeColumns(const QRectF& plot) {
  const int columns = std::max(2, static_cast<int>(std::lround(plot.width())));
  columnsDb_.assign(static_cast<size_t>(columns) + 1, kBottomDb);
  if (!taps_.empty()) {
    for (int i = 0; i <= columns; ++i) {
      const double u = kLastBand * i / columns;
      columnsDb_[static_cast<size_t>(i)] = FilterGainDb(taps_, AngleAt(u));
    }
  }
  columnsStale_ = false;
}

void EqResponsePlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRectF plot = ShownPlot();
  if (plot.width() < 2 || plot.height() < 2) {
    return;
  }
  frame_.DrawBackground(painter, plot);
  frame_.DrawFrame(painter, plot);
  painter.setClipRect(plot);
  painter.setRenderHint(QPainter::Antialiasing);
  // The 0 dB line.
  painter.setPen(QColor(PlotFrame::kLabelColor));
  const double zero = frame_.Y(0.0, plot);
  painter.drawLine(QPointF(plot.left(), zero), QPointF(plot.right(), zero));

  if (!taps_.empty()) {
    if (columnsStale_ || static_cast<int>(columnsDb_.size()) - 1 !=
                             std::max(2, static_cast<int>(std::lround(plot.width())))) {
      ComputeColumns(plot);
    }
    const int columns = static_cast<int>(columnsDb_.size()) - 1;
    QPainterPath curve;
    for (int i = 0; i <= columns; ++i) {
      const double db = std::clamp(columnsDb_[static_cast<size_t>(i)], kBottomDb - 1, kTopDb + 1);
      const QPointF point(plot.left() + plot.width() * i / columns, frame_.Y(db, plot));
      if (i == 0) {
        curve.moveTo(point);
      } else {
        curve.lineTo(point);
      }
    }
    QPainterPath area = curve;
    area.lineTo(plot.right(), zero);
    area.lineTo(plot.left(), zero);
    area.closeSubpath();
    QColor fill(kFillColor);
    fill.setAlpha(48);
    painter.fillPath(area, fill);
    painter.setPen(QPen(QColor(PlotFrame::kCurveColor), 2.0));
    painter.drawPath(curve);
  }

  for (int band = 0; band < kEqualizerBandCount; ++band) {
    const double u = PositionOf(bands_[band].x);
    const QPointF at(frame_.X(std::clamp(u, 0.0, kLastBand), plot),
                     frame_.Y(std::clamp<double>(bands_[band].y, kBottomDb, kTopDb), plot));
    painter.setPen(Qt::white);
    painter.setBrush(
        QColor(band == selected_ ? PlotFrame::kSelectedMarkerColor : PlotFrame::kMarkerColor));
    painter.drawEllipse(at, 3.5, 3.5);
  }
}
