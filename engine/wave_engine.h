#pragma once
// The audio streaming object: run settings, the device lists, the two buffer
// rings and the stream state of a run with at least one wave device.
//
// A live run, in the order the I/O page drives it:
//   CreateNotifyWindow; OpenInput, then OpenOutput if the input opened;
//   StartInput, StartOutput when both are open; streaming (WaveWindowProc on
//   every finished buffer); DestroyNotifyWindow, CloseInput, CloseOutput.
// The same three calls clean up a start that failed halfway.
//
// Modes: live (device to device), record (device to file) and play (file to
// device). File to file is ProcessFileToFile, which touches no device.

#include <QObject>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "effects/effect_chain.h"
#include "engine/block_processor.h"
#include "engine/notifier.h"
#include "engine/wave_file.h"
#include "platform/wave_service.h"

class WaveWindow;

// The messages of the device operations, exactly as the user sees them.
namespace wave_engine_messages {
inline constexpr const char* kInputBadDeviceId =
    "Specified input device identifier is out of range!";
inline constexpr const char* kInputAllocated = "Specified input resource is already allocated!";
inline constexpr const char* kInputNoDriver = "No input device driver is present!";
inline constexpr const char* kInputNoMemoryOpen = "Unable to allocate or lock memory for input!";
inline constexpr const char* kInputBadFormat = "Unsupported input Wave Format!";
inline constexpr const char* kInputOpenOther = "Error in opening wave in device!";
inline constexpr const char* kOutputBadDeviceId =
    "Specified output device identifier is out of range!";
inline constexpr const char* kOutputAllocated = "Specified output resource is already allocated!";
inline constexpr const char* kOutputNoDriver = "No output device driver is present!";
inline constexpr const char* kOutputNoMemoryOpen =
    "Unable to allocate or lock memory for output device!";
inline constexpr const char* kOutputBadFormat = "Unsupported output Wave Format!";
inline constexpr const char* kOutputOpenOther = "Error in opening wave out device!";
inline constexpr const char* kPrepareInvalidHandle = "Invalid device Handle for Preparation!";
inline constexpr const char* kInputNoMemory = "Unable to lock/allocate memory for input!";
inline constexpr const char* kOutputNoMemory = "Unable to lock/allocate memory for output!";
inline constexpr const char* kInvalidDeviceId = "Invalid device ID!";
inline constexpr const char* kInputUnprepared = "Input header unprepared!";
inline constexpr const char* kOutputUnprepared = "Output header unprepared!";
inline constexpr const char* kRecordError = "Error recording wave!";
inline constexpr const char* kPlayError = "Error playing wave!";
inline constexpr const char* kOpenOutputFile = "Error opening output file";
inline constexpr const char* kReadInputFile = "Error reading input file!!!";
inline constexpr const char* kFreeInputBuffer = "Error freeing input buffer!";
inline constexpr const char* kFreeInputHeader = "Error freeing input header!";
inline constexpr const char* kFreeOutputBuffer = "Error freeing output buffer!";
inline constexpr const char* kFreeOutputHeader = "Error freeing output header!";
// A device that stopped working in the middle of a run; the detail names the
// device and the reason.
inline constexpr const char* kInputDeviceFailed = "The input device has stopped working!";
inline constexpr const char* kOutputDeviceFailed = "The output device has stopped working!";
}  // namespace wave_engine_messages

// Ranges of the run settings the I/O page and the command line hand over.
inline constexpr int32_t kMinBufferCount = 4;
inline constexpr int32_t kMaxBufferCount = 32;
inline constexpr int32_t kMaxRingBuffers = 64;  // room in each ring
inline constexpr int32_t kMinSampleRate = 11000;
inline constexpr int32_t kMaxSampleRate = 44100;
inline constexpr int32_t kMinBlockBytes = 128;
inline constexpr int32_t kMaxBlockBytes = 8192;

// One ring of device buffers: headers, their data (2 x block bytes each) and
// the indexes the streaming loop walks.
struct WaveRing {
  std::vector<WaveHeader> headers;
  std::vector<std::vector<uint8_t>> buffers;
  int32_t next = 0;      // input: next to queue; output: next to send
  int32_t nextDone = 0;  // next the device finishes
  int32_t blockBytes = 0;
  int32_t primeCount = 0;  // output: silent buffers primed before a device source
};

// The state of one run, taken when the source and the sink are opened.
struct WaveStreamState {
  WaveHandle inputDevice = kNoWaveHandle;
  WaveHandle outputDevice = kNoWaveHandle;
  WaveFormat inputFormat;
  WaveFormat outputFormat;  // always a copy of the input format
  StreamParameters stream;  // bits, channels, frames per block
  WorkBuffers work;
  int32_t ringSize = 0;  // bufferCount when the run opened
  WaveRing input;
  WaveRing output;
  bool inputIsFile = false;
  bool outputIsFile = false;
  uint64_t bytesDone = 0;
  uint64_t total = 0;
  bool endOfInput = false;
  // Play: bytes of the blocks the output device took, and whether the reader
  // failed (the blocks read before are played out, then the run ends).
  uint64_t bytesSent = 0;
  bool readFailed = false;
  // A failure found in the middle of a message that ends the run once the
  // message has been handled (text null: none).
  const char* failure = nullptr;
  std::string failureDetail;
};

struct ResultMessages;

