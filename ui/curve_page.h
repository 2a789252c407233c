#pragma once
// What the Distorsion and Compression pages share: the enable box, the two
// mix sliders (acting at once), a few fields, and a curve editor whose curve
// reaches both effects after every change and when the page is left.

#include <QSize>
#include <QString>
#include <span>

#include "dsp/curve.h"
#include "ui/effect_pair_page.h"

class MixSlider;
class QCheckBox;
class ResponseGraph;
struct ValueRange;

class CurvePage : public EffectPairPage {
  Q_OBJECT

 public:
  // Room around the plot for the markers of points on its edges.
  static constexpr int kGraphMargin = 3;

  void OnSetActive() override;

  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* InputMixSlider() const { return inputMix_; }
  MixSlider* OutputMixSlider() const { return outputMix_; }
  ResponseGraph* Graph() const { return graph_; }

 protected:
  CurvePage(const QString& title, const QString& enableCaption, QWidget* parent);

  // Lays the page out: the enable box over the two mix sliders and `extra`
  // (when not null), and beside them `fields` above a group titled
  // `curveTitle` and `beside` (when not null) right of it; the groups take
  // the room the page has. The group holds the curve editor: a plot of
  // `plotSize` pixels whose edges stand for `range`, with the axes drawn and
  // the curve starting from (range.xLeft, firstY) to (range.xRight, lastY).
  void LayOut(QWidget* extra, QWidget* fields, const QString& curveTitle, QSize plotSize,
              const ValueRange& range, float firstY, float lastY, QWidget* beside = nullptr);

  // Hands the curve to one effect; a foreign effect is skipped.
  virtual void HandCurveTo(Effect* effect, std::span<const CurvePoint> curve) = 0;

 private:
  QCheckBox* enableBox_ = nullptr;
  MixSlider* inputMix_ = nullptr;
  MixSlider* outputMix_ = nullptr;
  ResponseGraph* graph_ = nullptr;
};
