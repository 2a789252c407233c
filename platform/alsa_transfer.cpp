// The ALSA backend's side of the event loop: what it does for an open device
// when one of its descriptors or its timer wakes the loop. Frames move
// between the queued buffers and the PCM, finished buffers are reported in
// queue order, and errors are recovered from or end in a failed device.

#include <cerrno>

#include "platform/alsa_device.h"
#include "platform/alsa_wave_service.h"

using alsa_device::kQueueCapacity;
using alsa_device::NowNanoseconds;
using alsa_device::SocketNotifierPtr;

namespace {

constexpr uint64_t kBackoffNanoseconds = 2000000;
// Output buffers are reported played this long before their last frame
// plays, unless nothing follows them: the device then always holds at least
// this much beyond what the ring has queued, however short the blocks. (The
// PulseAudio plugin stops advancing when it holds less than one period.)
constexpr uint64_t kOutputCushionNanoseconds = 100000000;
// Output that stays below the start threshold this long after its last
// buffer came is started as it is.
constexpr uint64_t kOutputStartNanoseconds = 20000000;
// An output whose played position stands still this long while it holds
// frames has stalled: what it holds is dropped, as after an underrun.
constexpr uint64_t kOutputStallNanoseconds = 500000000;
// A device whose errors cannot be recovered from for this long, or this many
// times in a row, has failed. Between tries it rests for kRetryNanoseconds.
constexpr uint64_t kRecoveryNanoseconds = 500000000;
constexpr int32_t kRecoveryTries = 50;
constexpr uint64_t kRetryNanoseconds = 20000000;

}  // namespace

void AlsaWaveService::RefreshPollDescriptors(Device& device) {
  // A PCM may change its descriptors when it is prepared or started (the
  // PulseAudio plugin does): watch the current ones.
  std::array<pollfd, 8> current{};
  const int count = std::min(snd_pcm_poll_descriptors_count(device.pcm), 8);
  const int got =
      count > 0 ? snd_pcm_poll_descriptors(device.pcm, current.data(), static_cast<unsigned>(count))
                : 0;
  const auto n = static_cast<size_t>(std::max(got, 0));
  bool same = n == device.fds.size();
  for (size_t i = 0; same && i < n; ++i) {
    same = current[i].fd == device.fds[i].fd && current[i].events == device.fds[i].events;
  }
  if (same) {
    return;
  }
  device.DropNotifiers();
  device.fds.assign(current.begin(), current.begin() + static_cast<std::ptrdiff_t>(n));
  const WaveHandle handle = device.handle;
  for (const pollfd& fd : device.fds) {
    for (const auto type : {QSocketNotifier::Read, QSocketNotifier::Write}) {
      const short wanted = type == QSocketNotifier::Read ? POLLIN : POLLOUT;
      if (!(fd.events & wanted)) {
        continue;
      }
      SocketNotifierPtr notifier(new QSocketNotifier(fd.fd, type));
      notifier->setEnabled(false);
      QObject::connect(notifier.get(), &QSocketNotifier::activated,
                       [this, handle] { Service(handle); });
      device.notifiers.push_back(std::move(notifier));
    }
  }
  UpdateNotifiers(device);
}

bool AlsaWaveService::Recover(Device& device, long error) {
  const uint64_t now = NowNanoseconds();
  if (device.errors++ == 0) {
    device.errorsSince = now;
  }
  int result = snd_pcm_recover(device.pcm, static_cast<int>(error), 1);
  if (result < 0) {
    result = snd_pcm_prepare(device.pcm);
  }
  if (result >= 0 && device.direction == WaveDirection::kInput && device.started) {
    result = snd_pcm_start(device.pcm);
  }
  // Errors that keep coming back without a frame moved in between, for too
  // long or too often, mean the device is gone (a sound server that died
  // fails every call).
  if (device.errors >= kRecoveryTries || now - device.errorsSince >= kRecoveryNanoseconds) {
    Fail(device, result < 0 ? result : static_cast<int>(error));
    return false;
  }
  if (result >= 0) {
    if (error == -EPIPE || error == -ESTRPIPE) {
      ++xruns_;
    }
    return true;
  }
  device.resting = true;
  device.ArmTimer(kRetryNanoseconds);
  return false;
}

