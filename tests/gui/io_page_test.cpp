// The I/O page: what its fields hand to the engine, the file entries and the
// probe, and the four kinds of run started and stopped from its button.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "tests/gui/support/app_harness.h"
#include "tests/support/wave_builder.h"

using gui_test::ClickTab;
using gui_test::MessageLog;
using gui_test::PickInList;
using gui_test::SelectFiles;
using gui_test::StartedApp;
using gui_test::WriteWave;
namespace ts = test_support;

namespace {
// A 16-bit stereo ramp that wraps, `frames` frames long.
ts::Bytes StereoRamp(int frames) {
  std::vector<int16_t> samples;
  for (int i = 0; i < frames; ++i) {
    samples.push_back(static_cast<int16_t>((i * 37) % 20000 - 10000));
    samples.push_back(static_cast<int16_t>((i * 53) % 16000 - 8000));
  }
  return ts::SampleBytes(samples);
}

// Drops the file at `path` on the page as a file manager does; false when
// the page refuses it.
bool DropOn(IOPage& page, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&page, &enter);
  if (!enter.isAccepted()) {
    return false;
  }
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&page, &drop);
  return true;
}

// The controls that define a run's stream. While a run lasts all of them
// are locked; once it is over all are free but the rate and format controls,
// which a file source keeps off.
QList<QWidget*> StreamControls(const IOPage& page) {
  return {page.BlockLengthList(), page.BufferCountEdit(),   page.InputList(),
          page.OutputList(),      page.InputSelectButton(), page.OutputSelectButton()};
}
bool StreamControlsLocked(const IOPage& page) {
  QList<QWidget*> controls = StreamControls(page);
  controls << page.SampleRateEdit() << page.MonoButton() << page.StereoButton()
           << page.Bits8Button() << page.Bits16Button();
  return std::none_of(controls.begin(), controls.end(),
                      [](const QWidget* control) { return control->isEnabled(); });
}
bool StreamControlsFree(const IOPage& page) {
  const QList<QWidget*> controls = StreamControls(page);
  return std::all_of(controls.begin(), controls.end(),
                     [](const QWidget* control) { return control->isEnabled(); });
}

struct ProgressTrace {
  QList<int> values;
  QStringList captions;
};
}  // namespace

class IOPageTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void StartsWithItsDefaults();
  void LimitsReachTheEngineAndTheFieldsShowThem();
  void BlockLengthEntryGivesHalfItsBytes();
  void EmptyFieldKeepsThePageAndTheEngine();
  void MissingDefaultFileDisablesFormatButtonsOnly();
  void ChosenEightBitMonoFileSetsAndLocksTheFormat_data();
  void ChosenEightBitMonoFileSetsAndLocksTheFormat();
  void FileToFileRunShowsCancelAndFillsTheBar();
  void OutputThatIsTheInputIsRefusedAndTheInputKept();
  void CancelEndsTheRunWithAValidShorterFile();
  void ClosingDuringAFileRunEndsItFirst();
  void LiveRunStartsAndStopsFromThePage();
  void PlayRunEndsByItself();
  void ADeviceRunIsStoppedWhateverTheListsShow();
  void ADeviceThatStopsWorkingEndsTheRun();
  void BusyOutputDeviceGivesOneMessageAndStaysIdle();
  void NoOutputDeviceLeavesTheOutputListUnselected();
  void JackPortTakesTheServersRateAndLocksWhatDoesNotApply();

 private:
  QTemporaryDir home_;
};

void IOPageTest::initTestCase() {
  // The default file entry is test.wav in the home folder: use an empty one.
  QVERIFY(home_.isValid());
  qputenv("HOME", home_.path().toUtf8());
}

