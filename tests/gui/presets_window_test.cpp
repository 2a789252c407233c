// Presets in the desktop program: a preset saved from one sheet loads into a
// fresh one with the same effect records, renders in tonalith-render as the
// window's own file run does, refused presets change nothing, and the
// session is remembered (and a damaged one set aside).

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "app/effect_choice_dialog.h"
#include "app/sheet_setup.h"
#include "effects/compression_effect.h"
#include "effects/distortion_effect.h"
#include "preset/preset_file.h"
#include "tests/gui/support/app_harness.h"
#include "tests/gui/support/pages_test_support.h"
#include "tests/support/run_process.h"
#include "tests/support/signals.h"
#include "tests/support/wave_builder.h"
#include "ui/compression_page.h"
#include "ui/delay_page.h"
#include "ui/eq_page.h"
#include "ui/mix_slider.h"
#include "ui/response_graph.h"
#include "ui/shaper_page.h"
#include "ui/slider_column.h"

using gui_test::ClickTab;
using gui_test::ListIndexOf;
using gui_test::MessageLog;
using gui_test::StartedApp;
using gui_test::TabCaptions;
using pages_test::DragSlider;
using pages_test::TypeIntoLabelled;
namespace ts = test_support;

namespace {

// Everything the sheet's effects hold (and, with `withIo`, its I/O
// settings), written out: two setups are the same to the bit when their
// texts are.
std::string SetupText(EffectsSheet& sheet, bool withIo = false) {
  return PresetText(CaptureSheet(sheet, withIo));
}

// Enters every tab once and comes back, so that each page takes and shows
// its data as a user browsing would make it.
void BrowseAllTabs(EffectsSheet& sheet) {
  const int start = sheet.currentIndex();
  for (int tab = 0; tab < sheet.count(); ++tab) {
    ClickTab(sheet, tab);
  }
  ClickTab(sheet, start);
}

template <class Page>
Page& PageOf(EffectsSheet& sheet, const char* listText) {
  return *static_cast<Page*>(sheet.EffectPage(ListIndexOf(listText)));
}

// A left press at `from` and its release at `to`, as on the curve editor.
void DragOnGraph(ResponseGraph* graph, QPoint from, QPoint to) {
  QTest::mousePress(graph, Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseRelease(graph, Qt::LeftButton, Qt::NoModifier, to);
}

void SavePresetAs(EffectsSheet& sheet, const QString& path) {
  sheet.SetPresetFileChooser([path](bool save) { return save ? path : QString(); });
  sheet.SavePresetAction()->trigger();
}

void LoadPresetFrom(EffectsSheet& sheet, const QString& path) {
  sheet.SetPresetFileChooser([path](bool save) { return save ? QString() : path; });
  sheet.LoadPresetAction()->trigger();
}

void WriteText(const QString& path, const QByteArray& text) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(text);
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class PresetsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ASavedPresetLoadsIntoAFreshSheetWithTheSameRecords();
  void AWindowPresetRendersAsTheWindowsOwnFileRun();
  void RefusedPresetsChangeNothing();
  void TheSessionIsStoredAndRestored();
  void ADamagedSessionIsSetAsideWithANotice();
  void AStartPresetSkipsTheChoice();
};

void PresetsWindowTest::ASavedPresetLoadsIntoAFreshSheetWithTheSameRecords() {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("curves.json"));
  MessageLog messages;
  StartedApp first(ListIndexOf("Distorsion"), ListIndexOf("Compression"));
  EffectsSheet& sheet = first.Sheet();
  auto& shaper = PageOf<ShaperPage>(sheet, "Distorsion");
  auto& compression = PageOf<CompressionPage>(sheet, "Compression");
  ClickTab(sheet, 2);
  TypeIntoLabelled(shaper, {{"PreFilter Cutoff", "6000"}});
  DragSlider(shaper.FeedbackSlider()->Slider(), -40);
  DragOnGraph(shaper.Graph(), QPoint(60, 80), QPoint(60, 30));
  shaper.EnableBox()->click();
  ClickTab(sheet, 3);
  compression.findChild<QSpinBox*>()->setValue(12);
  DragOnGraph(compression.Graph(), QPoint(120, 40), QPoint(120, 90));
  DragSlider(compression.OutputMixSlider()->Slider(), 512 - 400);
  SavePresetAs(sheet, path);
  QVERIFY(messages.texts.isEmpty());
  const std::string saved = SetupText(sheet);
  QCOMPARE(ReadAll(path).toStdString(), saved);
  QVERIFY(saved.find("\"curve\": [[") != std::string::npos);

