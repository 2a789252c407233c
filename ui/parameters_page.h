#pragma once
// What the Chorus, Reverb, AutoWah and FilterMod pages share: the enable box,
// the two mix sliders (acting at once) and a "Parameters" group of rows.
// The values typed into the group reach both effects when the page's data is
// taken (the page is left and, on some pages, the enable box is clicked) and
// are heard from the next start.

#include <QString>
#include <memory>
#include <utility>
#include <vector>

#include "ui/effect_pair_page.h"

class MixSlider;
class NumberEdit;
class PageForm;
class QCheckBox;

class ParametersPage : public EffectPairPage {
  Q_OBJECT

 public:
  ~ParametersPage() override;

  void OnSetActive() override;
  bool OnKillActive() override;

  // Reads every value edit into its value, writes the values, limited, into
  // both effects (WriteShownValues), shows a limited value as stored, and
  // enables or disables both. False, with the message shown and nothing
  // written, when an entry is not a number.
  bool TakeData();

  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* InputMixSlider() const { return inputMix_; }
  MixSlider* OutputMixSlider() const { return outputMix_; }

 protected:
  // `enableCaption` labels the enable box; with `enableTakesData` a click on
  // it takes the page's data, otherwise its state waits for the page to be
  // left like everything else.
  ParametersPage(const QString& title, const QString& enableCaption, bool enableTakesData,
                 QWidget* parent);

  // The form in the "Parameters" group, for rows of the page's own.
  PageForm& Form() { return *form_; }
  // A row with an edit that shows `value` and reads back into it when the
  // data is taken, edits in the order they were added. `value` is the
  // page's copy: what was typed, until WriteShownValues stores it limited.
  NumberEdit* AddValueEdit(const QString& label, const QString& unit, float& value,
                           bool digitsOnly);

 private:
  std::unique_ptr<PageForm> form_;
  std::vector<std::pair<NumberEdit*, float*>> values_;
  QCheckBox* enableBox_ = nullptr;
  MixSlider* inputMix_ = nullptr;
  MixSlider* outputMix_ = nullptr;
};