void IOPageTest::StartsWithItsDefaults() {
  StartedApp program;
  IOPage& page = program.Sheet().IO();
  QCOMPARE(page.Title(), QStringLiteral("I/O"));
  QCOMPARE(page.BlockLengthList()->count(), 7);
  QCOMPARE(page.BlockLengthList()->itemText(0), QStringLiteral("256"));
  QCOMPARE(page.BlockLengthList()->itemText(6), QStringLiteral("16384"));
  QCOMPARE(page.BlockLengthList()->currentIndex(), 0);
  QCOMPARE(page.BufferCountEdit()->text(), QStringLiteral("16"));
  QCOMPARE(page.SampleRateEdit()->text(), QStringLiteral("22000"));
  const QString defaultFile = home_.filePath(QStringLiteral("test.wav"));
  QCOMPARE(page.InputList()->itemText(0), defaultFile);
  QCOMPARE(page.OutputList()->itemText(0), defaultFile);
  QCOMPARE(page.InputList()->count(), 3);
  QCOMPARE(page.InputList()->itemText(1), QStringLiteral("Simulated Input 1"));
  QCOMPARE(page.OutputList()->itemText(2), QStringLiteral("Simulated Output 2"));
  QCOMPARE(page.InputList()->currentIndex(), 1);
  QCOMPARE(page.OutputList()->currentIndex(), 1);
  QVERIFY(page.StereoButton()->isChecked() && !page.MonoButton()->isChecked());
  QVERIFY(page.Bits16Button()->isChecked() && !page.Bits8Button()->isChecked());
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
  QCOMPARE(page.ProgressBar()->maximum(), 32768);
  QVERIFY(!page.ProgressBar()->isEnabled());
  QVERIFY(!page.ProcessingLabel()->isEnabled());

  const WaveEngine& engine = program.Sheet().Engine();
  QCOMPARE(engine.settings.bufferCount, 16);
  QCOMPARE(engine.settings.sampleRate, 22000);
  QCOMPARE(engine.settings.channels, 2);
  QCOMPARE(engine.settings.bitsPerSample, 16);
  QCOMPARE(engine.settings.blockBytes, 128);
  QVERIFY(!engine.settings.inputIsFile && !engine.settings.outputIsFile);
  QCOMPARE(engine.settings.inputDeviceId, 0);
  QCOMPARE(engine.settings.outputDeviceId, 0);
}

void IOPageTest::LimitsReachTheEngineAndTheFieldsShowThem() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  IOPage& page = sheet.IO();
  const WaveEngine& engine = sheet.Engine();
  struct Case {
    const char* buffers;
    const char* rate;
    int engineBuffers;
    int engineRate;
  };
  for (const Case& c :
       {Case{"100", "8000", 32, 11000}, Case{"3", "48000", 4, 44100}, Case{"4", "11000", 4, 11000},
        Case{"32", "44100", 32, 44100}, Case{"20", "32000", 20, 32000}}) {
    ClickTab(sheet, 0);
    page.BufferCountEdit()->setText(QString::fromUtf8(c.buffers));
    page.SampleRateEdit()->setText(QString::fromUtf8(c.rate));
    ClickTab(sheet, 1);  // leaving the page takes its data
    QCOMPARE(sheet.currentIndex(), 1);
    QCOMPARE(engine.settings.bufferCount, c.engineBuffers);
    QCOMPARE(engine.settings.sampleRate, c.engineRate);
    QCOMPARE(sheet.LeftChain().sampleRate, c.engineRate);
    QCOMPARE(sheet.RightChain().sampleRate, c.engineRate);
    // The fields show what runs, at once and when the page comes back.
    QCOMPARE(page.BufferCountEdit()->text(), QString::number(c.engineBuffers));
    QCOMPARE(page.SampleRateEdit()->text(), QString::number(c.engineRate));
    ClickTab(sheet, 0);
    QCOMPARE(page.BufferCountEdit()->text(), QString::number(c.engineBuffers));
    QCOMPARE(page.SampleRateEdit()->text(), QString::number(c.engineRate));
  }
  // "Mono" takes the data at once.
  page.MonoButton()->click();
  QCOMPARE(engine.settings.channels, 1);
  page.StereoButton()->click();
  QCOMPARE(engine.settings.channels, 2);
}

