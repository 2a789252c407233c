#pragma once
// The "Delay" page. Unlike the other effect pages it sets each channel on its
// own: a dry input mix, a dry output mix and a delay amount per channel. The
// delay amounts act on a running line at once, keeping its content.

#include <cstdint>

#include "effects/delay_effect.h"
#include "ui/effect_pair_page.h"

class MixSlider;
class QCheckBox;
class SliderColumn;

class DelayPage : public EffectPairPage {
  Q_OBJECT

 public:
  // Delay sliders: tenths of a millisecond from the largest delay at the top
  // to 0 ms at the bottom; the delay is (max - position) / 10 whole ms.
  static constexpr int kDelayStepsPerMs = 10;
  static constexpr int kDelaySliderMax =
      static_cast<int>(DelaySettings::kMaxDelayMs) * kDelayStepsPerMs;
  static constexpr int kDelayTickInterval = 100;
  // The delay both sliders start at, which both effects get when the page
  // is linked to them.
  static constexpr int kInitialDelayMs = 1;

  explicit DelayPage(QWidget* parent = nullptr);

  void OnSetActive() override;
  bool OnKillActive() override;
  void ShowEffectValues() override;

  // Whole milliseconds of a delay slider position.
  static constexpr int32_t DelayMsFromSlider(int sliderPosition) {
    return (kDelaySliderMax - sliderPosition) / kDelayStepsPerMs;
  }

  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* LeftInputSlider() const { return leftInput_; }
  MixSlider* RightInputSlider() const { return rightInput_; }
  MixSlider* LeftOutputSlider() const { return leftOutput_; }
  MixSlider* RightOutputSlider() const { return rightOutput_; }
  SliderColumn* LeftDelaySlider() const { return leftDelay_; }
  SliderColumn* RightDelaySlider() const { return rightDelay_; }

 protected:
  void WriteShownValues() override;

 private:
  void BuildControls();
  void OnDelayMoved(SliderColumn* slider, Effect* effect, EffectChain* chain, int position);
  static void SetMix(Effect* effect, bool input, int32_t position);
  static void SetDelay(Effect* effect, EffectChain* chain, int32_t ms);

  QCheckBox* enableBox_ = nullptr;
  MixSlider* leftInput_ = nullptr;
  MixSlider* rightInput_ = nullptr;
  MixSlider* leftOutput_ = nullptr;
  MixSlider* rightOutput_ = nullptr;
  SliderColumn* leftDelay_ = nullptr;
  SliderColumn* rightDelay_ = nullptr;
};
