// PropertyPage is declared with Q_OBJECT; this source makes the build's
// meta-object compiler see its header.
#include "ui/property_page.h"
