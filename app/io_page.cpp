#include "app/io_page.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "effects/effect_chain.h"
#include "engine/block_processor.h"
#include "engine/wave_engine.h"
#include "ui/clamp_store.h"

namespace {
constexpr const char* kStartCaption = "Start";
constexpr const char* kStopCaption = "Stop";
constexpr const char* kCancelCaption = "Cancel";
constexpr const char* kIntegerMessage = "Please enter an integer.";
constexpr const char* kWaveFileFilter = "Wave Files (*.WAV)";
constexpr const char* kWaveFileExtension = "WAV";
// The first entry of the block length list; each further entry doubles it.
constexpr int kFirstBlockLength = 256;
// How often the run's latency and xruns are shown afresh.
constexpr int kStatusMilliseconds = 500;

QString DefaultFileName() {
  return QDir::homePath() + QStringLiteral("/test.wav");
}

std::string LocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// "1:02.5" for 62.5 s; "1:02:03.0" past an hour.
QString DurationText(uint64_t frames, uint32_t rate) {
  const uint64_t tenths = rate == 0 ? 0 : frames * 10 / rate;
  const uint64_t seconds = tenths / 10;
  const QString rest =
      QStringLiteral("%1.%2").arg(seconds % 60, 2, 10, QLatin1Char('0')).arg(tenths % 10);
  if (seconds >= 3600) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(rest);
  }
  return QStringLiteral("%1:%2").arg(seconds / 60).arg(rest);
}

// The engine's block length for an entry of the block length list.
int32_t BlockBytesOfEntry(int entry) {
  return static_cast<int32_t>(std::lround(std::pow(2.0, entry + 7)));
}

QLineEdit* MakeDigitsEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  edit->setAlignment(Qt::AlignRight);
  edit->setMaximumWidth(80);
  return edit;
}
}  // namespace

void IOPage::ProgressBarSink::SetProgress(int32_t position) {
  if (bar) {
    // The bar ignores values outside its range; keep the end visible.
    bar->setValue(std::clamp(position, 0, kProgressRange));
  }
}

IOPage::IOPage(QWidget* parent) : PropertyPage(QStringLiteral("I/O"), parent) {
  BuildControls();
  progressSink_.bar = progress_;
}

