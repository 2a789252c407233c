#include "platform/alsa_wave_service.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

namespace {

// ALSA's own diagnostics ("ALSA lib pcm.c:...") on the thread that drives
// the devices all come through here: the engine's messages carry the
// reasons, so these are only counted, and printed when asked for. (This is
// ALSA's per-thread handler: the process-wide one would also receive the
// library's internal debugging notes, which it keeps quiet itself.)
std::atomic<int32_t> diagnosticCount{0};
std::atomic<bool> diagnosticsShown{false};

void OnAlsaDiagnostic(const char* file, int line, const char* function, int error,
                      const char* format, va_list arguments) {
  diagnosticCount.fetch_add(1, std::memory_order_relaxed);
  if (!diagnosticsShown.load(std::memory_order_relaxed))
    return;
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  std::fprintf(stderr, "ALSA lib %s:%d:(%s) %s%s%s\n", file, line, function, text,
               error != 0 ? ": " : "", error != 0 ? snd_strerror(error) : "");
}

// alsa/error.h declares snd_lib_error_set_local outside its extern "C"
// block, so C++ cannot link to it by name; it is looked up instead.
void InstallDiagnosticHandler() {
  using SetLocal = snd_local_error_handler_t (*)(snd_local_error_handler_t);
  if (void* found = dlsym(RTLD_DEFAULT, "snd_lib_error_set_local"))
    reinterpret_cast<SetLocal>(found)(OnAlsaDiagnostic);
}

uint64_t NowNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

// Qt objects that may be torn down from inside their own signal.
struct LaterDeleter {
  void operator()(QObject* object) const {
    if (object)
      object->deleteLater();
  }
};
using Notifier = std::unique_ptr<QSocketNotifier, LaterDeleter>;

int32_t DirectionIndex(WaveDirection direction) {
  return direction == WaveDirection::kInput ? 0 : 1;
}

// PCM names that are converters or channel-layout variants, not devices.
bool IsListed(std::string_view name) {
  static constexpr std::array<std::string_view, 6> kConverters = {
      "lavrate", "samplerate", "speexrate", "speex", "upmix", "vdownmix"};
  for (std::string_view converter : kConverters) {
    if (name == converter)
      return false;
  }
  static constexpr std::array<std::string_view, 2> kVariants = {"surround", "iec958"};
  for (std::string_view prefix : kVariants) {
    if (name.substr(0, prefix.size()) == prefix)
      return false;
  }
  return true;
}

// The type of a PCM definition as the configuration writes it, following
// the slaves of plugins that only convert ("plug", "rate", ...) down to the
// one that moves the samples; empty when it cannot be told without
// evaluating the configuration (which needs the cards and may complain).
std::string PcmType(snd_config_t* top, snd_config_t* definition, int32_t depth) {
  snd_config_t* node = nullptr;
  const char* type = nullptr;
  if (depth > 8 || snd_config_search(definition, "type", &node) < 0 ||
      snd_config_get_string(node, &type) < 0) {
    return {};
  }
  snd_config_t* slave = nullptr;
  if (snd_config_search(definition, "slave.pcm", &slave) < 0)
    return type;
  const char* slaveName = nullptr;
  if (snd_config_get_string(slave, &slaveName) < 0)
    return PcmType(top, slave, depth + 1);  // an inline definition
  snd_config_t* named = nullptr;
  if (snd_config_search(top, ("pcm." + std::string(slaveName)).c_str(), &named) < 0)
    return {};
  return PcmType(top, named, depth + 1);
}

// Whether the PCM `name` moves its samples in real time. The "null" plugin
// takes and gives samples as fast as they are asked for: recording from it
// fills a disk at full speed, playing to it ends at once.
bool IsPaced(const std::string& name) {
  snd_config_t* top = nullptr;
  if (snd_config_update_ref(&top) < 0)
    return true;  // opening it will tell
  snd_config_t* definition = nullptr;
  const bool paced = snd_config_search(top, ("pcm." + name).c_str(), &definition) < 0 ||
                     PcmType(top, definition, 0) != "null";
  snd_config_unref(top);
  return paced;
}

// "Line one - line two" from a multi-line ALSA description.
std::string ReadableName(const char* description, const std::string& fallback) {
  if (!description || !*description)
    return fallback;
  std::string text(description);
  size_t at = 0;
  while ((at = text.find('\n', at)) != std::string::npos)
    text.replace(at, 1, " - ");
  return text;
}

WaveResult OpenError(int error) {
  switch (-error) {
    case EBUSY:
    case EAGAIN:
      return WaveResult::kAllocated;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ECONNREFUSED:
    case EHOSTDOWN:
      return WaveResult::kNoDriver;
    case ENOMEM:
      return WaveResult::kNoMemory;
    case EINVAL:
      return WaveResult::kBadFormat;
    default:
      return WaveResult::kOther;
  }
}

constexpr int32_t kQueueCapacity = 128;
constexpr unsigned kPeriodMicroseconds = 10000;
constexpr uint64_t kBackoffNanoseconds = 2000000;
constexpr unsigned kInputBufferMicroseconds = 1000000;
constexpr unsigned kOutputBufferMicroseconds = 250000;
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

// Opens and configures a PCM: interleaved, the format's sample format,
// channels and exact rate; a period of about 10 ms, whatever the engine's
// block length. *error is ALSA's error code of a failure, 0 when the PCM
// refuses the format.
WaveResult OpenPcm(const std::string& name, WaveDirection direction, const WaveDeviceFormat& format,
                   snd_pcm_t** out, int* errorCode) {
  const snd_pcm_stream_t stream =
      direction == WaveDirection::kInput ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
  // Non-blocking: the UI thread's event loop waits on the PCM's descriptors.
  snd_pcm_t* pcm = nullptr;
  int& error = *errorCode;
  error = snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK);
  if (error < 0)
    return OpenError(error);
  // Closed again on every failure below.
  std::unique_ptr<snd_pcm_t, int (*)(snd_pcm_t*)> owned(pcm, snd_pcm_close);

