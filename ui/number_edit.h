#pragma once
// An edit field holding a number for a page's data exchange. The page shows
// its own copy of the value in it and takes the typed value back when its
// data is taken; a text that is not a number is refused with "Please enter a
// number." and the field gets the focus with its text selected, so the page
// can stay where it is. When the page limits the value it stores, it shows
// the stored value instead (ShowValue).

#include <QLineEdit>

class NumberEdit : public QLineEdit {
  Q_OBJECT

 public:
  // The toolkit's message for an entry that is not a number.
  static constexpr const char* kNotANumberMessage = "Please enter a number.";

  explicit NumberEdit(QWidget* parent = nullptr);

  // Only digits can be typed (other printable keys are ignored); text that is
  // set or pasted is not filtered, and is checked when the value is taken.
  void SetDigitsOnly(bool digitsOnly) { digitsOnly_ = digitsOnly; }

  // Writes `value` with up to six significant digits, or with the fewest
  // digits that read back as the same single-precision value where six do
  // not (a value a preset brought, which the page must hand back unchanged).
  void ShowValue(double value);

  // Parses the text (surrounding spaces and tabs allowed). A finite number
  // is stored into `destination`; anything else leaves `destination` alone,
  // shows the message and selects the field's text. Returns whether it was
  // a number.
  bool TakeValue(float& destination);

  // The parse alone, with no message: true and `value` for a finite number.
  static bool ParseNumber(const QString& text, double& value);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool digitsOnly_ = false;
};