void AlsaWaveService::Fail(Device& device, int error) {
  device.failed = true;
  lastError_ = snd_strerror(error);
  UpdateNotifiers(device);
  device.Report(WaveMessage::kDeviceFailed, nullptr);
  device.ArmTimer(1);  // reported from the loop
}

void AlsaWaveService::Service(WaveHandle handle) {
  Device* device = Find(handle);
  if (!device || !device->pcm) {
    return;
  }
  if (device->failed) {
    Deliver(handle);
    return;
  }
  device->resting = false;
  if (!device->fds.empty()) {
    // Lets the PCM (an I/O plugin in particular) see and clear its wake-up.
    for (pollfd& fd : device->fds) {
      fd.revents = 0;
    }
    ::poll(device->fds.data(), device->fds.size(), 0);
    unsigned short revents = 0;
    snd_pcm_poll_descriptors_revents(device->pcm, device->fds.data(),
                                     static_cast<unsigned>(device->fds.size()), &revents);
  }
  if (device->direction == WaveDirection::kInput) {
    // The PulseAudio plugin's capture descriptor can stay readable while it
    // has nothing to hand out; rather than spin on it (which also starves the
    // plugin's own thread), look again a little later.
    device->backoff = false;
    if (!ServiceInput(*device) && device->started && device->count > 0 && !device->failed &&
        !device->resting) {
      device->backoff = true;
      device->ArmTimer(kBackoffNanoseconds);
    }
    UpdateNotifiers(*device);
    Deliver(handle);
    return;
  }
  // Each buffer reported played brings the next one at once (the target
  // writes it from the report): look again while buffers are due, so that
  // however short they are the device fills up to its cushion in one go.
  for (int32_t round = 0; round < kQueueCapacity; ++round) {
    ServiceOutput(*device);
    if (!device->failed && !device->resting) {
      CheckPlayed(*device);
    }
    UpdateNotifiers(*device);
    // The target may reset or close the device.
    if (!Deliver(handle) || !(device = Find(handle)) || !device->pcm || device->failed ||
        device->resting) {
      return;
    }
  }
}

bool AlsaWaveService::ServiceInput(Device& device) {
  if (!device.started) {
    return false;
  }
  bool transferred = false;
  for (int32_t attempts = 0; device.count > 0 && attempts < 4 * kQueueCapacity; ++attempts) {
    Device::Entry& entry = device.At(0);
    WaveHeader* header = entry.header;
    const uint32_t capacity = header->bufferLength - header->bufferLength % device.bytesPerFrame;
    if (entry.offset >= capacity) {
      header->bytesRecorded = entry.offset;
      device.Finish(WaveMessage::kInputData);
      continue;
    }
    const snd_pcm_sframes_t avail = snd_pcm_avail_update(device.pcm);
    if (avail < 0) {
      Recover(device, avail);
      break;
    }
    const auto wanted = std::min<snd_pcm_uframes_t>(
        static_cast<snd_pcm_uframes_t>(avail), (capacity - entry.offset) / device.bytesPerFrame);
    if (wanted == 0) {
      break;
    }
    const snd_pcm_sframes_t got = snd_pcm_readi(device.pcm, header->data + entry.offset, wanted);
    if (got == -EAGAIN || got == 0) {
      break;
    }
    if (got < 0) {
      Recover(device, got);
      break;
    }
    entry.offset += static_cast<uint32_t>(got) * device.bytesPerFrame;
    header->bytesRecorded = entry.offset;
    device.errors = 0;
    transferred = true;
  }
  return transferred;
}

bool AlsaWaveService::ServiceOutput(Device& device) {
  bool transferred = false;
  for (int32_t attempts = 0; device.unwritten < device.count && attempts < 4 * kQueueCapacity;
       ++attempts) {
    Device::Entry& entry = device.At(device.unwritten);
    WaveHeader* header = entry.header;
    const uint32_t length = header->bufferLength - header->bufferLength % device.bytesPerFrame;
    if (entry.offset < length) {
      const snd_pcm_sframes_t put = snd_pcm_writei(device.pcm, header->data + entry.offset,
                                                   (length - entry.offset) / device.bytesPerFrame);
      if (put == -EAGAIN || put == 0) {
        break;
      }
      if (put < 0) {
        if (!Recover(device, put)) {
          break;
        }
        continue;
      }
      entry.offset += static_cast<uint32_t>(put) * device.bytesPerFrame;
      device.framesWritten += static_cast<uint64_t>(put);
      device.errors = 0;
      transferred = true;
      if (entry.offset < length) {
        continue;
      }
    }
    entry.endFrame = device.framesWritten;
    ++device.unwritten;
  }
  return transferred;
}

