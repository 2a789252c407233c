// Every page of the program laid out in the sheet: each one gets the room it
// asks for, and none is empty. With TONALITH_SCREENSHOT_DIR set, each page and
// the effect choice dialog are also saved there as PNG files, the graphs with
// a curve drawn on them as a user would.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSlider>
#include <QtTest>
#include <utility>

#include "app/effect_choice_dialog.h"
#include "app/effect_pages.h"
#include "tests/gui/support/app_harness.h"
#include "ui/compression_page.h"
#include "ui/eq_page.h"
#include "ui/response_graph.h"
#include "ui/shaper_page.h"

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

// Drags the graph's point nearest to (fromX, fromY) to (toX, toY), or adds a
// point at (toX, toY) when none is near, all in the graph's value units.
void DrawOn(ResponseGraph& graph, float fromX, float fromY, float toX, float toY) {
  const QPoint from = graph.ControlPointOf(graph.PixelOf(fromX, fromY));
  const QPoint to = graph.ControlPointOf(graph.PixelOf(toX, toY));
  QTest::mousePress(&graph, Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseRelease(&graph, Qt::LeftButton, Qt::NoModifier, to);
}

// The pointer resting over the graph at (x, y), in value units.
void HoverOver(ResponseGraph& graph, float x, float y) {
  const QPointF at = graph.ControlPointOf(graph.PixelOf(x, y));
  QMouseEvent move(QEvent::MouseMove, at, graph.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&graph, &move);
}

// What a user might have set on a page before the picture is taken.
void SetUp(QWidget* page) {
  if (auto* io = qobject_cast<IOPage*>(page)) {
    io->BlockLengthList()->setCurrentIndex(4);  // "4096": a finer equalizer
  } else if (auto* eq = qobject_cast<EQPage*>(page)) {
    eq->SpacingList()->setCurrentIndex(2);  // 1/3 octaves
    const int gains[] = {9, 7, 4, 1, -2, -4, -4, -2, 0, 2, 5, 8, 9, 6, 2, -8};
    for (int band = 0; band < kEqualizerBandCount; ++band) {
      eq->BandSlider(band)->setValue(-gains[band]);
    }
    eq->BandSlider(11)->setValue(-9);  // the selected band
  } else if (auto* compression = qobject_cast<CompressionPage*>(page)) {
    // Flat up to -20 dBFS, then 2 to 1: half of every dB above it.
    ResponseGraph& graph = *compression->Graph();
    for (const auto& [level, gain] :
         {std::pair{3277.0f, 0.0f}, std::pair{8231.0f, -4.0f}, std::pair{16422.0f, -7.0f}}) {
      DrawOn(graph, level, gain, level, gain);
    }
    DrawOn(graph, 32768.0f, 0.0f, 32768.0f, -10.0f);
  } else if (auto* shaper = qobject_cast<ShaperPage*>(page)) {
    // A soft clip, symmetric, with the pointer on its upper knee.
    ResponseGraph& graph = *shaper->Graph();
    DrawOn(graph, -13000.0f, -13000.0f, -13000.0f, -17000.0f);
    DrawOn(graph, 13000.0f, 13000.0f, 13000.0f, 17000.0f);
    DrawOn(graph, -32768.0f, -32767.0f, -32768.0f, -24000.0f);
    DrawOn(graph, 32768.0f, 32767.0f, 32768.0f, 24000.0f);
    HoverOver(graph, 20000.0f, 0.0f);
  }
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
      SetUp(page);
      QCoreApplication::processEvents();
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
