#pragma once
// A JACK client for tests, in the test's own process: ports play_1, play_2
// that play a signal and ports rec_1, rec_2 that record, each starting at a
// process cycle of the server, with the frame time at which it started (the
// same clock for every client of the server, so two clients' recordings can
// be lined up frame for frame).
//
// Use one client to play into Tonalith's inputs and another to record its
// outputs: the server then runs player, Tonalith and recorder in that order
// within each cycle. (One client doing both would close a loop, which the
// server breaks by one period.)

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace sound_test {

class JackTestClient {
 public:
  static constexpr int kChannels = 2;

  // Opens and activates client `name` on server `server`, with room to
  // record `recordFrames` frames per channel.
  JackTestClient(const std::string& server, const std::string& name, size_t recordFrames = 0);
  ~JackTestClient();
  JackTestClient(const JackTestClient&) = delete;
  JackTestClient& operator=(const JackTestClient&) = delete;

  // Empty when the client runs; otherwise why not.
  const std::string& Problem() const { return problem_; }
  std::string PortName(const char* port) const;  // "name:play_1"

  // Waits until the server has port `port` (another client's), up to
  // `seconds`. Connects `from` to `to`, trying for up to ten seconds.
  bool WaitForPort(const std::string& port, double seconds);
  bool Connect(const std::string& from, const std::string& to);

  // Plays `signal` (floats per channel, the same length) from the next cycle
  // on, silence after it.
  void Play(std::vector<std::vector<float>> signal);
  // Records from the next cycle on until the room is full.
  void Record();
  // Frames recorded so far.
  size_t RecordedFrames() const { return recorded_.load(std::memory_order_acquire); }
  bool PlayedWhole() const { return played_.load(std::memory_order_acquire); }

  // Closes the client; after that the results below hold still.
  void Close();
  // The frame times at which playing and recording started.
  jack_nframes_t PlayStart() const { return playStart_.load(std::memory_order_relaxed); }
  jack_nframes_t RecordStart() const { return recordStart_.load(std::memory_order_relaxed); }
  // What was recorded, as 16-bit samples (round(f x 32768), saturated),
  // interleaved.
  std::vector<int16_t> Recording() const;

 private:
  static int OnProcess(jack_nframes_t frames, void* self);

  jack_client_t* client_ = nullptr;
  std::string problem_;
  std::array<jack_port_t*, kChannels> playPorts_{};
  std::array<jack_port_t*, kChannels> recordPorts_{};
  std::vector<std::vector<float>> signal_;
  std::array<std::vector<float>, kChannels> recording_;
  size_t playPosition_ = 0;
  std::atomic<jack_nframes_t> playStart_{0};
  std::atomic<jack_nframes_t> recordStart_{0};
  std::atomic<bool> playing_{false};
  std::atomic<bool> played_{false};
  std::atomic<bool> recording_on_{false};
  std::atomic<size_t> recorded_{0};
};

}  // namespace sound_test