void IOPageTest::BlockLengthEntryGivesHalfItsBytes() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  IOPage& page = sheet.IO();
  for (int entry = 0; entry < 7; ++entry) {
    page.BlockLengthList()->setCurrentIndex(entry);
    QVERIFY(page.ExchangeFromControls());
    const int shown = page.BlockLengthList()->currentText().toInt();
    QCOMPARE(sheet.Engine().settings.blockBytes, shown / 2);
    // The chains count frames: 16-bit stereo takes four bytes a frame.
    QCOMPARE(sheet.LeftChain().blockFrames, shown / 8);
    QCOMPARE(sheet.RightChain().blockFrames, shown / 8);
  }
  QCOMPARE(sheet.Engine().settings.blockBytes, 8192);  // "16384"
}

void IOPageTest::EmptyFieldKeepsThePageAndTheEngine() {
  MessageLog messages;
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  IOPage& page = sheet.IO();
  page.BufferCountEdit()->setText(QStringLiteral("8"));
  ClickTab(sheet, 1);
  ClickTab(sheet, 0);
  QCOMPARE(sheet.Engine().settings.bufferCount, 8);

  page.BufferCountEdit()->clear();
  page.SampleRateEdit()->setText(QStringLiteral("30000"));
  ClickTab(sheet, 1);
  QCOMPARE(messages.texts, QStringList({"Please enter an integer."}));
  QCOMPARE(sheet.currentIndex(), 0);
  QCOMPARE(sheet.CurrentPage(), &page);
  QCOMPARE(sheet.Engine().settings.bufferCount, 8);
  QCOMPARE(sheet.Engine().settings.sampleRate, 22000);

  // Once the field holds a number again the page can be left.
  page.BufferCountEdit()->setText(QStringLiteral("6"));
  ClickTab(sheet, 1);
  QCOMPARE(sheet.currentIndex(), 1);
  QCOMPARE(sheet.Engine().settings.bufferCount, 6);
  QCOMPARE(sheet.Engine().settings.sampleRate, 30000);
  QCOMPARE(messages.texts.size(), 1);
}

void IOPageTest::MissingDefaultFileDisablesFormatButtonsOnly() {
  MessageLog messages;
  StartedApp program;
  IOPage& page = program.Sheet().IO();
  PickInList(page.InputList(), 0);
  QCOMPARE(messages.texts, QStringList({"Error opening file"}));
  for (QRadioButton* button :
       {page.MonoButton(), page.StereoButton(), page.Bits8Button(), page.Bits16Button()}) {
    QVERIFY(!button->isEnabled());
  }
  QVERIFY(page.StereoButton()->isChecked());
  QVERIFY(page.Bits16Button()->isChecked());
  QCOMPARE(page.SampleRateEdit()->text(), QStringLiteral("22000"));
  // A device entry gives the buttons back.
  PickInList(page.InputList(), 2);
  QVERIFY(page.MonoButton()->isEnabled());
  QVERIFY(page.Bits8Button()->isEnabled());
}

void IOPageTest::ChosenEightBitMonoFileSetsAndLocksTheFormat_data() {
  QTest::addColumn<bool>("dropped");
  QTest::newRow("with Select") << false;
  QTest::newRow("dropped on the page") << true;
}

