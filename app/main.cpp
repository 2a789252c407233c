// tonalith: the desktop program. One window, the effects sheet; the program
// ends when it is closed.
//
//   tonalith [--preset FILE | FILE]
//
// With a preset file (given with --preset, or opened from the desktop) the
// program starts with its effects instead of asking for two.

#include <QApplication>
#include <cstdio>

#include "app/effects_app.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tonalith"));
  EffectsApp app;
  const QStringList arguments = QApplication::arguments().mid(1);
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == QLatin1String("--preset") && i + 1 < arguments.size()) {
      app.SetStartPreset(arguments[++i]);
    } else if (!arguments[i].startsWith(QLatin1Char('-'))) {
      app.SetStartPreset(arguments[i]);
    } else {
      std::fprintf(stderr, "tonalith: %s is not an option (tonalith [--preset FILE | FILE])\n",
                   qPrintable(arguments[i]));
    }
  }
  if (!app.Start()) {
    return 0;
  }
  return QApplication::exec();
}