void IOPage::BuildControls() {
  blockList_ = new QComboBox(this);
  buffersEdit_ = MakeDigitsEdit(this);
  rateEdit_ = MakeDigitsEdit(this);
  inputList_ = new QComboBox(this);
  outputList_ = new QComboBox(this);
  for (QComboBox* list : {inputList_, outputList_}) {
    // At least 32 characters; wider with the window, and a long name can be
    // read whole in the open list and in the tooltips.
    list->setMinimumContentsLength(32);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(list, &QComboBox::currentIndexChanged, list,
            [list] { list->setToolTip(list->currentText()); });
  }
  // Every control of the page has a mnemonic (Alt and the underlined
  // letter); Start and Stop have the sheet's shortcut.
  inputSelect_ = new QPushButton(QStringLiteral("&Select"), this);
  outputSelect_ = new QPushButton(QStringLiteral("Sel&ect"), this);
  mono_ = new QRadioButton(QStringLiteral("&Mono"), this);
  stereo_ = new QRadioButton(QStringLiteral("S&tereo"), this);
  bits8_ = new QRadioButton(QStringLiteral("&8 Bits"), this);
  bits16_ = new QRadioButton(QStringLiteral("1&6 Bits"), this);
  auto* channelGroup = new QButtonGroup(this);
  channelGroup->addButton(mono_);
  channelGroup->addButton(stereo_);
  auto* bitsGroup = new QButtonGroup(this);
  bitsGroup->addButton(bits8_);
  bitsGroup->addButton(bits16_);
  // A file dropped anywhere on the page, the number fields included,
  // becomes the source.
  setAcceptDrops(true);
  for (QLineEdit* edit : {buffersEdit_, rateEdit_}) {
    edit->setAcceptDrops(false);
  }
  start_ = new QPushButton(QString::fromUtf8(kStartCaption), this);
  start_->setMinimumWidth(96);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, ProgressSink::kProgressRange);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setEnabled(false);
  processing_ = new QLabel(QStringLiteral("Processing"), this);
  processing_->setEnabled(false);
  renderTails_ = new QCheckBox(QStringLiteral("Re&nder tails"), this);
  renderTails_->setToolTip(
      QStringLiteral("File to file: go on past the end of the input until the effects' echoes and "
                     "reverberation have died away (at most %1 s)")
          .arg(kMaxTailSeconds));
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setMinimumHeight(status_->fontMetrics().height());
  statusTimer_ = new QTimer(this);
  statusTimer_->setInterval(kStatusMilliseconds);

  auto* settings = new QGridLayout;
  auto addRow = [&](int row, const char* label, QWidget* field, const char* unit) {
    auto* caption = new QLabel(QString::fromUtf8(label), this);
    caption->setBuddy(field);
    settings->addWidget(caption, row, 0);
    settings->addWidget(field, row, 1);
    if (unit) {
      settings->addWidget(new QLabel(QString::fromUtf8(unit), this), row, 2);
    }
  };
  addRow(0, "Buffer &Length", blockList_, "Bytes");
  addRow(1, "# of &Buffers", buffersEdit_, nullptr);
  addRow(2, "Sampling &Rate", rateEdit_, "Hz");
  settings->setColumnStretch(3, 1);

  auto* formats = new QGridLayout;
  formats->addWidget(mono_, 0, 0);
  formats->addWidget(stereo_, 1, 0);
  formats->addWidget(bits8_, 0, 1);
  formats->addWidget(bits16_, 1, 1);
  formats->setHorizontalSpacing(24);
  formats->setColumnStretch(2, 1);

  auto* devices = new QGridLayout;
  auto addDevice = [&](int row, const char* label, QComboBox* list, QPushButton* select) {
    auto* caption = new QLabel(QString::fromUtf8(label), this);
    caption->setBuddy(list);
    devices->addWidget(caption, row, 0);
    devices->addWidget(list, row, 1);
    devices->addWidget(select, row, 2);
  };
  addDevice(0, "&Input Device", inputList_, inputSelect_);
  addDevice(1, "&Output Device", outputList_, outputSelect_);
  auto* dropHint =
      new QLabel(QStringLiteral("A WAV file dropped on this page becomes the source."), this);
  dropHint->setForegroundRole(QPalette::PlaceholderText);
  devices->addWidget(dropHint, 2, 1);
  devices->addWidget(renderTails_, 3, 1);
  devices->setColumnStretch(1, 1);

  auto* run = new QHBoxLayout;
  run->addWidget(start_);
  run->addSpacing(12);
  run->addWidget(processing_);
  run->addWidget(progress_, 1);

  auto* page = new QVBoxLayout(this);
  page->addLayout(settings);
  page->addSpacing(6);
  page->addLayout(formats);
  page->addSpacing(6);
  page->addLayout(devices);
  page->addStretch();
  page->addLayout(run);
  page->addWidget(status_);

  // Tab goes through the page as it reads: top to bottom, left to right.
  QWidget* previous = blockList_;
  for (QWidget* next : std::initializer_list<QWidget*>{buffersEdit_, rateEdit_, mono_, bits8_,
                                                       stereo_, bits16_, inputList_, inputSelect_,
                                                       outputList_, outputSelect_, start_}) {
    setTabOrder(previous, next);
    previous = next;
  }

  connect(inputList_, &QComboBox::activated, this, &IOPage::OnInputSelectionChanged);
  connect(outputList_, &QComboBox::activated, this, [this] { ShowDriverSettings(); });
  connect(statusTimer_, &QTimer::timeout, this, &IOPage::ShowRunStatus);
  connect(inputSelect_, &QPushButton::clicked, this, &IOPage::OnInputSelect);
  connect(outputSelect_, &QPushButton::clicked, this, &IOPage::OnOutputSelect);
  connect(mono_, &QRadioButton::clicked, this, [this] { ExchangeFromControls(); });
  connect(stereo_, &QRadioButton::clicked, this, [this] { ExchangeFromControls(); });
  connect(start_, &QPushButton::clicked, this, &IOPage::OnStart);
}

