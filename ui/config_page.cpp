#include "ui/config_page.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "effects/effect.h"
#include "effects/effect_chain.h"
#include "ui/mix_slider.h"

ConfigPage::ConfigPage(QWidget* parent) : PropertyPage(QStringLiteral("Config"), parent) {
  BuildControls();
}

void ConfigPage::BuildControls() {
  list_ = new QListWidget(this);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setMinimumWidth(180);

  auto* positionLabel = new QLabel(QStringLiteral("Effect Position"), this);
  positionEdit_ = new QLineEdit(this);
  positionEdit_->setReadOnly(true);
  positionEdit_->setAlignment(Qt::AlignRight);
  positionEdit_->setMaximumWidth(48);
  positionEdit_->setText(QString::number(spinPosition_));
  positionEdit_->installEventFilter(this);
  positionLabel->setBuddy(positionEdit_);
  // The horizontal spin: left moves the selected effect toward position 1.
  earlierButton_ = new QToolButton(this);
  earlierButton_->setArrowType(Qt::LeftArrow);
  earlierButton_->setAutoRepeat(true);
  laterButton_ = new QToolButton(this);
  laterButton_->setArrowType(Qt::RightArrow);
  laterButton_->setAutoRepeat(true);

  enableBox_ = new QCheckBox(QStringLiteral("Check1"), this);

  inputMix_ = new MixSlider(QStringLiteral("Dry Input Mix"), kMixPositionUnity, this);
  outputMix_ = new MixSlider(QStringLiteral("Dry Output Mix"), kMixPositionUnity, this);

  auto* positionRow = new QHBoxLayout;
  positionRow->addWidget(positionLabel);
  positionRow->addWidget(positionEdit_);
  positionRow->addWidget(earlierButton_);
  positionRow->addWidget(laterButton_);
  positionRow->addStretch();

  auto* mixes = new QHBoxLayout;
  mixes->addWidget(inputMix_);
  mixes->addSpacing(24);
  mixes->addWidget(outputMix_);
  mixes->addStretch();

  auto* right = new QVBoxLayout;
  right->addLayout(positionRow);
  right->addWidget(enableBox_);
  right->addSpacing(8);
  right->addLayout(mixes, 1);

  auto* page = new QHBoxLayout(this);
  page->addWidget(list_, 1);
  page->addLayout(right);

  connect(list_, &QListWidget::currentRowChanged, this, [this] { OnSelectionChanged(); });
  connect(earlierButton_, &QToolButton::clicked, this, [this] { OnSpinArrow(-1); });
  connect(laterButton_, &QToolButton::clicked, this, [this] { OnSpinArrow(+1); });
  connect(enableBox_, &QCheckBox::clicked, this, [this] { OnEnableClicked(); });
  connect(inputMix_, &MixSlider::MixMoved, this, &ConfigPage::OnInputMixMoved);
  connect(outputMix_, &MixSlider::MixMoved, this, &ConfigPage::OnOutputMixMoved);
}

void ConfigPage::SetChains(EffectChain* left, EffectChain* right) {
  leftChain_ = left;
  rightChain_ = right;
}

void ConfigPage::OnSetActive() {
  if (!initialized_) {
    Initialize();
  }
  Activate();
}

bool ConfigPage::OnKillActive() {
  OnEnableClicked();
  return true;
}

void ConfigPage::ChainsReplaced() {
  initialized_ = false;
  leftSelected_ = nullptr;
  rightSelected_ = nullptr;
}

bool ConfigPage::eventFilter(QObject* watched, QEvent* event) {
  // The spin's arrow keys act on the position edit, like its arrow buttons.
  if (watched == positionEdit_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Left || key == Qt::Key_Down) {
      OnSpinArrow(-1);
      return true;
    }
    if (key == Qt::Key_Right || key == Qt::Key_Up) {
      OnSpinArrow(+1);
      return true;
    }
  }
  return PropertyPage::eventFilter(watched, event);
}

void ConfigPage::Initialize() {
  initialized_ = true;
  spinMaximum_ = leftChain_ ? leftChain_->count : 0;
  SetSpinPosition(1);
  inputMix_->ShowMix(kMixPositionUnity);
  outputMix_->ShowMix(kMixPositionUnity);
  Refill(1);
  ShowEnabledFrom(leftSelected_, true);
  if (leftSelected_) {
    inputMix_->ShowMix(leftSelected_->GetDryInputMix());
    outputMix_->ShowMix(leftSelected_->GetDryOutputMix());
  }
}