void IOPageTest::ChosenEightBitMonoFileSetsAndLocksTheFormat() {
  QFETCH(bool, dropped);
  MessageLog messages;
  QTemporaryDir folder;
  const QString input =
      WriteWave(folder, "mono8.wav", ts::PcmFormat(1, 11025, 8), ts::Bytes(3000, 0x80));
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  IOPage& page = sheet.IO();
  auto choose = [&](const QString& path) {
    if (dropped) {
      QVERIFY(DropOn(page, path));
      return;
    }
    page.SetFileChooser([path](IOPage::FileDialogKind kind) {
      return kind == IOPage::FileDialogKind::kOpenInput ? path : QString();
    });
    page.InputSelectButton()->click();
  };
  if (dropped) {
    // Only a file named as a WAV file is taken.
    QVERIFY(!DropOn(page, folder.filePath(QStringLiteral("notes.txt"))));
    QCOMPARE(page.InputList()->currentIndex(), 1);
  }
  choose(input);
  QVERIFY(messages.texts.isEmpty());
  QVERIFY(page.MonoButton()->isChecked());
  QVERIFY(page.Bits8Button()->isChecked());
  for (QRadioButton* button :
       {page.MonoButton(), page.StereoButton(), page.Bits8Button(), page.Bits16Button()}) {
    QVERIFY(!button->isEnabled());
  }
  // A file plays at its own rate: the field shows it and is locked.
  QCOMPARE(page.SampleRateEdit()->text(), QStringLiteral("11025"));
  QVERIFY(!page.SampleRateEdit()->isEnabled());
  QCOMPARE(page.InputList()->currentIndex(), 0);
  QCOMPARE(page.InputList()->itemText(0), input);
  QCOMPARE(page.InputFileName(), input);
  QVERIFY(sheet.Engine().settings.inputIsFile);
  QCOMPARE(QString::fromStdString(sheet.Engine().settings.inputFileName), input);
  QCOMPARE(sheet.Engine().settings.channels, 1);
  QCOMPARE(sheet.Engine().settings.bitsPerSample, 8);
  QCOMPARE(sheet.Engine().settings.sampleRate, 11025);

  // A file that is not a WAV file changes nothing.
  const QString text = folder.filePath(QStringLiteral("notes.wav"));
  ts::WriteFileBytes(text.toStdString(), ts::Bytes(64, 'x'));
  choose(text);
  QCOMPARE(messages.texts.size(), 1);
  QCOMPARE(page.InputFileName(), input);
  QCOMPARE(page.InputList()->itemText(0), input);
  if (dropped) {
    return;
  }
  // Cancelling the dialog changes nothing either.
  page.SetFileChooser([](IOPage::FileDialogKind) { return QString(); });
  page.InputSelectButton()->click();
  page.OutputSelectButton()->click();
  QCOMPARE(page.InputFileName(), input);
  QCOMPARE(page.OutputList()->currentIndex(), 1);
  // A device source takes the rate typed again.
  PickInList(page.InputList(), 1);
  QVERIFY(page.SampleRateEdit()->isEnabled());
  QVERIFY(page.MonoButton()->isEnabled());
}

void IOPageTest::FileToFileRunShowsCancelAndFillsTheBar() {
  MessageLog messages;
  QTemporaryDir folder;
  const ts::Bytes data = StereoRamp(5000);  // 20000 bytes: 156 blocks of 128 and a short one
  const QString input = WriteWave(folder, "in.wav", ts::PcmFormat(2, 22050, 16), data);
  const QString output = folder.filePath(QStringLiteral("out.wav"));
  StartedApp program;
  IOPage& page = program.Sheet().IO();
  SelectFiles(page, input, output);
  QCOMPARE(page.OutputList()->itemText(0), output);
  QCOMPARE(page.OutputList()->currentIndex(), 0);

  ProgressTrace trace;
  connect(page.ProgressBar(), &QProgressBar::valueChanged, this, [&](int value) {
    trace.values.push_back(value);
    trace.captions.push_back(page.StartButtonWidget()->text());
    QVERIFY(page.ProcessingLabel()->isEnabled());
    QVERIFY(!page.InputSelectButton()->isEnabled());
  });
  page.StartButtonWidget()->click();

  QVERIFY(messages.texts.isEmpty());
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
  QVERIFY(!trace.values.isEmpty());
  QCOMPARE(*std::max_element(trace.values.begin(), trace.values.end()), 32768);
  QCOMPARE(trace.values.last(), 0);
  QCOMPARE(page.ProgressBar()->value(), 0);
  QVERIFY(trace.captions.contains(QStringLiteral("Cancel")));
  QVERIFY(!page.ProgressBar()->isEnabled());
  QVERIFY(!page.ProcessingLabel()->isEnabled());
  QVERIFY(page.InputSelectButton()->isEnabled());

  // Every effect is disabled: the output is the input, sample for sample.
  const ts::ParsedWave written = ts::ParseWave(ts::ReadFileBytes(output.toStdString()));
  QCOMPARE(QString::fromStdString(written.problem), QString());
  QCOMPARE(written.format.channels, uint16_t{2});
  QCOMPARE(written.format.samplesPerSec, uint32_t{22050});
  QVERIFY(written.data == data);
}