void IOPage::SetEngine(WaveEngine* engine) {
  engine_ = engine;
  if (engine_) {
    engine_->runEnded = [this] { OnRunEnded(); };
  }
}

void IOPage::SetChains(EffectChain* left, EffectChain* right) {
  leftChain_ = left;
  rightChain_ = right;
}

void IOPage::SetFileChooser(FileChooser chooser) {
  fileChooser_ = std::move(chooser);
}

void IOPage::OnSetActive() {
  if (!initialized_) {
    Initialize();
    return;
  }
  ExchangeIntoControls();
}

bool IOPage::OnKillActive() {
  return ExchangeFromControls();
}

void IOPage::Initialize() {
  initialized_ = true;
  inputFileName_ = DefaultFileName();
  outputFileName_ = DefaultFileName();
  inputList_->clear();
  outputList_->clear();
  inputList_->addItem(inputFileName_);
  outputList_->addItem(outputFileName_);
  if (engine_) {
    for (const WaveDeviceCaps& caps : engine_->inputCaps) {
      inputList_->addItem(QString::fromStdString(caps.productName));
    }
    for (const WaveDeviceCaps& caps : engine_->outputCaps) {
      outputList_->addItem(QString::fromStdString(caps.productName));
    }
  }
  // Entry 1 is the first device; without one nothing is selected.
  inputList_->setCurrentIndex(inputList_->count() > 1 ? 1 : -1);
  outputList_->setCurrentIndex(outputList_->count() > 1 ? 1 : -1);
  ShowFullNames(inputList_);
  ShowFullNames(outputList_);

  blockList_->clear();
  for (int i = 0, length = kFirstBlockLength; i < kBlockLengthEntries; ++i, length *= 2) {
    blockList_->addItem(QString::number(length));
  }
  blockList_->setCurrentIndex(0);
  stereo_->setChecked(true);
  bits16_->setChecked(true);
  ExchangeIntoControls();
  ShowDriverSettings();
}

bool IOPage::ReadInteger(QLineEdit* edit, int32_t* value) {
  bool ok = false;
  const int parsed = edit->text().trimmed().toInt(&ok);
  if (!ok) {
    ShowMessageBox(QString::fromUtf8(kIntegerMessage), this);
    edit->setFocus();
    edit->selectAll();
    return false;
  }
  *value = parsed;
  return true;
}

bool IOPage::ExchangeFromControls() {
  if (!ReadInteger(buffersEdit_, &bufferCount_) || !ReadInteger(rateEdit_, &sampleRate_)) {
    return false;
  }
  WriteEngine();
  ShowNumbers();
  return true;
}

void IOPage::ExchangeIntoControls() {
  WriteEngine();
  ShowNumbers();
}

void IOPage::ShowNumbers() {
  // Only a changed number is written, so a field keeps its text as typed
  // ("016") when the value stands.
  for (const auto& [edit, value] :
       {std::pair{buffersEdit_, bufferCount_}, std::pair{rateEdit_, sampleRate_}}) {
    bool ok = false;
    if (edit->text().trimmed().toInt(&ok) != value || !ok) {
      edit->setText(QString::number(value));
    }
  }
}

