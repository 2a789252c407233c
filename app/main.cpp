// tonalith: the desktop program. One window, the effects sheet; the program
// ends when it is closed.
//
//   tonalith [--preset FILE] [FILE]
//
// A preset (given with --preset, or a FILE that holds one) is loaded and its
// effects replace the choice of two; a WAV FILE becomes the source (see
// app/start_files.h for how a FILE is told apart). When the program already
// runs, its window comes to the front and takes the files instead.

#include <QApplication>
#include <cstdio>

#include "app/effects_app.h"
#include "app/start_files.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tonalith"));
  QStringList unknown;
  const StartFiles files = ParseStartArguments(QApplication::arguments().mid(1), &unknown);
  for (const QString& argument : unknown) {
    std::fprintf(stderr, "tonalith: %s is not understood (tonalith [--preset FILE] [FILE])\n",
                 qPrintable(argument));
  }
  EffectsApp app;
  app.SetStartPreset(files.preset);
  if (!app.Start(nullptr, files.source)) {
    return 0;
  }
  return QApplication::exec();
}
