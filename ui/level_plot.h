#pragma once
// The compressor's levels: for a steady input level (dBFS, across) the level
// it comes out at (dBFS, up), read from the gain table the effect builds from
// the gain curve, with the line where output equals input for reference.
// Below the table's first step (level 128, about -48 dBFS) every level gets
// the same gain, as in the effect.

#include <QWidget>
#include <span>

#include "dsp/curve.h"
#include "effects/compression_effect.h"
#include "ui/plot_frame.h"

class LevelPlot : public QWidget {
  Q_OBJECT

 public:
  // The levels the plot spans, in dBFS.
  static constexpr double kLowestDb = -60.0;
  static constexpr double kHighestDb = 0.0;

  explicit LevelPlot(QWidget* parent = nullptr);

  // Builds the gain table from `curve` (in the gain graph's units) and
  // redraws.
  void SetCurve(std::span<const CurvePoint> curve);
  // The output level, in dBFS, of a steady input at `inputDb` dBFS.
  double OutputLevelDb(double inputDb) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRectF ShownPlot() const;

  CompressionSettings table_;
  PlotFrame frame_;
};