void IOPage::WriteEngine() {
  if (!engine_) {
    return;
  }
  WaveRunSettings& settings = engine_->settings;
  const int input = inputList_->currentIndex();
  ClampStore(bufferCount_, settings.bufferCount, kMinBufferCount, kMaxBufferCount);
  // A file source plays at its own rate and a JACK port runs at the server's
  // (48000 Hz too, past the sound cards' range), which the (locked) field
  // shows; the engine's device rate is only limited.
  const bool ownRate = input == 0 || JackSelected();
  if (ownRate) {
    int32_t rate = sampleRate_;
    ClampStore(rate, settings.sampleRate, kMinSampleRate, kMaxSampleRate);
  } else {
    ClampStore(sampleRate_, settings.sampleRate, kMinSampleRate, kMaxSampleRate);
  }
  settings.channels = mono_->isChecked() ? 1 : 2;
  settings.bitsPerSample = bits8_->isChecked() ? 8 : 16;
  settings.blockBytes = BlockBytes();
  settings.tail.mode = renderTails_->isChecked() ? TailMode::kUntilQuiet : TailMode::kNone;
  // A chain that a run has prepared keeps the rate and block length it was
  // prepared with (the delay and EQ pages read them); the next run's Prepare
  // takes the new values anyway. A file source runs the effects at the
  // file's own rate, a JACK port at the server's. The chains count
  // frames, as a run's Prepare does, so the EQ page's band limits are the
  // same before and during a run.
  const int32_t blockFrames =
      FramesPerBlock(settings.blockBytes, settings.bitsPerSample, settings.channels);
  for (EffectChain* chain : {leftChain_, rightChain_}) {
    if (chain && !chain->prepared) {
      chain->sampleRate = ownRate ? sampleRate_ : settings.sampleRate;
      chain->blockFrames = blockFrames;
    }
  }

  settings.inputIsFile = input == 0;
  if (settings.inputIsFile) {
    settings.inputFileName = LocalPath(inputFileName_);
  } else {
    settings.inputDeviceId = input - 1;
  }
  const int output = outputList_->currentIndex();
  settings.outputIsFile = output == 0;
  if (settings.outputIsFile) {
    settings.outputFileName = LocalPath(outputFileName_);
  } else {
    settings.outputDeviceId = output - 1;
  }
}

bool IOPage::ProbeFile(const QString& path, WaveFormat* format) {
  return ProbeWaveFile(LocalPath(path), format, probeMessages_);
}

void IOPage::TakeFileFormat(const WaveFormat& format) {
  (format.channels == 1 ? mono_ : stereo_)->setChecked(true);
  (format.bitsPerSample == 8 ? bits8_ : bits16_)->setChecked(true);
  sampleRate_ = static_cast<int32_t>(format.samplesPerSec);
}

void IOPage::SetFormatButtonsEnabled(bool enabled) {
  formatButtonsEnabled_ = enabled;
  for (QRadioButton* button : {mono_, stereo_, bits8_, bits16_}) {
    button->setEnabled(enabled);
  }
  // A file plays at its own rate: the field shows it and cannot change it.
  rateEdit_->setEnabled(enabled);
}

void IOPage::OnInputSelectionChanged(int index) {
  if (index != 0) {
    SetFormatButtonsEnabled(true);
    ShowDriverSettings();
    return;
  }
  // A file brings its own format; on a failed probe the settings stay.
  WaveFormat format;
  if (ProbeFile(inputFileName_, &format)) {
    TakeFileFormat(format);
    ExchangeIntoControls();
  }
  SetFormatButtonsEnabled(false);
  ShowDriverSettings();
}

bool IOPage::JackSelected() const {
  if (!engine_) {
    return false;
  }
  auto isPort = [](const QComboBox* list, const std::vector<WaveDeviceCaps>& caps) {
    const int entry = list->currentIndex() - 1;
    return entry >= 0 && entry < static_cast<int>(caps.size()) &&
           caps[static_cast<size_t>(entry)].jackPort;
  };
  return isPort(inputList_, engine_->inputCaps) || isPort(outputList_, engine_->outputCaps);
}

void IOPage::ShowDriverSettings() {
  const bool jack = JackSelected();
  if (jack && inputList_->currentIndex() != 0 && engine_->jackSampleRate > 0) {
    sampleRate_ = engine_->jackSampleRate;
    ExchangeIntoControls();
  } else {
    WriteEngine();
  }
  SetRunControlsLocked(engine_ != nullptr && engine_->Running());
}

