#pragma once
// What the AutoWah and FilterMod pages share: the filter type and sweep
// scaling lists, and the initial and final cutoff and resonance of a filter
// swept through 128 coefficient sets, besides the enable box and the two mix
// sliders. Everything but the mix is written into both effects when the page
// is left and is heard from the next start; the mix acts at once.

#include <QString>
#include <cstdint>

#include "ui/parameters_page.h"

class QComboBox;

class SweptFilterPage : public ParametersPage {
  Q_OBJECT

 protected:
  // `digitsOnly` makes every edit take digits only.
  SweptFilterPage(const QString& title, const QString& enableCaption, bool digitsOnly,
                  QWidget* parent);

  // Writes the page's values into one effect (skipping a foreign one).
  virtual void StoreInto(Effect* effect) = 0;
  void WriteShownValues() override;

  // The fields of either effect's settings record that the page writes.
  struct SweptFilterFields {
    int32_t& filterKind;
    int32_t& sweepScaling;
    float& initialCutoff;
    float& initialResonance;
    float& finalCutoff;
    float& finalResonance;
  };
  // The list indices and the four values, limited, into one effect; the
  // page's values become the stored ones.
  void StoreSweptFilter(const SweptFilterFields& fields);

 private:
  // The page's values: as last read from the edits, then as stored.
  float initialCutoff_ = 100.0f;
  float initialResonance_ = 0.707f;
  float finalCutoff_ = 10000.0f;
  float finalResonance_ = 0.707f;

  QComboBox* filterTypeList_ = nullptr;
  QComboBox* scalingList_ = nullptr;
};
