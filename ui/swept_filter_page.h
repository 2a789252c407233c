#pragma once
// What the AutoWah and FilterMod pages share: the enable box, the two mix
// sliders, the filter type and sweep scaling lists, and the initial and
// final cutoff and resonance of a filter swept through 128 coefficient sets.
// Everything but the mix is written into both effects when the page is left
// and is heard from the next start; the mix acts at once.

#include <QString>
#include <cstdint>
#include <memory>

#include "ui/effect_pair_page.h"

class MixSlider;
class NumberEdit;
class PageForm;
class QCheckBox;
class QComboBox;

class SweptFilterPage : public EffectPairPage {
  Q_OBJECT

 public:
  ~SweptFilterPage() override;

  void OnSetActive() override;
  bool OnKillActive() override;

  // Reads the edits into the page's values, writes them, limited, with the
  // two list indices into both effects, then enables or disables both.
  // False, with the message shown and nothing written, when an entry is not
  // a number.
  bool TakeData();

  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* InputMixSlider() const { return inputMix_; }
  MixSlider* OutputMixSlider() const { return outputMix_; }
  QComboBox* FilterTypeList() const { return filterTypeList_; }
  QComboBox* ScalingList() const { return scalingList_; }
  NumberEdit* InitialCutoffEdit() const { return initialCutoffEdit_; }
  NumberEdit* InitialResonanceEdit() const { return initialResonanceEdit_; }
  NumberEdit* FinalCutoffEdit() const { return finalCutoffEdit_; }
  NumberEdit* FinalResonanceEdit() const { return finalResonanceEdit_; }

 protected:
  // `enableCaption` labels the enable box; `digitsOnly` makes every edit
  // take digits only.
  SweptFilterPage(const QString& title, const QString& enableCaption, bool digitsOnly,
                  QWidget* parent);

  // The form the parameters sit in, for a page's further rows.
  PageForm& Form() { return *form_; }
  // Reads a page's further edits; false when one is refused.
  virtual bool ReadMoreEdits() { return true; }
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
  // The list indices and the four values, limited, into one effect.
  void StoreSweptFilter(const SweptFilterFields& fields) const;

 private:
  void BuildControls(const QString& enableCaption, bool digitsOnly);

  // The page's values as last read from the edits (what was typed, unlimited).
  float initialCutoff_ = 100.0f;
  float initialResonance_ = 0.707f;
  float finalCutoff_ = 10000.0f;
  float finalResonance_ = 0.707f;

  std::unique_ptr<PageForm> form_;
  QCheckBox* enableBox_ = nullptr;
  MixSlider* inputMix_ = nullptr;
  MixSlider* outputMix_ = nullptr;
  QComboBox* filterTypeList_ = nullptr;
  QComboBox* scalingList_ = nullptr;
  NumberEdit* initialCutoffEdit_ = nullptr;
  NumberEdit* initialResonanceEdit_ = nullptr;
  NumberEdit* finalCutoffEdit_ = nullptr;
  NumberEdit* finalResonanceEdit_ = nullptr;
};
