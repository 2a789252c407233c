#pragma once
// The equalizer's magnitude response, computed from the taps of its designed
// kernel, over the range of its bands. Each band sits straight above its
// slider, so the frequency axis follows the spacing: linear in Hz for the
// linear spacing, logarithmic for the octave spacings. Grid lines mark the
// bands and every 10 dB; dots mark the band gains the curve asks for, the
// selected band's in red.

#include <QWidget>
#include <array>
#include <vector>

#include "effects/equalizer_effect.h"
#include "ui/plot_frame.h"

class EqResponsePlot : public QWidget {
  Q_OBJECT

 public:
  // The gains the plot spans, in dB: a little beyond the bands' -60..+20.
  static constexpr double kTopDb = 24.0;
  static constexpr double kBottomDb = -66.0;

  explicit EqResponsePlot(QWidget* parent = nullptr);

  // The band sliders, left to right: their centres are where the bands sit.
  void SetBandSliders(const std::array<const QWidget*, kEqualizerBandCount>& sliders);
  // The frequency spacing (an index of kEqualizerSpacingNames) sets the axis.
  void SetSpacing(int32_t spacing);
  // The kernel's taps, from which the response is drawn; none draws no curve.
  void SetTaps(std::vector<float> taps);
  // The band curve (angles and gains) and the selected band, for the dots.
  void SetBands(const EqualizerBandCurve& bands, int32_t selected);

  const std::vector<float>& Taps() const { return taps_; }
  // The angular frequency (radians per sample) at band position `u`
  // (0 = band 0's slider, 15 = band 15's), for the current spacing.
  double AngleAt(double u) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QRectF ShownPlot() const;
  // Band position of an angle: the inverse of AngleAt.
  double PositionOf(double angle) const;
  void ComputeColumns(const QRectF& plot);

  std::array<const QWidget*, kEqualizerBandCount> sliders_{};
  int32_t spacing_ = 0;
  std::vector<float> taps_;
  EqualizerBandCurve bands_{};
  int32_t selected_ = 0;
  PlotFrame frame_;
  // The response at each pixel column, recomputed when the taps or the
  // plot's width change.
  std::vector<double> columnsDb_;
  bool columnsStale_ = true;
};
