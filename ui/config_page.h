#pragma once
// The "Config" page: the loaded effects in processing order. The user selects
// one, moves it earlier or later, enables or disables it and sets its two mix
// levels. Every change goes to the left and the right chain at once, which
// always hold the same effect types in the same order.

#include <cstdint>

#include "ui/property_page.h"

class Effect;
class EffectChain;
class QCheckBox;
class QLineEdit;
class QListWidget;
class MixSlider;
class QToolButton;

class ConfigPage : public PropertyPage {
  Q_OBJECT

 public:
  explicit ConfigPage(QWidget* parent = nullptr);

  void SetChains(EffectChain* left, EffectChain* right);

  void OnSetActive() override;
  bool OnKillActive() override;
  // The chains were given other effects (a preset): the page forgets its
  // selection and fills its list again when it is next entered.
  void ChainsReplaced();

  // The selected effect of each chain: the page's selection, which it looks
  // up by position (SelectPosition) and keeps.
  Effect* LeftSelected() const { return leftSelected_; }
  Effect* RightSelected() const { return rightSelected_; }

  // The controls, for the sheet's tests and screenshots.
  QListWidget* EffectList() const { return list_; }
  QLineEdit* PositionEdit() const { return positionEdit_; }
  QToolButton* EarlierButton() const { return earlierButton_; }
  QToolButton* LaterButton() const { return laterButton_; }
  QCheckBox* EnableBox() const { return enableBox_; }
  MixSlider* InputMix() const { return inputMix_; }
  MixSlider* OutputMix() const { return outputMix_; }
  int SpinPosition() const { return spinPosition_; }
  int SpinMaximum() const { return spinMaximum_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void Initialize();
  void Activate();
  void OnSelectionChanged();
  void OnSpinArrow(int delta);
  void OnEnableClicked();
  void OnInputMixMoved(int32_t position);
  void OnOutputMixMoved(int32_t position);

  void Refill(int32_t n);
  void SelectInBothChains(int32_t n);
  void SetSpinPosition(int n);
  void ShowEnabledFrom(const Effect* effect, bool withText);
  void ShowMixesFrom(const Effect* inputSource, const Effect* outputSource);

  EffectChain* leftChain_ = nullptr;
  EffectChain* rightChain_ = nullptr;
  Effect* leftSelected_ = nullptr;
  Effect* rightSelected_ = nullptr;
  bool initialized_ = false;
  int spinPosition_ = 1;
  int spinMaximum_ = 1;

  QListWidget* list_ = nullptr;
  QLineEdit* positionEdit_ = nullptr;
  QToolButton* earlierButton_ = nullptr;
  QToolButton* laterButton_ = nullptr;
  QCheckBox* enableBox_ = nullptr;
  MixSlider* inputMix_ = nullptr;
  MixSlider* outputMix_ = nullptr;
};
