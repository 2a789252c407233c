#include "tests/sound/jack_test_client.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/jack_run.h"

namespace sound_test {

JackTestClient::JackTestClient(const std::string& server, const std::string& name,
                               size_t recordFrames) {
  for (std::vector<float>& channel : recording_) {
    channel.assign(recordFrames, 0.0f);
  }
  jack_status_t status{};
  client_ = jack_client_open(
      name.c_str(),
      static_cast<jack_options_t>(JackNoStartServer | JackServerName | JackUseExactName), &status,
      server.c_str());
  if (!client_) {
    problem_ = "the test client could not reach the server";
    return;
  }
  for (int c = 0; c < kChannels; ++c) {
    const std::string index = std::to_string(c + 1);
    playPorts_[static_cast<size_t>(c)] = jack_port_register(
        client_, ("play_" + index).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    recordPorts_[static_cast<size_t>(c)] = jack_port_register(
        client_, ("rec_" + index).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  }
  jack_set_process_callback(client_, &JackTestClient::OnProcess, this);
  if (jack_activate(client_) != 0) {
    problem_ = "the test client could not be activated";
  }
}

JackTestClient::~JackTestClient() {
  Close();
}

void JackTestClient::Close() {
  if (client_) {
    jack_deactivate(client_);
    jack_client_close(client_);
    client_ = nullptr;
  }
}

std::string JackTestClient::PortName(const char* port) const {
  return std::string(client_ ? jack_get_client_name(client_) : "") + ":" + port;
}

bool JackTestClient::WaitForPort(const std::string& port, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
  while (std::chrono::steady_clock::now() < deadline) {
    if (client_ && jack_port_by_name(client_, port.c_str()) != nullptr) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool JackTestClient::Connect(const std::string& from, const std::string& to) {
  // Another client's ports take connections only once it is active, a
  // moment after they appear.
  for (int attempt = 0; attempt < 500 && client_; ++attempt) {
    if (jack_connect(client_, from.c_str(), to.c_str()) == 0) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void JackTestClient::Play(std::vector<std::vector<float>> signal) {
  signal_ = std::move(signal);
  playing_.store(true, std::memory_order_release);
}

void JackTestClient::Record() {
  recording_on_.store(true, std::memory_order_release);
}

std::vector<int16_t> JackTestClient::Recording() const {
  const size_t frames = recorded_.load(std::memory_order_acquire);
  std::vector<int16_t> samples;
  samples.reserve(frames * kChannels);
  for (size_t i = 0; i < frames; ++i) {
    for (const std::vector<float>& channel : recording_) {
      samples.push_back(SampleFromFloat(channel[i]));
    }
  }
  return samples;
}

int JackTestClient::OnProcess(jack_nframes_t frames, void* self) {
  auto& client = *static_cast<JackTestClient*>(self);
  const jack_nframes_t now = jack_last_frame_time(client.client_);
  const bool playing = client.playing_.load(std::memory_order_acquire);
  if (playing && client.playPosition_ == 0) {
    client.playStart_.store(now, std::memory_order_relaxed);
  }
  for (size_t c = 0; c < kChannels; ++c) {
    auto* out = static_cast<float*>(jack_port_get_buffer(client.playPorts_[c], frames));
    std::fill_n(out, frames, 0.0f);
    if (playing && c < client.signal_.size()) {
      const std::vector<float>& signal = client.signal_[c];
      for (jack_nframes_t i = 0; i < frames && client.playPosition_ + i < signal.size(); ++i) {
        out[i] = signal[client.playPosition_ + i];
      }
    }
  }
  if (playing) {
    client.playPosition_ += frames;
    if (!client.signal_.empty() && client.playPosition_ >= client.signal_[0].size()) {
      client.played_.store(true, std::memory_order_release);
    }
  }
  if (client.recording_on_.load(std::memory_order_acquire)) {
    const size_t at = client.recorded_.load(std::memory_order_relaxed);
    if (at == 0) {
      client.recordStart_.store(now, std::memory_order_relaxed);
    }
    const size_t n = std::min<size_t>(frames, client.recording_[0].size() - at);
    for (size_t c = 0; c < kChannels; ++c) {
      const auto* in =
          static_cast<const float*>(jack_port_get_buffer(client.recordPorts_[c], frames));
      std::copy_n(in, n, client.recording_[c].begin() + static_cast<ptrdiff_t>(at));
    }
    client.recorded_.store(at + n, std::memory_order_release);
  }
  return 0;
}

}  // namespace sound_test
