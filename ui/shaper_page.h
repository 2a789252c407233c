#pragma once
// The "Distorsion" page of the wave shaper: both channels' mix levels and
// feedback (acting at once), the transfer curve drawn in a response graph
// (acting at once), and the pre-filter cutoff and enable state, taken when
// the page is left.

#include "ui/effect_pair_page.h"

class MixSlider;
class NumberEdit;
class QCheckBox;
class ResponseGraph;
class SliderColumn;

class ShaperPage : public EffectPairPage {
  Q_OBJECT

 public:
  // Where the graph sits on the page, in pixels.
  static constexpr int kGraphWidth = 156;
  // Room around the plot for the markers of points on its edges.
  static constexpr int kGraphMargin = 3;
  static constexpr int kGraphHeight = 116;
  // The feedback slider's tick spacing.
  static constexpr int kFeedbackTickInterval = 26;

  explicit ShaperPage(QWidget* parent = nullptr);

  void OnSetActive() override;
  bool OnKillActive() override;

  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* InputMixSlider() const { return inputMix_; }
  MixSlider* OutputMixSlider() const { return outputMix_; }
  SliderColumn* FeedbackSlider() const { return feedback_; }
  NumberEdit* PreFilterEdit() const { return preFilterEdit_; }
  ResponseGraph* Graph() const { return graph_; }

 protected:
  void WriteShownValues() override;

 private:
  void BuildControls();
  void OnFeedbackMoved(int sliderPosition);
  // Hands the graph's curve to both effects.
  void OnCurveApplied();
  // The pre-filter cutoff, limited, into both effects.
  void StorePreFilter();

  // The pre-filter cutoff as last read from its edit (unlimited).
  float preFilterHz_ = 8000.0f;
  QCheckBox* enableBox_ = nullptr;
  MixSlider* inputMix_ = nullptr;
  MixSlider* outputMix_ = nullptr;
  SliderColumn* feedback_ = nullptr;
  NumberEdit* preFilterEdit_ = nullptr;
  ResponseGraph* graph_ = nullptr;
};