class WaveEngine {
 public:
  // Enumerates the devices of `service` (the process's backend when null).
  // Messages go to `notifier` (stderr when null).
  explicit WaveEngine(Notifier* notifier = nullptr, std::unique_ptr<WaveService> service = nullptr);
  // Closes whatever is still open.
  ~WaveEngine();
  WaveEngine(const WaveEngine&) = delete;
  WaveEngine& operator=(const WaveEngine&) = delete;

  // The notification target the devices report to. The engine owns it;
  // `owner` (may be null) only names the object it serves. Nothing when it
  // already exists.
  void CreateNotifyWindow(QObject* owner);
  // Destroys the target; buffers reported after this are dropped.
  void DestroyNotifyWindow();

  // Opens the source (file or device), allocates the rings and prepares the
  // chains. Nothing when the input is already open.
  void OpenInput();
  void PrepareInputBuffers();
  // Opens the sink (file or device) with a copy of the input format.
  void OpenOutput();
  void PrepareOutputBuffers();
  // Queues bufferCount - 2 empty buffers on the input device and starts it.
  // False (after a message) when the device cannot record, so the run cannot
  // stream; true for a file source.
  bool StartInput();
  // Primes the output device with bufferCount - 2 buffers: silence before a
  // device source, the file's first blocks (processed) before a file source.
  // False (after a message) when a file source could not put a single block
  // on the device; true for a file sink.
  bool StartOutput();
  // Closes the source, frees its ring and the work buffers, releases the chains.
  void CloseInput();
  // Finishes a file sink or closes the device, frees its ring.
  void CloseOutput();

  // The streaming loop: one finished buffer. Returns 0.
  int32_t WaveWindowProc(WaveMessage message, WaveHandle handle, WaveHeader* header);
  // The run ending by itself: window destroyed, both ends closed, caption
  // "Start", progress 0.
  void StopRun();

  // The file-to-file run with the engine's settings (see engine/file_run.h).
  void ProcessFileToFile();

  // Free bytes on the file system of `path` (its folder), 64-bit.
  static uint64_t DiskFreeBytes(const std::string& path);

  // A run with a device is active.
  bool Running() const { return outputOpen; }
  WaveService& Service() { return *service_; }
  const WaveStreamState& Stream() const { return state_; }
  Notifier& Messages() { return *notifier_; }

  // Run flags.
  bool outputStarted = false;
  bool inputStarted = false;
  bool inputOpen = false;
  bool outputOpen = false;
  bool windowCreated = false;
  // Devices found at construction.
  int32_t inputDeviceCount = 0;
  int32_t outputDeviceCount = 0;
  // Run settings (the I/O page or the command line writes them).
  int32_t bitsPerSample = 16;
  int32_t channels = 2;
  int32_t bufferCount = 16;
  int32_t blockBytes = 128;
  int32_t sampleRate = 22000;
  EffectChain* leftChain = nullptr;
  EffectChain* rightChain = nullptr;
  ProgressSink* progress = nullptr;
  StartButton* startButton = nullptr;
  std::string outputFileName;
  std::string inputFileName;
  bool outputIsFile = false;
  bool inputIsFile = false;
  int32_t inputDeviceId = 0;
  int32_t outputDeviceId = 0;
  std::vector<WaveDeviceCaps> inputCaps;
  std::vector<WaveDeviceCaps> outputCaps;

 private:
  void HandlePlayed(WaveHeader* header);
  void HandleRecorded(WaveHeader* header);
  void HandleDeviceFailed(WaveHandle handle);
  // Play: reads the next block of the file into `readArea`, processes it into
  // the output header next to send and writes that. False when nothing was
  // sent (end of the file, a read error, or a refused write: shown while
  // `priming`, else the device is reset).
  bool SendNextBlock(uint8_t* readArea, bool priming);
  // Ends the run (devices reset and closed, files finished), then shows
  // `text` (if any) with `detail`.
  void EndRun(const char* text, const std::string& detail = {});
  // "product name: reason" for a device of the run.
  std::string DeviceDetail(WaveDirection direction, const std::string& reason) const;
  // Shows the open failure's message with the device and the reason.
  void ReportOpenFailure(WaveDirection direction, WaveResult result,
                         const WaveDeviceFormat& format);
  void SetProgress(int32_t position);
  // Shows the message `messages` gives for a failed result; true for success.
  bool Report(WaveResult result, const ResultMessages& messages);
  void UpdateProgress();
  void PrepareChains();
  void ReleaseChains();
  void AllocateRing(WaveRing& ring);
  void FreeRing(WaveRing& ring);
  EffectChain& Left() { return leftChain ? *leftChain : emptyLeft_; }
  EffectChain& Right() { return rightChain ? *rightChain : emptyRight_; }
  // Resets the input device and starts it again (a reset stops recording);
  // a device that will not start ends the run after the current message.
  void ResetInput();
  void ResetOutput();

  std::unique_ptr<Notifier> ownNotifier_;
  Notifier* notifier_ = nullptr;
  std::unique_ptr<WaveService> service_;
  std::unique_ptr<WaveWindow> window_;
  WaveStreamState state_;
  // The source and the sink when they are files.
  std::optional<WaveReader> reader_;
  std::optional<WaveWriter> writer_;
  // Chains to use when none were handed over (a run without effects).
  EffectChain emptyLeft_;
  EffectChain emptyRight_;
};
