#include "ui/filtermod_page.h"

#include "effects/effect_parameters.h"

FilterModPage::FilterModPage(QWidget* parent)
    : SweptFilterPage(QStringLiteral("Filt.Mod."), QStringLiteral("Enable Filter Modulation"), true,
                      kFilterModulationParameters, parent) {
  AddValueEdit(QStringLiteral("Modulator Length"), QStringLiteral("ms"), "modulatorLengthMs",
               4000.0f, true);
}
