#include "ui/response_graph.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "effects/compression_effect.h"
#include "effects/distortion_effect.h"
#include "effects/effect.h"
#include "effects/effect_factory.h"

namespace {
// Points one effect's curve at `points` and, when it is prepared, rebuilds
// its table from them. Effects without a user curve are left alone.
void HandCurveToEffect(Effect* effect, const CurvePoint* points, int32_t count) {
  switch (Effect::TypeIdOf(effect)) {
    case kDistortionEffectId: {
      auto* settings = static_cast<DistortionSettings*>(effect->settings);
      settings->curvePoints = points;
      settings->curvePointCount = count;
      if (effect->prepared) {
        RebuildShapeTable(settings);
      }
      break;
    }
    case kCompressionEffectId: {
      auto* settings = static_cast<CompressionSettings*>(effect->settings);
      settings->curvePoints = points;
      settings->curvePointCount = count;
      if (effect->prepared) {
        RebuildGainTable(settings);
      }
      break;
    }
    default:
      break;
  }
}
}  // namespace

ResponseGraph::ResponseGraph(QWidget* parent) : QWidget(parent) {}

void ResponseGraph::Create(const QRect& plot, const ValueRange& range, float firstY, float lastY,
                           int margin) {
  const QRect control = plot.adjusted(-margin, -margin, margin, margin);
  setGeometry(control);
  setFixedSize(control.size());
  plotLeft_ = margin;
  plotTop_ = margin;
  plotRight_ = margin + plot.width();
  plotBottom_ = margin + plot.height();

  range_ = range;
  sx_ = (range.xRight - range.xLeft) / static_cast<float>(plotRight_ - plotLeft_);
  sy_ = (range.yBottom - range.yTop) / static_cast<float>(plotBottom_ - plotTop_);
  xLeft_ = range.xLeft;
  yTop_ = range.yTop;
  plotLeftF_ = static_cast<float>(plotLeft_);
  plotTopF_ = static_cast<float>(plotTop_);

  count = 2;
  pixelPoints[0] = PixelOf(range.xLeft, firstY);
  pixelPoints[1] = PixelOf(range.xRight, lastY);
  selectedPoint = 1;
  dragging = false;
  RecomputeValuePoints();
  update();
}

CurvePoint ResponseGraph::ValueOf(QPoint pixel) const {
  const float x = (static_cast<float>(pixel.x()) - plotLeftF_) * sx_ + xLeft_;
  const float y = (static_cast<float>(pixel.y()) - plotTopF_) * sy_ + yTop_;
  return {x, y};
}

QPoint ResponseGraph::PixelOf(float x, float y) const {
  const float px = (x - xLeft_) / sx_ + plotLeftF_;
  const float py = (y - yTop_) / sy_ + plotTopF_;
  return QPoint(static_cast<int>(px), static_cast<int>(py));
}

void ResponseGraph::RecomputeValuePoints() {
  for (int i = 0; i < count; ++i) {
    valuePoints[i] = ValueOf(pixelPoints[i]);
  }
}

int ResponseGraph::HitTest(QPoint p) const {
  for (int i = 0; i < count; ++i) {
    if (std::abs(pixelPoints[i].x() - p.x()) < kHitDistance &&
        std::abs(pixelPoints[i].y() - p.y()) < kHitDistance) {
      return i;
    }
  }
  return -1;
}

bool ResponseGraph::AddPoint(QPoint p) {
  if (count >= kMaxPoints) {
    return false;
  }
  int j = 0;
  while (j < count && pixelPoints[j].x() <= p.x()) {
    ++j;
  }
  if (j == count || j == 0) {
    return false;
  }
  if (std::abs(p.x() - pixelPoints[j - 1].x()) < kMinSpacing ||
      std::abs(p.x() - pixelPoints[j].x()) < kMinSpacing) {
    return false;
  }
  std::copy_backward(pixelPoints.begin() + j, pixelPoints.begin() + count,
                     pixelPoints.begin() + count + 1);
  std::copy_backward(valuePoints.begin() + j, valuePoints.begin() + count,
                     valuePoints.begin() + count + 1);
  pixelPoints[j] = p;
  valuePoints[j] = ValueOf(p);
  selectedPoint = j;
  ++count;
  return true;
}

