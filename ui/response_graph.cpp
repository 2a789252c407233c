#include "ui/response_graph.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {
// The preview of a dragged point.
constexpr QRgb kPreviewColor = 0x8A96A8;
// Side of a point marker at the plot's own size, and the largest it grows.
constexpr int kMarkerSize = 4;
constexpr int kLargestMarker = 7;
}  // namespace

ResponseGraph::ResponseGraph(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ResponseGraph::Create(const QRect& plot, const ValueRange& range, float firstY, float lastY,
                           int margin) {
  const QRect control = plot.adjusted(-margin, -margin, margin, margin);
  setGeometry(control);
  margin_ = margin;
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
  updateGeometry();
  update();
}

void ResponseGraph::SetAxes(PlotAxis x, PlotAxis y) {
  frame_.SetAxes(std::move(x), std::move(y));
  updateGeometry();
  update();
}

void ResponseGraph::SetPointerReadout(PointerText text) {
  pointerText_ = std::move(text);
  setMouseTracking(static_cast<bool>(pointerText_));
}

QMargins ResponseGraph::Surround() const {
  const QMargins labels = frame_.Gutters(fontMetrics());
  return QMargins(std::max(margin_, labels.left()), std::max(margin_, labels.top()),
                  std::max(margin_, labels.right()), std::max(margin_, labels.bottom()));
}

QSize ResponseGraph::minimumSizeHint() const {
  const QMargins around = Surround();
  return QSize(plotRight_ - plotLeft_ + around.left() + around.right(),
               plotBottom_ - plotTop_ + around.top() + around.bottom());
}

QSize ResponseGraph::sizeHint() const {
  return minimumSizeHint();
}

QRectF ResponseGraph::ShownPlot() const {
  return QRectF(rect()).marginsRemoved(QMarginsF(Surround()));
}

QPointF ResponseGraph::ControlPointOfF(QPointF plotPixel) const {
  const QRectF shown = ShownPlot();
  const double kx = shown.width() / (plotRight_ - plotLeft_);
  const double ky = shown.height() / (plotBottom_ - plotTop_);
  return {shown.left() + (plotPixel.x() - plotLeft_) * kx,
          shown.top() + (plotPixel.y() - plotTop_) * ky};
}

QPoint ResponseGraph::ControlPointOf(QPoint plotPixel) const {
  return ControlPointOfF(plotPixel).toPoint();
}

QPoint ResponseGraph::PlotPixelOf(QPointF controlPoint) const {
  const QRectF shown = ShownPlot();
  const double kx = shown.width() / (plotRight_ - plotLeft_);
  const double ky = shown.height() / (plotBottom_ - plotTop_);
  return QPoint(plotLeft_ + static_cast<int>(std::lround((controlPoint.x() - shown.left()) / kx)),
                plotTop_ + static_cast<int>(std::lround((controlPoint.y() - shown.top()) / ky)));
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

QPoint ResponseGraph::LandingPoint(QPoint p) const {
  const int i = selectedPoint_;
  int x = p.x();
  if (i == 0 || i == count_ - 1) {
    x = pixelPoints_[i].x();
  } else {
    x = std::max(x, pixelPoints_[i - 1].x() + kMinSpacing);
    x = std::min(x, pixelPoints_[i + 1].x() - kMinSpacing);
  }
  return QPoint(x, std::clamp(p.y(), plotTop_, plotBottom_));
}

void ResponseGraph::MoveSelectedPoint(QPoint p) {
  pixelPoints_[selectedPoint_] = LandingPoint(p);
}

float ResponseGraph::CurveValueAt(float x) const {
  if (x <= valuePoints_[0].x) {
    return valuePoints_[0].y;
  }
  for (int i = 1; i < count_; ++i) {
    const CurvePoint& a = valuePoints_[i - 1];
    const CurvePoint& b = valuePoints_[i];
    if (x <= b.x) {
      return b.x > a.x ? a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x) : b.y;
    }
  }
  return valuePoints_[count_ - 1].y;
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
  const QPoint p = PlotPixelOf(event->position());
  pointer_ = p;
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
  MoveSelectedPoint(PlotPixelOf(event->position()));
  dragging_ = false;
  CurveChanged();
}

void ResponseGraph::mouseMoveEvent(QMouseEvent* event) {
  pointer_ = PlotPixelOf(event->position());
  pointerInside_ = rect().contains(event->position().toPoint());
  if (pointerText_) {
    update();
  }
}

void ResponseGraph::leaveEvent(QEvent*) {
  pointerInside_ = false;
  update();
}

QString ResponseGraph::PointerReadoutText() const {
  if (!pointerText_ || count_ < 2) {
    return QString();
  }
  if (dragging_) {
    const CurvePoint landing = ValueOf(LandingPoint(pointer_));
    return pointerText_(landing.x, landing.y);
  }
  if (!pointerInside_ || pointer_.x() < plotLeft_ || pointer_.x() > plotRight_ ||
      pointer_.y() < plotTop_ || pointer_.y() > plotBottom_) {
    return QString();
  }
  const float x = ValueOf(pointer_).x;
  return pointerText_(x, CurveValueAt(x));
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
  const QRectF shown = ShownPlot();
  frame_.DrawBackground(painter, shown);
  frame_.DrawFrame(painter, shown);
  if (count_ == 0) {
    return;
  }
  if (showAxes_) {
    painter.setPen(Qt::black);
    painter.drawLine(ControlPointOf(PixelOf(range_.xLeft, 0.0f)),
                     ControlPointOf(PixelOf(range_.xRight, 0.0f)));
    painter.drawLine(ControlPointOf(PixelOf(0.0f, range_.yTop)),
                     ControlPointOf(PixelOf(0.0f, range_.yBottom)));
  }
  std::array<QPointF, kCapacity> line{};
  for (int i = 0; i < count_; ++i) {
    line[i] = ControlPointOfF(pixelPoints_[i]);
  }
  const double scale =
      std::min(shown.width() / (plotRight_ - plotLeft_), shown.height() / (plotBottom_ - plotTop_));
  const int marker =
      std::clamp(static_cast<int>(std::lround(kMarkerSize * scale)), kMarkerSize, kLargestMarker);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, scale > 1.0);
  painter.setPen(QPen(QColor(PlotFrame::kCurveColor), scale > 1.0 ? 2.0 : 1.0));
  painter.drawPolyline(line.data(), count_);
  if (dragging_ && pointerText_) {
    // Where the point will land when the button comes up.
    const QPointF landing = ControlPointOfF(LandingPoint(pointer_));
    painter.setPen(QPen(QColor(kPreviewColor), 1.0, Qt::DashLine));
    const int i = selectedPoint_;
    if (i > 0) {
      painter.drawLine(line[i - 1], landing);
    }
    if (i < count_ - 1) {
      painter.drawLine(landing, line[i + 1]);
    }
    painter.setPen(QPen(QColor(kSelectedColor), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(landing.x() - marker / 2.0 - 1, landing.y() - marker / 2.0 - 1,
                            marker + 2, marker + 2));
  } else if (!PointerReadoutText().isEmpty()) {
    // The curve's output for the input under the pointer.
    const float x = ValueOf(pointer_).x;
    const QPointF on = ControlPointOfF(
        QPointF(plotLeftF_ + (x - xLeft_) / sx_, plotTopF_ + (CurveValueAt(x) - yTop_) / sy_));
    painter.setPen(QPen(QColor(kPreviewColor), 1.0, Qt::DotLine));
    painter.drawLine(QPointF(on.x(), shown.top()), QPointF(on.x(), shown.bottom()));
    painter.setPen(QPen(QColor(PlotFrame::kCurveColor), 1.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(on, 3.5, 3.5);
  }
  painter.restore();
  for (int i = 0; i < count_; ++i) {
    const QColor color(i == selectedPoint_ ? kSelectedColor : kPointColor);
    const QPoint at = ControlPointOf(pixelPoints_[i]);
    painter.fillRect(QRect(at.x() - marker / 2, at.y() - marker / 2, marker, marker), color);
  }
  painter.setPen(Qt::black);
  if (showReadout_) {
    const QRectF textArea(shown.left() + 8, shown.bottom() - 18, shown.width() - 8, 18);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, ReadoutText());
  }
  PaintPointerReadout(painter, shown);
}

void ResponseGraph::PaintPointerReadout(QPainter& painter, const QRectF& shown) const {
  const QString text = PointerReadoutText();
  if (text.isEmpty()) {
    return;
  }
  const QFontMetrics metrics = painter.fontMetrics();
  const QRectF box(shown.left() + 4, shown.top() + 4, metrics.horizontalAdvance(text) + 10,
                   metrics.height() + 4);
  painter.save();
  painter.setPen(QColor(PlotFrame::kGridColor).darker(130));
  painter.setBrush(QColor(255, 255, 255, 230));
  painter.drawRect(box);
  painter.setPen(Qt::black);
  painter.drawText(box, Qt::AlignCenter, text);
  painter.restore();
}
