#pragma once
// The "Chorus" page: one set of parameters for both channels' choruses,
// their two mix levels and their enable state. The parameters reach the
// effects when the page's data is taken (the enable box is clicked or the
// page is left) and are heard from the next start; the mix sliders act at
// once.

#include "ui/effect_pair_page.h"

class MixSlider;
class NumberEdit;
class QCheckBox;

class ChorusPage : public EffectPairPage {
  Q_OBJECT

 public:
  explicit ChorusPage(QWidget* parent = nullptr);

  void OnSetActive() override;
  bool OnKillActive() override;

  // Reads the five edits into the page's values, writes them, limited, into
  // both choruses and enables or disables both. False, with the message
  // shown and nothing written, when an entry is not a number.
  bool TakeData();

  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* InputMixSlider() const { return inputMix_; }
  MixSlider* OutputMixSlider() const { return outputMix_; }
  NumberEdit* PreFilterEdit() const { return preFilterEdit_; }
  NumberEdit* InitialDelayEdit() const { return initialDelayEdit_; }
  NumberEdit* FinalDelayEdit() const { return finalDelayEdit_; }
  NumberEdit* ModLengthEdit() const { return modLengthEdit_; }
  NumberEdit* FeedbackEdit() const { return feedbackEdit_; }

 protected:
  void WriteShownValues() override;

 private:
  void BuildControls();

  // The page's values as last read from the edits (what was typed, unlimited).
  float preFilterHz_ = 8000.0f;
  float initialDelayMs_ = 5.0f;
  float finalDelayMs_ = 10.0f;
  float modLengthMs_ = 2000.0f;
  float feedbackPercent_ = 25.0f;

  QCheckBox* enableBox_ = nullptr;
  MixSlider* inputMix_ = nullptr;
  MixSlider* outputMix_ = nullptr;
  NumberEdit* preFilterEdit_ = nullptr;
  NumberEdit* initialDelayEdit_ = nullptr;
  NumberEdit* finalDelayEdit_ = nullptr;
  NumberEdit* modLengthEdit_ = nullptr;
  NumberEdit* feedbackEdit_ = nullptr;
};
