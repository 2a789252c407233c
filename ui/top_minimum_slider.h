#pragma once
// A vertical slider whose minimum sits at the top, as the pages' sliders run
// (a page turns the position around, so the top stands for the largest
// value), drawn with its filled part from the bottom up to the handle: a
// fuller bar means a larger value. Up, Page Up and the wheel turned up move
// the handle up. Only the drawing differs from a plain inverted slider.

#include <QSlider>

class TopMinimumSlider : public QSlider {
  Q_OBJECT

 public:
  explicit TopMinimumSlider(QWidget* parent = nullptr);

  // Where the handle's centre sits, in the slider's own pixels, when it
  // stands at `value`: what a scale drawn beside the slider lines up with.
  int HandleCentreY(int value) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