  snd_pcm_hw_params_t* hw = nullptr;
  snd_pcm_hw_params_alloca(&hw);
  if ((error = snd_pcm_hw_params_any(pcm, hw)) < 0)
    return OpenError(error);
  if ((error = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
      (error = snd_pcm_hw_params_set_format(
           pcm, hw, format.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE)) < 0 ||
      (error = snd_pcm_hw_params_set_channels(pcm, hw, format.channels)) < 0 ||
      (error = snd_pcm_hw_params_set_rate(pcm, hw, format.samplesPerSec, 0)) < 0) {
    error = 0;  // the format is the reason
    return WaveResult::kBadFormat;
  }
  unsigned period = kPeriodMicroseconds;
  unsigned buffer =
      direction == WaveDirection::kInput ? kInputBufferMicroseconds : kOutputBufferMicroseconds;
  int dir = 0;
  snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer, &dir);
  dir = 0;
  snd_pcm_hw_params_set_period_time_near(pcm, hw, &period, &dir);
  if ((error = snd_pcm_hw_params(pcm, hw)) < 0)
    return OpenError(error);

  snd_pcm_uframes_t periodFrames = 0;
  snd_pcm_uframes_t bufferFrames = 0;
  snd_pcm_get_params(pcm, &bufferFrames, &periodFrames);
  snd_pcm_sw_params_t* sw = nullptr;
  snd_pcm_sw_params_alloca(&sw);
  snd_pcm_sw_params_current(pcm, sw);
  snd_pcm_sw_params_set_avail_min(pcm, sw, std::max<snd_pcm_uframes_t>(periodFrames, 1));
  // Playback starts once it holds two periods, however short the buffers
  // written: a sound server left with less than a period runs dry at once.
  // (Less that stays alone is started by CheckPlayed.) Capture is started
  // explicitly (the PulseAudio plugin wants the low threshold there too).
  snd_pcm_sw_params_set_start_threshold(
      pcm, sw,
      direction == WaveDirection::kOutput ? std::max<snd_pcm_uframes_t>(2 * periodFrames, 1) : 1);
  snd_pcm_sw_params(pcm, sw);
  // Prepared again so that the PulseAudio plugin takes the start threshold
  // as its pre-buffer: otherwise playback waits for a full buffer.
  if ((error = snd_pcm_prepare(pcm)) < 0)
    return OpenError(error);
  *out = owned.release();
  return WaveResult::kOk;
}

}  // namespace

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
    for (Notifier& notifier : notifiers)
      notifier->setEnabled(false);
    notifiers.clear();
    if (timerNotifier)
      timerNotifier->setEnabled(false);
    timerNotifier.reset();
    if (timerFd >= 0)
      ::close(timerFd);
    if (pcm)
      snd_pcm_close(pcm);
  }

  Entry& At(int32_t i) { return queue[static_cast<size_t>((head + i) % kQueueCapacity)]; }
  bool Holds(const WaveHeader* header, int32_t from) {
    for (int32_t i = from; i < count; ++i) {
      if (At(i).header == header)
        return true;
    }
    return false;
  }
  void Finish(WaveMessage message) {
    WaveHeader* header = At(0).header;
    head = (head + 1) % kQueueCapacity;
    --count;
    if (unwritten > 0)
      --unwritten;
    header->flags &= ~kWaveHeaderInQueue;
    header->flags |= kWaveHeaderDone;
    if (finishedCount == static_cast<int32_t>(finished.size()))
      return;
    finished[static_cast<size_t>((finishedHead + finishedCount) % finished.size())] =
        Finished{message, header};
    ++finishedCount;
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
  std::vector<Notifier> notifiers;
  int timerFd = -1;
  Notifier timerNotifier;
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
  std::array<Entry, kQueueCapacity> queue{};
  int32_t head = 0;
  int32_t count = 0;
  int32_t unwritten = 0;
  uint64_t framesWritten = 0;
  std::array<Finished, 2 * kQueueCapacity> finished{};
  int32_t finishedHead = 0;
  int32_t finishedCount = 0;
};

