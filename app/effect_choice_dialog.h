#pragma once
// The start-up dialog in which the user picks the two effects to load, one in
// list "a)" and one in list "b)". The two picks always differ: choosing in one
// list the effect shown by the other moves the first list one entry past it.

#include <QDialog>
#include <cstdint>

class QComboBox;
class QPushButton;

class EffectChoiceDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kTitle = "Tonalith V1.00 (August 3, 1997)";

  explicit EffectChoiceDialog(QWidget* parent = nullptr);

  // Shows `a` in list "a)" and `b` in list "b)" (the last pair loaded); a
  // `b` outside the lists or equal to `a` moves one entry past `a`.
  void Preselect(int32_t a, int32_t b);

  QComboBox* ListA() const { return listA_; }
  QComboBox* ListB() const { return listB_; }
  QPushButton* OkButton() const { return okButton_; }

  // The list positions chosen; start-up copies them into the sheet.
  int32_t pickA = 0;
  int32_t pickB = 0;

 private:
  void OnListAChanged(int index);
  void OnListBChanged(int index);

  QComboBox* listA_ = nullptr;
  QComboBox* listB_ = nullptr;
  QPushButton* okButton_ = nullptr;
};
