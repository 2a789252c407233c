#pragma once
// The "Compression" page: both channels' mix levels (acting at once), the
// gain curve drawn in a response graph with the level across and the gain
// in dB up (acting at once), and the envelope time and enable state, taken
// when the page is left.

#include "ui/effect_pair_page.h"

class MixSlider;
class QCheckBox;
class QSpinBox;
class ResponseGraph;

class CompressionPage : public EffectPairPage {
  Q_OBJECT

 public:
  // Size of the graph, in pixels.
  static constexpr int kGraphWidth = 176;
  // Room around the plot for the markers of points on its edges.
  static constexpr int kGraphMargin = 3;
  static constexpr int kGraphHeight = 120;
  // The envelope time the page starts with, in ms.
  static constexpr int kInitialEnvelopeDelayMs = 5;

  explicit CompressionPage(QWidget* parent = nullptr);

  void OnSetActive() override;
  bool OnKillActive() override;

  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* InputMixSlider() const { return inputMix_; }
  MixSlider* OutputMixSlider() const { return outputMix_; }
  QSpinBox* EnvelopeDelaySpin() const { return envelopeSpin_; }
  ResponseGraph* Graph() const { return graph_; }

 protected:
  void WriteShownValues() override;

 private:
  void BuildControls();
  // Hands the graph's curve to both effects.
  void OnCurveApplied();

  QCheckBox* enableBox_ = nullptr;
  MixSlider* inputMix_ = nullptr;
  MixSlider* outputMix_ = nullptr;
  QSpinBox* envelopeSpin_ = nullptr;
  ResponseGraph* graph_ = nullptr;
};
