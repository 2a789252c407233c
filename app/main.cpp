// tonalith: the desktop program. One window, the effects sheet; the program
// ends when it is closed. `tonalith FILE.wav` makes the file the source; when
// the program already runs, its window comes to the front with that file.

#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include "app/effects_app.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tonalith"));
  // The running instance may work in another folder: hand it the full path.
  const QStringList arguments = QApplication::arguments();
  const QString sourceFile =
      arguments.size() > 1 ? QFileInfo(arguments.at(1)).absoluteFilePath() : QString();
  EffectsApp app;
  if (!app.Start(nullptr, sourceFile)) {
    return 0;
  }
  return QApplication::exec();
}
