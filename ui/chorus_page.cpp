#include "ui/chorus_page.h"

#include "effects/effect_parameters.h"

ChorusPage::ChorusPage(QWidget* parent)
    : ParametersPage(QStringLiteral("Chorus"), QStringLiteral("Enable Chorus"), true,
                     kChorusParameters, parent) {
  // The values the page starts with, which the effects get when the page is
  // linked to them.
  const QString ms = QStringLiteral("msec.");
  AddValueEdit(QStringLiteral("Pre.Filter Cutoff"), QStringLiteral("Hz"), "preFilterHz", 8000.0f,
               true);
  AddValueEdit(QStringLiteral("Initial Delay"), ms, "initialDelayMs", 5.0f, true);
  AddValueEdit(QStringLiteral("Final Delay"), ms, "finalDelayMs", 10.0f, true);
  AddValueEdit(QStringLiteral("Mod. Length"), ms, "modLengthMs", 2000.0f, true);
  AddValueEdit(QStringLiteral("Feedback"), QStringLiteral("%"), "feedbackPercent", 25.0f, true);
}
