#pragma once
// The "I/O" page: block length, number of buffers, sampling rate, mono or
// stereo, 8 or 16 bits, the source and the sink, and the Start button that
// runs them. Every data exchange writes the settings, limited to what the
// engine takes, into the engine and both chains; a limited number is then
// shown as stored, so the fields show what runs.

#include <QString>
#include <cstdint>
#include <functional>

#include "engine/file_run.h"
#include "engine/notifier.h"
#include "engine/wave_format.h"
#include "preset/preset.h"
#include "ui/message_box.h"
#include "ui/property_page.h"

class EffectChain;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QMimeData;
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

  // The settings a session keeps, as the fields show them, and the block
  // length in the engine's bytes; applying them sets the page up as the
  // user would and exchanges them into the engine and the chains. A device
  // is found by its name, else by its number; one no longer present leaves
  // that list as it is.
  IoSetup IoSettings() const;
  void ApplyIoSettings(const IoSetup& settings);
  int32_t BlockBytes() const;
  void SetBlockBytes(int32_t bytes);

  QString InputFileName() const { return inputFileName_; }

  // Makes the WAV file at `path` the source, as choosing it with "Select"
  // does: probed, its format taken, entry 0 of the input list. False when
  // the probe refuses it (after its message) or a run holds the source.
  bool SelectSourceFile(const QString& path);

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
  QCheckBox* RenderTailsBox() const { return renderTails_; }
  // What the last file-to-file run wrote, or where it stopped; during and
  // after a device run, its latency and xruns.
  QLabel* StatusLine() const { return status_; }

 signals:
  // A file-to-file run has returned.
  void FileRunFinished();

 protected:
  // A WAV file dropped on the page becomes the source.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

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
  // The two number fields from the members.
  void ShowNumbers();
  bool ReadInteger(QLineEdit* edit, int32_t* value);
  bool ProbeFile(const QString& path, WaveFormat* format);
  // The WAV file a drag carries, or an empty string.
  static QString DraggedWaveFile(const QMimeData* data);
  // Each entry's full text as its tooltip, the open list as wide as the
  // longest entry, and the list's own tooltip its current entry.
  static void ShowFullNames(QComboBox* list);
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
  void ShowFileRunStatus(FileRunResult result);
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
  QCheckBox* renderTails_ = nullptr;
  QLabel* status_ = nullptr;
  QTimer* statusTimer_ = nullptr;

  ProgressBarSink progressSink_;
  MessageBoxNotifier probeMessages_{this};
};
