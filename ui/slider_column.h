#pragma once
// A vertical slider with a value text above it and its caption below, as the
// effect pages lay out their mix, delay and feedback controls.
//
// The slider runs from its minimum at the top to its maximum at the bottom,
// and the pages invert what it stands for (a mix position is 512 minus the
// slider position), so the top end is always the largest value and the bar
// fills from the bottom (TopMinimumSlider).

#include <QString>
#include <QWidget>
#include <vector>

#include "ui/slider_scale.h"

class QHBoxLayout;
class QLabel;
class QSlider;

class SliderColumn : public QWidget {
  Q_OBJECT

 public:
  SliderColumn(const QString& caption, int minimum, int maximum, int tickInterval, int position,
               const QString& text, QWidget* parent = nullptr);

  // Labels beside the slider, level with the handle at the positions they
  // name.
  void SetScale(std::vector<SliderScale::Mark> marks);

  int Position() const;
  // Puts the thumb at `position` without reporting a move.
  void SetPosition(int position);
  void SetText(const QString& text);
  QString Text() const;

  QSlider* Slider() const { return slider_; }
  QLabel* ValueLabel() const { return valueLabel_; }
  QLabel* CaptionLabel() const { return captionLabel_; }

 signals:
  // The user moved the thumb (every step of a drag, key, click or wheel).
  void Moved(int position);

 private:
  QSlider* slider_ = nullptr;
  QLabel* valueLabel_ = nullptr;
  QLabel* captionLabel_ = nullptr;
  QHBoxLayout* sliderRow_ = nullptr;
  bool settingPosition_ = false;
};