void AlsaWaveService::ShowDiagnostics(bool shown) {
  diagnosticsShown.store(shown, std::memory_order_relaxed);
}

int32_t AlsaWaveService::DiagnosticCount() {
  return diagnosticCount.load(std::memory_order_relaxed);
}

AlsaWaveService::AlsaWaveService() {
  InstallDiagnosticHandler();
  void** hints = nullptr;
  std::array<bool, 2> haveDefault{false, false};
  if (snd_device_name_hint(-1, "pcm", &hints) == 0 && hints) {
    for (void** hint = hints; *hint; ++hint) {
      char* name = snd_device_name_get_hint(*hint, "NAME");
      char* description = snd_device_name_get_hint(*hint, "DESC");
      char* ioid = snd_device_name_get_hint(*hint, "IOID");
      if (name && IsListed(name) && IsPaced(name)) {
        WaveDeviceCaps caps{ReadableName(description, name), name};
        const bool isDefault = caps.pcmName == "default";
        for (int32_t d = 0; d < 2; ++d) {
          const char* wanted = d == 0 ? "Input" : "Output";
          if (ioid && std::strcmp(ioid, wanted) != 0)
            continue;
          auto& list = lists_[d];
          if (isDefault) {
            list.insert(list.begin(), caps);
            haveDefault[static_cast<size_t>(d)] = true;
          } else {
            list.push_back(caps);
          }
        }
      }
      free(name);
      free(description);
      free(ioid);
    }
    snd_device_name_free_hint(hints);
  }
  // The default device is offered even without a hint, unless it is one
  // that is not paced.
  if (!haveDefault[0] && IsPaced("default"))
    lists_[0].insert(lists_[0].begin(), {"Default Input Device", "default"});
  if (!haveDefault[1] && IsPaced("default"))
    lists_[1].insert(lists_[1].begin(), {"Default Output Device", "default"});
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
    if (device->handle == handle)
      return device.get();
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
  if (direction == WaveDirection::kOutput)
    RefreshPollDescriptors(*device);
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
  if (!device)
    return WaveResult::kInvalidHandle;
  if (!header || !header->data)
    return WaveResult::kNoMemory;
  header->flags |= kWaveHeaderPrepared;
  header->flags &= ~kWaveHeaderDone;
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::UnprepareHeader(WaveHandle handle, WaveHeader* header) {
  Device* device = Find(handle);
  if (!device)
    return WaveResult::kInvalidHandle;
  // An output buffer whose frames are all in the PCM is no longer needed,
  // even while they are still playing; an input buffer is needed until full.
  const int32_t from = device->direction == WaveDirection::kOutput ? device->unwritten : 0;
  if (device->Holds(header, from))
    return WaveResult::kStillPlaying;
  header->flags &= ~kWaveHeaderPrepared;
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::AddBuffer(WaveHandle handle, WaveHeader* header) {
  Device* device = Find(handle);
  if (!device || device->direction != WaveDirection::kInput)
    return WaveResult::kInvalidHandle;
  if (!(header->flags & kWaveHeaderPrepared))
    return WaveResult::kUnprepared;
  if (device->Holds(header, 0))
    return WaveResult::kStillPlaying;
  if (device->count == kQueueCapacity)
    return WaveResult::kNoMemory;
  header->bytesRecorded = 0;
  header->flags |= kWaveHeaderInQueue;
  header->flags &= ~kWaveHeaderDone;
  device->At(device->count) = Device::Entry{header, 0, 0};
  ++device->count;
  UpdateNotifiers(*device);
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::Start(WaveHandle handle) {
  Device* device = Find(handle);
  if (!device || device->direction != WaveDirection::kInput)
    return WaveResult::kInvalidHandle;
  if (device->started)
    return WaveResult::kOk;
  // A fresh PCM for the start: some PCMs (the PulseAudio plugin's) capture
  // from the moment they are prepared, and frames piled up since the device
  // was opened would only delay a live run.
  snd_pcm_t* fresh = nullptr;
  for (Notifier& notifier : device->notifiers)
    notifier->setEnabled(false);
  device->notifiers.clear();
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
  Device* device = Find(handle);
  if (!device || device->direction != WaveDirection::kOutput)
    return WaveResult::kInvalidHandle;
  if (!(header->flags & kWaveHeaderPrepared))
    return WaveResult::kUnprepared;
  if (device->Holds(header, device->unwritten))
    return WaveResult::kStillPlaying;
  if (device->count == kQueueCapacity)
    return WaveResult::kNoMemory;
  header->flags |= kWaveHeaderInQueue;
  header->flags &= ~kWaveHeaderDone;
  device->At(device->count) = Device::Entry{header, 0, 0};
  ++device->count;
  device->lastWrite = NowNanoseconds();
  if (device->drained) {
    ++xruns_;
    device->drained = false;
  }
  // A failed device keeps what it is given; a resting one takes it up when
  // its timer ends the rest.
  if (device->failed || device->resting)
    return WaveResult::kOk;
  ServiceOutput(*device);
  UpdateNotifiers(*device);
  // The played check runs from the loop, never inside this call.
  if (device->unwritten > 0 && !device->failed && !device->resting)
    device->ArmTimer(1000000);
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::Reset(WaveHandle handle) {
  Device* device = Find(handle);
  if (!device || !device->pcm)
    return WaveResult::kInvalidHandle;
  snd_pcm_drop(device->pcm);
  const WaveMessage message = device->direction == WaveDirection::kInput ? WaveMessage::kInputData
                                                                         : WaveMessage::kOutputDone;
  while (device->count > 0) {
    Device::Entry& entry = device->At(0);
    if (device->direction == WaveDirection::kInput)
      entry.header->bytesRecorded = entry.offset;
    device->Finish(message);
  }
  device->unwritten = 0;
  device->started = false;
  device->drained = false;
  device->lastMoved = 0;
  snd_pcm_prepare(device->pcm);
  if (device->direction == WaveDirection::kOutput)
    RefreshPollDescriptors(*device);
  UpdateNotifiers(*device);
  device->ArmTimer(1);  // report the returned buffers from the loop
  return WaveResult::kOk;
}

WaveResult AlsaWaveService::Close(WaveHandle handle) {
  for (auto it = devices_.begin(); it != devices_.end(); ++it) {
    if ((*it)->handle != handle)
      continue;
    for (int32_t i = 0; i < (*it)->count; ++i)
      (*it)->At(i).header->flags &= ~kWaveHeaderInQueue;
    if ((*it)->pcm)
      snd_pcm_drop((*it)->pcm);
    devices_.erase(it);
    return WaveResult::kOk;
  }
  return WaveResult::kInvalidHandle;
}

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
  if (same)
    return;
  for (Notifier& notifier : device.notifiers)
    notifier->setEnabled(false);
  device.notifiers.clear();
  device.fds.assign(current.begin(), current.begin() + static_cast<std::ptrdiff_t>(n));
  const WaveHandle handle = device.handle;
  for (const pollfd& fd : device.fds) {
    for (const auto type : {QSocketNotifier::Read, QSocketNotifier::Write}) {
      const short wanted = type == QSocketNotifier::Read ? POLLIN : POLLOUT;
      if (!(fd.events & wanted))
        continue;
      Notifier notifier(new QSocketNotifier(fd.fd, type));
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
  if (device.errors++ == 0)
    device.errorsSince = now;
  int result = snd_pcm_recover(device.pcm, static_cast<int>(error), 1);
  if (result < 0)
    result = snd_pcm_prepare(device.pcm);
  if (result >= 0 && device.direction == WaveDirection::kInput && device.started)
    result = snd_pcm_start(device.pcm);
  // Errors that keep coming back without a frame moved in between, for too
  // long or too often, mean the device is gone (a sound server that died
  // fails every call).
  if (device.errors >= kRecoveryTries || now - device.errorsSince >= kRecoveryNanoseconds) {
    Fail(device, result < 0 ? result : static_cast<int>(error));
    return false;
  }
  if (result >= 0) {
    if (error == -EPIPE || error == -ESTRPIPE)
      ++xruns_;
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
  if (device.finishedCount < static_cast<int32_t>(device.finished.size())) {
    device.finished[static_cast<size_t>((device.finishedHead + device.finishedCount) %
                                        static_cast<int32_t>(device.finished.size()))] =
        Device::Finished{WaveMessage::kDeviceFailed, nullptr};
    ++device.finishedCount;
  }
  device.ArmTimer(1);  // reported from the loop
}

void AlsaWaveService::Service(WaveHandle handle) {
  Device* device = Find(handle);
  if (!device || !device->pcm)
    return;
  if (device->failed) {
    Deliver(handle);
    return;
  }
  device->resting = false;
  if (!device->fds.empty()) {
    // Lets the PCM (an I/O plugin in particular) see and clear its wake-up.
    for (pollfd& fd : device->fds)
      fd.revents = 0;
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
    if (!device->failed && !device->resting)
      CheckPlayed(*device);
    UpdateNotifiers(*device);
    // The target may reset or close the device.
    if (!Deliver(handle) || !(device = Find(handle)) || !device->pcm || device->failed ||
        device->resting) {
      return;
    }
  }
}

bool AlsaWaveService::ServiceInput(Device& device) {
  if (!device.started)
    return false;
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
    if (wanted == 0)
      break;
    const snd_pcm_sframes_t got = snd_pcm_readi(device.pcm, header->data + entry.offset, wanted);
    if (got == -EAGAIN || got == 0)
      break;
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
      if (put == -EAGAIN || put == 0)
        break;
      if (put < 0) {
        if (!Recover(device, put))
          break;
        continue;
      }
      entry.offset += static_cast<uint32_t>(put) * device.bytesPerFrame;
      device.framesWritten += static_cast<uint64_t>(put);
      device.errors = 0;
      transferred = true;
      if (entry.offset < length)
        continue;
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
    if (end > played && (device.count == 1 || end > played + cushion))
      break;
    device.Finish(WaveMessage::kOutputDone);
  }
  if (device.count > 0 && device.unwritten > 0) {
    const uint64_t end = device.At(0).endFrame;
    const uint64_t due = device.count > 1 && end > cushion ? end - cushion : end;
    const uint64_t frames = due > played ? due - played : 0;
    uint64_t wait = std::max<uint64_t>(frames * 1000000000u / device.rate, 2000000);
    if (startIn > 0)
      wait = std::min(wait, startIn);
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
  for (Notifier& notifier : device.notifiers) {
    if (notifier->isEnabled() != wanted)
      notifier->setEnabled(wanted);
  }
}

bool AlsaWaveService::Deliver(WaveHandle handle) {
  for (bool delivered = false;; delivered = true) {
    // The target may reset or close the device: look it up afresh each time.
    Device* device = Find(handle);
    if (!device || device->finishedCount == 0)
      return delivered;
    const Device::Finished entry = device->finished[static_cast<size_t>(device->finishedHead)];
    device->finishedHead =
        (device->finishedHead + 1) % static_cast<int32_t>(device->finished.size());
    --device->finishedCount;
    if (WaveEventTarget* target = device->target.data()) {
      target->OnWaveMessage(entry.message, handle, entry.header);
    }
  }
}