void IOPageTest::OutputThatIsTheInputIsRefusedAndTheInputKept() {
  MessageLog messages;
  QTemporaryDir folder;
  const QString input =
      WriteWave(folder, "take.wav", ts::PcmFormat(2, 22050, 16), StereoRamp(5000));
  const ts::Bytes original = ts::ReadFileBytes(input.toStdString());
  QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub")));
  QVERIFY(QFile::link(input, folder.filePath(QStringLiteral("link.wav"))));
  StartedApp program;
  IOPage& page = program.Sheet().IO();
  const QStringList outputs = {input, folder.path() + QStringLiteral("/./take.wav"),
                               folder.path() + QStringLiteral("/sub/../take.wav"),
                               folder.filePath(QStringLiteral("link.wav"))};
  for (const QString& output : outputs) {
    messages.texts.clear();
    SelectFiles(page, input, output);
    page.StartButtonWidget()->click();
    QCOMPARE(messages.texts, QStringList({"The output file is the input file!"}));
    QVERIFY(ts::ReadFileBytes(input.toStdString()) == original);
    QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
    QCOMPARE(page.ProgressBar()->value(), 0);
    QVERIFY(StreamControlsFree(page));
  }
  // Another output runs.
  const QString other = folder.filePath(QStringLiteral("other.wav"));
  SelectFiles(page, input, other);
  page.StartButtonWidget()->click();
  QCOMPARE(messages.texts.size(), 1);
  QVERIFY(ts::ParseWave(ts::ReadFileBytes(other.toStdString())).data ==
          ts::ParseWave(original).data);
}

void IOPageTest::CancelEndsTheRunWithAValidShorterFile() {
  MessageLog messages;
  QTemporaryDir folder;
  const ts::Bytes data = StereoRamp(64000);  // 256000 bytes: 2000 blocks of 128
  const QString input = WriteWave(folder, "long.wav", ts::PcmFormat(2, 44100, 16), data);
  const QString output = folder.filePath(QStringLiteral("cut.wav"));
  StartedApp program;
  IOPage& page = program.Sheet().IO();
  SelectFiles(page, input, output);

  // A quarter of the way, the user clicks "Cancel": the click is an event
  // that the run has to let through.
  bool clicked = false;
  connect(page.ProgressBar(), &QProgressBar::valueChanged, this, [&](int value) {
    if (!clicked && value >= 32768 / 4) {
      clicked = true;
      QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Cancel"));
      QMetaObject::invokeMethod(page.StartButtonWidget(), "click", Qt::QueuedConnection);
    }
  });
  page.StartButtonWidget()->click();

  QVERIFY(clicked);
  QVERIFY(messages.texts.isEmpty());
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
  QCOMPARE(page.ProgressBar()->value(), 0);
  const ts::ParsedWave written = ts::ParseWave(ts::ReadFileBytes(output.toStdString()));
  QCOMPARE(QString::fromStdString(written.problem), QString());
  QVERIFY(written.data.size() >= data.size() / 4);
  QVERIFY(written.data.size() < data.size() / 2);
  QCOMPARE(written.data.size() % 128, size_t{0});
  QVERIFY(std::equal(written.data.begin(), written.data.end(), data.begin()));
  // The status line says where the run stopped (64000 frames are 1.45 s) and
  // that the file holds the part before it.
  const QRegularExpressionMatch status =
      QRegularExpression(QStringLiteral("^Cancelled at (0:00\\.\\d) of 0:01\\.4: (.*) holds the "
                                        "part processed \\((0:00\\.\\d)\\), peak "))
          .match(page.StatusLine()->text());
  QVERIFY2(status.hasMatch(), qPrintable(page.StatusLine()->text()));
  QCOMPARE(status.captured(2), output);
  QCOMPARE(status.captured(3), status.captured(1));

  // The next Start runs the whole file.
  page.StartButtonWidget()->click();
  QVERIFY(ts::ParseWave(ts::ReadFileBytes(output.toStdString())).data == data);
}

