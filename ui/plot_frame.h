#pragma once
// The frame the pages' plots share: a white plot area with a light grid at
// the ticks of each axis, tick labels outside it, the axis titles with their
// units, and a black outline. Values map linearly onto the plot, from an
// axis's start (left, or top) to its end (right, or bottom).

#include <QColor>
#include <QMargins>
#include <QRectF>
#include <QString>
#include <vector>

class QFontMetrics;
class QPainter;

// A grid line at `value`, labelled with `label` (none when it is empty).
struct PlotTick {
  double value = 0.0;
  QString label;
};

struct PlotAxis {
  double start = 0.0;  // the value at the left (x) or top (y) edge
  double end = 1.0;    // the value at the right (x) or bottom (y) edge
  std::vector<PlotTick> ticks;
  QString title;  // with its unit, e.g. "Gain (dB)"

  // Where `value` lies along an edge that begins at pixel `from` and is
  // `length` pixels long.
  double PixelAt(double value, double from, double length) const {
    return from + (value - start) / (end - start) * length;
  }
};

// Ticks from `first` to `last` (inclusive) every `step`, labelled every
// `labelEvery`-th one counting from `first`, each label the value in whole
// numbers followed by `suffix`. Negative values get a true minus sign.
std::vector<PlotTick> EvenTicks(double first, double last, double step, int labelEvery = 1,
                                const QString& suffix = QString());

// A number as the plots write it: whole, with a minus sign for negative
// values.
QString PlotNumber(double value, int decimals = 0);

class PlotFrame {
 public:
  void SetAxes(PlotAxis x, PlotAxis y);
  bool HasAxes() const { return hasAxes_; }
  const PlotAxis& XAxis() const { return x_; }
  const PlotAxis& YAxis() const { return y_; }

  // Room the labels and titles take on each side of the plot (none without
  // axes).
  QMargins Gutters(const QFontMetrics& metrics) const;

  double X(double value, const QRectF& plot) const {
    return x_.PixelAt(value, plot.left(), plot.width());
  }
  double Y(double value, const QRectF& plot) const {
    return y_.PixelAt(value, plot.top(), plot.height());
  }

  // The white plot and its grid; what a plot draws on comes next.
  void DrawBackground(QPainter& painter, const QRectF& plot) const;
  // The outline, the tick labels and the titles, around `plot`.
  void DrawFrame(QPainter& painter, const QRectF& plot) const;

  static constexpr QRgb kGridColor = 0xE3E6EA;
  static constexpr QRgb kLabelColor = 0x50555C;
  // What the plots draw: their curves, and the markers of points and of the
  // selected one.
  static constexpr QRgb kCurveColor = 0x1F4E8C;
  static constexpr QRgb kMarkerColor = 0x1010F0;
  static constexpr QRgb kSelectedMarkerColor = 0xF01010;
  // Pixels between a tick label and the plot, and between labels and title.
  static constexpr int kLabelGap = 4;

 private:
  bool hasAxes_ = false;
  PlotAxis x_;
  PlotAxis y_;
};
