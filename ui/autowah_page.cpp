#include "ui/autowah_page.h"

#include "effects/effect_parameters.h"

AutoWahPage::AutoWahPage(QWidget* parent)
    : SweptFilterPage(QStringLiteral("AutoWah"), QStringLiteral("Enable AutoWah"), false,
                      kEnvelopeFilterParameters, parent) {}
