#include "ui/compression_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "effects/compression_effect.h"
#include "effects/effect_chain.h"
#include "ui/mix_slider.h"
#include "ui/page_form.h"
#include "ui/response_graph.h"

CompressionPage::CompressionPage(QWidget* parent)
    : EffectPairPage(QStringLiteral("Compression"), parent) {
  BuildControls();
}

void CompressionPage::BuildControls() {
  using S = CompressionSettings;
  enableBox_ = new QCheckBox(QStringLiteral("Enable Compression"), this);
  inputMix_ = new MixSlider(QStringLiteral("Dry Input Mix"), kMixSliderMax / 2, this);
  outputMix_ = new MixSlider(QStringLiteral("Dry Output Mix"), kMixSliderMax / 2, this);

  auto* envelope = new QWidget(this);
  PageForm form(envelope);
  envelopeSpin_ = new QSpinBox;
  envelopeSpin_->setRange(static_cast<int>(S::kMinEnvelopeDelayMs),
                          static_cast<int>(S::kMaxEnvelopeDelayMs));
  envelopeSpin_->setValue(kInitialEnvelopeDelayMs);
  // Stepped with its arrows only; its field shows the position.
  envelopeSpin_->findChild<QLineEdit*>()->setReadOnly(true);
  envelopeSpin_->setAlignment(Qt::AlignRight);
  form.AddRow(QStringLiteral("Envelope Delay"), envelopeSpin_, QStringLiteral("ms"));
  form.Layout()->setContentsMargins(0, 0, 0, 0);

  auto* curve = new QGroupBox(QStringLiteral("Gain Curve"), this);
  graph_ = new ResponseGraph(curve);
  graph_->Create(QRect(kGraphMargin, kGraphMargin, kGraphWidth, kGraphHeight),
                 ValueRange{S::kCurveMinX, S::kCurveMaxX, S::kCurveMaxY, S::kCurveMinY}, 0.0f, 0.0f,
                 kGraphMargin);
  graph_->showAxes = true;
  graph_->showReadout = true;
  graph_->xUnit = QString();
  graph_->yUnit = QStringLiteral("dB");
  auto* curveLayout = new QVBoxLayout(curve);
  curveLayout->addWidget(graph_, 0, Qt::AlignCenter);

  auto* right = new QVBoxLayout;
  right->addWidget(envelope);
  right->addWidget(curve);
  right->addStretch(1);

  auto* row = new QHBoxLayout;
  row->addWidget(inputMix_);
  row->addWidget(outputMix_);
  row->addSpacing(12);
  row->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enableBox_);
  layout->addLayout(row, 1);

  // The enable state and the envelope time are taken when the page is left.
  connect(inputMix_, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetDryInputMixBoth(position); });
  connect(outputMix_, &MixSlider::MixMoved, this,
          [this](int32_t position) { SetDryOutputMixBoth(position); });
}

void CompressionPage::BindGraph() {
  graph_->targetLeft = left_;
  graph_->targetRight = right_;
}

void CompressionPage::OnSetActive() {
  BindGraph();
  enableBox_->setChecked(LeftEnabled());
  ShowMixLevels(inputMix_, outputMix_);
}

bool CompressionPage::OnKillActive() {
  BindGraph();
  graph_->ApplyCurve();
  const float envelopeDelayMs = static_cast<float>(static_cast<uint16_t>(envelopeSpin_->value()));
  const bool enabled = enableBox_->isChecked();
  for (auto [effect, chain] : {std::pair{left_, leftChain_}, std::pair{right_, rightChain_}}) {
    auto* compression = dynamic_cast<CompressionEffect*>(effect);
    if (compression == nullptr || chain == nullptr) {
      continue;
    }
    compression->record.envelopeDelayMs = envelopeDelayMs;
    chain->SetEnabled(effect, enabled ? 1 : 0);
  }
  return true;
}