  // A sheet with other effects takes the preset's.
  StartedApp second;
  EffectsSheet& fresh = second.Sheet();
  LoadPresetFrom(fresh, path);
  QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('\n')));
  QCOMPARE(TabCaptions(fresh), QStringList({"I/O", "Config", "Distorsion", "Compression"}));
  QCOMPARE(SetupText(fresh), saved);
  const auto* left = static_cast<const DistortionEffect*>(fresh.LeftChain().head);
  const auto* original = static_cast<const DistortionEffect*>(sheet.LeftChain().head);
  QVERIFY(pages_test::SameCurve(left->record.curve.View(), original->record.curve.View()));
  // The pages show what was loaded, so taking their data keeps it.
  BrowseAllTabs(fresh);
  QCOMPARE(SetupText(fresh), saved);
  QVERIFY(messages.texts.isEmpty());

  // Channels set apart load as they are, with a notice that the page shows
  // one value for both.
  const QString apart = folder.filePath(QStringLiteral("apart.json"));
  WriteText(apart, R"({"format": "tonalith-preset", "version": 1, "effects": [
    {"effect": "distortion", "left": {"feedback": 10}, "right": {"feedback": -20}}]})");
  LoadPresetFrom(fresh, apart);
  QCOMPARE(messages.texts.size(), 1);
  QVERIFY(messages.texts.front().contains(QStringLiteral("(feedback first)")));
  QCOMPARE(static_cast<const DistortionEffect*>(fresh.RightChain().head)->record.feedback, -20);
  QCOMPARE(TabCaptions(fresh), QStringList({"I/O", "Config", "Distorsion"}));
}

void PresetsWindowTest::AWindowPresetRendersAsTheWindowsOwnFileRun() {
  QTemporaryDir folder;
  const QString input = folder.filePath(QStringLiteral("in.wav"));
  const QString windowOutput = folder.filePath(QStringLiteral("window.wav"));
  const QString renderOutput = folder.filePath(QStringLiteral("render.wav"));
  const QString preset = folder.filePath(QStringLiteral("eq-delay.json"));
  ts::WriteFileBytes(input.toStdString(),
                     ts::BuildWave(ts::PcmFormat(2, 44100, 16),
                                   ts::SampleBytes(ts::Interleave(
                                       ts::Noise(30000, 5), ts::Sine(30000, 440, 44100, 12000)))));
  MessageLog messages;
  StartedApp program(ListIndexOf("Equalizer"), ListIndexOf("Delay"));
  EffectsSheet& sheet = program.Sheet();
  IOPage& io = sheet.IO();
  io.SetFileChooser([&](IOPage::FileDialogKind kind) {
    return kind == IOPage::FileDialogKind::kOpenInput ? input : windowOutput;
  });
  io.InputSelectButton()->click();
  io.OutputSelectButton()->click();
  io.BlockLengthList()->setCurrentIndex(4);  // "4096": 2048-byte blocks

  auto& eq = PageOf<EQPage>(sheet, "Equalizer");
  ClickTab(sheet, 2);
  eq.SpacingList()->setCurrentIndex(2);
  DragSlider(eq.BandSlider(4), -12);
  DragSlider(eq.BandSlider(9), 20);
  // Band 9 moved a few Hz away from where the spacing puts it.
  eq.FrequencySpin()->setValue(eq.FrequencySpin()->value() + 37);
  eq.EnableBox()->click();
  auto& delay = PageOf<DelayPage>(sheet, "Delay");
  ClickTab(sheet, 3);
  DragSlider(delay.LeftDelaySlider()->Slider(), 300);
  DragSlider(delay.RightDelaySlider()->Slider(), 550);
  DragSlider(delay.RightOutputSlider()->Slider(), 512 - 100);
  delay.EnableBox()->click();
  ClickTab(sheet, 0);
  io.StartButtonWidget()->click();  // the file run, until it is done
  QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('\n')));
  SavePresetAs(sheet, preset);

  const ts::ProcessResult rendered =
      ts::RunProcess({ts::RenderPath(), "--quiet", "--preset", preset.toStdString(),
                      input.toStdString(), renderOutput.toStdString()});
  QCOMPARE(rendered.exitCode, 0);
  const QByteArray windowFile = ReadAll(windowOutput);
  QVERIFY(windowFile.size() > 100000);
  QVERIFY(windowFile == ReadAll(renderOutput));
}

