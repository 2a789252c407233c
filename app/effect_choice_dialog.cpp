#include "app/effect_choice_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/effect_pages.h"

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
  const int count = listA_->count();
  if (index == listB_->currentIndex() && count > 0) {
    index = (listB_->currentIndex() + 1) % count;
    listA_->setCurrentIndex(index);
  }
  pickA = index;
}

void EffectChoiceDialog::OnListBChanged(int index) {
  const int count = listB_->count();
  if (index == listA_->currentIndex() && count > 0) {
    index = (listA_->currentIndex() + 1) % count;
    listB_->setCurrentIndex(index);
  }
  pickB = index;
}
