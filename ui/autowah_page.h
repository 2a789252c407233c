#pragma once
// The "AutoWah" page of the envelope filter: both channels' filter type,
// sweep scaling, initial and final cutoff and resonance, mix and enable.

#include "ui/swept_filter_page.h"

class AutoWahPage : public SweptFilterPage {
  Q_OBJECT

 public:
  explicit AutoWahPage(QWidget* parent = nullptr);
};
