#pragma once
// What the Chorus, Reverb, AutoWah and FilterMod pages share: the enable box,
// the two mix sliders (acting at once) and a "Parameters" group of rows, each
// bound to a parameter of the effect's table by its key. The values typed
// into the group reach both effects, limited to the table's ranges, when the
// page's data is taken (the page is left and, on some pages, the enable box
// is clicked) and are heard from the next start.

#include <QString>
#include <memory>
#include <string_view>
#include <vector>

#include "ui/effect_pair_page.h"

class MixSlider;
class NumberEdit;
class PageForm;
class QCheckBox;
class QComboBox;
class QSpinBox;
struct EffectParameters;

class ParametersPage : public EffectPairPage {
  Q_OBJECT

 public:
  ~ParametersPage() override;

  void OnSetActive() override;
  bool OnKillActive() override;
  void ShowEffectValues() override;

  // Reads every value edit into its value, writes the values, limited, into
  // both effects (WriteShownValues), shows a limited value as stored, and
  // enables or disables both. False, with the message shown and nothing
  // written, when an entry is not a number.
  bool TakeData();

  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* InputMixSlider() const { return inputMix_; }
  MixSlider* OutputMixSlider() const { return outputMix_; }

 protected:
  // `parameters` is the table of the page's effect. `enableCaption` labels
  // the enable box; with `enableTakesData` a click on it takes the page's
  // data, otherwise its state waits for the page to be left like everything
  // else.
  ParametersPage(const QString& title, const QString& enableCaption, bool enableTakesData,
                 const EffectParameters& parameters, QWidget* parent);

  void WriteShownValues() override;

  // A row with an edit for the parameter `key`, showing `initial` until the
  // page's data or a preset replaces it. The page hands what was typed over
  // limited to the table's range (a lower end that follows another key, the
  // table's ordered pair, as that key was stored) and then shows it as
  // stored. Rows are written in the order they were added.
  NumberEdit* AddValueEdit(const QString& label, const QString& unit, std::string_view key,
                           float initial, bool digitsOnly);
  // A row with a drop-down list of the choices of `key`, the first selected.
  QComboBox* AddChoiceList(const QString& label, std::string_view key);
  // A row with a spin box over the whole numbers of `key`, stepped with its
  // arrows only.
  QSpinBox* AddCountSpin(const QString& label, std::string_view key, int initial);

 private:
  struct Binding;
  // The value of `binding` limited as it is written into `effect`.
  float Limited(const Binding& binding, const Effect& effect) const;

  const EffectParameters& parameters_;
  std::unique_ptr<PageForm> form_;
  std::vector<Binding> bindings_;
  QCheckBox* enableBox_ = nullptr;
  MixSlider* inputMix_ = nullptr;
  MixSlider* outputMix_ = nullptr;
};
