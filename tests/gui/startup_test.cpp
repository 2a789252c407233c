// Start-up of the desktop program: the effect choice and its rules, the
// sheet's tabs and the chains it fills, the single instance, and the order in
// which closing takes the program down.

#include <QComboBox>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "app/effect_choice_dialog.h"
#include "app/effect_pages.h"
#include "effects/delay_effect.h"
#include "effects/effect_factory.h"
#include "tests/gui/support/app_harness.h"
#include "tests/support/signals.h"
#include "tests/support/wave_builder.h"
#include "ui/delay_page.h"
#include "ui/effect_pair_page.h"
#include "ui/slider_column.h"

using gui_test::ListIndexOf;
using gui_test::PickInList;
using gui_test::StartedApp;
using gui_test::TabCaptions;
namespace ts = test_support;

namespace {
// The type ids held by a chain, head first, with their enabled flags.
QList<int> ChainTypes(const EffectChain& chain) {
  QList<int> types;
  for (const Effect* node = chain.head; node; node = node->next) {
    types.push_back(node->typeId);
  }
  return types;
}
void EnableAll(EffectChain& chain) {
  for (Effect* node = chain.head; node; node = node->next) {
    chain.SetEnabled(node, 1);
  }
}
bool AnyEnabled(const EffectChain& chain) {
  for (const Effect* node = chain.head; node; node = node->next) {
    if (node->enabled) {
      return true;
    }
  }
  return false;
}
}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void ChoiceListsHoldEveryEffectInOrder();
  void ChoosingTheOtherListsEffectInAJumpsPastIt();
  void ChoosingTheOtherListsEffectInBJumpsPastIt();
  void DefaultsLoadChorusThenReverb();
  void DelayAndEqualizerLoadInTheirOrder();
  void EveryPageIsConstructedButOnlyChosenOnesAreLinked();
  void TheFirstRunUsesWhatThePagesShow_data();
  void TheFirstRunUsesWhatThePagesShow();
  void SecondStartBringsTheRunningWindowForwardWithItsFile();
  void SecondProgramHandsItsFileToTheRunningOne();
  void ClosingRemovesPagesThenEffectsThenDevices();
};

void StartupTest::ChoiceListsHoldEveryEffectInOrder() {
  EffectChoiceDialog dialog;
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Tonalith V1.00 (August 3, 1997)"));
  QStringList texts;
  for (int i = 0; i < dialog.ListA()->count(); ++i) {
    texts.push_back(dialog.ListA()->itemText(i));
    QCOMPARE(dialog.ListB()->itemText(i), dialog.ListA()->itemText(i));
  }
  QCOMPARE(texts, QStringList({"Equalizer", "Compression", "Distorsion", "AutoWAH", "Delay",
                               "Filter Mod.", "Chorus", "Reverb"}));
  QCOMPARE(dialog.ListA()->currentText(), QStringLiteral("Chorus"));
  QCOMPARE(dialog.ListB()->currentText(), QStringLiteral("Reverb"));
  QCOMPARE(dialog.pickA, ListIndexOf("Chorus"));
  QCOMPARE(dialog.pickB, ListIndexOf("Reverb"));
  QCOMPARE(dialog.OkButton()->text(), QStringLiteral("OK"));
}

void StartupTest::ChoosingTheOtherListsEffectInAJumpsPastIt() {
  EffectChoiceDialog dialog;
  const int reverb = ListIndexOf("Reverb");
  const int count = dialog.ListA()->count();
  PickInList(dialog.ListA(), reverb);
  // Past the last entry the list wraps to the first, "Equalizer".
  QCOMPARE(dialog.ListA()->currentIndex(), (reverb + 1) % count);
  QCOMPARE(dialog.pickA, (reverb + 1) % count);
  QCOMPARE(dialog.ListA()->currentText(), QStringLiteral("Equalizer"));
  QCOMPARE(dialog.pickB, reverb);

  // Any other choice is taken as it is.
  PickInList(dialog.ListA(), ListIndexOf("Delay"));
  QCOMPARE(dialog.pickA, ListIndexOf("Delay"));
  QCOMPARE(dialog.ListA()->currentText(), QStringLiteral("Delay"));
}

void StartupTest::ChoosingTheOtherListsEffectInBJumpsPastIt() {
  EffectChoiceDialog dialog;
  const int chorus = ListIndexOf("Chorus");
  PickInList(dialog.ListB(), chorus);
  QCOMPARE(dialog.ListB()->currentText(), QStringLiteral("Reverb"));
  QCOMPARE(dialog.pickB, ListIndexOf("Reverb"));
  QCOMPARE(dialog.pickA, chorus);
}

