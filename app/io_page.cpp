#include "app/io_page.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <initializer_list>

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
    list->setMinimumContentsLength(32);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  }
  inputSelect_ = new QPushButton(QStringLiteral("Select"), this);
  outputSelect_ = new QPushButton(QStringLiteral("Select"), this);
  mono_ = new QRadioButton(QStringLiteral("Mono"), this);
  stereo_ = new QRadioButton(QStringLiteral("Stereo"), this);
  bits8_ = new QRadioButton(QStringLiteral("8 Bits"), this);
  bits16_ = new QRadioButton(QStringLiteral("16 Bits"), this);
  auto* channelGroup = new QButtonGroup(this);
  channelGroup->addButton(mono_);
  channelGroup->addButton(stereo_);
  auto* bitsGroup = new QButtonGroup(this);
  bitsGroup->addButton(bits8_);
  bitsGroup->addButton(bits16_);
  start_ = new QPushButton(QString::fromUtf8(kStartCaption), this);
  start_->setMinimumWidth(96);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, ProgressSink::kProgressRange);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setEnabled(false);
  processing_ = new QLabel(QStringLiteral("Processing"), this);
  processing_->setEnabled(false);
  runStatus_ = new QLabel(this);
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
  addRow(0, "Buffer Length", blockList_, "Bytes");
  addRow(1, "# of Buffers", buffersEdit_, nullptr);
  addRow(2, "Sampling Rate", rateEdit_, "Hz");
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
  addDevice(0, "Input Device", inputList_, inputSelect_);
  addDevice(1, "Output Device", outputList_, outputSelect_);
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
  page->addWidget(runStatus_);

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
  return true;
}

void IOPage::ExchangeIntoControls() {
  buffersEdit_->setText(QString::number(bufferCount_));
  rateEdit_->setText(QString::number(sampleRate_));
  WriteEngine();
}

void IOPage::WriteEngine() {
  if (!engine_) {
    return;
  }
  WaveRunSettings& settings = engine_->settings;
  ClampStore(bufferCount_, settings.bufferCount, kMinBufferCount, kMaxBufferCount);
  ClampStore(sampleRate_, settings.sampleRate, kMinSampleRate, kMaxSampleRate);
  settings.channels = mono_->isChecked() ? 1 : 2;
  settings.bitsPerSample = bits8_->isChecked() ? 8 : 16;
  // Device buffers hold half the number shown: "256" gives 128 bytes.
  const int entry = std::max(blockList_->currentIndex(), 0);
  settings.blockBytes = static_cast<int32_t>(std::lround(std::pow(2.0, entry + 7)));
  const int input = inputList_->currentIndex();
  // A chain that a run has prepared keeps the rate and block length it was
  // prepared with (the delay and EQ pages read them); the next run's Prepare
  // takes the new values anyway. A file source runs the effects at the
  // file's own rate, which the (locked) rate field shows. The chains count
  // frames, as a run's Prepare does, so the EQ page's band limits are the
  // same before and during a run.
  const int32_t blockFrames =
      FramesPerBlock(settings.blockBytes, settings.bitsPerSample, settings.channels);
  // A JACK port runs at the server's rate, whatever the ALSA range.
  const bool ownRate = input == 0 || JackSelected();
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
  runStatus_->setText(text);
}

void IOPage::OnInputSelect() {
  const QString path = ChooseFile(FileDialogKind::kOpenInput);
  WaveFormat format;
  if (path.isEmpty() || !ProbeFile(path, &format)) {
    return;
  }
  inputFileName_ = path;
  inputList_->setItemText(0, path);
  inputList_->setCurrentIndex(0);
  TakeFileFormat(format);
  ExchangeIntoControls();
  SetFormatButtonsEnabled(false);
  ShowDriverSettings();
}

void IOPage::OnOutputSelect() {
  const QString path = ChooseFile(FileDialogKind::kSaveOutput);
  if (path.isEmpty()) {
    return;
  }
  outputFileName_ = path;
  outputList_->setItemText(0, path);
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
  engine_->ProcessFileToFile([this] {
    QCoreApplication::processEvents();
    return cancelRequested_;
  });
  fileRunActive_ = false;
  cancelRequested_ = false;
  SetRunControlsLocked(false);
  start_->setText(QString::fromUtf8(kStartCaption));
  processing_->setEnabled(false);
  progress_->setEnabled(false);
  emit FileRunFinished();
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
  for (QWidget* control :
       std::initializer_list<QWidget*>{inputList_, outputList_, inputSelect_, outputSelect_}) {
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
