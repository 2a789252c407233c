#include "ui/chorus_page.h"

#include "effects/chorus_effect.h"
#include "ui/clamp_store.h"

ChorusPage::ChorusPage(QWidget* parent)
    : ParametersPage(QStringLiteral("Chorus"), QStringLiteral("Enable Chorus"), true, parent) {
  const QString ms = QStringLiteral("msec.");
  AddValueEdit(QStringLiteral("Pre.Filter Cutoff"), QStringLiteral("Hz"), preFilterHz_, true);
  AddValueEdit(QStringLiteral("Initial Delay"), ms, initialDelayMs_, true);
  AddValueEdit(QStringLiteral("Final Delay"), ms, finalDelayMs_, true);
  AddValueEdit(QStringLiteral("Mod. Length"), ms, modLengthMs_, true);
  AddValueEdit(QStringLiteral("Feedback"), QStringLiteral("%"), feedbackPercent_, true);
}

void ChorusPage::WriteShownValues() {
  using S = ChorusSettings;
  for (Effect* effect : {left_, right_}) {
    auto* chorus = dynamic_cast<ChorusEffect*>(effect);
    if (chorus == nullptr) {
      continue;
    }
    S& s = chorus->record;
    ClampStore(preFilterHz_, s.preFilterHz, S::kMinPreFilterHz, S::kMaxPreFilterHz);
    ClampStore(initialDelayMs_, s.initialDelayMs, S::kMinInitialDelayMs, S::kMaxInitialDelayMs);
    // The lower bound follows the initial delay as stored: the final delay
    // stays above it and within its own limit, whatever was typed.
    ClampStore(finalDelayMs_, s.finalDelayMs, s.initialDelayMs + S::kFinalDelayMinGapMs,
               S::kMaxFinalDelayMs);
    ClampStore(modLengthMs_, s.modLengthMs, S::kMinModLengthMs, S::kMaxModLengthMs);
    ClampStore(feedbackPercent_, s.feedbackPercent, S::kMinFeedbackPercent, S::kMaxFeedbackPercent);
  }
}
