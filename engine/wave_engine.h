#pragma once
// The audio streaming object: run settings, the device lists, the two buffer
// rings and the stream state of a run with at least one wave device.
//
// The I/O page and the command line drive runs through one small API:
// StartRun (a device at one end at least) or ProcessFileToFile (two files)
// with the run settings as they stand, StopRun, and `runEnded`, which hears
// of every end of a device run.
//
// StartRun is made of the device operations, in this order:
//   CreateNotifyWindow; OpenInput, then OpenOutput if the input opened;
//   StartInput, StartOutput when both are open; then streaming
//   (WaveWindowProc on every finished buffer). DestroyNotifyWindow,
//   CloseInput, CloseOutput end a run, and clean up a start that failed
//   halfway.
//
// Modes: live (device to device), record (device to file) and play (file to
// device). File to file touches no device.
//
// The device lists may also hold the ports of a running JACK server, after
// the wave service's devices. A run with a JACK port at either end goes
// through the server instead (engine/jack_run.h): the chains then run in the
// server's process callback at the server's rate and period, and the window
// keeps editing its own chains, whose changes the callback takes over at
// period boundaries (engine/live_chains.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "effects/effect_chain.h"
#include "engine/block_processor.h"
#include "engine/device_messages.h"
#include "engine/file_run.h"
#include "engine/level_meter.h"
#include "engine/notifier.h"
#include "engine/run_limits.h"
#include "engine/wave_file.h"
#include "platform/wave_service.h"

class QTimer;
class JackRun;
class WaveWindow;

inline constexpr int32_t kMaxRingBuffers = 64;  // room in each ring

// Buffers of each ring that stay off the device, so that the streaming loop
// always has one to work on and one in hand. Input: the block being processed
// and the spare queued at the next message. Output: the block being filled
// and the buffer the device has just finished. The devices hold ring size -
// kHeldBackBuffers buffers each, which is also how many prime the output.
inline constexpr int32_t kHeldBackBuffers = 2;

// What a run is made of. The I/O page writes it at every data exchange, the
// command line from its options; a run takes what it needs of it when its
// source and sink are opened.
struct WaveRunSettings {
  int32_t bitsPerSample = 16;
  int32_t channels = 2;
  int32_t bufferCount = 16;
  int32_t blockBytes = 128;
  int32_t sampleRate = 22000;
  std::string outputFileName;
  std::string inputFileName;
  bool outputIsFile = false;
  bool inputIsFile = false;
  int32_t inputDeviceId = 0;
  int32_t outputDeviceId = 0;
  // File to file: what follows the end of the input.
  RunTail tail;
  // The JACK client's name (the server makes it unique).
  std::string jackClientName = "tonalith";
};

// Whether the device lists also hold the ports of a running JACK server.
enum class JackPortListing {
  kNone,
  kListed,
  // Listed when the engine makes the process's backend itself and that is
  // not the simulated one (the desktop program).
  kWithOwnBackend,
};

// How the running (or the last) device run is doing: the I/O page shows it
// live, the renderer when a run starts and ends.
struct RunStatus {
  bool jack = false;
  int32_t sampleRate = 0;
  // Frames from the sound at the input to the sound at the output, as far as
  // the devices or the server tell (0 when nothing is known).
  int32_t latencyFrames = 0;
  // JACK: the server's period.
  int32_t periodFrames = 0;
  // Overruns and underruns (JACK: late periods) during the run.
  int32_t xruns = 0;
  // JACK: frames lost to a record or play ring that the disk did not keep up with.
  int64_t droppedFrames = 0;
  double LatencyMs() const { return sampleRate > 0 ? 1000.0 * latencyFrames / sampleRate : 0.0; }
};

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
  int32_t inputDeviceId = 0;  // the devices' numbers in the lists
  int32_t outputDeviceId = 0;
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

class WaveEngine {
 public:
  // Enumerates the devices of `service` (the process's backend when null),
  // then, as `jack` asks, the ports of a JACK server if one answers.
  // Messages go to `notifier` (stderr when null).
  explicit WaveEngine(Notifier* notifier = nullptr, std::unique_ptr<WaveService> service = nullptr,
                      JackPortListing jack = JackPortListing::kNone);
  // Closes whatever is still open.
  ~WaveEngine();
  WaveEngine(const WaveEngine&) = delete;
  WaveEngine& operator=(const WaveEngine&) = delete;

  // Starts a run with a device at one end at least: the source and the sink
  // are opened and primed, and the run streams from the event loop until
  // StopRun or its own end. False (after the messages saying why) when it
  // could not stream: nothing is then left open. True at once while a run is
  // active.
  bool StartRun();
  // Ends the device run (Stop, a signal, a time limit): devices reset and
  // closed, the WAV file finished, the chains released, the progress at 0,
  // then `runEnded`. Nothing when no run is active.
  void StopRun();
  // A device run is active.
  bool Running() const { return outputOpen || jackRun_ != nullptr; }
  // The settings put a JACK port (or kJackUnconnected) at either end.
  bool SettingsUseJack() const;
  // The running device run's figures; after a run, its last ones.
  RunStatus Status();
  // The file-to-file run of the settings (see engine/file_run.h): returns
  // when it is over. `afterBlock` may end it after any block.
  FileRunResult ProcessFileToFile(FileRunBlockHook afterBlock = {});
  // What the last file-to-file run wrote.
  const FileRunSummary& LastFileRun() const { return lastFileRun_; }
  // The levels of every run's blocks, at the input and the output of the
  // chains.
  LevelMeter& Levels() { return levels_; }

