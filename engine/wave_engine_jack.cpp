// The JACK side of WaveEngine: the server's ports in the device lists, and
// the runs through them (engine/jack_run.h), polled by a timer on the event
// loop. Also the figures of a running device run (RunStatus).

#include <QTimer>

#include "engine/jack_run.h"
#include "engine/wave_engine.h"

namespace msg = wave_engine_messages;

namespace {

// How often the event loop hands the window's changes over and moves the
// record and play rings: well inside a ring's seconds, and short enough that
// a slider is heard to move at once.
constexpr int kJackPollMilliseconds = 10;

constexpr const char* kMixedDrivers = "A JACK port and a sound card cannot be used in one run!";

}  // namespace

void WaveEngine::ListJackPorts() {
  jackAsked_ = true;
  JackServerInfo info;
  if (!QueryJackServer(settings.jackClientName, &info, &jackListingError)) {
    return;
  }
  for (const std::string& port : info.capturePorts) {
    inputCaps.push_back(WaveDeviceCaps{"JACK: " + port, port, true});
  }
  for (const std::string& port : info.playbackPorts) {
    outputCaps.push_back(WaveDeviceCaps{"JACK: " + port, port, true});
  }
  inputDeviceCount = static_cast<int32_t>(inputCaps.size());
  outputDeviceCount = static_cast<int32_t>(outputCaps.size());
  jackSampleRate = info.sampleRate;
  jackPeriodFrames = info.periodFrames;
}

bool WaveEngine::SettingsUseJack() const {
  auto isJack = [listed = jackAsked_](bool isFile, int32_t id,
                                      const std::vector<WaveDeviceCaps>& caps,
                                      int32_t serviceDevices) {
    if (isFile) {
      return false;
    }
    if (id == kJackUnconnected) {
      return true;
    }
    if (id >= 0 && id < static_cast<int32_t>(caps.size())) {
      return caps[static_cast<size_t>(id)].jackPort;
    }
    // Past the service's own devices, with JACK asked for: a port that is
    // not (or no longer) there.
    return listed && id >= serviceDevices;
  };
  return isJack(settings.inputIsFile, settings.inputDeviceId, inputCaps,
                service_->DeviceCount(WaveDirection::kInput)) ||
         isJack(settings.outputIsFile, settings.outputDeviceId, outputCaps,
                service_->DeviceCount(WaveDirection::kOutput));
}

bool WaveEngine::JackPortsFor(WaveDirection direction, int32_t id,
                              std::vector<std::string>* ports) {
  ports->clear();
  if (id == kJackUnconnected) {
    return true;
  }
  const bool input = direction == WaveDirection::kInput;
  const std::vector<WaveDeviceCaps>& caps = input ? inputCaps : outputCaps;
  const auto count = static_cast<int32_t>(caps.size());
  if (id < 0 || id >= count || !caps[static_cast<size_t>(id)].jackPort) {
    if (!jackListingError.empty()) {
      notifier_->ShowMessage(jack_run_messages::kNoServer,
                             "server \"" + DefaultJackServerName() + "\": " + jackListingError);
    } else {
      notifier_->ShowMessage(input ? msg::kInputBadDeviceId : msg::kOutputBadDeviceId,
                             "the JACK server has no port numbered " + std::to_string(id));
    }
    return false;
  }
  ports->push_back(caps[static_cast<size_t>(id)].pcmName);
  if (id + 1 < count && caps[static_cast<size_t>(id) + 1].jackPort) {
    ports->push_back(caps[static_cast<size_t>(id) + 1].pcmName);
  }
  return true;
}

bool WaveEngine::StartJackRun() {
  lastStatus_ = RunStatus{};
  lastStatus_.jack = true;
  auto soundCard = [](bool isFile, int32_t id, const std::vector<WaveDeviceCaps>& caps) {
    return !isFile && id >= 0 && id < static_cast<int32_t>(caps.size()) &&
           !caps[static_cast<size_t>(id)].jackPort;
  };
  if (soundCard(settings.inputIsFile, settings.inputDeviceId, inputCaps) ||
      soundCard(settings.outputIsFile, settings.outputDeviceId, outputCaps)) {
    notifier_->ShowMessage(kMixedDrivers);
    return false;
  }
  JackRunSetup setup;
  setup.clientName = settings.jackClientName;
  setup.inputIsFile = settings.inputIsFile;
  setup.outputIsFile = settings.outputIsFile;
  setup.inputFileName = settings.inputFileName;
  setup.outputFileName = settings.outputFileName;
  setup.channels = settings.channels;
  setup.bitsPerSample = settings.bitsPerSample;
  setup.leftChain = &Left();
  setup.rightChain = &Right();
  setup.meter = &levels_;
  if ((!settings.inputIsFile &&
       !JackPortsFor(WaveDirection::kInput, settings.inputDeviceId, &setup.inputPorts)) ||
      (!settings.outputIsFile &&
       !JackPortsFor(WaveDirection::kOutput, settings.outputDeviceId, &setup.outputPorts))) {
    return false;
  }
  jackRun_ = JackRun::Start(setup, *notifier_, progress);
  if (!jackRun_) {
    return false;
  }
  lastStatus_ = Status();
  if (!jackTimer_) {
    jackTimer_ = std::make_unique<QTimer>();
    jackTimer_->setInterval(kJackPollMilliseconds);
    QObject::connect(jackTimer_.get(), &QTimer::timeout, [this] { PollJackRun(); });
  }
  jackTimer_->start();
  return true;
}

void WaveEngine::PollJackRun() {
  if (!jackRun_) {
    return;
  }
  if (std::optional<JackRunEnd> end = jackRun_->Poll()) {
    EndRun(end->text, end->detail);
  }
}

void WaveEngine::CloseJackRun() {
  if (jackTimer_) {
    jackTimer_->stop();
  }
  if (!jackRun_) {
    return;
  }
  lastStatus_ = Status();
  jackRun_->Close();
  jackRun_.reset();
}

RunStatus WaveEngine::Status() {
  if (jackRun_) {
    const JackRunStatus run = jackRun_->Status();
    RunStatus status;
    status.jack = true;
    status.sampleRate = run.sampleRate;
    status.latencyFrames = run.latencyFrames;
    status.periodFrames = run.periodFrames;
    status.xruns = run.xruns;
    status.droppedFrames = run.droppedFrames;
    return status;
  }
  if (outputOpen) {
    RunStatus status;
    status.sampleRate = static_cast<int32_t>(state_.inputFormat.samplesPerSec);
    status.latencyFrames = DeviceLatencyFrames();
    status.xruns = service_->XrunCount() - xrunsAtStart_;
    return status;
  }
  return lastStatus_;
}

int32_t WaveEngine::DeviceLatencyFrames() {
  const int32_t block = state_.stream.framesPerBlock;
  int32_t frames = 0;
  if (!state_.inputIsFile) {
    // A block is processed once it has been recorded whole.
    frames += block + service_->PendingFrames(state_.inputDevice);
  }
  if (!state_.outputIsFile) {
    frames += service_->PendingFrames(state_.outputDevice);
  }
  if (!state_.inputIsFile && !state_.outputIsFile) {
    frames += block;  // a processed block is sent at the next message
  }
  return frames;
}
