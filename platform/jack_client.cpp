#include "platform/jack_client.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kInputPortNames[JackClient::kMaxChannels] = {"in_1", "in_2"};
constexpr const char* kOutputPortNames[JackClient::kMaxChannels] = {"out_1", "out_2"};

std::atomic<bool> diagnosticsShown{false};

void PrintDiagnostic(const char* text) {
  if (diagnosticsShown.load(std::memory_order_relaxed)) {
    std::fprintf(stderr, "%s\n", text);
  }
}

// libjack prints through these from the first call on; installed once.
void InstallDiagnosticHandlers() {
  static const bool installed = [] {
    jack_set_error_function(PrintDiagnostic);
    jack_set_info_function(PrintDiagnostic);
    return true;
  }();
  (void)installed;
}

// Why jack_client_open gave no client, from its status bits.
std::string OpenFailureReason(jack_status_t status) {
  if ((status & JackServerFailed) != 0) {
    return "no server answers under that name (is it running?)";
  }
  if ((status & JackVersionError) != 0) {
    return "the server speaks another protocol version than this libjack";
  }
  if ((status & JackShmFailure) != 0) {
    return "the server's shared memory cannot be reached";
  }
  if ((status & JackInitFailure) != 0) {
    return "the client could not be set up";
  }
  if ((status & JackNameNotUnique) != 0) {
    return "the client name is taken";
  }
  return "the server refused the client";
}

// Names of the audio ports with `flags` that belong to other clients.
std::vector<std::string> OtherPorts(jack_client_t* client, unsigned long flags) {
  std::vector<std::string> names;
  const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, flags);
  if (!ports) {
    return names;
  }
  for (const char** port = ports; *port; ++port) {
    const jack_port_t* handle = jack_port_by_name(client, *port);
    if (handle && jack_port_is_mine(client, handle) == 0) {
      names.emplace_back(*port);
    }
  }
  jack_free(ports);
  return names;
}

// The longest latency of `mode` that the ports connected to `port` report.
jack_nframes_t ConnectedLatency(jack_client_t* client, jack_port_t* port,
                                jack_latency_callback_mode_t mode) {
  jack_nframes_t longest = 0;
  if (!port) {
    return longest;
  }
  const char** connections = jack_port_get_connections(port);
  if (!connections) {
    return longest;
  }
  for (const char** name = connections; *name; ++name) {
    if (jack_port_t* other = jack_port_by_name(client, *name)) {
      jack_latency_range_t range{};
      jack_port_get_latency_range(other, mode, &range);
      longest = std::max(longest, range.max);
    }
  }
  jack_free(connections);
  return longest;
}

}  // namespace

std::string DefaultJackServerName() {
  const char* name = std::getenv("JACK_DEFAULT_SERVER");
  return name && *name ? name : "default";
}

void ShowJackDiagnostics(bool shown) {
  diagnosticsShown.store(shown, std::memory_order_relaxed);
  InstallDiagnosticHandlers();
}

bool QueryJackServer(const std::string& clientName, JackServerInfo* info, std::string* error) {
  const std::unique_ptr<JackClient> client = JackClient::OpenWithoutPorts(clientName, error);
  if (!client) {
    return false;
  }
  *info = client->ServerInfo();
  return true;
}

std::unique_ptr<JackClient> JackClient::OpenWithoutPorts(const std::string& name,
                                                         std::string* error) {
  InstallDiagnosticHandlers();
  jack_status_t status{};
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  if (!client) {
    *error = OpenFailureReason(status);
    return nullptr;
  }
  return std::unique_ptr<JackClient>(new JackClient(client, 0));
}

std::unique_ptr<JackClient> JackClient::Open(const std::string& name, int32_t channels,
                                             std::string* error) {
  std::unique_ptr<JackClient> opened = OpenWithoutPorts(name, error);
  if (!opened) {
    return nullptr;
  }
  opened->channels_ = std::clamp(channels, 1, kMaxChannels);
  if (!opened->RegisterPorts(error)) {
    return nullptr;
  }
  return opened;
}

JackClient::JackClient(jack_client_t* client, int32_t channels)
    : client_(client), channels_(channels) {
  jack_set_process_callback(client_, &JackClient::OnProcess, this);
  jack_set_xrun_callback(client_, &JackClient::OnXrun, this);
  jack_set_buffer_size_callback(client_, &JackClient::OnBufferSize, this);
  jack_on_info_shutdown(client_, &JackClient::OnShutdown, this);
}

JackClient::~JackClient() {
  Deactivate();
  jack_client_close(client_);
}

