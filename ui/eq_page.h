#pragma once
// The "Graphic EQ" page: sixteen band sliders, the frequency spacing, and
// the selected band's frequency and gain. The page keeps the 16-point band
// curve of each equalizer, hands both channels identical copies after every
// change, and redesigns both kernels itself whenever a band is shown.
//
// Above the sliders a plot shows the magnitude response of the kernel that
// runs (or, between runs, of the kernel the next run designs from the
// curve), each band above its slider; beside the sliders a dB scale, under
// each slider its band's frequency at the current rate.

#include <array>
#include <cstdint>

#include "effects/equalizer_effect.h"
#include "ui/effect_pair_page.h"

class EqResponsePlot;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;

class EQPage : public EffectPairPage {
  Q_OBJECT

 public:
  // Band sliders run from -20 at the top to 60 at the bottom; gain = -position.
  static constexpr int kSliderMinimum = -static_cast<int>(kEqualizerMaxGainDb);
  static constexpr int kSliderMaximum = -static_cast<int>(kEqualizerMinGainDb);

  explicit EQPage(QWidget* parent = nullptr);

  void OnSetActive() override;
  bool OnKillActive() override;
  void ShowEffectValues() override;

  // The band the frequency and gain boxes show: one value for the whole
  // program, not one per page. Set when a band is shown; a fresh start (or
  // a test) may put it back.
  static int32_t CurrentBand() { return currentBand_; }
  static void SetCurrentBand(int32_t band) { currentBand_ = band; }

  // The controls and curves, for tests and screenshots.
  QSlider* BandSlider(int band) const { return sliders_[band]; }
  QComboBox* SpacingList() const { return spacingList_; }
  QSpinBox* FrequencySpin() const { return frequencySpin_; }
  QLineEdit* GainEdit() const { return gainEdit_; }
  QCheckBox* EnableBox() const { return enableBox_; }
  QLabel* FrequencyLabel(int band) const { return frequencyLabels_[band]; }
  EqResponsePlot* ResponsePlot() const { return plot_; }
  const EqualizerBandCurve& LeftCurve() const { return leftCurve_; }
  const EqualizerBandCurve& RightCurve() const { return rightCurve_; }

 protected:
  // Hands both equalizers the page's curves.
  void WriteShownValues() override;

 private:
  void BuildControls();
  // Sets up the page's curves and hands them to both equalizers.
  void Initialize();
  // Gives each equalizer a copy of its curve; the kernels stay as they are.
  void HandCurvesOver();
  void OnSliderMoved(int band, int position);
  void OnFrequencyStepped(int hz);
  void OnSpacingChanged(int spacing);
  // Shows band `band` in the boxes and redesigns both prepared kernels.
  void ShowBand(int32_t band);
  // Hands the curves over and redesigns both prepared kernels.
  void RedesignKernels();
  // The frequencies under the sliders, from the curve and the rate.
  void ShowBandFrequencies();
  // The response plot: the left equalizer's kernel while it runs, otherwise
  // the one the next run will design, at the chains' block length.
  void ShowResponse();

  static int32_t currentBand_;
  bool initialized_ = false;
  EqualizerBandCurve leftCurve_{};
  EqualizerBandCurve rightCurve_{};
  bool settingFrequency_ = false;
  // Designs the kernel the plot shows between runs.
  EqualizerEffect preview_;
  int32_t previewFrames_ = 0;

  std::array<QSlider*, kEqualizerBandCount> sliders_{};
  std::array<QLabel*, kEqualizerBandCount> frequencyLabels_{};
  EqResponsePlot* plot_ = nullptr;
  QCheckBox* enableBox_ = nullptr;
  QComboBox* spacingList_ = nullptr;
  QSpinBox* frequencySpin_ = nullptr;
  QLineEdit* gainEdit_ = nullptr;
};
