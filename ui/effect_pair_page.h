#pragma once
// What every effect page shares: the page's effect in the left and in the
// right chain, the two chains, and the steps that treat both channels alike
// (enabling, the two mix levels, and showing them when the page is entered).
// A null effect or chain (one that could not be created) is skipped.

#include <QString>
#include <cstdint>

#include "ui/property_page.h"

class Effect;
class EffectChain;
class MixSlider;
class QCheckBox;
class QHBoxLayout;

class EffectPairPage : public PropertyPage {
  Q_OBJECT

 public:
  // Start-up hands the page its effect in each chain and the two chains.
  // The page then writes the values it shows into both effects, so that a
  // run started before the page is ever opened runs with them.
  void Link(Effect* left, Effect* right, EffectChain* leftChain, EffectChain* rightChain);

  Effect* LeftEffect() const { return left_; }
  Effect* RightEffect() const { return right_; }

  // Shows the values its effects hold, as a preset has set them: the
  // page's own fields, lists, sliders and curve, so that taking the page's
  // data later writes the same values again. The enable box and the mix
  // sliders follow when the page is entered.
  virtual void ShowEffectValues() {}

 protected:
  EffectPairPage(const QString& title, QWidget* parent);

  // Writes the parameters the page shows (not the enable state) into both
  // effects, as leaving the page would.
  virtual void WriteShownValues() {}

  // SetEnabled of the left effect on the left chain, then of the right one.
  void EnableBoth(bool enabled);
  // SetDryInputMix / SetDryOutputMix on the left effect, then the right one.
  void SetDryInputMixBoth(int32_t position);
  void SetDryOutputMixBoth(int32_t position);
  // Entering the page: the input slider from the left effect's input level,
  // the output slider from the right effect's output level, both texts
  // rounded from the left effect's levels.
  void ShowMixLevels(MixSlider* input, MixSlider* output);
  // The left effect's enabled flag (0 when there is none).
  bool LeftEnabled() const;

  // The controls of a page with one pair of mix sliders: the enable box
  // with `enableCaption` and the "Dry Input Mix" / "Dry Output Mix" sliders
  // at 100 %, which act at once through SetDryInputMixBoth and
  // SetDryOutputMixBoth.
  void BuildMixControls(const QString& enableCaption, QCheckBox*& enableBox, MixSlider*& input,
                        MixSlider*& output);
  // Lays the page out: the enable box on top and below it a row of the two
  // sliders, `extra` (when not null) and a gap; returns the row, to which
  // the caller adds its parameters.
  QHBoxLayout* LayOutMixRow(QCheckBox* enableBox, MixSlider* input, MixSlider* output,
                            QWidget* extra = nullptr);
  // Entering the page: the enable box from the left effect, then
  // ShowMixLevels.
  void ShowEnableAndMixLevels(QCheckBox* enableBox, MixSlider* input, MixSlider* output);

  Effect* left_ = nullptr;
  Effect* right_ = nullptr;
  EffectChain* leftChain_ = nullptr;
  EffectChain* rightChain_ = nullptr;
};
