#include "ui/mix_slider.h"

#include "ui/plot_frame.h"

#include <utility>
#include <vector>

QString TruncatedPercentText(int32_t position) {
  return QString::number(static_cast<int>(position * kPercentPerPosition)) + QLatin1Char('%');
}

QString RoundedPercentText(int32_t position) {
  return QString::number(static_cast<int>(position * kPercentPerPosition + 0.5)) + QLatin1Char('%');
}

MixSlider::MixSlider(const QString& caption, int sliderPosition, QWidget* parent)
    : SliderColumn(caption, 0, kMixPositionMax, kMixTickInterval, sliderPosition,
                   QStringLiteral("100%"), parent) {
  // 0 %, 50 %, ... 200 % beside the slider.
  std::vector<SliderScale::Mark> marks;
  for (int32_t mix = 0; mix <= kMixPositionMax; mix += kMixPositionUnity / 2) {
    marks.push_back({kMixPositionMax - mix, PlotNumber(mix * kPercentPerPosition) + '%'});
  }
  SetScale(std::move(marks));
  connect(this, &SliderColumn::Moved, this, [this](int sliderPos) {
    const int32_t mixPosition = kMixPositionMax - sliderPos;
    SetText(TruncatedPercentText(mixPosition));
    emit MixMoved(mixPosition);
  });
}
