#include "ui/parameters_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>

#include "effects/effect_factory.h"
#include "effects/effect_parameters.h"
#include "ui/clamp_store.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"
#include "ui/page_form.h"

// One row of the group and the parameter it sets: an edit with the page's
// copy of what was typed, a list, or a spin box.
struct ParametersPage::Binding {
  const ParameterSpec* spec = nullptr;
  NumberEdit* edit = nullptr;
  QComboBox* list = nullptr;
  QSpinBox* spin = nullptr;
  float value = 0.0f;
};

ParametersPage::ParametersPage(const QString& title, const QString& enableCaption,
                               bool enableTakesData, const EffectParameters& parameters,
                               QWidget* parent)
    : EffectPairPage(title, parent), parameters_(parameters) {
  BuildMixControls(enableCaption, enableBox_, inputMix_, outputMix_);
  auto* group = new QGroupBox(QStringLiteral("Parameters"), this);
  form_ = std::make_unique<PageForm>(group);
  LayOutMixRow(enableBox_, inputMix_, outputMix_)->addWidget(group, 1, Qt::AlignTop);
  if (enableTakesData) {
    connect(enableBox_, &QCheckBox::clicked, this, [this] { TakeData(); });
  }
}

ParametersPage::~ParametersPage() = default;

NumberEdit* ParametersPage::AddValueEdit(const QString& label, const QString& unit,
                                         std::string_view key, float initial, bool digitsOnly) {
  NumberEdit* edit = form_->AddNumber(label, unit);
  edit->SetDigitsOnly(digitsOnly);
  edit->ShowValue(initial);
  bindings_.push_back({FindParameter(parameters_, key), edit, nullptr, nullptr, initial});
  return edit;
}

QComboBox* ParametersPage::AddChoiceList(const QString& label, std::string_view key) {
  const ParameterSpec* spec = FindParameter(parameters_, key);
  auto* list = new QComboBox;
  for (const char* name : spec->choices) {
    list->addItem(QString::fromLatin1(name));
  }
  list->setCurrentIndex(0);
  form_->AddRow(label, list);
  bindings_.push_back({spec, nullptr, list, nullptr, 0.0f});
  return list;
}

QSpinBox* ParametersPage::AddCountSpin(const QString& label, std::string_view key, int initial) {
  const ParameterSpec* spec = FindParameter(parameters_, key);
  auto* spin = new QSpinBox;
  spin->setRange(static_cast<int>(spec->min), static_cast<int>(spec->max));
  spin->setValue(initial);
  // Stepped with its arrows only; its field shows the position.
  spin->findChild<QLineEdit*>()->setReadOnly(true);
  spin->setAlignment(Qt::AlignRight);
  form_->AddRow(label, spin);
  bindings_.push_back({spec, nullptr, nullptr, spin, 0.0f});
  return spin;
}

void ParametersPage::OnSetActive() {
  ShowEnableAndMixLevels(enableBox_, inputMix_, outputMix_);
}

bool ParametersPage::OnKillActive() {
  return TakeData();
}

bool ParametersPage::TakeData() {
  for (Binding& binding : bindings_) {
    if (binding.edit && !binding.edit->TakeValue(binding.value)) {
      return false;
    }
  }
  WriteShownValues();
  EnableBoth(enableBox_->isChecked());
  return true;
}

float ParametersPage::Limited(const Binding& binding, const Effect& effect) const {
  const ParameterSpec& spec = *binding.spec;
  float lo = static_cast<float>(spec.min);
  // The lower bound follows the other key as stored: the upper value stays
  // above it and within its own limit, whatever was typed.
  if (const OrderedKeys* ordered = parameters_.ordered; ordered && ordered->upperKey == spec.key) {
    const double lower =
        std::get<double>(FindParameter(parameters_, ordered->lowerKey)->read(effect));
    lo = static_cast<float>(lower) + static_cast<float>(ordered->gap);
  }
  float shown = binding.value;
  float stored = 0.0f;
  ClampStore(shown, stored, lo, static_cast<float>(spec.max));
  return stored;
}

void ParametersPage::WriteShownValues() {
  for (Effect* effect : {left_, right_}) {
    const EffectKind* kind = effect ? FindEffectKind(effect->typeId) : nullptr;
    if (kind == nullptr || kind->parameters != &parameters_) {
      continue;
    }
    for (Binding& binding : bindings_) {
      double value = 0.0;
      if (binding.edit) {
        // What runs is shown: a value limited on its way in replaces what
        // was typed.
        const float stored = Limited(binding, *effect);
        if (stored != binding.value) {
          binding.value = stored;
          binding.edit->ShowValue(stored);
        }
        value = stored;
      } else {
        value = binding.list ? binding.list->currentIndex() : binding.spin->value();
      }
      std::string unused;
      binding.spec->write(*effect, value, &unused);
    }
  }
}

void ParametersPage::ShowEffectValues() {
  const EffectKind* kind = left_ ? FindEffectKind(left_->typeId) : nullptr;
  if (kind == nullptr || kind->parameters != &parameters_) {
    return;
  }
  for (Binding& binding : bindings_) {
    const double value = std::get<double>(binding.spec->read(*left_));
    if (binding.edit) {
      binding.value = static_cast<float>(value);
      binding.edit->ShowValue(binding.value);
    } else if (binding.list) {
      binding.list->setCurrentIndex(static_cast<int>(value));
    } else {
      binding.spin->setValue(static_cast<int>(value));
    }
  }
}
