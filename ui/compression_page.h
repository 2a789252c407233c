#pragma once
// The "Compression" page: both channels' mix levels (acting at once), the
// gain curve drawn in a response graph with the level across and the gain
// in dB up (acting at once), beside it the input and output levels the
// curve gives, and the envelope time and enable state, taken when the page
// is left.

#include "ui/curve_page.h"

class LevelPlot;
class QSpinBox;

class CompressionPage : public CurvePage {
  Q_OBJECT

 public:
  // Size of the plot, in pixels.
  static constexpr QSize kPlotSize{176, 120};
  // The envelope time the page starts with, in ms.
  static constexpr int kInitialEnvelopeDelayMs = 5;

  explicit CompressionPage(QWidget* parent = nullptr);

  bool OnKillActive() override;
  void ShowEffectValues() override;

  LevelPlot* Levels() const { return levels_; }

 protected:
  void WriteShownValues() override;
  void HandCurveTo(Effect* effect, std::span<const CurvePoint> curve) override;

 private:
  QSpinBox* envelopeSpin_ = nullptr;
  LevelPlot* levels_ = nullptr;
  // The envelope time the page hands over: the spin's position, or the time
  // a preset brought (which may lie between two positions) until the spin
  // is stepped.
  float envelopeDelayMs_ = static_cast<float>(kInitialEnvelopeDelayMs);
};
