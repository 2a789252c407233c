#pragma once
// The "Filt.Mod." page of the filter modulation: both channels' filter type,
// sweep scaling, initial and final cutoff and resonance, modulator length,
// mix and enable. Its edits take digits only.

#include "ui/swept_filter_page.h"

class FilterModPage : public SweptFilterPage {
  Q_OBJECT

 public:
  explicit FilterModPage(QWidget* parent = nullptr);
};