void IOPageTest::ClosingDuringAFileRunEndsItFirst() {
  MessageLog messages;
  QTemporaryDir folder;
  const ts::Bytes data = StereoRamp(64000);
  const QString input = WriteWave(folder, "long.wav", ts::PcmFormat(2, 44100, 16), data);
  const QString output = folder.filePath(QStringLiteral("closed.wav"));
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  IOPage& page = sheet.IO();
  SelectFiles(page, input, output);
  bool closed = false;
  connect(page.ProgressBar(), &QProgressBar::valueChanged, this, [&](int value) {
    if (!closed && value > 0) {
      closed = true;
      QMetaObject::invokeMethod(&sheet, "close", Qt::QueuedConnection);
    }
  });
  page.StartButtonWidget()->click();
  QVERIFY(closed);
  // The run ended at the close; the window goes once the run has returned.
  QTRY_VERIFY(!sheet.isVisible());
  QCOMPARE(sheet.count(), 0);
  QCOMPARE(sheet.LeftChain().count, 0);
  const ts::ParsedWave written = ts::ParseWave(ts::ReadFileBytes(output.toStdString()));
  QCOMPARE(QString::fromStdString(written.problem), QString());
  QVERIFY(written.data.size() < data.size());
  QVERIFY(messages.texts.isEmpty());
}

void IOPageTest::LiveRunStartsAndStopsFromThePage() {
  MessageLog messages;
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  IOPage& page = sheet.IO();
  SimulatedWaveService& service = program.Service();
  page.BufferCountEdit()->setText(QStringLiteral("6"));
  page.MonoButton()->click();
  int played = 0;
  service.SetOutputObserver([&](const uint8_t*, uint32_t) { ++played; });

  page.StartButtonWidget()->click();
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Stop"));
  QCOMPARE(service.OpenDeviceCount(), 2);
  QCOMPARE(service.LastFormat(WaveDirection::kInput).channels, uint16_t{1});
  QCOMPARE(service.LastFormat(WaveDirection::kInput).samplesPerSec, uint32_t{22000});
  QCOMPARE(service.QueuedCount(WaveDirection::kInput), 4);   // 6 - 2 spares
  QCOMPARE(service.QueuedCount(WaveDirection::kOutput), 4);  // 4 silent buffers
  QVERIFY(sheet.LeftChain().prepared);
  // The stream stays as it was opened: its controls wait for the run's end.
  QVERIFY(StreamControlsLocked(page));
  QVERIFY(page.StartButtonWidget()->isEnabled());
  // The devices keep pace: a buffer played, a buffer recorded, ...
  for (int i = 0; i < 10; ++i) {
    QVERIFY(service.CompleteOutput());
    QVERIFY(service.CompleteInput());
  }
  QCOMPARE(played, 10);
  QCOMPARE(service.QueuedCount(WaveDirection::kOutput), 4);
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Stop"));

  page.StartButtonWidget()->click();
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
  QCOMPARE(service.OpenDeviceCount(), 0);
  QVERIFY(!sheet.Engine().outputOpen);
  QVERIFY(!sheet.LeftChain().prepared);
  QCOMPARE(page.ProgressBar()->value(), 0);
  QVERIFY(!page.ProgressBar()->isEnabled());
  QVERIFY(StreamControlsFree(page));
  QVERIFY(messages.texts.isEmpty());

  // A second click starts a new run.
  page.StartButtonWidget()->click();
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Stop"));
  page.StartButtonWidget()->click();
  QCOMPARE(service.OpenDeviceCount(), 0);
}

