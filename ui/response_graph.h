#pragma once
// A curve editor: control points joined by straight lines, drawn in a white
// plot whose edges stand for a range of values. A left press on a point
// selects it, a left press on free space adds a point there, and the release
// moves the selected point to where the button came up; a right press on an
// inner point removes it. After every change the graph reports the curve
// (CurveApplied); the hosting page hands it to its effects.
//
// The pixel points are the master copy; the value points are derived from
// them after every change. They are pixels of the plot as it was created:
// when a layout gives the control more room, the plot is drawn larger and
// the pointer is mapped back onto those pixels, so a curve means the same
// at any size.
//
// Around the plot the control can draw axes with a grid, tick labels and
// titles (SetAxes), and a readout that follows the pointer as it moves and
// shows where a dragged point will land (SetPointerReadout).

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "dsp/curve.h"
#include "ui/plot_frame.h"

// The values at the edges of the plot.
struct ValueRange {
  float xLeft = 0.0f;
  float xRight = 0.0f;
  float yTop = 0.0f;
  float yBottom = 0.0f;
};

class ResponseGraph : public QWidget {
  Q_OBJECT

 public:
  // Room in the point arrays, and the most points a curve may have.
  static constexpr int kCapacity = 128;
  static constexpr int kMaxPoints = 127;
  // A press hits a point closer than this in both directions; points keep at
  // least this many pixels between their x coordinates.
  static constexpr int kHitDistance = 4;
  static constexpr int kMinSpacing = 4;
  // Colours of the point markers.
  static constexpr QRgb kSelectedColor = PlotFrame::kSelectedMarkerColor;
  static constexpr QRgb kPointColor = PlotFrame::kMarkerColor;

  explicit ResponseGraph(QWidget* parent = nullptr);

  // Makes `plot` (in the parent's pixels) the plot area, with the control
  // reaching `margin` pixels beyond it on every side so that the markers of
  // points on the plot's edges show whole, and starts the curve with the two
  // end points (xLeft, firstY) and (xRight, lastY); the right one is selected.
  // That is also the control's smallest size; a layout may make it larger.
  void Create(const QRect& plot, const ValueRange& range, float firstY, float lastY,
              int margin = 0);

  // Grid lines, tick labels and titles, in the units of the value range.
  void SetAxes(PlotAxis x, PlotAxis y);
  // While the pointer is over the plot, `text` of the input under it and the
  // curve's output there is shown in the plot's corner; while a point is
  // dragged, of the place it will land on release (with a preview of it).
  using PointerText = std::function<QString(float x, float y)>;
  void SetPointerReadout(PointerText text);
  // The pointer readout now shown; empty when there is none.
  QString PointerReadoutText() const;

  // The plot as drawn, in the control's pixels, and the control's pixel at a
  // plot pixel: the two differ when a layout has made the control larger.
  QRectF ShownPlot() const;
  QPoint ControlPointOf(QPoint plotPixel) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  // What the plot shows besides the curve: the lines x = 0 and y = 0, and a
  // readout of the selected point with a unit after each value.
  void SetShowAxes(bool show) { showAxes_ = show; }
  void SetReadout(bool show, const QString& xUnit, const QString& yUnit);
  bool ShowsAxes() const { return showAxes_; }
  bool ShowsReadout() const { return showReadout_; }

  // Reports the current curve (CurveApplied); the pages also ask for it when
  // they are left.
  void ApplyCurve();

  // Shows the curve of `points` (2..kMaxPoints, in range, x increasing), as
  // a preset brought it: the value points keep these values exactly, and
  // the pixel points are where they fall, until the user first changes the
  // curve. Then the curve becomes the graph's own again: inner points that
  // lie closer than kMinSpacing pixels to the previous one kept (or to the
  // last point) are dropped, and every value follows its pixel.
  void SetCurve(std::span<const CurvePoint> points);

