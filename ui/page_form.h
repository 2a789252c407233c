#pragma once
// Lays out an effect page's parameter fields as rows of label, field and
// unit in a grid on a container widget.

#include <QString>

class NumberEdit;
class QGridLayout;
class QWidget;

class PageForm {
 public:
  explicit PageForm(QWidget* container);

  // A row with a new number edit; returns the edit.
  NumberEdit* AddNumber(const QString& label, const QString& unit = QString());
  // A row with `field` (made a child of the container).
  void AddRow(const QString& label, QWidget* field, const QString& unit = QString());

  QGridLayout* Layout() const { return grid_; }

 private:
  QWidget* container_ = nullptr;
  QGridLayout* grid_ = nullptr;
  int rows_ = 0;
};
