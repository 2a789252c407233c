#pragma once
// The "Reverb" page: one set of parameters for both channels' reverbs, their
// two mix levels and their enable state. The parameters reach the effects
// when the page's data is taken (the enable box is clicked or the page is
// left) and are heard from the next start; the mix sliders act at once.

#include "ui/parameters_page.h"

class ReverbPage : public ParametersPage {
  Q_OBJECT

 public:
  explicit ReverbPage(QWidget* parent = nullptr);
};