void PresetsWindowTest::RefusedPresetsChangeNothing() {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("refused.json"));
  const std::string file = path.toStdString();
  MessageLog messages;
  StartedApp program(ListIndexOf("Delay"), ListIndexOf("Chorus"));
  EffectsSheet& sheet = program.Sheet();
  ClickTab(sheet, 2);
  DragSlider(PageOf<DelayPage>(sheet, "Delay").LeftDelaySlider()->Slider(), 400);
  const std::string before = SetupText(sheet, true);
  const QStringList tabs = TabCaptions(sheet);

  const QByteArray head = R"({"format": "tonalith-preset", "version": 1, "effects": )";
  const struct {
    const char* fault;
    QByteArray text;
    std::string message;
  } cases[] = {
      {"malformed JSON", head + "[\n  {\"effect\": \"delay\",}\n]}",
       file + ": line 2, column 23: not valid JSON (object is missing after a comma)"},
      {"unknown format", R"({"format": "sox-preset", "version": 1, "effects": []})",
       file + ": format: \"sox-preset\" is not \"tonalith-preset\""},
      {"unknown version", R"({"format": "tonalith-preset", "version": 2, "effects": []})",
       file + ": version: 2 is not a version this program reads (1)"},
      {"unknown effect", head + R"([{"effect": "flanger"}]})",
       file + ": effects[0].effect: \"flanger\" is not an effect (known: delay, chorus, reverb, "
              "eq, distortion, compression, autowah, filtermod)"},
      {"unknown key", head + R"([{"effect": "delay", "left": {"speed": 2}}]})",
       file + ": effects[0].left: unknown key \"speed\" (keys: enabled, in, out, delayMs)"},
      {"wrong type", head + R"([{"effect": "delay", "right": {"delayMs": "80"}}]})",
       file + ": effects[0].right.delayMs: \"80\" is not a number"},
      {"out of range", head + R"([{"effect": "delay", "left": {"delayMs": 150}}]})",
       file + ": effects[0].left.delayMs: 150 is out of range (allowed: 0..100)"},
      {"keys out of order",
       head + R"([{"effect": "chorus", "left": {"initialDelayMs": 20, "finalDelayMs": 15}}]})",
       file + ": effects[0].left: finalDelayMs=15: out of range (allowed: initialDelayMs+1..100, "
              "here 21..100)"},
      {"beyond the rate", head + R"([{"effect": "eq", "left": {"freqs": [0, 12000]}}]})",
       file + ": effects[0].left: freqs: 12000 Hz is out of range (allowed: 0..11000 Hz at the "
              "input's rate)"},
      {"an effect twice", head + R"([{"effect": "delay"}, {"effect": "delay"}]})",
       file + ": effects[1]: the window holds each effect once (delay comes twice; "
              "tonalith-render takes it)"},
  };
  for (const auto& c : cases) {
    WriteText(path, c.text);
    messages.texts.clear();
    LoadPresetFrom(sheet, path);
    QVERIFY2(messages.texts.size() == 1, c.fault);
    QCOMPARE(messages.texts.front(), QString::fromStdString(c.message));
    QCOMPARE(SetupText(sheet, true), before);
    QCOMPARE(TabCaptions(sheet), tabs);
  }
}

