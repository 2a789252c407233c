#pragma once
// A run through a JACK server: the chains run inside the server's process
// callback, one block per period, so a sample that enters in a period leaves
// in the same period and Tonalith adds no buffering of its own.
//
// Live: our input ports -> chains -> our output ports. Record: input ports ->
// chains -> a ring that the event loop empties into the WAV file. Play: the
// event loop fills a ring from the WAV file ahead of time -> chains -> output
// ports. The process callback never allocates, locks, waits, does file I/O or
// calls Qt: it converts floats to 16-bit samples, takes the window's changes
// (LiveChains), runs ProcessBlock (which adds the period's levels to the
// meter with relaxed atomics) and converts back, and moves bytes through
// the rings (ByteRing). A ring that is full (record) or empty before the end
// of the file (play) costs the frames of that period, which are counted.
//
// Everything else (opening, connecting, the rings' far ends, the window's
// changes, the end of the run) happens in Poll and Close, on the thread of
// the event loop.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "effects/effect_chain.h"
#include "engine/block_processor.h"
#include "engine/byte_ring.h"
#include "engine/level_meter.h"
#include "engine/live_chains.h"
#include "engine/notifier.h"
#include "engine/wave_file.h"
#include "platform/jack_client.h"

namespace jack_run_messages {
inline constexpr const char* kNoServer = "Cannot connect to the JACK server!";
inline constexpr const char* kServerShutDown = "The JACK server has shut down!";
inline constexpr const char* kPeriodChanged = "The JACK server has changed its period!";
inline constexpr const char* kRateMismatch = "The file's sampling rate is not the JACK server's!";
inline constexpr const char* kCannotStart = "Cannot start the JACK client!";
inline constexpr const char* kCannotConnect = "Cannot connect the JACK ports!";
}  // namespace jack_run_messages

// float <-> 16-bit by the factor 32768: s / 32768, and round(f x 32768)
// (halves away from zero) limited to -32767..32767, so -32768 never arises;
// NaN gives 0.
int16_t SampleFromFloat(float value);
inline float FloatFromSample(int16_t sample) {
  return static_cast<float>(sample) / 32768.0f;
}

// What a JACK run is made of.
struct JackRunSetup {
  std::string clientName = "tonalith";
  // A file at either end, or ports: for each channel the port of another
  // client to connect to ours (none: left unconnected).
  bool inputIsFile = false;
  bool outputIsFile = false;
  std::string inputFileName;
  std::string outputFileName;
  std::vector<std::string> inputPorts;
  std::vector<std::string> outputPorts;
  // The stream from ports (a file source brings its own): channels, and the
  // bits a record file is written with.
  int32_t channels = 2;
  int32_t bitsPerSample = 16;
  EffectChain* leftChain = nullptr;
  EffectChain* rightChain = nullptr;
  // Optional: gets every period's levels, from the server's thread.
  LevelMeter* meter = nullptr;
};

// How a run is doing, for the I/O page and the renderer.
struct JackRunStatus {
  std::string serverName;
  std::string clientName;
  int32_t sampleRate = 0;
  int32_t periodFrames = 0;
  int32_t latencyFrames = 0;  // JackClient::LatencyFrames
  int32_t xruns = 0;
  int64_t droppedFrames = 0;  // lost to a ring that was full or empty
};

// Why Poll ended a run: `text` null for an end without a message (the file
// has been played).
struct JackRunEnd {
  const char* text = nullptr;
  std::string detail;
};

class JackRun : public JackPeriodHandler {
 public:
  // Opens the file(s) and the client, prepares the chains, activates the
  // client and connects its ports. Null (after the messages saying why) when
  // the run cannot stream; nothing then stays open and the chains are
  // released.
  static std::unique_ptr<JackRun> Start(const JackRunSetup& setup, Notifier& notifier,
                                        ProgressSink* progress);
  // Close.
  ~JackRun() override;
  JackRun(const JackRun&) = delete;
  JackRun& operator=(const JackRun&) = delete;

  // Event loop, every few milliseconds: hands the window's changes over,
  // empties the record ring into the file or fills the play ring from it,
  // moves the progress bar, and tells whether the run has ended by itself.
  std::optional<JackRunEnd> Poll();
  // Ends the run: the client is closed (the callback has then returned for
  // the last time), the record ring is emptied and the file finished with its
  // sizes, the play file closed, the chains released. Nothing the second time.
  void Close();

  JackRunStatus Status() const;

  // The server's thread: one period.
  void ProcessPeriod(const float* const* inputs, float* const* outputs, int32_t frames) override;

 private:
  JackRun(const JackRunSetup& setup, Notifier& notifier, ProgressSink* progress);
  bool Open();
  bool Connect();
  void ReadPorts(const float* const* inputs, int32_t frames);
  void WritePorts(float* const* outputs, int32_t frames) const;
  static void SilencePorts(float* const* outputs, int32_t channels, int32_t frames);
  // Event loop: false when a write to the file failed.
  bool DrainRecordRing();
  void FillPlayRing();
  void SetProgress(uint64_t done, uint64_t total);

  JackRunSetup setup_;
  Notifier& notifier_;
  ProgressSink* progress_;
  EffectChain emptyLeft_;
  EffectChain emptyRight_;
  EffectChain& left_;
  EffectChain& right_;
  std::unique_ptr<JackClient> client_;
  std::unique_ptr<LiveChains> live_;
  std::optional<WaveReader> reader_;
  std::optional<WaveWriter> writer_;
  WaveFormat fileFormat_;
  StreamParameters stream_;  // 16-bit, the run's channels, frames = the period
  int32_t sampleRate_ = 0;
  std::string serverName_;
  int32_t latencyFrames_ = 0;
  int32_t pollsSinceLatency_ = 0;
  bool chainsPrepared_ = false;
  bool closed_ = false;

  // The callback's own: the period's bytes before and after the chains.
  WorkBuffers work_;
  std::vector<uint8_t> inBytes_;
  std::vector<uint8_t> outBytes_;
  std::unique_ptr<ByteRing> ring_;  // record or play, 16-bit interleaved frames

  // The event loop's side of the ring.
  std::vector<uint8_t> fileBlock_;  // as the file holds it
  std::vector<uint8_t> ringBlock_;  // 16-bit frames
  uint64_t bytesDone_ = 0;          // record: file bytes written; play: ring bytes filled
  uint64_t total_ = 0;  // record: free disk bytes at start; play: ring bytes of the file
  bool readFailed_ = false;

  // Shared between the callback and the event loop.
  std::atomic<bool> connected_{false};   // the ports are connected: the stream starts
  std::atomic<bool> readerDone_{false};  // play: the whole file is in the ring
  std::atomic<bool> playedOut_{false};   // play: the ring ran empty after that
  std::atomic<bool> periodWrong_{false};
  std::atomic<int64_t> droppedFrames_{0};
};