  // The notification target the devices report to. Nothing when it already
  // exists.
  void CreateNotifyWindow();
  // Destroys the target; buffers reported after this are dropped.
  void DestroyNotifyWindow();
  // Opens the source (file or device), allocates the rings and prepares the
  // chains. Nothing when the input is already open.
  void OpenInput();
  void PrepareInputBuffers();
  // Opens the sink (file or device) with a copy of the input format.
  void OpenOutput();
  void PrepareOutputBuffers();
  // Queues the empty buffers on the input device and starts it. False (after
  // a message) when the device cannot record, so the run cannot stream; true
  // for a file source.
  bool StartInput();
  // Primes the output device: silence before a device source, the file's
  // first blocks (processed) before a file source. False (after a message)
  // when a file source could not put a single block on the device; true for
  // a file sink.
  bool StartOutput();
  // Closes the source, frees its ring and the work buffers, releases the chains.
  void CloseInput();
  // Finishes a file sink or closes the device, frees its ring.
  void CloseOutput();

  // The streaming loop: one finished buffer. Returns 0.
  int32_t WaveWindowProc(WaveMessage message, WaveHandle handle, WaveHeader* header);

  WaveService& Service() { return *service_; }
  const WaveStreamState& Stream() const { return state_; }

  // Run flags.
  bool outputStarted = false;
  bool inputStarted = false;
  bool inputOpen = false;
  bool outputOpen = false;
  bool windowCreated = false;
  // Devices found at construction.
  int32_t inputDeviceCount = 0;
  int32_t outputDeviceCount = 0;
  std::vector<WaveDeviceCaps> inputCaps;
  std::vector<WaveDeviceCaps> outputCaps;
  // The JACK server the lists were made with: its rate and period (0 when
  // none answered), or why it could not be listed.
  int32_t jackSampleRate = 0;
  int32_t jackPeriodFrames = 0;
  std::string jackListingError;
  // What the next run is made of.
  WaveRunSettings settings;
  EffectChain* leftChain = nullptr;
  EffectChain* rightChain = nullptr;
  ProgressSink* progress = nullptr;
  // Called once a device run has ended, whatever ended it, after it was
  // closed and before any message about why.
  std::function<void()> runEnded;

 private:
  // The streaming loop's handlers (engine/streaming_loop.cpp).
  void HandlePlayed(WaveHeader* played);
  void HandleRecordedLive(WaveHeader* recorded);
  void HandleRecordedToFile(WaveHeader* recorded);
  // A recorded message's first step: the input device gets a fresh empty
  // buffer (the spare) before anything else is done.
  void QueueSpareInput();
  // The middle of a recorded message, the same in live and record: the block
  // just recorded is processed into the output header next to send and the
  // input headers are re-armed. Returns that output header, which now holds
  // the processed block.
  WaveHeader& ProcessRecorded(WaveHeader* recorded);
  void HandleDeviceFailed(WaveHandle handle);
  // Play: reads the next block of the file into `readArea`, processes it into
  // the output header next to send and writes that. False when nothing was
  // sent (end of the file, a read error, or a refused write: shown while
  // `priming`, else the device is reset).
  bool SendNextBlock(uint8_t* readArea, bool priming);
  // Ends the run (devices reset and closed, files finished), then shows
  // `text` (if any) with `detail`.
  void EndRun(const char* text, const std::string& detail = {});
  // Resets the input device and starts it again (a reset stops recording);
  // a device that will not start ends the run after the current message.
  void ResetInput();
  void ResetOutput();

  // "product name: reason" for a device of the run.
  std::string DeviceDetail(WaveDirection direction, const std::string& reason) const;
  // Shows the open failure's message with the device and the reason.
  void ReportOpenFailure(WaveDirection direction, WaveResult result,
                         const WaveDeviceFormat& format);
  // Shows the message of a failed `operation`; true for success.
  bool Report(DeviceOperation operation, WaveResult result);
  void SetProgress(int32_t position);
  void UpdateProgress();
  // Resets a started device, then closes it.
  void CloseDevice(WaveHandle& device, bool started);
  void AllocateRing(WaveRing& ring);
  void FreeRing(WaveRing& ring);
  // Buffers of the ring the devices hold.
  int32_t QueuedBuffers() const { return state_.ringSize - kHeldBackBuffers; }
  EffectChain& Left() { return leftChain ? *leftChain : emptyLeft_; }
  EffectChain& Right() { return rightChain ? *rightChain : emptyRight_; }

  // The JACK side (engine/wave_engine_jack.cpp).
  void ListJackPorts();
  bool StartJackRun();
  void PollJackRun();
  void CloseJackRun();
  // The ports of the list entry `id` for each channel (the entry's and the
  // next one's, when that is a port of the same list); empty for
  // kJackUnconnected. False (after a message) for a number that is no port.
  bool JackPortsFor(WaveDirection direction, int32_t id, std::vector<std::string>* ports);
  // The latency of an ALSA run, from the devices' pending frames.
  int32_t DeviceLatencyFrames();

  std::unique_ptr<Notifier> ownNotifier_;
  Notifier* notifier_ = nullptr;
  std::unique_ptr<WaveService> service_;
  std::unique_ptr<WaveWindow> window_;
  WaveStreamState state_;
  LevelMeter levels_;
  FileRunSummary lastFileRun_;
  // The source and the sink when they are files.
  std::optional<WaveReader> reader_;
  std::optional<WaveWriter> writer_;
  // Chains to use when none were handed over (a run without effects).
  EffectChain emptyLeft_;
  EffectChain emptyRight_;
  // A JACK run and the timer that polls it on the event loop.
  std::unique_ptr<JackRun> jackRun_;
  std::unique_ptr<QTimer> jackTimer_;
  RunStatus lastStatus_;
  int32_t xrunsAtStart_ = 0;
  // The lists were asked for JACK ports (whether or not a server answered).
  bool jackAsked_ = false;
};
