#include "ui/page_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QWidget>

#include "ui/number_edit.h"

namespace {
// Narrowest field, in pixels.
constexpr int kFieldMinimumWidth = 90;
}  // namespace

PageForm::PageForm(QWidget* container) : container_(container) {
  grid_ = new QGridLayout(container);
  grid_->setColumnStretch(3, 1);
}

NumberEdit* PageForm::AddNumber(const QString& label, const QString& unit) {
  auto* edit = new NumberEdit(container_);
  edit->setAlignment(Qt::AlignRight);
  AddRow(label, edit, unit);
  return edit;
}

void PageForm::AddRow(const QString& label, QWidget* field, const QString& unit) {
  field->setParent(container_);
  field->setMinimumWidth(kFieldMinimumWidth);
  auto* caption = new QLabel(label, container_);
  caption->setBuddy(field);
  grid_->addWidget(caption, rows_, 0);
  grid_->addWidget(field, rows_, 1);
  if (!unit.isEmpty()) {
    grid_->addWidget(new QLabel(unit, container_), rows_, 2);
  }
  ++rows_;
}
