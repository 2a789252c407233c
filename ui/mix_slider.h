#pragma once
// A mix level slider: positions 0..kMixPositionMax with kMixPositionUnity
// shown as "100%", the top of the slider the largest level (mix position =
// kMixPositionMax - slider position).
//
// While the thumb moves the percent text is truncated; when a page is shown
// it is rounded, so a text can change by one when the page comes back.

#include <QString>
#include <cstdint>

#include "effects/effect.h"
#include "ui/slider_column.h"

// Tick spacing of every mix slider.
inline constexpr int kMixTickInterval = 51;
// Percent per mix position (256 is 100 %).
inline constexpr double kPercentPerPosition = 0.390625;

// trunc(position x 0.390625) followed by "%".
QString TruncatedPercentText(int32_t position);
// trunc(position x 0.390625 + 0.5) followed by "%".
QString RoundedPercentText(int32_t position);

class MixSlider : public SliderColumn {
  Q_OBJECT

 public:
  // `sliderPosition` is where the thumb starts; the text starts as "100%".
  explicit MixSlider(const QString& caption, int sliderPosition = kMixPositionUnity,
                     QWidget* parent = nullptr);

  // The mix position the thumb stands for.
  int32_t MixPosition() const { return kMixPositionMax - Position(); }
  // Puts the thumb at a mix position without reporting a move; the text stays.
  void ShowMix(int32_t mixPosition) { SetPosition(kMixPositionMax - mixPosition); }
  void ShowRoundedPercent(int32_t mixPosition) { SetText(RoundedPercentText(mixPosition)); }

 signals:
  // The user moved the thumb to `mixPosition`; the text already shows its
  // truncated percent.
  void MixMoved(int32_t mixPosition);
};
