#include "platform/alsa_wave_service.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/alsa_device.h"
#include "platform/alsa_device_list.h"
#include "platform/alsa_pcm.h"

using alsa_device::kQueueCapacity;
using alsa_device::NowNanoseconds;

namespace {

size_t DirectionIndex(WaveDirection direction) {
  return direction == WaveDirection::kInput ? 0 : 1;
}

}  // namespace

AlsaWaveService::AlsaWaveService() {
  // Before the lists are read, so that what ALSA says while reading them is
  // caught too.
  InstallAlsaDiagnosticHandler();
  lists_ = ListAlsaDevices();
}

AlsaWaveService::~AlsaWaveService() = default;

int32_t AlsaWaveService::DeviceCount(WaveDirection direction) {
  return static_cast<int32_t>(lists_[DirectionIndex(direction)].size());
}

WaveResult AlsaWaveService::DeviceCaps(WaveDirection direction, int32_t deviceId,
                                       WaveDeviceCaps* caps) {
  const auto& list = lists_[DirectionIndex(direction)];
  if (deviceId < 0 || deviceId >= static_cast<int32_t>(list.size())) {
    return WaveResult::kBadDeviceId;
  }
  *caps = list[static_cast<size_t>(deviceId)];
  return WaveResult::kOk;
}

AlsaWaveService::Device* AlsaWaveService::Find(WaveHandle handle) {
  for (auto& device : devices_) {
    if (device->handle == handle) {
      return device.get();
    }
  }
  return nullptr;
}

