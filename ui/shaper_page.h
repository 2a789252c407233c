#pragma once
// The "Distorsion" page of the wave shaper: both channels' mix levels and
// feedback (acting at once), the transfer curve drawn in a response graph
// (acting at once), and the pre-filter cutoff and enable state, taken when
// the page is left.

#include "ui/curve_page.h"

class NumberEdit;
class SliderColumn;

class ShaperPage : public CurvePage {
  Q_OBJECT

 public:
  // Size of the plot, in pixels.
  static constexpr QSize kPlotSize{156, 116};
  // The feedback slider's tick spacing.
  static constexpr int kFeedbackTickInterval = 26;

  explicit ShaperPage(QWidget* parent = nullptr);

  bool OnKillActive() override;
  void ShowEffectValues() override;

  SliderColumn* FeedbackSlider() const { return feedback_; }

 protected:
  void WriteShownValues() override;
  void HandCurveTo(Effect* effect, std::span<const CurvePoint> curve) override;

 private:
  void OnFeedbackMoved(int sliderPosition);
  void ShowFeedback(int32_t value);
  // The pre-filter cutoff, limited, into both effects; the edit shows it as
  // stored.
  void StorePreFilter();

  // The pre-filter cutoff as last read from its edit, then as stored.
  float preFilterHz_ = 8000.0f;
  SliderColumn* feedback_ = nullptr;
  NumberEdit* preFilterEdit_ = nullptr;
};