void IOPageTest::PlayRunEndsByItself() {
  MessageLog messages;
  QTemporaryDir folder;
  const ts::Bytes data = StereoRamp(320);  // 1280 bytes: 10 blocks of 128
  // A rate above the field's 44100: the file still plays, and its effects
  // run, at its own rate.
  const QString input = WriteWave(folder, "play.wav", ts::PcmFormat(2, 48000, 16), data);
  StartedApp program;
  IOPage& page = program.Sheet().IO();
  SimulatedWaveService& service = program.Service();
  page.SetFileChooser([&](IOPage::FileDialogKind) { return input; });
  page.InputSelectButton()->click();
  QCOMPARE(page.SampleRateEdit()->text(), QStringLiteral("48000"));

  page.StartButtonWidget()->click();
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Stop"));
  QVERIFY(page.ProgressBar()->isEnabled());
  QVERIFY(StreamControlsLocked(page));
  QCOMPARE(service.LastFormat(WaveDirection::kOutput).samplesPerSec, uint32_t{48000});
  QCOMPARE(program.Sheet().LeftChain().sampleRate, 48000);
  QCOMPARE(program.Sheet().RightChain().sampleRate, 48000);
  int rounds = 0;
  while (service.CompleteOutput() && rounds < 100) {
    ++rounds;
  }
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
  QCOMPARE(page.ProgressBar()->value(), 0);
  QCOMPARE(service.OpenDeviceCount(), 0);
  // The run ended by itself: the label and the bar stay enabled.
  QVERIFY(page.ProgressBar()->isEnabled());
  QVERIFY(page.ProcessingLabel()->isEnabled());
  QVERIFY(messages.texts.isEmpty());
  // The controls are free again; the file keeps the format buttons off.
  QVERIFY(StreamControlsFree(page));
  QVERIFY(!page.MonoButton()->isEnabled());
}

void IOPageTest::ADeviceRunIsStoppedWhateverTheListsShow() {
  MessageLog messages;
  QTemporaryDir folder;
  const ts::Bytes data = StereoRamp(20000);
  const QString input = WriteWave(folder, "in.wav", ts::PcmFormat(2, 22050, 16), data);
  const QString output = folder.filePath(QStringLiteral("out.wav"));
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  IOPage& page = sheet.IO();
  SimulatedWaveService& service = program.Service();
  SelectFiles(page, input, output);
  PickInList(page.InputList(), 1);
  PickInList(page.OutputList(), 1);
  page.BlockLengthList()->setCurrentIndex(3);
  // Effects with stream state, prepared for the live run's block length.
  for (EffectChain* chain : {&sheet.LeftChain(), &sheet.RightChain()}) {
    for (Effect* node = chain->head; node; node = node->next) {
      chain->SetEnabled(node, 1);
    }
  }
  const std::array<WaveDirection, 2> directions = {WaveDirection::kInput, WaveDirection::kOutput};
  for (const WaveDirection direction : directions) {
    // A live run, and a record run from the same device.
    if (direction == WaveDirection::kOutput) {
      PickInList(page.OutputList(), 0);
    }
    page.StartButtonWidget()->click();
    QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Stop"));
    QVERIFY(StreamControlsLocked(page));
    QVERIFY(service.CompleteInput());
    // Both lists on their file entries, as far as the page can be made to
    // show it: the click still only stops the device run.
    page.InputList()->setCurrentIndex(0);
    page.OutputList()->setCurrentIndex(0);
    page.StartButtonWidget()->click();
    QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
    QCOMPARE(service.OpenDeviceCount(), 0);
    QVERIFY(!sheet.Engine().outputOpen);
    QVERIFY(!sheet.LeftChain().prepared);
    QVERIFY(StreamControlsFree(page));
    QVERIFY(page.MonoButton()->isEnabled());
    PickInList(page.InputList(), 1);
  }
  QVERIFY(messages.texts.isEmpty());
  // The input was never written, and the record run's output is whole.
  QVERIFY(ts::ParseWave(ts::ReadFileBytes(input.toStdString())).data == data);
  QCOMPARE(QString::fromStdString(ts::ParseWave(ts::ReadFileBytes(output.toStdString())).problem),
           QString());
}