void PresetsWindowTest::TheSessionIsStoredAndRestored() {
  QTemporaryDir folder;
  const QString session = folder.filePath(QStringLiteral("config/tonalith/session.json"));
  MessageLog messages;
  std::string stored;
  {
    StartedApp program(session, QString(), ListIndexOf("Delay"), ListIndexOf("Compression"));
    EffectsSheet& sheet = program.Sheet();
    ClickTab(sheet, 2);
    DragSlider(PageOf<DelayPage>(sheet, "Delay").RightDelaySlider()->Slider(), 250);
    ClickTab(sheet, 0);
    pages_test::TypeInto(sheet.IO().BufferCountEdit(), QStringLiteral("20"));
    sheet.IO().BlockLengthList()->setCurrentIndex(4);
    ClickTab(sheet, 3);  // the typed count is taken
    stored = SetupText(sheet, true);
    QVERIFY(sheet.close());
    QVERIFY(QFile::exists(session));
  }
  // The next start preselects the pair and shows the values.
  StartedApp program(session, QString());
  EffectsSheet& sheet = program.Sheet();
  QCOMPARE(TabCaptions(sheet), QStringList({"I/O", "Config", "Delay", "Compression"}));
  QCOMPARE(SetupText(sheet, true), stored);
  QCOMPARE(sheet.IO().BufferCountEdit()->text(), QStringLiteral("20"));
  QCOMPARE(sheet.IO().BlockLengthList()->currentText(), QStringLiteral("4096"));
  QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('\n')));
}

void PresetsWindowTest::ADamagedSessionIsSetAsideWithANotice() {
  QTemporaryDir folder;
  const QString session = folder.filePath(QStringLiteral("session.json"));
  WriteText(session, "{\"format\": \"tonalith-preset\", \"version\": 1, \"effects\": [");
  MessageLog messages;
  StartedApp program(session, QString());
  QVERIFY(program.started);
  QCOMPARE(messages.texts.size(), 1);
  QVERIFY(!messages.texts.front().contains(QLatin1Char('\n')));
  QVERIFY(messages.texts.front().contains(session + QStringLiteral(".damaged")));
  QVERIFY(!QFile::exists(session));
  QVERIFY(QFile::exists(session + QStringLiteral(".damaged")));
  QCOMPARE(TabCaptions(program.Sheet()), QStringList({"I/O", "Config", "Chorus", "Reverb"}));
}

void PresetsWindowTest::AStartPresetSkipsTheChoice() {
  QTemporaryDir folder;
  const QString preset = folder.filePath(QStringLiteral("three.json"));
  const QByteArray head = R"({"format": "tonalith-preset", "version": 1, "effects": )";
  WriteText(preset, head + R"([{"effect": "reverb"}, {"effect": "autowah", "left": {"in": 100}},
                                {"effect": "eq"}]})");
  MessageLog messages;
  StartedApp program(folder.filePath(QStringLiteral("session.json")), preset);
  EffectsSheet& sheet = program.Sheet();
  QCOMPARE(TabCaptions(sheet), QStringList({"I/O", "Config", "Reverb", "AutoWah", "Graphic EQ"}));
  const Effect* autowah = sheet.LeftChain().head->next;
  QCOMPARE(autowah->GetDryInputMix(), int_mix::PositionFromGain(int_mix::GainFromPosition(100)));
  QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('\n')));
}

QTEST_MAIN(PresetsWindowTest)
#include "presets_window_test.moc"
