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
  // The enable state and the envelope time are taken when the page is left.
  BuildMixControls(QStringLiteral("Enable Compression"), enableBox_, inputMix_, outputMix_);

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
  graph_->SetShowAxes(true);
  graph_->SetReadout(true, QString(), QStringLiteral("dB"));
  auto* curveLayout = new QVBoxLayout(curve);
  curveLayout->addWidget(graph_, 0, Qt::AlignCenter);

  auto* right = new QVBoxLayout;
  right->addWidget(envelope);
  right->addWidget(curve);
  right->addStretch(1);

  LayOutMixRow(enableBox_, inputMix_, outputMix_)->addLayout(right, 1);

  connect(graph_, &ResponseGraph::CurveApplied, this, [this] { OnCurveApplied(); });
}

void CompressionPage::OnSetActive() {
  ShowEnableAndMixLevels(enableBox_, inputMix_, outputMix_);
}

void CompressionPage::OnCurveApplied() {
  for (Effect* effect : {left_, right_}) {
    if (auto* compression = dynamic_cast<CompressionEffect*>(effect)) {
      compression->SetCurve(graph_->Curve());
    }
  }
}

bool CompressionPage::OnKillActive() {
  WriteShownValues();
  EnableBoth(enableBox_->isChecked());
  return true;
}

void CompressionPage::WriteShownValues() {
  graph_->ApplyCurve();
  const float envelopeDelayMs = static_cast<float>(static_cast<uint16_t>(envelopeSpin_->value()));
  for (Effect* effect : {left_, right_}) {
    if (auto* compression = dynamic_cast<CompressionEffect*>(effect)) {
      compression->record.envelopeDelayMs = envelopeDelayMs;
    }
  }
}
