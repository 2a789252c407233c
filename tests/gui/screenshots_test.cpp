// Every page of the program laid out in the sheet: each one gets the room it
// asks for, and none is empty. With TONALITH_SCREENSHOT_DIR set, each page and
// the effect choice dialog are also saved there as PNG files.

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QtTest>

#include "app/effect_choice_dialog.h"
#include "app/effect_pages.h"
#include "tests/gui/support/app_harness.h"

using gui_test::ClickTab;
using gui_test::StartedApp;

namespace {
// "Graphic EQ" -> "graphic-eq", "I/O" -> "io", "Filt.Mod." -> "filt-mod".
QString FileStem(const QString& caption) {
  QString stem;
  for (const QChar c : caption.toLower()) {
    if (c.isLetterOrNumber()) {
      stem += c;
    } else if (!stem.isEmpty() && !stem.endsWith(QLatin1Char('-')) && c != QLatin1Char('/')) {
      stem += QLatin1Char('-');
    }
  }
  while (stem.endsWith(QLatin1Char('-'))) {
    stem.chop(1);
  }
  return stem;
}

// Where to save the pictures; empty when they are not wanted.
QString OutputFolder() {
  return qEnvironmentVariable("TONALITH_SCREENSHOT_DIR");
}

void Save(const QPixmap& picture, const QString& stem) {
  const QString folder = OutputFolder();
  if (!folder.isEmpty()) {
    QDir().mkpath(folder);
    QVERIFY(picture.save(QDir(folder).filePath(stem + QStringLiteral(".png"))));
  }
}
}  // namespace

class ScreenshotsTest : public QObject {
  Q_OBJECT

 private slots:
  void ChoiceDialogRenders();
  void EveryPageFitsTheSheet();
  void PresetMenuRenders();
};

void ScreenshotsTest::ChoiceDialogRenders() {
  EffectChoiceDialog dialog;
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  const QPixmap picture = dialog.grab();
  QVERIFY(!picture.isNull());
  Save(picture, QStringLiteral("choice"));
}

void ScreenshotsTest::EveryPageFitsTheSheet() {
  QStringList saved;
  const int kinds = static_cast<int>(EffectPageKinds().size());
  for (int first = 0; first < kinds; first += 2) {
    StartedApp program(first, (first + 1) % kinds);
    QVERIFY(program.started);
    EffectsSheet& sheet = program.Sheet();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    for (int tab = 0; tab < sheet.count(); ++tab) {
      const QString stem = FileStem(sheet.tabText(tab));
      if (saved.contains(stem)) {
        continue;
      }
      ClickTab(sheet, tab);
      QCOMPARE(sheet.currentIndex(), tab);
      QWidget* page = sheet.widget(tab);
      QCoreApplication::processEvents();
      // The sheet is sized to its largest page: every page has its room.
      QVERIFY2(page->width() >= page->minimumSizeHint().width() &&
                   page->height() >= page->minimumSizeHint().height(),
               qPrintable(sheet.tabText(tab)));
      const QPixmap picture = sheet.grab();
      QVERIFY(!picture.isNull());
      Save(picture, stem);
      saved.push_back(stem);
    }
  }
  QCOMPARE(saved.size(), 2 + kinds);
}

void ScreenshotsTest::PresetMenuRenders() {
  StartedApp program;
  QVERIFY(program.started);
  EffectsSheet& sheet = program.Sheet();
  QVERIFY(QTest::qWaitForWindowExposed(&sheet));
  // The Preset menu open on its factory presets, drawn over the sheet.
  QMenu* menu = sheet.PresetMenuBar()->actions().constFirst()->menu();
  menu->popup(sheet.mapToGlobal(sheet.PresetMenuBar()->geometry().bottomLeft()));
  QMenu* factory = menu->actions().constLast()->menu();
  QVERIFY(factory != nullptr && !factory->actions().isEmpty());
  menu->setActiveAction(menu->actions().constLast());
  factory->popup(menu->mapToGlobal(menu->actionGeometry(menu->actions().constLast()).topRight()));
  QVERIFY(QTest::qWaitForWindowExposed(factory));
  QPixmap picture(sheet.size().expandedTo(
      QSize(factory->geometry().right(), factory->geometry().bottom()) -
      QSize(sheet.mapToGlobal(QPoint()).x(), sheet.mapToGlobal(QPoint()).y()) + QSize(8, 8)));
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.drawPixmap(0, 0, sheet.grab());
  for (QMenu* popup : {menu, factory}) {
    painter.drawPixmap(popup->pos() - sheet.mapToGlobal(QPoint()), popup->grab());
  }
  painter.end();
  factory->hide();
  menu->hide();
  Save(picture, QStringLiteral("preset-menu"));
}

QTEST_MAIN(ScreenshotsTest)
#include "screenshots_test.moc"
