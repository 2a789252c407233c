#pragma once
// The "Reverb" page: one set of parameters for both channels' reverbs, their
// two mix levels and their enable state. The parameters reach the effects
// when the page's data is taken (the enable box is clicked or the page is
// left) and are heard from the next start; the mix sliders act at once.

#include "ui/parameters_page.h"

class QSpinBox;

class ReverbPage : public ParametersPage {
  Q_OBJECT

 public:
  explicit ReverbPage(QWidget* parent = nullptr);

 protected:
  // The number of echoes and the five values, limited, into both reverbs.
  void WriteShownValues() override;

 private:
  // The page's values: as last read from the edits, then as stored (limited).
  float minEchoMs_ = 20.0f;
  float maxEchoMs_ = 25.0f;
  float lowCutHz_ = 100.0f;
  float highCutHz_ = 4000.0f;
  float reverbTimeMs_ = 1000.0f;

  QSpinBox* echoSpin_ = nullptr;
};
