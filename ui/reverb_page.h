#pragma once
// The "Reverb" page: one set of parameters for both channels' reverbs, their
// two mix levels and their enable state. The parameters reach the effects
// when the page's data is taken (the enable box is clicked or the page is
// left) and are heard from the next start; the mix sliders act at once.

#include "ui/effect_pair_page.h"

class MixSlider;
class NumberEdit;
class QCheckBox;
class QSpinBox;

class ReverbPage : public EffectPairPage {
  Q_OBJECT

 public:
  explicit ReverbPage(QWidget* parent = nullptr);

  void OnSetActive() override;
  bool OnKillActive() override;

  // Reads the five edits into the page's values, writes them and the number
  // of echoes, limited, into both reverbs and enables or disables both.
  // False, with the message shown and nothing written, when an entry is not
  // a number.
  bool TakeData();

  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* InputMixSlider() const { return inputMix_; }
  MixSlider* OutputMixSlider() const { return outputMix_; }
  QSpinBox* EchoCountSpin() const { return echoSpin_; }
  NumberEdit* LowCutEdit() const { return lowCutEdit_; }
  NumberEdit* HighCutEdit() const { return highCutEdit_; }
  NumberEdit* MinEchoEdit() const { return minEchoEdit_; }
  NumberEdit* MaxEchoEdit() const { return maxEchoEdit_; }
  NumberEdit* ReverbTimeEdit() const { return reverbTimeEdit_; }

 protected:
  void WriteShownValues() override;

 private:
  void BuildControls();

  // The page's values as last read from the edits (what was typed, unlimited).
  float minEchoMs_ = 20.0f;
  float maxEchoMs_ = 25.0f;
  float lowCutHz_ = 100.0f;
  float highCutHz_ = 4000.0f;
  float reverbTimeMs_ = 1000.0f;

  QCheckBox* enableBox_ = nullptr;
  MixSlider* inputMix_ = nullptr;
  MixSlider* outputMix_ = nullptr;
  QSpinBox* echoSpin_ = nullptr;
  NumberEdit* lowCutEdit_ = nullptr;
  NumberEdit* highCutEdit_ = nullptr;
  NumberEdit* minEchoEdit_ = nullptr;
  NumberEdit* maxEchoEdit_ = nullptr;
  NumberEdit* reverbTimeEdit_ = nullptr;
};
