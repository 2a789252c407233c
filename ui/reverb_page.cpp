#include "ui/reverb_page.h"

#include <QLineEdit>
#include <QSpinBox>

#include "effects/reverb_effect.h"
#include "ui/clamp_store.h"
#include "ui/page_form.h"

namespace {
// The number of echoes the page starts with.
constexpr int kInitialEchoCount = 6;
}  // namespace

ReverbPage::ReverbPage(QWidget* parent)
    : ParametersPage(QStringLiteral("Reverb"), QStringLiteral("Enable Reverb"), true, parent) {
  echoSpin_ = new QSpinBox;
  echoSpin_->setRange(ReverbSettings::kMinEchoCount, ReverbSettings::kMaxEchoCount);
  echoSpin_->setValue(kInitialEchoCount);
  // Stepped with its arrows only; its field shows the position.
  echoSpin_->findChild<QLineEdit*>()->setReadOnly(true);
  echoSpin_->setAlignment(Qt::AlignRight);
  Form().AddRow(QStringLiteral("Num.of Echoes"), echoSpin_);
  const QString hz = QStringLiteral("Hz");
  const QString ms = QStringLiteral("ms.");
  AddValueEdit(QStringLiteral("Low Cutoff Freq."), hz, lowCutHz_, false);
  AddValueEdit(QStringLiteral("High Cutoff Freq."), hz, highCutHz_, false);
  AddValueEdit(QStringLiteral("Min.  Echo Duration"), ms, minEchoMs_, false);
  AddValueEdit(QStringLiteral("Max. Echo Duration"), ms, maxEchoMs_, false);
  AddValueEdit(QStringLiteral("Reverberation Time"), ms, reverbTimeMs_, false);
}

void ReverbPage::WriteShownValues() {
  using S = ReverbSettings;
  for (Effect* effect : {left_, right_}) {
    auto* reverb = dynamic_cast<ReverbEffect*>(effect);
    if (reverb == nullptr) {
      continue;
    }
    S& s = reverb->record;
    s.requestedEchoCount = echoSpin_->value();
    ClampStore(lowCutHz_, s.lowCutHz, S::kMinLowCutHz, S::kMaxLowCutHz);
    ClampStore(highCutHz_, s.highCutHz, S::kMinHighCutHz, S::kMaxHighCutHz);
    ClampStore(minEchoMs_, s.minEchoMs, S::kMinMinEchoMs, S::kMaxMinEchoMs);
    // The lower bound follows the minimum as stored: the longest echo stays
    // above the shortest and within its own limit, whatever was typed.
    ClampStore(maxEchoMs_, s.maxEchoMs, s.minEchoMs + S::kMaxEchoMinGapMs, S::kMaxMaxEchoMs);
    ClampStore(reverbTimeMs_, s.reverbTimeMs, S::kMinReverbTimeMs, S::kMaxReverbTimeMs);
  }
}