void StartupTest::DefaultsLoadChorusThenReverb() {
  StartedApp program;
  QVERIFY(program.started);
  EffectsSheet& sheet = program.Sheet();
  QCOMPARE(sheet.windowTitle(), QStringLiteral("Tonalith V1.00"));
  QVERIFY(sheet.isVisible());
  QCOMPARE(TabCaptions(sheet), QStringList({"I/O", "Config", "Chorus", "Reverb"}));
  QCOMPARE(sheet.pickA, ListIndexOf("Chorus"));
  QCOMPARE(sheet.pickB, ListIndexOf("Reverb"));
  QCOMPARE(sheet.currentIndex(), 0);
  const QList<int> expected = {kChorusEffectId, kReverbEffectId};
  QCOMPARE(ChainTypes(sheet.LeftChain()), expected);
  QCOMPARE(ChainTypes(sheet.RightChain()), expected);
  QVERIFY(!AnyEnabled(sheet.LeftChain()));
  QVERIFY(!AnyEnabled(sheet.RightChain()));
}

void StartupTest::DelayAndEqualizerLoadInTheirOrder() {
  StartedApp program(ListIndexOf("Delay"), ListIndexOf("Equalizer"));
  QVERIFY(program.started);
  EffectsSheet& sheet = program.Sheet();
  QCOMPARE(TabCaptions(sheet), QStringList({"I/O", "Config", "Delay", "Graphic EQ"}));
  const QList<int> expected = {kDelayEffectId, kEqualizerEffectId};
  QCOMPARE(ChainTypes(sheet.LeftChain()), expected);
  QCOMPARE(ChainTypes(sheet.RightChain()), expected);
  QVERIFY(!AnyEnabled(sheet.LeftChain()));
}

void StartupTest::EveryPageIsConstructedButOnlyChosenOnesAreLinked() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  const int chorus = ListIndexOf("Chorus");
  const int reverb = ListIndexOf("Reverb");
  for (int i = 0; i < static_cast<int>(EffectPageKinds().size()); ++i) {
    auto* page = qobject_cast<EffectPairPage*>(sheet.EffectPage(i));
    QVERIFY(page);
    if (i == chorus) {
      QCOMPARE(page->LeftEffect(), sheet.LeftChain().head);
      QCOMPARE(page->RightEffect(), sheet.RightChain().head);
    } else if (i == reverb) {
      QCOMPARE(page->LeftEffect(), sheet.LeftChain().tail);
      QCOMPARE(page->RightEffect(), sheet.RightChain().tail);
    } else {
      QCOMPARE(page->LeftEffect(), nullptr);
      QCOMPARE(page->RightEffect(), nullptr);
      QVERIFY(!page->isVisible());
    }
  }
}

void StartupTest::TheFirstRunUsesWhatThePagesShow_data() {
  QTest::addColumn<QString>("a");
  QTest::addColumn<QString>("b");
  QTest::newRow("eq, compression") << "Equalizer"
                                   << "Compression";
  QTest::newRow("distortion, auto-wah") << "Distorsion"
                                        << "AutoWAH";
  QTest::newRow("delay, filter modulation") << "Delay"
                                            << "Filter Mod.";
  QTest::newRow("chorus, reverb") << "Chorus"
                                  << "Reverb";
}

void StartupTest::TheFirstRunUsesWhatThePagesShow() {
  // Every effect enabled, a file run before any page was opened, and one
  // after each page was opened and left untouched: the two sound the same,
  // so the effects ran with the pages' values from the first Start on.
  gui_test::MessageLog messages;
  QTemporaryDir folder;
  const QString input = folder.filePath(QStringLiteral("in.wav"));
  ts::WriteFileBytes(input.toStdString(), ts::BuildWave(ts::PcmFormat(2, 22050, 16),
                                                        ts::SampleBytes(ts::Noise(2 * 8000, 5))));
  QFETCH(QString, a);
  QFETCH(QString, b);
  StartedApp program(ListIndexOf(qPrintable(a)), ListIndexOf(qPrintable(b)));
  EffectsSheet& sheet = program.Sheet();
  IOPage& io = sheet.IO();
  EnableAll(sheet.LeftChain());
  EnableAll(sheet.RightChain());
  const auto run = [&](const char* name) {
    const QString output = folder.filePath(QString::fromUtf8(name));
    io.SetFileChooser([&](IOPage::FileDialogKind kind) {
      return kind == IOPage::FileDialogKind::kOpenInput ? input : output;
    });
    io.InputSelectButton()->click();
    io.OutputSelectButton()->click();
    io.StartButtonWidget()->click();
    return ts::ParseWave(ts::ReadFileBytes(output.toStdString())).data;
  };
  const ts::Bytes first = run("first.wav");
  for (const int tab : {2, 3}) {
    gui_test::ClickTab(sheet, tab);
    if (auto* delay = qobject_cast<DelayPage*>(sheet.CurrentPage())) {
      // Its sliders show the delay both effects hold.
      for (const auto& [slider, effect] :
           {std::pair{delay->LeftDelaySlider(), delay->LeftEffect()},
            std::pair{delay->RightDelaySlider(), delay->RightEffect()}}) {
        QCOMPARE(static_cast<float>(DelayPage::DelayMsFromSlider(slider->Position())),
                 static_cast<DelayEffect*>(effect)->record.delayMs);
      }
    }
    gui_test::ClickTab(sheet, 0);
  }
  QVERIFY(!first.empty());
  QVERIFY(run("second.wav") == first);
  QVERIFY(AnyEnabled(sheet.LeftChain()));
  QVERIFY(messages.texts.isEmpty());
}

