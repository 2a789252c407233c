#pragma once
// The "Chorus" page: one set of parameters for both channels' choruses,
// their two mix levels and their enable state. The parameters reach the
// effects when the page's data is taken (the enable box is clicked or the
// page is left) and are heard from the next start; the mix sliders act at
// once.

#include "ui/parameters_page.h"

class ChorusPage : public ParametersPage {
  Q_OBJECT

 public:
  explicit ChorusPage(QWidget* parent = nullptr);
};
