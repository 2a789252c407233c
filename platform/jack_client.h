#pragma once
// A client of a JACK server (jackd2, or PipeWire's JACK interface): its audio
// ports, their connections, and a process callback that the server calls on
// its own real-time thread once per period.
//
// libjack picks the server: the one named by JACK_DEFAULT_SERVER, else
// "default". A server is never started on our behalf. libjack's own messages
// go to stderr only when ShowJackDiagnostics(true) asks for them.
//
// Threads: Open, Activate, Connect, the port lists and the destructor run on
// the thread that owns the client (the event loop's). The process callback
// runs on the server's thread, the xrun and shutdown notes on a thread of
// libjack's; they only touch atomics here, which the owner reads.

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the server's thread runs once per period. It must not allocate, lock,
// wait, do file I/O or call Qt.
class JackPeriodHandler {
 public:
  virtual ~JackPeriodHandler() = default;
  // `inputs` and `outputs` hold one buffer of `frames` samples per channel
  // of the client (the output buffers' content is undefined on entry).
  virtual void ProcessPeriod(const float* const* inputs, float* const* outputs, int32_t frames) = 0;
};

// The server the next client would reach: JACK_DEFAULT_SERVER, or "default".
std::string DefaultJackServerName();

// Whether libjack writes its own messages to stderr (off by default).
void ShowJackDiagnostics(bool shown);

// What a server offers the clients that connect to it.
struct JackServerInfo {
  int32_t sampleRate = 0;
  int32_t periodFrames = 0;
  // Audio ports of the server's clients (not ours), in the server's order:
  // those that give sound (capture ports, for our inputs) and those that take
  // it (playback ports, for our outputs).
  std::vector<std::string> capturePorts;
  std::vector<std::string> playbackPorts;
};

// Asks the server for its rate, period and ports through a short-lived
// client named `clientName` without ports. False with `*error` (the reason
// in words) when no server answers.
bool QueryJackServer(const std::string& clientName, JackServerInfo* info, std::string* error);

class JackClient {
 public:
  static constexpr int32_t kMaxChannels = 2;

  // Opens a client named `name` (the server makes it unique) with the ports
  // in_1, out_1 and, for two channels, in_2, out_2. Null with `*error` (the
  // reason in words) when no server answers or the ports cannot be made.
  static std::unique_ptr<JackClient> Open(const std::string& name, int32_t channels,
                                          std::string* error);
  // A client without ports, for QueryJackServer.
  static std::unique_ptr<JackClient> OpenWithoutPorts(const std::string& name, std::string* error);
  // Deactivates and closes the client.
  ~JackClient();
  JackClient(const JackClient&) = delete;
  JackClient& operator=(const JackClient&) = delete;

  // What the server offers (its rate, period and the other clients' ports).
  JackServerInfo ServerInfo() const;
  int32_t SampleRate() const;
  int32_t PeriodFrames() const;
  int32_t Channels() const { return channels_; }
  // The name the server gave the client ("tonalith", "tonalith-01").
  std::string Name() const;

  // Starts calling `handler` once per period. False with `*error`.
  bool Activate(JackPeriodHandler* handler, std::string* error);
  // Stops the calls; the handler is not called again once this returns.
  void Deactivate();

  // Connects another client's port to our input `channel` (0-based), or our
  // output `channel` to another client's port. False with `*error`.
  bool ConnectInput(int32_t channel, const std::string& port, std::string* error);
  bool ConnectOutput(int32_t channel, const std::string& port, std::string* error);

  // Frames a sample takes from the ports connected to our inputs to the
  // ports connected to our outputs: the longest capture latency the former
  // report, one period in which the chains run, and the longest playback
  // latency the latter report. Unconnected ports add nothing.
  int32_t LatencyFrames() const;

  // Late periods the server has reported since Open.
  int32_t XrunCount() const { return xruns_.load(std::memory_order_relaxed); }
  // The server has shut the client down (it stopped, or threw the client
  // out); then the reason in words.
  bool ShutDown() const { return shutDown_.load(std::memory_order_acquire); }
  std::string ShutdownReason() const;
  // The server has changed its period since Activate.
  bool PeriodChanged() const { return periodChanged_.load(std::memory_order_relaxed); }

 private:
  JackClient(jack_client_t* client, int32_t channels);
  bool RegisterPorts(std::string* error);
  static int OnProcess(jack_nframes_t frames, void* self);
  static int OnXrun(void* self);
  static int OnBufferSize(jack_nframes_t frames, void* self);
  static void OnShutdown(jack_status_t code, const char* reason, void* self);

  jack_client_t* client_;
  int32_t channels_;
  bool active_ = false;
  std::array<jack_port_t*, kMaxChannels> inputs_{};
  std::array<jack_port_t*, kMaxChannels> outputs_{};
  JackPeriodHandler* handler_ = nullptr;
  jack_nframes_t activePeriod_ = 0;
  std::atomic<int32_t> xruns_{0};
  std::atomic<bool> periodChanged_{false};
  // Written once by the shutdown note before `shutDown_` is set.
  std::array<char, 256> shutdownReason_{};
  std::atomic<bool> shutDown_{false};
};
