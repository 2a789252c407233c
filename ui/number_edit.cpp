#include "ui/number_edit.h"

#include <QKeyEvent>
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "ui/message_box.h"

NumberEdit::NumberEdit(QWidget* parent) : QLineEdit(parent) {}

void NumberEdit::ShowValue(double value) {
  QString text = QString::number(value, 'g', 6);
  if (static_cast<float>(QLocale::c().toDouble(text)) != static_cast<float>(value)) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<float>(value));
    text = QString::fromLatin1(digits, static_cast<int>(result.ptr - digits));
  }
  setText(text);
}

bool NumberEdit::ParseNumber(const QString& text, double& value) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) {
    return false;
  }
  bool ok = false;
  const double parsed = QLocale::c().toDouble(trimmed, &ok);
  // Infinities and NaN would pass every bound check unchanged, so they are
  // refused like any other text that is not a number.
  if (!ok || !std::isfinite(parsed)) {
    return false;
  }
  value = parsed;
  return true;
}

bool NumberEdit::TakeValue(float& destination) {
  double value = 0.0;
  if (!ParseNumber(text(), value)) {
    ShowMessageBox(QString::fromUtf8(kNotANumberMessage), window());
    setFocus(Qt::OtherFocusReason);
    selectAll();
    return false;
  }
  // Beyond the float range the value is kept at the largest float of its
  // sign; every bound a page applies lies far inside it.
  const double largest = std::numeric_limits<float>::max();
  destination = static_cast<float>(std::clamp(value, -largest, largest));
  return true;
}

void NumberEdit::keyPressEvent(QKeyEvent* event) {
  if (digitsOnly_) {
    const QString typed = event->text();
    bool refused = false;
    for (const QChar c : typed) {
      if (c.isPrint() && !c.isDigit()) {
        refused = true;
      }
    }
    if (refused && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      event->accept();  // swallowed, like any key the field does not take
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}