void IOPageTest::ADeviceThatStopsWorkingEndsTheRun() {
  MessageLog messages;
  StartedApp program;
  IOPage& page = program.Sheet().IO();
  SimulatedWaveService& service = program.Service();
  page.StartButtonWidget()->click();
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Stop"));
  QVERIFY(service.CompleteOutput());
  QVERIFY(service.CompleteInput());
  QVERIFY(service.FailDevice(WaveDirection::kOutput, "unplugged"));
  QCOMPARE(messages.texts, QStringList({"The output device has stopped working!"}));
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
  QCOMPARE(service.OpenDeviceCount(), 0);
  QVERIFY(!program.Sheet().Engine().outputOpen);
  // The next click starts a new run.
  page.StartButtonWidget()->click();
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Stop"));
  page.StartButtonWidget()->click();
}

void IOPageTest::BusyOutputDeviceGivesOneMessageAndStaysIdle() {
  MessageLog messages;
  StartedApp program;
  IOPage& page = program.Sheet().IO();
  SimulatedWaveService& service = program.Service();
  service.SetBusy(WaveDirection::kOutput, 0, true);
  page.StartButtonWidget()->click();
  QCOMPARE(messages.texts, QStringList({"Specified output resource is already allocated!"}));
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
  QCOMPARE(service.OpenDeviceCount(), 0);
  QVERIFY(!program.Sheet().Engine().inputOpen);
  QVERIFY(!program.Sheet().LeftChain().prepared);

  service.SetBusy(WaveDirection::kOutput, 0, false);
  page.StartButtonWidget()->click();
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Stop"));
  QCOMPARE(messages.texts.size(), 1);
  page.StartButtonWidget()->click();
}

void IOPageTest::NoOutputDeviceLeavesTheOutputListUnselected() {
  MessageLog messages;
  StartedApp program(gui_test::ListIndexOf("Chorus"), gui_test::ListIndexOf("Reverb"), 2, 0);
  IOPage& page = program.Sheet().IO();
  QCOMPARE(page.OutputList()->count(), 1);
  QCOMPARE(page.OutputList()->currentIndex(), -1);
  page.StartButtonWidget()->click();
  QCOMPARE(messages.texts, QStringList({"Specified output device identifier is out of range!"}));
  QCOMPARE(page.StartButtonWidget()->text(), QStringLiteral("Start"));
  QCOMPARE(program.Service().OpenDeviceCount(), 0);
}

void IOPageTest::JackPortTakesTheServersRateAndLocksWhatDoesNotApply() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  IOPage& page = sheet.IO();
  WaveEngine& engine = sheet.Engine();
  // A JACK server's port, as the engine lists it after the sound cards.
  engine.outputCaps.push_back(WaveDeviceCaps{"JACK: system:playback_1", "system:playback_1", true});
  engine.jackSampleRate = 48000;
  page.OutputList()->addItem(QStringLiteral("JACK: system:playback_1"));
  const int jackEntry = page.OutputList()->count() - 1;

  PickInList(page.OutputList(), jackEntry);
  QCOMPARE(page.SampleRateEdit()->text(), QStringLiteral("48000"));
  QVERIFY(!page.SampleRateEdit()->isEnabled());
  QVERIFY(!page.BufferCountEdit()->isEnabled());
  QVERIFY(!page.BlockLengthList()->isEnabled());
  // The effects are set up for the server's rate, beyond the sound cards' range.
  QCOMPARE(sheet.LeftChain().sampleRate, 48000);
  QCOMPARE(engine.settings.outputDeviceId, jackEntry - 1);
  QVERIFY(engine.SettingsUseJack());

  PickInList(page.OutputList(), 1);
  QVERIFY(page.SampleRateEdit()->isEnabled());
  QVERIFY(page.BufferCountEdit()->isEnabled());
  QVERIFY(page.BlockLengthList()->isEnabled());
  QVERIFY(!engine.SettingsUseJack());
}

QTEST_MAIN(IOPageTest)
#include "io_page_test.moc"