void ResponseGraph::DeleteSelectedPoint() {
  if (count <= 2) {
    return;
  }
  std::copy(pixelPoints.begin() + selectedPoint + 1, pixelPoints.begin() + count,
            pixelPoints.begin() + selectedPoint);
  --count;
}

void ResponseGraph::MoveSelectedPoint(QPoint p) {
  const int i = selectedPoint;
  int x = p.x();
  if (i == 0 || i == count - 1) {
    x = pixelPoints[i].x();
  } else {
    x = std::max(x, pixelPoints[i - 1].x() + kMinSpacing);
    x = std::min(x, pixelPoints[i + 1].x() - kMinSpacing);
  }
  const int y = std::clamp(p.y(), plotTop_, plotBottom_);
  pixelPoints[i] = QPoint(x, y);
}

void ResponseGraph::CurveChanged() {
  RecomputeValuePoints();
  update();
  ApplyCurve();
}

void ResponseGraph::ApplyCurve() {
  for (Effect* target : {targetLeft, targetRight}) {
    HandCurveToEffect(target, valuePoints.data(), count);
  }
}

void ResponseGraph::mousePressEvent(QMouseEvent* event) {
  if (count < 2) {
    return;
  }
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    const int previous = selectedPoint;
    dragging = true;
    selectedPoint = HitTest(p);
    if (selectedPoint == -1) {
      AddPoint(p);
    }
    if (selectedPoint == -1) {
      // Too close to a neighbour: the previous selection stays armed, so the
      // release moves that point.
      selectedPoint = previous;
      return;
    }
    CurveChanged();
  } else if (event->button() == Qt::RightButton) {
    if (count == 2) {
      return;
    }
    const int hit = HitTest(p);
    if (hit > 0 && hit < count - 1) {
      selectedPoint = hit;
      DeleteSelectedPoint();
      CurveChanged();
    }
  }
}

// The press grabbed the mouse for this control, so the release arrives here
// even when the pointer has left it; the move is then limited to the plot.
void ResponseGraph::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging) {
    return;
  }
  MoveSelectedPoint(event->position().toPoint());
  CurveChanged();
  dragging = false;
}

QString ResponseGraph::FormatTwoDecimals(float value) {
  // The decimals are cut from the float's exact value: the product with 100
  // is exact in double, so 3.049 and the float nearest 3.05 both give "04".
  const double magnitude = std::fabs(static_cast<double>(value));
  const double whole = std::trunc(magnitude);
  const int hundredths = static_cast<int>(std::trunc((magnitude - whole) * 100.0));
  QString text = value < 0.0f ? QStringLiteral("-") : QStringLiteral(" ");
  text += QString::number(static_cast<qlonglong>(whole));
  text += QLatin1Char('.');
  text += QStringLiteral("%1").arg(hundredths, 2, 10, QLatin1Char('0'));
  return text;
}

QString ResponseGraph::ReadoutText() const {
  if (count == 0) {
    return QString();
  }
  const CurvePoint& point = valuePoints[selectedPoint];
  return FormatTwoDecimals(point.x) + QLatin1Char(' ') + xUnit + QLatin1Char(',') +
         FormatTwoDecimals(point.y) + QLatin1Char(' ') + yUnit;
}

void ResponseGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(Qt::black);
  painter.setBrush(Qt::white);
  painter.drawRect(plotLeft_, plotTop_, plotRight_ - plotLeft_ - 1, plotBottom_ - plotTop_ - 1);
  if (count == 0) {
    return;
  }
  painter.setBrush(Qt::NoBrush);
  if (showAxes) {
    painter.drawLine(PixelOf(range_.xLeft, 0.0f), PixelOf(range_.xRight, 0.0f));
    painter.drawLine(PixelOf(0.0f, range_.yTop), PixelOf(0.0f, range_.yBottom));
  }
  painter.drawPolyline(pixelPoints.data(), count);
  for (int i = 0; i < count; ++i) {
    const QColor color(i == selectedPoint ? kSelectedColor : kPointColor);
    painter.fillRect(QRect(pixelPoints[i].x() - 2, pixelPoints[i].y() - 2, 4, 4), color);
  }
  if (showReadout) {
    const QRect textArea(plotLeft_ + 8, plotBottom_ - 18, plotRight_ - plotLeft_ - 8, 18);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, ReadoutText());
  }
}