WaveResult AlsaWaveService::Open(WaveDirection direction, int32_t deviceId,
                                 const WaveDeviceFormat& format, WaveEventTarget* target,
                                 WaveHandle* handle) {
  lastError_.clear();
  const auto& list = lists_[DirectionIndex(direction)];
  if (deviceId < 0 || deviceId >= static_cast<int32_t>(list.size())) {
    return WaveResult::kBadDeviceId;
  }
  if (format.formatTag != 1 || (format.bitsPerSample != 8 && format.bitsPerSample != 16) ||
      format.channels < 1 || format.samplesPerSec == 0) {
    return WaveResult::kBadFormat;
  }
  auto device = std::make_unique<Device>();
  device->direction = direction;
  device->target = target;
  device->rate = format.samplesPerSec;
  device->bytesPerFrame = format.channels * (format.bitsPerSample / 8u);
  device->pcmName = list[static_cast<size_t>(deviceId)].pcmName;
  device->format = format;
  int error = 0;
  const WaveResult opened = OpenPcm(device->pcmName, direction, format, &device->pcm, &error);
  if (opened != WaveResult::kOk) {
    lastError_ = error != 0 ? snd_strerror(error) : "";
    return opened;
  }

  device->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (device->timerFd < 0) {
    lastError_ = std::strerror(errno);
    return WaveResult::kNoMemory;
  }
  const WaveHandle handleOpened = nextHandle_++;
  device->handle = handleOpened;
  // Capture descriptors are taken when it starts (see Start).
  if (direction == WaveDirection::kOutput) {
    RefreshPollDescriptors(*device);
  }
  device->timerNotifier.reset(new QSocketNotifier(device->timerFd, QSocketNotifier::Read));
  QObject::connect(device->timerNotifier.get(), &QSocketNotifier::activated,
                   [this, opened = handleOpened] {
                     if (Device* found = Find(opened)) {
                       uint64_t expirations = 0;
                       [[maybe_unused]] const ssize_t got =
                           ::read(found->timerFd, &expirations, sizeof expirations);
                     }
                     Service(opened);
                   });
  devices_.push_back(std::move(device));
  *handle = handleOpened;
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::PrepareHeader(WaveHandle handle, WaveHeader* header) {
  Device* device = Find(handle);
  if (!device) {
    return WaveResult::kInvalidHandle;
  }
  if (!header || !header->data) {
    return WaveResult::kNoMemory;
  }
  header->flags |= kWaveHeaderPrepared;
  header->flags &= ~kWaveHeaderDone;
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::UnprepareHeader(WaveHandle handle, WaveHeader* header) {
  Device* device = Find(handle);
  if (!device) {
    return WaveResult::kInvalidHandle;
  }
  if (device->Needs(header)) {
    return WaveResult::kStillPlaying;
  }
  header->flags &= ~kWaveHeaderPrepared;
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::Queue(WaveHandle handle, WaveDirection direction, WaveHeader* header,
                                  Device** queuedOn) {
  Device* device = Find(handle);
  if (!device || device->direction != direction) {
    return WaveResult::kInvalidHandle;
  }
  if (!(header->flags & kWaveHeaderPrepared)) {
    return WaveResult::kUnprepared;
  }
  if (device->Needs(header)) {
    return WaveResult::kStillPlaying;
  }
  if (device->count == kQueueCapacity) {
    return WaveResult::kNoMemory;
  }
  if (direction == WaveDirection::kInput) {
    header->bytesRecorded = 0;
  }
  header->flags |= kWaveHeaderInQueue;
  header->flags &= ~kWaveHeaderDone;
  device->At(device->count) = Device::Entry{header, 0, 0};
  ++device->count;
  *queuedOn = device;
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::AddBuffer(WaveHandle handle, WaveHeader* header) {
  Device* device = nullptr;
  const WaveResult queued = Queue(handle, WaveDirection::kInput, header, &device);
  if (queued == WaveResult::kOk) {
    UpdateNotifiers(*device);
  }
  return queued;
}

WaveResult AlsaWaveService::Start(WaveHandle handle) {
  Device* device = Find(handle);
  if (!device || device->direction != WaveDirection::kInput) {
    return WaveResult::kInvalidHandle;
  }
  if (device->started) {
    return WaveResult::kOk;
  }
  // A fresh PCM for the start: some PCMs (the PulseAudio plugin's) capture
  // from the moment they are prepared, and frames piled up since the device
  // was opened would only delay a live run.
  snd_pcm_t* fresh = nullptr;
  device->DropNotifiers();
  device->fds.clear();
  snd_pcm_close(device->pcm);
  device->pcm = nullptr;
  int error = 0;
  const WaveResult opened =
      OpenPcm(device->pcmName, WaveDirection::kInput, device->format, &fresh, &error);
  if (opened != WaveResult::kOk) {
    lastError_ = error != 0 ? snd_strerror(error) : "the format is refused now";
    return opened == WaveResult::kNoDriver ? WaveResult::kNoDriver : WaveResult::kOther;
  }
  device->pcm = fresh;
  error = snd_pcm_start(device->pcm);
  if (error < 0) {
    lastError_ = snd_strerror(error);
    return OpenError(error) == WaveResult::kNoDriver ? WaveResult::kNoDriver : WaveResult::kOther;
  }
  device->started = true;
  device->errors = 0;
  // The capture descriptors are valid once it has started.
  RefreshPollDescriptors(*device);
  UpdateNotifiers(*device);
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::Write(WaveHandle handle, WaveHeader* header) {
  Device* device = nullptr;
  const WaveResult queued = Queue(handle, WaveDirection::kOutput, header, &device);
  if (queued != WaveResult::kOk) {
    return queued;
  }
  device->lastWrite = NowNanoseconds();
  if (device->drained) {
    ++xruns_;
    device->drained = false;
  }
  // A failed device keeps what it is given; a resting one takes it up when
  // its timer ends the rest.
  if (device->failed || device->resting) {
    return WaveResult::kOk;
  }
  ServiceOutput(*device);
  UpdateNotifiers(*device);
  // The played check runs from the loop, never inside this call.
  if (device->unwritten > 0 && !device->failed && !device->resting) {
    device->ArmTimer(1000000);
  }
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::Reset(WaveHandle handle) {
  Device* device = Find(handle);
  if (!device || !device->pcm) {
    return WaveResult::kInvalidHandle;
  }
  snd_pcm_drop(device->pcm);
  const WaveMessage message = device->direction == WaveDirection::kInput ? WaveMessage::kInputData
                                                                         : WaveMessage::kOutputDone;
  while (device->count > 0) {
    Device::Entry& entry = device->At(0);
    if (device->direction == WaveDirection::kInput) {
      entry.header->bytesRecorded = entry.offset;
    }
    device->Finish(message);
  }
  device->unwritten = 0;
  device->started = false;
  device->drained = false;
  device->lastMoved = 0;
  snd_pcm_prepare(device->pcm);
  if (device->direction == WaveDirection::kOutput) {
    RefreshPollDescriptors(*device);
  }
  UpdateNotifiers(*device);
  device->ArmTimer(1);  // report the returned buffers from the loop
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::Close(WaveHandle handle) {
  for (auto it = devices_.begin(); it != devices_.end(); ++it) {
    if ((*it)->handle != handle) {
      continue;
    }
    for (int32_t i = 0; i < (*it)->count; ++i) {
      (*it)->At(i).header->flags &= ~kWaveHeaderInQueue;
    }
    if ((*it)->pcm) {
      snd_pcm_drop((*it)->pcm);
    }
    devices_.erase(it);
    return WaveResult::kOk;
  }
  return WaveResult::kInvalidHandle;
}

int32_t AlsaWaveService::PendingFrames(WaveHandle handle) {
  Device* device = Find(handle);
  if (!device || !device->pcm || device->failed) {
    return 0;
  }
  uint64_t frames = 0;
  snd_pcm_sframes_t delay = 0;
  const snd_pcm_state_t state = snd_pcm_state(device->pcm);
  if ((state == SND_PCM_STATE_RUNNING || state == SND_PCM_STATE_PREPARED) &&
      snd_pcm_delay(device->pcm, &delay) == 0 && delay > 0) {
    frames = static_cast<uint64_t>(delay);
  }
  if (device->direction == WaveDirection::kOutput) {
    // The buffers behind the first `unwritten` still wait for room.
    for (int32_t i = device->unwritten; i < device->count; ++i) {
      const Device::Entry& entry = device->At(i);
      frames += (entry.header->bufferLength - entry.offset) / device->bytesPerFrame;
    }
  }
  return static_cast<int32_t>(std::min<uint64_t>(frames, INT32_MAX));
}
