#pragma once
// The "I/O" page: block length, number of buffers, sampling rate, mono or
// stereo, 8 or 16 bits, the source and the sink, and the Start button that
// runs them. Every data exchange writes the settings, limited to what the
// engine takes, into the engine and both chains; the fields keep what was
// typed.

#include <QString>
#include <cstdint>
#include <functional>

#include "engine/notifier.h"
#include "engine/wave_format.h"
#include "ui/message_box.h"
#include "ui/property_page.h"

class EffectChain;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class WaveEngine;

class IOPage : public PropertyPage {
  Q_OBJECT

 public:
  // Entries of the block length list: 256 doubled six times.
  static constexpr int kBlockLengthEntries = 7;
  static constexpr int32_t kDefaultBufferCount = 16;
  static constexpr int32_t kDefaultSampleRate = 22000;

  // Which file dialog a Select button asks for.
  enum class FileDialogKind { kOpenInput, kSaveOutput };
  // Returns the chosen path, or an empty string when the user cancels.
  using FileChooser = std::function<QString(FileDialogKind kind)>;

  explicit IOPage(QWidget* parent = nullptr);

  void SetEngine(WaveEngine* engine);
  void SetChains(EffectChain* left, EffectChain* right);
  // Replaces the file dialogs (tests choose their files without a dialog).
  void SetFileChooser(FileChooser chooser);

  void OnSetActive() override;
  bool OnKillActive() override;

  // Data exchange. From the controls: false (after "Please enter an
  // integer.") when an edit field holds no integer; the engine then keeps its
  // settings. Into the controls: the members are shown in the fields.
  bool ExchangeFromControls();
  void ExchangeIntoControls();

  // A file-to-file run is in progress (the button reads "Cancel").
  bool FileRunActive() const { return fileRunActive_; }
  // Ends a file-to-file run after its current block.
  void RequestCancel() { cancelRequested_ = true; }

  QString InputFileName() const { return inputFileName_; }

  // The controls, for tests and screenshots.
  QComboBox* BlockLengthList() const { return blockList_; }
  QLineEdit* BufferCountEdit() const { return buffersEdit_; }
  QLineEdit* SampleRateEdit() const { return rateEdit_; }
  QComboBox* InputList() const { return inputList_; }
  QComboBox* OutputList() const { return outputList_; }
  QPushButton* InputSelectButton() const { return inputSelect_; }
  QPushButton* OutputSelectButton() const { return outputSelect_; }
  QRadioButton* MonoButton() const { return mono_; }
  QRadioButton* StereoButton() const { return stereo_; }
  QRadioButton* Bits8Button() const { return bits8_; }
  QRadioButton* Bits16Button() const { return bits16_; }
  QPushButton* StartButtonWidget() const { return start_; }
  QProgressBar* ProgressBar() const { return progress_; }
  QLabel* ProcessingLabel() const { return processing_; }
  // The latency and xruns of the running (or the last) device run.
  QLabel* RunStatusLabel() const { return runStatus_; }

 signals:
  // A file-to-file run has returned.
  void FileRunFinished();

 private:
  // The engine's view of the progress bar.
  class ProgressBarSink : public ProgressSink {
   public:
    void SetProgress(int32_t position) override;
    QProgressBar* bar = nullptr;
  };

  void BuildControls();
  void Initialize();
  void WriteEngine();
  bool ReadInteger(QLineEdit* edit, int32_t* value);
  bool ProbeFile(const QString& path, WaveFormat* format);
  void TakeFileFormat(const WaveFormat& format);
  void SetFormatButtonsEnabled(bool enabled);
  void OnInputSelectionChanged(int index);
  // A list entry that is a JACK port brings the server's rate and period:
  // the rate field shows the rate and is locked, and neither the buffer count
  // nor the block length applies.
  bool JackSelected() const;
  void ShowDriverSettings();
  void ShowRunStatus();
  void OnInputSelect();
  void OnOutputSelect();
  void OnStart();
  void RunFileToFile();
  void StartDeviceRun();
  void StopDeviceRun();
  void OnRunEnded();
  void SetRunControlsLocked(bool locked);
  QString ChooseFile(FileDialogKind kind);

  WaveEngine* engine_ = nullptr;
  EffectChain* leftChain_ = nullptr;
  EffectChain* rightChain_ = nullptr;
  FileChooser fileChooser_;
  QString inputFileName_;
  QString outputFileName_;
  int32_t bufferCount_ = kDefaultBufferCount;
  int32_t sampleRate_ = kDefaultSampleRate;
  bool initialized_ = false;
  bool fileRunActive_ = false;
  bool cancelRequested_ = false;
  bool formatButtonsEnabled_ = true;

  QComboBox* blockList_ = nullptr;
  QLineEdit* buffersEdit_ = nullptr;
  QLineEdit* rateEdit_ = nullptr;
  QComboBox* inputList_ = nullptr;
  QComboBox* outputList_ = nullptr;
  QPushButton* inputSelect_ = nullptr;
  QPushButton* outputSelect_ = nullptr;
  QRadioButton* mono_ = nullptr;
  QRadioButton* stereo_ = nullptr;
  QRadioButton* bits8_ = nullptr;
  QRadioButton* bits16_ = nullptr;
  QPushButton* start_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* processing_ = nullptr;
  QLabel* runStatus_ = nullptr;
  QTimer* statusTimer_ = nullptr;

  ProgressBarSink progressSink_;
  MessageBoxNotifier probeMessages_{this};
};