void IOPage::ShowRunStatus() {
  if (!engine_) {
    return;
  }
  const RunStatus status = engine_->Status();
  QString text = QStringLiteral("Latency: %1 ms").arg(status.LatencyMs(), 0, 'f', 1);
  if (status.jack) {
    text +=
        QStringLiteral("   JACK: %1 Hz, period %2").arg(status.sampleRate).arg(status.periodFrames);
  }
  text += QStringLiteral("   Xruns: %1").arg(status.xruns);
  if (status.droppedFrames > 0) {
    text += QStringLiteral("   Frames lost to the disk: %1").arg(status.droppedFrames);
  }
  status_->setText(text);
}

void IOPage::OnInputSelect() {
  const QString path = ChooseFile(FileDialogKind::kOpenInput);
  if (!path.isEmpty()) {
    SelectSourceFile(path);
  }
}

bool IOPage::SelectSourceFile(const QString& path) {
  if (!initialized_) {
    Initialize();
  }
  // While a run lasts its source stays as it opened.
  if (!inputList_->isEnabled()) {
    return false;
  }
  WaveFormat format;
  if (!ProbeFile(path, &format)) {
    return false;
  }
  inputFileName_ = path;
  inputList_->setItemText(0, path);
  ShowFullNames(inputList_);
  inputList_->setCurrentIndex(0);
  TakeFileFormat(format);
  ExchangeIntoControls();
  SetFormatButtonsEnabled(false);
  ShowDriverSettings();
  return true;
}

QString IOPage::DraggedWaveFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
    return QString();
  }
  const QUrl url = data->urls().constFirst();
  if (!url.isLocalFile() || !url.fileName().endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) {
    return QString();
  }
  return url.toLocalFile();
}

