#pragma once
// A scale drawn beside a vertical slider: each label level with the handle's
// centre at the slider position it names, with a short tick towards a slider
// that draws none of its own, and an optional title along the scale's outer
// edge.

#include <QString>
#include <QWidget>
#include <vector>

class TopMinimumSlider;

class SliderScale : public QWidget {
  Q_OBJECT

 public:
  struct Mark {
    int position;  // a slider position
    QString label;
  };

  SliderScale(const TopMinimumSlider* slider, std::vector<Mark> marks, const QString& title,
              QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const TopMinimumSlider* slider_;
  std::vector<Mark> marks_;
  QString title_;
};
