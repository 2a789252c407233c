#pragma once
// What the AutoWah and FilterMod pages share: the filter type and sweep
// scaling lists, and the initial and final cutoff and resonance of a filter
// swept through 128 coefficient sets, besides the enable box and the two mix
// sliders. Everything but the mix is written into both effects when the page
// is left and is heard from the next start; the mix acts at once. Both
// channels get the same limits, so that they filter alike.

#include <QString>

#include "ui/parameters_page.h"

class SweptFilterPage : public ParametersPage {
  Q_OBJECT

 protected:
  // `digitsOnly` makes every edit take digits only.
  SweptFilterPage(const QString& title, const QString& enableCaption, bool digitsOnly,
                  const EffectParameters& parameters, QWidget* parent);
};
