#include "ui/reverb_page.h"

#include "effects/effect_parameters.h"

ReverbPage::ReverbPage(QWidget* parent)
    : ParametersPage(QStringLiteral("Reverb"), QStringLiteral("Enable Reverb"), true,
                     kReverbParameters, parent) {
  // The values the page starts with, which the effects get when the page is
  // linked to them.
  AddCountSpin(QStringLiteral("Num.of Echoes"), "echoCount", 6);
  const QString hz = QStringLiteral("Hz");
  const QString ms = QStringLiteral("ms.");
  AddValueEdit(QStringLiteral("Low Cutoff Freq."), hz, "lowCutHz", 100.0f, false);
  AddValueEdit(QStringLiteral("High Cutoff Freq."), hz, "highCutHz", 4000.0f, false);
  AddValueEdit(QStringLiteral("Min.  Echo Duration"), ms, "minEchoMs", 20.0f, false);
  AddValueEdit(QStringLiteral("Max. Echo Duration"), ms, "maxEchoMs", 25.0f, false);
  AddValueEdit(QStringLiteral("Reverberation Time"), ms, "reverbTimeMs", 1000.0f, false);
}
