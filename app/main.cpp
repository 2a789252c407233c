// tonalith: the desktop program. One window, the effects sheet; the program
// ends when it is closed.

#include <QApplication>

#include "app/effects_app.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tonalith"));
  EffectsApp app;
  if (!app.Start()) {
    return 0;
  }
  return QApplication::exec();
}
