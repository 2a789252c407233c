#pragma once
// What the ALSA backend keeps for each open device: its PCM, the descriptors
// the event loop watches, the buffers queued on it and the reports that wait
// for the loop. Shared by the service calls (alsa_wave_service.cpp) and the
// transfers the loop makes (alsa_transfer.cpp).

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/alsa_wave_service.h"

namespace alsa_device {

// Buffers one device holds at the most.
inline constexpr int32_t kQueueCapacity = 128;

inline uint64_t NowNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

// Qt objects that may be torn down from inside their own signal.
struct LaterDeleter {
  void operator()(QObject* object) const {
    if (object) {
      object->deleteLater();
    }
  }
};
using SocketNotifierPtr = std::unique_ptr<QSocketNotifier, LaterDeleter>;

}  // namespace alsa_device

struct AlsaWaveService::Device {
  struct Entry {
    WaveHeader* header = nullptr;
    uint32_t offset = 0;    // bytes transferred so far
    uint64_t endFrame = 0;  // output: frames written up to its last frame
  };
  struct Finished {
    WaveMessage message;
    WaveHeader* header;
  };

  ~Device() {
    DropNotifiers();
    if (timerNotifier) {
      timerNotifier->setEnabled(false);
    }
    timerNotifier.reset();
    if (timerFd >= 0) {
      ::close(timerFd);
    }
    if (pcm) {
      snd_pcm_close(pcm);
    }
  }

  Entry& At(int32_t i) {
    return queue[static_cast<size_t>((head + i) % alsa_device::kQueueCapacity)];
  }
  // Whether the device still needs `header`. An output buffer whose frames
  // are all in the PCM is no longer needed, even while they are still
  // playing; an input buffer is needed until it is full.
  bool Needs(const WaveHeader* header) {
    const int32_t from = direction == WaveDirection::kOutput ? unwritten : 0;
    for (int32_t i = from; i < count; ++i) {
      if (At(i).header == header) {
        return true;
      }
    }
    return false;
  }
  void Finish(WaveMessage message) {
    WaveHeader* header = At(0).header;
    head = (head + 1) % alsa_device::kQueueCapacity;
    --count;
    if (unwritten > 0) {
      --unwritten;
    }
    header->flags &= ~kWaveHeaderInQueue;
    header->flags |= kWaveHeaderDone;
    Report(message, header);
  }
  // Keeps `message` to be reported from the loop.
  void Report(WaveMessage message, WaveHeader* header) {
    if (finishedCount == static_cast<int32_t>(finished.size())) {
      return;
    }
    finished[static_cast<size_t>((finishedHead + finishedCount) % finished.size())] =
        Finished{message, header};
    ++finishedCount;
  }
  // Stops watching the PCM's descriptors.
  void DropNotifiers() {
    for (alsa_device::SocketNotifierPtr& notifier : notifiers) {
      notifier->setEnabled(false);
    }
    notifiers.clear();
  }
  void ArmTimer(uint64_t nanoseconds, uint64_t intervalNanoseconds = 0) {
    itimerspec timer{};
    timer.it_interval.tv_sec = static_cast<time_t>(intervalNanoseconds / 1000000000u);
    timer.it_interval.tv_nsec = static_cast<long>(intervalNanoseconds % 1000000000u);
    timer.it_value.tv_sec = static_cast<time_t>(nanoseconds / 1000000000u);
    timer.it_value.tv_nsec = static_cast<long>(std::max<uint64_t>(nanoseconds % 1000000000u, 1));
    timerfd_settime(timerFd, 0, &timer, nullptr);
  }

  WaveDirection direction = WaveDirection::kInput;
  WaveHandle handle = kNoWaveHandle;
  std::string pcmName;
  WaveDeviceFormat format;
  snd_pcm_t* pcm = nullptr;
  QPointer<WaveEventTarget> target;
  uint32_t bytesPerFrame = 1;
  uint32_t rate = 1;
  std::vector<pollfd> fds;
  std::vector<alsa_device::SocketNotifierPtr> notifiers;
  int timerFd = -1;
  alsa_device::SocketNotifierPtr timerNotifier;
  bool started = false;
  bool drained = false;  // output: the PCM ran dry after playing everything
  bool backoff = false;  // woken with nothing to transfer; wait for the timer
  bool resting = false;  // an error could not be recovered yet; retry on the timer
  bool failed = false;   // reported as failed; moves nothing more
  int32_t errors = 0;    // errors since the last frames moved
  uint64_t errorsSince = 0;
  uint64_t lastPlayed = 0;  // output: the played position at the last look
  uint64_t lastMoved = 0;   // output: when it last moved
  uint64_t lastWrite = 0;   // output: when a buffer was last written
  // Buffers on the device, oldest first. Output: the first `unwritten` are
  // wholly in the PCM, the rest wait for room.
  std::array<Entry, alsa_device::kQueueCapacity> queue{};
  int32_t head = 0;
  int32_t count = 0;
  int32_t unwritten = 0;
  uint64_t framesWritten = 0;
  std::array<Finished, 2 * alsa_device::kQueueCapacity> finished{};
  int32_t finishedHead = 0;
  int32_t finishedCount = 0;
};
