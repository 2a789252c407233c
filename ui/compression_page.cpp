#include "ui/compression_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include "effects/compression_effect.h"
#include "effects/effect_parameters.h"
#include "ui/page_form.h"
#include "ui/response_graph.h"

CompressionPage::CompressionPage(QWidget* parent)
    : CurvePage(QStringLiteral("Compression"), QStringLiteral("Enable Compression"), parent) {
  const ParameterSpec& time = *FindParameter(kCompressionParameters, "envelopeDelayMs");
  auto* envelope = new QWidget(this);
  PageForm form(envelope);
  envelopeSpin_ = new QSpinBox;
  envelopeSpin_->setRange(static_cast<int>(time.min), static_cast<int>(time.max));
  envelopeSpin_->setValue(kInitialEnvelopeDelayMs);
  // Stepped with its arrows only; its field shows the position.
  envelopeSpin_->findChild<QLineEdit*>()->setReadOnly(true);
  envelopeSpin_->setAlignment(Qt::AlignRight);
  form.AddRow(QStringLiteral("Envelope Delay"), envelopeSpin_, QStringLiteral("ms"));
  form.Layout()->setContentsMargins(0, 0, 0, 0);

  // The enable state and the envelope time are taken when the page is left.
  const ParameterSpec& curve = *FindParameter(kCompressionParameters, "curve");
  LayOut(nullptr, envelope, QStringLiteral("Gain Curve"), kPlotSize,
         ValueRange{static_cast<float>(curve.minX), static_cast<float>(curve.maxX),
                    static_cast<float>(curve.max), static_cast<float>(curve.min)},
         0.0f, 0.0f);
  Graph()->SetReadout(true, QString(), QStringLiteral("dB"));
  connect(envelopeSpin_, &QSpinBox::valueChanged, this, [this](int value) {
    envelopeDelayMs_ = static_cast<float>(static_cast<uint16_t>(value));
  });
}

void CompressionPage::HandCurveTo(Effect* effect, std::span<const CurvePoint> curve) {
  if (auto* compression = dynamic_cast<CompressionEffect*>(effect)) {
    compression->SetCurve(curve);
  }
}

bool CompressionPage::OnKillActive() {
  WriteShownValues();
  EnableBoth(EnableBox()->isChecked());
  return true;
}

void CompressionPage::WriteShownValues() {
  Graph()->ApplyCurve();
  for (Effect* effect : {left_, right_}) {
    if (auto* compression = dynamic_cast<CompressionEffect*>(effect)) {
      compression->record.envelopeDelayMs = envelopeDelayMs_;
    }
  }
}

void CompressionPage::ShowEffectValues() {
  const auto* compression = dynamic_cast<const CompressionEffect*>(left_);
  if (compression == nullptr) {
    return;
  }
  Graph()->SetCurve(compression->record.curve.View());
  const QSignalBlocker blocker(envelopeSpin_);
  envelopeSpin_->setValue(static_cast<int>(compression->record.envelopeDelayMs));
  envelopeDelayMs_ = compression->record.envelopeDelayMs;
}