void AlsaWaveService::CheckPlayed(Device& device) {
  if (device.count == 0) {
    device.lastMoved = 0;
    return;
  }
  snd_pcm_sframes_t delay = 0;
  snd_pcm_state_t state = snd_pcm_state(device.pcm);
  if (state == SND_PCM_STATE_XRUN) {
    // Everything written has left the PCM. An underrun only if more comes.
    device.drained = true;
    snd_pcm_prepare(device.pcm);
    delay = 0;
  } else if (snd_pcm_delay(device.pcm, &delay) < 0 || delay < 0) {
    delay = 0;
  }
  const uint64_t now = NowNanoseconds();
  // Less than the start threshold, with nothing written for a while (a short
  // file, the end of one): started as it is.
  uint64_t startIn = 0;
  if (snd_pcm_state(device.pcm) == SND_PCM_STATE_PREPARED && device.unwritten > 0) {
    if (now - device.lastWrite >= kOutputStartNanoseconds) {
      snd_pcm_start(device.pcm);
    } else {
      startIn = kOutputStartNanoseconds - (now - device.lastWrite);
    }
  }
  const uint64_t queued = std::min<uint64_t>(static_cast<uint64_t>(delay), device.framesWritten);
  uint64_t played = device.framesWritten - queued;
  if (queued == 0 || played != device.lastPlayed || device.lastMoved == 0 || startIn > 0) {
    device.lastPlayed = played;
    device.lastMoved = now;
  } else if (now - device.lastMoved >= kOutputStallNanoseconds) {
    // The PCM holds frames but plays none (the PulseAudio plugin, left with
    // less than a period after an underrun, waits for more that never comes
    // while the ring waits for it): drop them as an underrun would have.
    ++xruns_;
    snd_pcm_drop(device.pcm);
    snd_pcm_prepare(device.pcm);
    RefreshPollDescriptors(device);
    played = device.framesWritten;
    device.lastPlayed = played;
    device.lastMoved = now;
  }
  // A buffer with another behind it is reported a cushion early, so that the
  // device holds that much more than the ring has queued, however short the
  // blocks; the last one only when it has been played to its end.
  const uint64_t cushion = kOutputCushionNanoseconds * device.rate / 1000000000u;
  while (device.count > 0 && device.unwritten > 0) {
    const uint64_t end = device.At(0).endFrame;
    if (end > played && (device.count == 1 || end > played + cushion)) {
      break;
    }
    device.Finish(WaveMessage::kOutputDone);
  }
  if (device.count > 0 && device.unwritten > 0) {
    const uint64_t end = device.At(0).endFrame;
    const uint64_t due = device.count > 1 && end > cushion ? end - cushion : end;
    const uint64_t frames = due > played ? due - played : 0;
    uint64_t wait = std::max<uint64_t>(frames * 1000000000u / device.rate, 2000000);
    if (startIn > 0) {
      wait = std::min(wait, startIn);
    }
    device.ArmTimer(wait);
  }
}

void AlsaWaveService::UpdateNotifiers(Device& device) {
  bool wanted = false;
  if (!device.failed && !device.resting) {
    wanted = device.direction == WaveDirection::kInput
                 ? device.started && device.count > 0 && !device.backoff
                 : device.unwritten < device.count;
  }
  for (SocketNotifierPtr& notifier : device.notifiers) {
    if (notifier->isEnabled() != wanted) {
      notifier->setEnabled(wanted);
    }
  }
}

bool AlsaWaveService::Deliver(WaveHandle handle) {
  for (bool delivered = false;; delivered = true) {
    // The target may reset or close the device: look it up afresh each time.
    Device* device = Find(handle);
    if (!device || device->finishedCount == 0) {
      return delivered;
    }
    const Device::Finished entry = device->finished[static_cast<size_t>(device->finishedHead)];
    device->finishedHead =
        (device->finishedHead + 1) % static_cast<int32_t>(device->finished.size());
    --device->finishedCount;
    if (WaveEventTarget* target = device->target.data()) {
      target->OnWaveMessage(entry.message, handle, entry.header);
    }
  }
}