bool JackClient::RegisterPorts(std::string* error) {
  for (int32_t c = 0; c < channels_; ++c) {
    const auto i = static_cast<size_t>(c);
    inputs_[i] = jack_port_register(client_, kInputPortNames[i], JACK_DEFAULT_AUDIO_TYPE,
                                    JackPortIsInput, 0);
    outputs_[i] = jack_port_register(client_, kOutputPortNames[i], JACK_DEFAULT_AUDIO_TYPE,
                                     JackPortIsOutput, 0);
    if (!inputs_[i] || !outputs_[i]) {
      *error = "the server refused to register the ports";
      return false;
    }
  }
  return true;
}

JackServerInfo JackClient::ServerInfo() const {
  JackServerInfo info;
  info.sampleRate = SampleRate();
  info.periodFrames = PeriodFrames();
  info.capturePorts = OtherPorts(client_, JackPortIsOutput);
  info.playbackPorts = OtherPorts(client_, JackPortIsInput);
  return info;
}

int32_t JackClient::SampleRate() const {
  return static_cast<int32_t>(jack_get_sample_rate(client_));
}

int32_t JackClient::PeriodFrames() const {
  return static_cast<int32_t>(jack_get_buffer_size(client_));
}

std::string JackClient::Name() const {
  return jack_get_client_name(client_);
}

bool JackClient::Activate(JackPeriodHandler* handler, std::string* error) {
  handler_ = handler;
  activePeriod_ = jack_get_buffer_size(client_);
  if (jack_activate(client_) != 0) {
    handler_ = nullptr;
    *error = "the server would not start the client";
    return false;
  }
  active_ = true;
  return true;
}

void JackClient::Deactivate() {
  if (!active_) {
    return;
  }
  active_ = false;
  // A server that has gone calls nothing more; asking it would only wait.
  if (!ShutDown()) {
    jack_deactivate(client_);
  }
}

bool JackClient::ConnectInput(int32_t channel, const std::string& port, std::string* error) {
  jack_port_t* ours = inputs_[static_cast<size_t>(std::clamp(channel, 0, channels_ - 1))];
  const int result = jack_connect(client_, port.c_str(), jack_port_name(ours));
  if (result != 0 && result != EEXIST) {
    *error = "cannot connect " + port + " to " + jack_port_name(ours);
    return false;
  }
  return true;
}

bool JackClient::ConnectOutput(int32_t channel, const std::string& port, std::string* error) {
  jack_port_t* ours = outputs_[static_cast<size_t>(std::clamp(channel, 0, channels_ - 1))];
  const int result = jack_connect(client_, jack_port_name(ours), port.c_str());
  if (result != 0 && result != EEXIST) {
    *error = std::string("cannot connect ") + jack_port_name(ours) + " to " + port;
    return false;
  }
  return true;
}

int32_t JackClient::LatencyFrames() const {
  jack_nframes_t capture = 0;
  jack_nframes_t playback = 0;
  for (int32_t c = 0; c < channels_; ++c) {
    const auto i = static_cast<size_t>(c);
    capture = std::max(capture, ConnectedLatency(client_, inputs_[i], JackCaptureLatency));
    playback = std::max(playback, ConnectedLatency(client_, outputs_[i], JackPlaybackLatency));
  }
  return static_cast<int32_t>(capture + jack_get_buffer_size(client_) + playback);
}

std::string JackClient::ShutdownReason() const {
  return ShutDown() ? std::string(shutdownReason_.data()) : std::string();
}

int JackClient::OnProcess(jack_nframes_t frames, void* self) {
  auto& client = *static_cast<JackClient*>(self);
  std::array<const float*, kMaxChannels> in{};
  std::array<float*, kMaxChannels> out{};
  for (int32_t c = 0; c < client.channels_; ++c) {
    const auto i = static_cast<size_t>(c);
    in[i] = static_cast<const float*>(jack_port_get_buffer(client.inputs_[i], frames));
    out[i] = static_cast<float*>(jack_port_get_buffer(client.outputs_[i], frames));
  }
  if (client.handler_) {
    client.handler_->ProcessPeriod(in.data(), out.data(), static_cast<int32_t>(frames));
  }
  return 0;
}

int JackClient::OnXrun(void* self) {
  static_cast<JackClient*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

int JackClient::OnBufferSize(jack_nframes_t frames, void* self) {
  auto& client = *static_cast<JackClient*>(self);
  if (client.activePeriod_ != 0 && frames != client.activePeriod_) {
    client.periodChanged_.store(true, std::memory_order_relaxed);
  }
  return 0;
}

void JackClient::OnShutdown(jack_status_t, const char* reason, void* self) {
  auto& client = *static_cast<JackClient*>(self);
  if (client.shutDown_.load(std::memory_order_relaxed)) {
    return;
  }
  std::snprintf(client.shutdownReason_.data(), client.shutdownReason_.size(), "%s",
                reason && *reason ? reason : "the server has stopped");
  client.shutDown_.store(true, std::memory_order_release);
}