void IOPage::dragEnterEvent(QDragEnterEvent* event) {
  if (inputList_->isEnabled() && !DraggedWaveFile(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void IOPage::dropEvent(QDropEvent* event) {
  const QString path = DraggedWaveFile(event->mimeData());
  if (!path.isEmpty()) {
    event->acceptProposedAction();
    SelectSourceFile(path);
  }
}

void IOPage::ShowFullNames(QComboBox* list) {
  int widest = 0;
  for (int i = 0; i < list->count(); ++i) {
    list->setItemData(i, list->itemText(i), Qt::ToolTipRole);
    widest = std::max(widest, list->fontMetrics().horizontalAdvance(list->itemText(i)));
  }
  // Room for the entry's margins and a scroll bar.
  constexpr int kPopupPadding = 40;
  list->view()->setMinimumWidth(widest + kPopupPadding);
  list->setToolTip(list->currentText());
}

void IOPage::OnOutputSelect() {
  const QString path = ChooseFile(FileDialogKind::kSaveOutput);
  if (path.isEmpty()) {
    return;
  }
  outputFileName_ = path;
  outputList_->setItemText(0, path);
  ShowFullNames(outputList_);
  outputList_->setCurrentIndex(0);
  ShowDriverSettings();
}

QString IOPage::ChooseFile(FileDialogKind kind) {
  if (fileChooser_) {
    return fileChooser_(kind);
  }
  QFileDialog dialog(this);
  dialog.setNameFilter(QString::fromUtf8(kWaveFileFilter));
  dialog.setDefaultSuffix(QString::fromUtf8(kWaveFileExtension));
  if (kind == FileDialogKind::kOpenInput) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    // A save dialog asks before it overwrites an existing file.
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return QString();
  }
  return dialog.selectedFiles().constFirst();
}

void IOPage::OnStart() {
  if (fileRunActive_) {
    // "Cancel": the run ends after the block it is working on.
    cancelRequested_ = true;
    return;
  }
  if (!engine_) {
    return;
  }
  // A device run (live, record or play) is stopped by the button and by
  // nothing else: its chains and buffers were prepared for the settings it
  // opened with, whatever the page shows now.
  if (engine_->Running()) {
    StopDeviceRun();
    return;
  }
  ExchangeFromControls();
  status_->clear();
  engine_->progress = &progressSink_;
  const WaveRunSettings& settings = engine_->settings;
  if (settings.inputIsFile || settings.outputIsFile) {
    processing_->setEnabled(true);
    progress_->setEnabled(true);
  }
  if (settings.inputIsFile && settings.outputIsFile) {
    RunFileToFile();
  } else {
    StartDeviceRun();
  }
}

void IOPage::RunFileToFile() {
  start_->setText(QString::fromUtf8(kCancelCaption));
  fileRunActive_ = true;
  cancelRequested_ = false;
  SetRunControlsLocked(true);
  // Between two blocks the window repaints, the progress bar moves, the
  // effect pages stay usable and "Cancel" is heard.
  const FileRunResult result = engine_->ProcessFileToFile([this] {
    QCoreApplication::processEvents();
    return cancelRequested_;
  });
  ShowFileRunStatus(result);
  fileRunActive_ = false;
  cancelRequested_ = false;
  SetRunControlsLocked(false);
  start_->setText(QString::fromUtf8(kStartCaption));
  processing_->setEnabled(false);
  progress_->setEnabled(false);
  emit FileRunFinished();
}

void IOPage::ShowFileRunStatus(FileRunResult result) {
  const FileRunSummary& run = engine_->LastFileRun();
  const QString file = QString::fromStdString(engine_->settings.outputFileName);
  const QString levels = QStringLiteral("%1, %2.").arg(
      QString::fromStdString(OutputPeakText(engine_->Levels().Run())),
      QString::fromStdString(OutputClippedText(engine_->Levels().Run())));
  const QString written = DurationText(run.framesWritten, run.sampleRate);
  switch (result) {
    case FileRunResult::kCompleted:
      status_->setText(
          run.tailFrames == 0
              ? QStringLiteral("Wrote %1: %2, %3").arg(file, written, levels)
              : QStringLiteral("Wrote %1: %2 (%3 of it tail), %4")
                    .arg(file, written, DurationText(run.tailFrames, run.sampleRate), levels));
      return;
    case FileRunResult::kCancelled:
    case FileRunResult::kReadError:
    case FileRunResult::kWriteError: {
      const QString how = result == FileRunResult::kCancelled ? QStringLiteral("Cancelled")
                                                              : QStringLiteral("Stopped");
      const QString where =
          run.tailFrames > 0
              ? QStringLiteral("%1 into the tail").arg(DurationText(run.tailFrames, run.sampleRate))
              : QStringLiteral("at %1 of %2")
                    .arg(DurationText(run.framesRead, run.sampleRate),
                         DurationText(run.inputFrames, run.sampleRate));
      status_->setText(QStringLiteral("%1 %2: %3 holds the part processed (%4), %5")
                           .arg(how, where, file, written, levels));
      return;
    }
    default:
      return;  // nothing was written, or the file could not be finished: the message says so
  }
}

void IOPage::StartDeviceRun() {
  // A start that fails has shown why and left nothing open.
  if (engine_->StartRun()) {
    start_->setText(QString::fromUtf8(kStopCaption));
    SetRunControlsLocked(true);
    ShowRunStatus();
    statusTimer_->start();
  }
}

void IOPage::StopDeviceRun() {
  engine_->StopRun();  // the caption and the controls follow in OnRunEnded
  processing_->setEnabled(false);
  progress_->setEnabled(false);
}

void IOPage::OnRunEnded() {
  // Stopped, or ended by itself (the end of the input, a failed write, a
  // device that stopped working): the stream's settings may change again.
  start_->setText(QString::fromUtf8(kStartCaption));
  SetRunControlsLocked(false);
  statusTimer_->stop();
  ShowRunStatus();  // the run's final figures
}

void IOPage::SetRunControlsLocked(bool locked) {
  // While a run lasts, the settings that define its stream stay as it opened
  // with them; only the button ("Stop", "Cancel") acts on it.
  for (QWidget* control : std::initializer_list<QWidget*>{inputList_, outputList_, inputSelect_,
                                                          outputSelect_, renderTails_}) {
    control->setEnabled(!locked);
  }
  const bool jack = JackSelected();
  for (QWidget* control : std::initializer_list<QWidget*>{blockList_, buffersEdit_}) {
    control->setEnabled(!locked && !jack);
  }
  for (QWidget* control : std::initializer_list<QWidget*>{mono_, stereo_, bits8_, bits16_}) {
    control->setEnabled(!locked && formatButtonsEnabled_);
  }
  rateEdit_->setEnabled(!locked && formatButtonsEnabled_ && !jack);
}

IoSetup IOPage::IoSettings() const {
  IoSetup settings;
  settings.buffers = bufferCount_;
  settings.rate = sampleRate_;
  settings.channels = mono_->isChecked() ? 1 : 2;
  settings.bits = bits8_->isChecked() ? 8 : 16;
  const auto endpoint = [](const QComboBox* list, const QString& file,
                           const std::vector<WaveDeviceCaps>* caps) {
    IoEndpoint end;
    const int index = list->currentIndex();
    end.isFile = index <= 0;
    end.file = file.toStdString();
    if (!end.isFile) {
      end.device = index - 1;
      if (caps != nullptr && end.device < static_cast<int32_t>(caps->size())) {
        end.deviceName = (*caps)[static_cast<size_t>(end.device)].productName;
      }
      end.file.clear();
    }
    return end;
  };
  settings.source = endpoint(inputList_, inputFileName_, engine_ ? &engine_->inputCaps : nullptr);
  settings.sink = endpoint(outputList_, outputFileName_, engine_ ? &engine_->outputCaps : nullptr);
  return settings;
}

void IOPage::ApplyIoSettings(const IoSetup& settings) {
  if (!initialized_) {
    Initialize();
  }
  bufferCount_ = settings.buffers;
  sampleRate_ = settings.rate;
  (settings.channels == 1 ? mono_ : stereo_)->setChecked(true);
  (settings.bits == 8 ? bits8_ : bits16_)->setChecked(true);
  const auto select = [](QComboBox* list, QString* fileName, const IoEndpoint& end,
                         const std::vector<WaveDeviceCaps>* caps) {
    if (end.isFile) {
      *fileName = QString::fromStdString(end.file);
      list->setItemText(0, *fileName);
      ShowFullNames(list);
      list->setCurrentIndex(0);
      return;
    }
    int device = -1;
    for (size_t i = 0; caps != nullptr && i < caps->size(); ++i) {
      if (!end.deviceName.empty() && (*caps)[i].productName == end.deviceName) {
        device = static_cast<int>(i);
        break;
      }
    }
    if (device < 0 && end.device + 1 < list->count()) {
      device = end.device;
    }
    if (device >= 0) {
      list->setCurrentIndex(device + 1);
    }
  };
  select(inputList_, &inputFileName_, settings.source, engine_ ? &engine_->inputCaps : nullptr);
  select(outputList_, &outputFileName_, settings.sink, engine_ ? &engine_->outputCaps : nullptr);
  // A file brings its own format, which the saved fields show; a JACK port
  // the server's rate.
  SetFormatButtonsEnabled(inputList_->currentIndex() != 0);
  ExchangeIntoControls();
  ShowDriverSettings();
}

int32_t IOPage::BlockBytes() const {
  // Device buffers hold half the number shown: "256" gives 128 bytes.
  return BlockBytesOfEntry(std::max(blockList_->currentIndex(), 0));
}

void IOPage::SetBlockBytes(int32_t bytes) {
  if (!initialized_) {
    Initialize();
  }
  for (int entry = 0; entry < blockList_->count(); ++entry) {
    if (BlockBytesOfEntry(entry) == bytes) {
      blockList_->setCurrentIndex(entry);
    }
  }
  WriteEngine();
}
