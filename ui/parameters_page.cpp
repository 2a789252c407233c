#include "ui/parameters_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>

#include "ui/mix_slider.h"
#include "ui/number_edit.h"
#include "ui/page_form.h"

ParametersPage::ParametersPage(const QString& title, const QString& enableCaption,
                               bool enableTakesData, QWidget* parent)
    : EffectPairPage(title, parent) {
  BuildMixControls(enableCaption, enableBox_, inputMix_, outputMix_);
  auto* parameters = new QGroupBox(QStringLiteral("Parameters"), this);
  form_ = std::make_unique<PageForm>(parameters);
  LayOutMixRow(enableBox_, inputMix_, outputMix_)->addWidget(parameters, 1, Qt::AlignTop);
  if (enableTakesData) {
    connect(enableBox_, &QCheckBox::clicked, this, [this] { TakeData(); });
  }
}

ParametersPage::~ParametersPage() = default;

NumberEdit* ParametersPage::AddValueEdit(const QString& label, const QString& unit, float& value,
                                         bool digitsOnly) {
  NumberEdit* edit = form_->AddNumber(label, unit);
  edit->SetDigitsOnly(digitsOnly);
  edit->ShowValue(value);
  values_.emplace_back(edit, &value);
  return edit;
}

void ParametersPage::OnSetActive() {
  ShowEnableAndMixLevels(enableBox_, inputMix_, outputMix_);
}

bool ParametersPage::OnKillActive() {
  return TakeData();
}

bool ParametersPage::TakeData() {
  std::vector<float> typed;
  for (const auto& [edit, value] : values_) {
    if (!edit->TakeValue(*value)) {
      return false;
    }
    typed.push_back(*value);
  }
  WriteShownValues();
  // A value the effects got limited is shown as they hold it.
  for (size_t i = 0; i < values_.size(); ++i) {
    if (*values_[i].second != typed[i]) {
      values_[i].first->ShowValue(*values_[i].second);
    }
  }
  EnableBoth(enableBox_->isChecked());
  return true;
}