void StartupTest::SecondStartBringsTheRunningWindowForwardWithItsFile() {
  gui_test::MessageLog messages;
  StartedApp first;
  QVERIFY(first.started);
  EffectsSheet& sheet = first.Sheet();
  const QStringList tabsBefore = TabCaptions(sheet);
  sheet.setCurrentIndex(2);
  sheet.showMinimized();
  QTemporaryDir folder;
  const QString song = folder.filePath(QStringLiteral("song.wav"));
  ts::WriteFileBytes(song.toStdString(),
                     ts::BuildWave(ts::PcmFormat(1, 11025, 8), ts::Bytes(1000, 0x80)));

  EffectsApp second(first.LockPath());
  bool dialogShown = false;
  gui_test::AnswerChoiceDialog([&](EffectChoiceDialog&) { dialogShown = true; });
  QVERIFY(!second.Start(std::make_unique<SimulatedWaveService>(), song));
  QCOMPARE(second.Sheet(), nullptr);
  // The running window comes forward on the I/O page with the file as its
  // source, in the file's format.
  QTRY_COMPARE(sheet.IO().InputFileName(), song);
  QVERIFY(!dialogShown);
  QVERIFY(!sheet.isMinimized());
  QVERIFY(sheet.isVisible());
  QCOMPARE(sheet.currentIndex(), 0);
  QCOMPARE(sheet.IO().InputList()->currentIndex(), 0);
  QCOMPARE(sheet.IO().InputList()->currentText(), song);
  QVERIFY(sheet.IO().MonoButton()->isChecked());
  QVERIFY(sheet.IO().Bits8Button()->isChecked());
  QCOMPARE(sheet.IO().SampleRateEdit()->text(), QStringLiteral("11025"));
  QCOMPARE(TabCaptions(sheet), tabsBefore);
  QVERIFY(messages.texts.isEmpty());
}

void StartupTest::SecondProgramHandsItsFileToTheRunningOne() {
  const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../tonalith");
  if (!QFileInfo::exists(program)) {
    QSKIP("the tonalith program is not built");
  }
  // A private runtime folder, holding the lock a running instance holds and
  // the socket it listens on.
  QTemporaryDir runtime;
  QVERIFY(runtime.isValid());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("TONALITH_WAVE_BACKEND"), QStringLiteral("simulated"));
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  const QString lockPath = EffectsApp::DefaultInstanceLockPath();
  qunsetenv("XDG_RUNTIME_DIR");
  QLockFile running(lockPath);
  QVERIFY(running.tryLock(0));
  QLocalServer server;
  QVERIFY(server.listen(EffectsApp::InstanceServerName(lockPath)));

  // Started in another folder with a relative name: the running one gets
  // the full path.
  QProcess second;
  second.setProcessEnvironment(environment);
  second.setWorkingDirectory(runtime.path());
  second.start(program, {QStringLiteral("take.wav")});
  QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 20000);
  QLocalSocket* request = server.nextPendingConnection();
  QTRY_VERIFY_WITH_TIMEOUT(request->canReadLine(), 20000);
  QCOMPARE(QString::fromUtf8(request->readLine()),
           QDir(QDir(runtime.path()).canonicalPath()).filePath(QStringLiteral("take.wav")) +
               QLatin1Char('\n'));
  // (It may have ended already, while the request was read.)
  QVERIFY(second.state() == QProcess::NotRunning || second.waitForFinished(20000));
  QCOMPARE(second.exitStatus(), QProcess::NormalExit);
  QCOMPARE(second.exitCode(), 0);
  QCOMPARE(second.readAllStandardOutput(), QByteArray());
  QCOMPARE(second.readAllStandardError(), QByteArray());
}

void StartupTest::ClosingRemovesPagesThenEffectsThenDevices() {
  gui_test::MessageLog messages;
  auto program = std::make_unique<StartedApp>(0, 1);
  EffectsSheet& sheet = program->Sheet();
  SimulatedWaveService& service = program->Service();
  // A live run from device 1 to device 1.
  sheet.IO().StartButtonWidget()->click();
  QCOMPARE(sheet.IO().StartButtonWidget()->text(), QStringLiteral("Stop"));
  QCOMPARE(service.OpenDeviceCount(), 2);

  QVERIFY(sheet.close());
  QCOMPARE(sheet.count(), 0);
  QCOMPARE(sheet.LeftChain().count, 0);
  QCOMPARE(sheet.RightChain().count, 0);
  QCOMPARE(sheet.LeftChain().head, nullptr);
  // The devices stay open until the sheet itself is destroyed.
  QCOMPARE(service.OpenDeviceCount(), 2);
  QCOMPARE(program->Log().closes, 0);
  program->Quit();
  QCOMPARE(program->Log().closes, 2);
  QCOMPARE(program->Log().openWhenDestroyed, 0);
  QVERIFY(messages.texts.isEmpty());
}

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