void ConfigPage::Activate() {
  SelectInBothChains(list_->currentRow() + 1);
  ShowEnabledFrom(leftSelected_, false);
  if (!leftSelected_) {
    return;
  }
  // The output slider follows the right effect, its label the left one; the
  // two chains hold the same levels unless an effect page set them apart.
  inputMix_->ShowMix(leftSelected_->GetDryInputMix());
  if (rightSelected_) {
    outputMix_->ShowMix(rightSelected_->GetDryOutputMix());
  }
  inputMix_->ShowRoundedPercent(leftSelected_->GetDryInputMix());
  outputMix_->ShowRoundedPercent(leftSelected_->GetDryOutputMix());
}

void ConfigPage::OnSelectionChanged() {
  if (!initialized_ || list_->currentRow() < 0) {
    return;
  }
  const int32_t n = list_->currentRow() + 1;
  SetSpinPosition(n);
  SelectInBothChains(n);
  ShowEnabledFrom(leftSelected_, true);
  ShowMixesFrom(leftSelected_, leftSelected_);
}

void ConfigPage::OnSpinArrow(int delta) {
  const int a = spinPosition_;
  if (!leftChain_ || !rightChain_ || list_->count() == 0) {
    return;
  }
  if ((a == 1 && delta == -1) || (a == list_->count() && delta == +1)) {
    return;
  }
  SelectInBothChains(a);
  if (delta == -1) {
    leftChain_->MoveUp(leftSelected_);
    rightChain_->MoveUp(rightSelected_);
  } else if (delta == +1) {
    leftChain_->MoveDown(leftSelected_);
    rightChain_->MoveDown(rightSelected_);
  }
  Refill(a + delta);
  SetSpinPosition(a + delta);
}

void ConfigPage::OnEnableClicked() {
  const bool enabled = enableBox_->isChecked();
  if (leftChain_ && leftSelected_) {
    leftChain_->SetEnabled(leftSelected_, enabled);
  }
  if (rightChain_ && rightSelected_) {
    rightChain_->SetEnabled(rightSelected_, enabled);
  }
  ShowEnabledFrom(leftSelected_, true);
}

void ConfigPage::OnInputMixMoved(int32_t position) {
  if (leftSelected_) {
    leftSelected_->SetDryInputMix(position);
  }
  if (rightSelected_) {
    rightSelected_->SetDryInputMix(position);
  }
}

void ConfigPage::OnOutputMixMoved(int32_t position) {
  if (leftSelected_) {
    leftSelected_->SetDryOutputMix(position);
  }
  if (rightSelected_) {
    rightSelected_->SetDryOutputMix(position);
  }
}

void ConfigPage::Refill(int32_t n) {
  const QSignalBlocker quiet(list_);
  list_->clear();
  if (leftChain_) {
    for (const Effect* node = leftChain_->head; node; node = Effect::NextOf(node)) {
      list_->addItem(QString::fromUtf8(node->Name()));
    }
  }
  list_->setCurrentRow(n - 1);
  SelectInBothChains(n);
}

void ConfigPage::SelectInBothChains(int32_t n) {
  leftSelected_ = nullptr;
  rightSelected_ = nullptr;
  if (leftChain_ && n >= 1 && n <= leftChain_->count) {
    leftChain_->SelectPosition(n);
    leftSelected_ = leftChain_->cursor;
  }
  if (rightChain_ && n >= 1 && n <= rightChain_->count) {
    rightChain_->SelectPosition(n);
    rightSelected_ = rightChain_->cursor;
  }
}

void ConfigPage::SetSpinPosition(int n) {
  spinPosition_ = n;
  positionEdit_->setText(QString::number(n));
}

void ConfigPage::ShowEnabledFrom(const Effect* effect, bool withText) {
  enableBox_->setChecked(effect && effect->enabled != 0);
  if (withText && effect) {
    enableBox_->setText(QString::fromUtf8(effect->Name()) + (effect->enabled
                                                                 ? QStringLiteral(" Enabled")
                                                                 : QStringLiteral(" Disabled")));
  }
}

void ConfigPage::ShowMixesFrom(const Effect* inputSource, const Effect* outputSource) {
  if (!inputSource || !outputSource) {
    return;
  }
  const int32_t input = inputSource->GetDryInputMix();
  const int32_t output = outputSource->GetDryOutputMix();
  inputMix_->ShowMix(input);
  outputMix_->ShowMix(output);
  inputMix_->ShowRoundedPercent(input);
  outputMix_->ShowRoundedPercent(output);
}
