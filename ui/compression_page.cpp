#include "ui/compression_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QSpinBox>

#include "effects/compression_effect.h"
#include "ui/page_form.h"
#include "ui/response_graph.h"

CompressionPage::CompressionPage(QWidget* parent)
    : CurvePage(QStringLiteral("Compression"), QStringLiteral("Enable Compression"), parent) {
  using S = CompressionSettings;
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

  // The enable state and the envelope time are taken when the page is left.
  LayOut(nullptr, envelope, QStringLiteral("Gain Curve"), kPlotSize,
         ValueRange{S::kCurveMinX, S::kCurveMaxX, S::kCurveMaxY, S::kCurveMinY}, 0.0f, 0.0f);
  Graph()->SetReadout(true, QString(), QStringLiteral("dB"));
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
  const float envelopeDelayMs = static_cast<float>(static_cast<uint16_t>(envelopeSpin_->value()));
  for (Effect* effect : {left_, right_}) {
    if (auto* compression = dynamic_cast<CompressionEffect*>(effect)) {
      compression->record.envelopeDelayMs = envelopeDelayMs;
    }
  }
}
