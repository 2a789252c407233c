#include "ui/response_graph.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

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

  count_ = 2;
  shownExactly_ = false;
  pixelPoints_[0] = PixelOf(range.xLeft, firstY);
  pixelPoints_[1] = PixelOf(range.xRight, lastY);
  selectedPoint_ = 1;
  dragging_ = false;
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

void ResponseGraph::SetCurve(std::span<const CurvePoint> points) {
  if (points.size() < 2 || points.size() > static_cast<size_t>(kMaxPoints)) {
    return;
  }
  count_ = static_cast<int32_t>(points.size());
  for (int i = 0; i < count_; ++i) {
    valuePoints_[i] = points[i];
    pixelPoints_[i] = PixelOf(points[i].x, points[i].y);
  }
  selectedPoint_ = count_ - 1;
  dragging_ = false;
  shownExactly_ = true;
  update();
}

void ResponseGraph::TakeOverShownCurve() {
  if (!shownExactly_) {
    return;
  }
  shownExactly_ = false;
  const QPoint last = pixelPoints_[count_ - 1];
  int kept = 1;
  for (int i = 1; i < count_ - 1; ++i) {
    if (pixelPoints_[i].x() >= pixelPoints_[kept - 1].x() + kMinSpacing &&
        pixelPoints_[i].x() <= last.x() - kMinSpacing) {
      pixelPoints_[kept++] = pixelPoints_[i];
    }
  }
  pixelPoints_[kept++] = last;
  count_ = kept;
  selectedPoint_ = std::min(selectedPoint_, count_ - 1);
  RecomputeValuePoints();
}

void ResponseGraph::RecomputeValuePoints() {
  if (shownExactly_) {
    return;
  }
  for (int i = 0; i < count_; ++i) {
    valuePoints_[i] = ValueOf(pixelPoints_[i]);
  }
}

int ResponseGraph::HitTest(QPoint p) const {
  for (int i = 0; i < count_; ++i) {
    if (std::abs(pixelPoints_[i].x() - p.x()) < kHitDistance &&
        std::abs(pixelPoints_[i].y() - p.y()) < kHitDistance) {
      return i;
    }
  }
  return -1;
}

bool ResponseGraph::AddPoint(QPoint p) {
  if (count_ >= kMaxPoints) {
    return false;
  }
  int j = 0;
  while (j < count_ && pixelPoints_[j].x() <= p.x()) {
    ++j;
  }
  if (j == count_ || j == 0) {
    return false;
  }
  if (std::abs(p.x() - pixelPoints_[j - 1].x()) < kMinSpacing ||
      std::abs(p.x() - pixelPoints_[j].x()) < kMinSpacing) {
    return false;
  }
  std::copy_backward(pixelPoints_.begin() + j, pixelPoints_.begin() + count_,
                     pixelPoints_.begin() + count_ + 1);
  std::copy_backward(valuePoints_.begin() + j, valuePoints_.begin() + count_,
                     valuePoints_.begin() + count_ + 1);
  pixelPoints_[j] = p;
  valuePoints_[j] = ValueOf(p);
  selectedPoint_ = j;
  ++count_;
  return true;
}

void ResponseGraph::DeleteSelectedPoint() {
  if (count_ <= 2) {
    return;
  }
  std::copy(pixelPoints_.begin() + selectedPoint_ + 1, pixelPoints_.begin() + count_,
            pixelPoints_.begin() + selectedPoint_);
  --count_;
}

void ResponseGraph::MoveSelectedPoint(QPoint p) {
  const int i = selectedPoint_;
  int x = p.x();
  if (i == 0 || i == count_ - 1) {
    x = pixelPoints_[i].x();
  } else {
    x = std::max(x, pixelPoints_[i - 1].x() + kMinSpacing);
    x = std::min(x, pixelPoints_[i + 1].x() - kMinSpacing);
  }
  const int y = std::clamp(p.y(), plotTop_, plotBottom_);
  pixelPoints_[i] = QPoint(x, y);
}

void ResponseGraph::CurveChanged() {
  RecomputeValuePoints();
  update();
  ApplyCurve();
}

void ResponseGraph::SetReadout(bool show, const QString& xUnit, const QString& yUnit) {
  showReadout_ = show;
  xUnit_ = xUnit;
  yUnit_ = yUnit;
}

void ResponseGraph::ApplyCurve() {
  emit CurveApplied();
}

void ResponseGraph::mousePressEvent(QMouseEvent* event) {
  if (count_ < 2) {
    return;
  }
  TakeOverShownCurve();
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    const int previous = selectedPoint_;
    dragging_ = true;
    selectedPoint_ = HitTest(p);
    if (selectedPoint_ == -1) {
      AddPoint(p);
    }
    if (selectedPoint_ == -1) {
      // Too close to a neighbour: the previous selection stays armed, so the
      // release moves that point.
      selectedPoint_ = previous;
      return;
    }
    CurveChanged();
  } else if (event->button() == Qt::RightButton) {
    if (count_ == 2) {
      return;
    }
    const int hit = HitTest(p);
    if (hit > 0 && hit < count_ - 1) {
      selectedPoint_ = hit;
      DeleteSelectedPoint();
      CurveChanged();
    }
  }
}

// The press grabbed the mouse for this control, so the release arrives here
// even when the pointer has left it; the move is then limited to the plot.
void ResponseGraph::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) {
    return;
  }
  TakeOverShownCurve();
  MoveSelectedPoint(event->position().toPoint());
  CurveChanged();
  dragging_ = false;
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
  if (count_ == 0) {
    return QString();
  }
  const CurvePoint& point = valuePoints_[selectedPoint_];
  return FormatTwoDecimals(point.x) + QLatin1Char(' ') + xUnit_ + QLatin1Char(',') +
         FormatTwoDecimals(point.y) + QLatin1Char(' ') + yUnit_;
}

void ResponseGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(Qt::black);
  painter.setBrush(Qt::white);
  painter.drawRect(plotLeft_, plotTop_, plotRight_ - plotLeft_ - 1, plotBottom_ - plotTop_ - 1);
  if (count_ == 0) {
    return;
  }
  painter.setBrush(Qt::NoBrush);
  if (showAxes_) {
    painter.drawLine(PixelOf(range_.xLeft, 0.0f), PixelOf(range_.xRight, 0.0f));
    painter.drawLine(PixelOf(0.0f, range_.yTop), PixelOf(0.0f, range_.yBottom));
  }
  painter.drawPolyline(pixelPoints_.data(), count_);
  for (int i = 0; i < count_; ++i) {
    const QColor color(i == selectedPoint_ ? kSelectedColor : kPointColor);
    painter.fillRect(QRect(pixelPoints_[i].x() - 2, pixelPoints_[i].y() - 2, 4, 4), color);
  }
  if (showReadout_) {
    const QRect textArea(plotLeft_ + 8, plotBottom_ - 18, plotRight_ - plotLeft_ - 8, 18);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, ReadoutText());
  }
}
