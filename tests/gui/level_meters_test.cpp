// The meter strip under the pages, the status line a file-to-file run leaves
// on the I/O page, and the "Render tails" box.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "tests/gui/support/app_harness.h"
#include "tests/support/signals.h"
#include "tests/support/wave_builder.h"

using gui_test::ClickTab;
using gui_test::MessageLog;
using gui_test::StartedApp;
namespace ts = test_support;

namespace {

QString WriteWave(const QTemporaryDir& folder, const char* name, const WaveFormat& format,
                  const std::vector<int16_t>& samples) {
  return gui_test::WriteWave(folder, name, format, ts::SampleBytes(samples));
}

void RunFiles(IOPage& page, const QString& input, const QString& output) {
  gui_test::SelectFiles(page, input, output);
  page.StartButtonWidget()->click();
}

}  // namespace

class LevelMetersTest : public QObject {
  Q_OBJECT

 private slots:
  void ClipIndicatorCountsUntilClickedUnderEveryPage();
  void RenderTailsCarriesTheOutputPastTheInput();
};

void LevelMetersTest::ClipIndicatorCountsUntilClickedUnderEveryPage() {
  MessageLog messages;
  QTemporaryDir folder;
  // 2205 frames at 22050 Hz: a full-scale square on the left for 1000
  // frames, a quiet right channel.
  std::vector<int16_t> left = ts::Square(1000, 20);
  left.resize(2205, 0);
  const std::vector<int16_t> right = ts::Sine(2205, 441, 22050, 1000);
  const QString input =
      WriteWave(folder, "loud.wav", ts::PcmFormat(2, 22050, 16), ts::Interleave(left, right));
  const QString output = folder.filePath(QStringLiteral("out.wav"));
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  LevelMeterStrip& meters = sheet.Meters();
  QToolButton* outClip = meters.ClipIndicator(kMeterOutput);
  QCOMPARE(outClip->text(), QStringLiteral("Clip"));

  RunFiles(sheet.IO(), input, output);
  QVERIFY(messages.texts.isEmpty());
  meters.Refresh();
  QCOMPARE(meters.ClippedShown(kMeterInput), uint64_t{1000});
  QCOMPARE(meters.ClippedShown(kMeterOutput), uint64_t{1000});
  QCOMPARE(outClip->text(), QStringLiteral("Clip 1000"));
  QCOMPARE(meters.Bar(kMeterOutput, 0).hold, 0.0);
  QVERIFY(std::abs(meters.Bar(kMeterOutput, 1).hold - PeakDbfs(1000)) < 0.05);
  QCOMPARE(sheet.IO().StatusLine()->text(),
           QStringLiteral("Wrote %1: 0:00.1, peak 0.0 dBFS left, -30.3 dBFS right, 1000 samples "
                          "clipped.")
               .arg(output));

  // The strip stays under whichever page is shown, and lit until clicked.
  for (int tab = 0; tab < sheet.count(); ++tab) {
    ClickTab(sheet, tab);
    meters.Refresh();
    QVERIFY(meters.isVisible());
    QWidget* page = sheet.widget(tab);
    QVERIFY(meters.geometry().top() >= page->mapTo(&sheet, QPoint(0, page->height())).y());
    QCOMPARE(outClip->text(), QStringLiteral("Clip 1000"));
  }
  outClip->click();
  QCOMPARE(meters.ClippedShown(kMeterOutput), uint64_t{0});
  QCOMPARE(outClip->text(), QStringLiteral("Clip"));
  QCOMPARE(meters.ClippedShown(kMeterInput), uint64_t{1000});  // cleared one at a time
  // The next clipped run lights it again with its own count.
  RunFiles(sheet.IO(), input, output);
  meters.Refresh();
  QCOMPARE(outClip->text(), QStringLiteral("Clip 1000"));
  QCOMPARE(meters.ClippedShown(kMeterInput), uint64_t{2000});
}

void LevelMetersTest::RenderTailsCarriesTheOutputPastTheInput() {
  MessageLog messages;
  QTemporaryDir folder;
  // 0.1 s at 22050 Hz ending loud: with tails, 100 ms of silence follow.
  const QString input =
      WriteWave(folder, "in.wav", ts::PcmFormat(1, 22050, 16), ts::Sine(2205, 441, 22050, 20000));
  const QString output = folder.filePath(QStringLiteral("tail.wav"));
  StartedApp program;
  IOPage& page = program.Sheet().IO();
  QVERIFY(!page.RenderTailsBox()->isChecked());
  RunFiles(page, input, output);
  QCOMPARE(ts::ParseWave(ts::ReadFileBytes(output.toStdString())).data.size(), size_t{2 * 2205});

  page.RenderTailsBox()->click();
  page.StartButtonWidget()->click();
  QVERIFY(messages.texts.isEmpty());
  QCOMPARE(ts::ParseWave(ts::ReadFileBytes(output.toStdString())).data.size(),
           size_t{2 * (2205 + 2205)});
  QVERIFY(page.StatusLine()->text().startsWith(
      QStringLiteral("Wrote %1: 0:00.2 (0:00.1 of it tail), peak").arg(output)));
}

QTEST_MAIN(LevelMetersTest)
#include "level_meters_test.moc"
