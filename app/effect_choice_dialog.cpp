#include "app/effect_choice_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/effect_pages.h"

namespace {

// The entry `index` just chosen in `list`, or, when that is the entry shown
// by `other`, the one after it, which `list` then shows.
int KeepApart(QComboBox* list, const QComboBox* other, int index) {
  const int count = list->count();
  if (index == other->currentIndex() && count > 0) {
    index = (other->currentIndex() + 1) % count;
    list->setCurrentIndex(index);
  }
  return index;
}

}  // namespace

EffectChoiceDialog::EffectChoiceDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8(kTitle));
  setModal(true);

  listA_ = new QComboBox(this);
  listB_ = new QComboBox(this);
  for (const EffectPageKind& kind : EffectPageKinds()) {
    listA_->addItem(QString::fromUtf8(kind.listText));
    listB_->addItem(QString::fromUtf8(kind.listText));
  }
  pickA = DefaultPickA();
  pickB = DefaultPickB();
  listA_->setCurrentIndex(pickA);
  listB_->setCurrentIndex(pickB);

  okButton_ = new QPushButton(QStringLiteral("OK"), this);
  okButton_->setDefault(true);

  auto* lists = new QFormLayout;
  lists->addRow(QStringLiteral("a)"), listA_);
  lists->addRow(QStringLiteral("b)"), listB_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists);
  layout->addLayout(buttons);
  setMinimumWidth(320);

  // `activated` reports the user's choices only, never the moves made here.
  connect(listA_, &QComboBox::activated, this, &EffectChoiceDialog::OnListAChanged);
  connect(listB_, &QComboBox::activated, this, &EffectChoiceDialog::OnListBChanged);
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

void EffectChoiceDialog::Preselect(int32_t a, int32_t b) {
  const int count = listA_->count();
  if (a < 0 || a >= count) {
    return;
  }
  if (b < 0 || b >= count || b == a) {
    b = (a + 1) % count;
  }
  pickA = a;
  pickB = b;
  listA_->setCurrentIndex(a);
  listB_->setCurrentIndex(b);
}

void EffectChoiceDialog::OnListAChanged(int index) {
  pickA = KeepApart(listA_, listB_, index);
}

void EffectChoiceDialog::OnListBChanged(int index) {
  pickB = KeepApart(listB_, listA_, index);
}