  // The curve in value units, in order of increasing x.
  std::span<const CurvePoint> Curve() const {
    return {valuePoints_.data(), static_cast<size_t>(count_)};
  }
  int32_t PointCount() const { return count_; }
  int32_t SelectedPoint() const { return selectedPoint_; }
  QPoint PixelPoint(int i) const { return pixelPoints_[static_cast<size_t>(i)]; }
  // A left press is waiting for its release.
  bool Dragging() const { return dragging_; }

  // Value of a pixel point and pixel of a value, through the plot mapping.
  CurvePoint ValueOf(QPoint pixel) const;
  QPoint PixelOf(float x, float y) const;
  // The plot in client pixels; its right and bottom edges lie one pixel
  // beyond the last column and row it fills.
  QRect PlotArea() const {
    return QRect(plotLeft_, plotTop_, plotRight_ - plotLeft_, plotBottom_ - plotTop_);
  }
  int PlotRight() const { return plotRight_; }
  int PlotBottom() const { return plotBottom_; }

  // The readout line for the selected point, e.g. " 16384.00 ,-3.50 dB".
  QString ReadoutText() const;
  // A sign character (space or "-"), the truncated integer part of the
  // magnitude, "." and its first two decimals, truncated.
  static QString FormatTwoDecimals(float value);

 signals:
  // The curve changed, or ApplyCurve asked for it: Curve() holds it.
  void CurveApplied();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Index of the first point within kHitDistance of `p` in both directions,
  // or -1.
  int HitTest(QPoint p) const;
  // Inserts `p` between its neighbours and selects it; false when the curve
  // is full or `p` is not strictly inside and clear of both neighbours.
  bool AddPoint(QPoint p);
  // Removes the selected point unless only two are left; the selection keeps
  // its index, now naming the point that followed.
  void DeleteSelectedPoint();
  // Where the selected point goes when the button comes up at `p`: the end
  // points keep their x, an inner point's x stays clear of its neighbours
  // and y within the plot.
  QPoint LandingPoint(QPoint p) const;
  void MoveSelectedPoint(QPoint p);
  // The curve's y at `x`, between the points either side of it.
  float CurveValueAt(float x) const;
  // A control pixel mapped onto the plot's own pixels (nearest).
  QPoint PlotPixelOf(QPointF controlPoint) const;
  QPointF ControlPointOfF(QPointF plotPixel) const;
  // Room around the plot: the margin, or more where labels go.
  QMargins Surround() const;
  void PaintPointerReadout(QPainter& painter, const QRectF& shown) const;
  void RecomputeValuePoints();
  // Makes a curve SetCurve showed the graph's own (see there).
  void TakeOverShownCurve();
  // Derives the values, repaints and reports the curve.
  void CurveChanged();

  // Pixel x coordinates strictly increase, at least kMinSpacing apart; the
  // end points keep the x they were created with.
  int32_t count_ = 0;
  int32_t selectedPoint_ = 0;
  std::array<CurvePoint, kCapacity> valuePoints_{};
  std::array<QPoint, kCapacity> pixelPoints_{};
  bool dragging_ = false;
  // The value points hold a curve SetCurve showed, not derived from pixels.
  bool shownExactly_ = false;
  bool showReadout_ = false;
  bool showAxes_ = false;
  QString xUnit_;
  QString yUnit_;
  PlotFrame frame_;
  PointerText pointerText_;
  // The pointer over the control, in plot pixels, while it is there.
  bool pointerInside_ = false;
  QPoint pointer_;
  int margin_ = 0;

  ValueRange range_;
  int plotLeft_ = 0;
  int plotTop_ = 0;
  int plotRight_ = 0;
  int plotBottom_ = 0;
  // Value units per pixel, and the value and pixel at the top-left corner.
  float sx_ = 1.0f;
  float sy_ = 1.0f;
  float xLeft_ = 0.0f;
  float yTop_ = 0.0f;
  float plotLeftF_ = 0.0f;
  float plotTopF_ = 0.0f;
};
