#include "platform/simulated_wave_service.h"

#include <cstring>
#include <utility>

namespace {
int32_t DirectionIndex(WaveDirection direction) {
  return direction == WaveDirection::kInput ? 0 : 1;
}
}  // namespace

SimulatedWaveService::SimulatedWaveService(int32_t inputs, int32_t outputs)
    : deviceCounts_{inputs, outputs} {
  busy_[0].assign(static_cast<size_t>(inputs), false);
  busy_[1].assign(static_cast<size_t>(outputs), false);
}

int32_t SimulatedWaveService::DeviceCount(WaveDirection direction) {
  return deviceCounts_[DirectionIndex(direction)];
}

WaveResult SimulatedWaveService::DeviceCaps(WaveDirection direction, int32_t deviceId,
                                            WaveDeviceCaps* caps) {
  if (deviceId < 0 || deviceId >= DeviceCount(direction)) {
    return WaveResult::kBadDeviceId;
  }
  const std::string kind = direction == WaveDirection::kInput ? "Input" : "Output";
  caps->productName = "Simulated " + kind + " " + std::to_string(deviceId + 1);
  caps->pcmName = "sim" + kind + std::to_string(deviceId);
  return WaveResult::kOk;
}

bool SimulatedWaveService::Injected(SimulatedCall call, WaveResult* result) {
  const int32_t i = Index(call);
  ++calls_[i];
  if (failTimes_[i] <= 0) {
    return false;
  }
  if (failSkip_[i] > 0) {
    --failSkip_[i];
    return false;
  }
  --failTimes_[i];
  *result = failResult_[i];
  lastError_ = "Simulated failure";
  return true;
}

SimulatedWaveService::Device* SimulatedWaveService::Find(WaveHandle handle) {
  for (Device& device : devices_) {
    if (device.open && device.handle == handle && handle != kNoWaveHandle) {
      return &device;
    }
  }
  return nullptr;
}

const SimulatedWaveService::Device* SimulatedWaveService::FindOpen(WaveDirection direction) const {
  for (const Device& device : devices_) {
    if (device.open && device.direction == direction) {
      return &device;
    }
  }
  return nullptr;
}

WaveResult SimulatedWaveService::Open(WaveDirection direction, int32_t deviceId,
                                      const WaveDeviceFormat& format, WaveEventTarget* target,
                                      WaveHandle* handle) {
  WaveResult result;
  lastError_.clear();
  if (Injected(SimulatedCall::kOpen, &result)) {
    return result;
  }
  const int32_t d = DirectionIndex(direction);
  if (deviceId < 0 || deviceId >= deviceCounts_[d]) {
    return WaveResult::kBadDeviceId;
  }
  if (busy_[d][static_cast<size_t>(deviceId)]) {
    return WaveResult::kAllocated;
  }
  for (const Device& device : devices_) {
    if (device.open && device.direction == direction && device.deviceId == deviceId) {
      return WaveResult::kAllocated;
    }
  }
  const bool plausible = format.formatTag == 1 && (format.channels == 1 || format.channels == 2) &&
                         (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
                         format.samplesPerSec > 0;
  if (!plausible || (formatCheck_ && !formatCheck_(direction, format))) {
    lastError_.clear();  // the format is the reason
    return WaveResult::kBadFormat;
  }
  for (Device& device : devices_) {
    if (device.open) {
      continue;
    }
    device = Device{};
    device.open = true;
    device.direction = direction;
    device.deviceId = deviceId;
    device.handle = nextHandle_++;
    device.target = target;
    lastFormat_[d] = format;
    *handle = device.handle;
    return WaveResult::kOk;
  }
  return WaveResult::kNoMemory;
}

WaveResult SimulatedWaveService::PrepareHeader(WaveHandle handle, WaveHeader* header) {
  WaveResult result;
  if (Injected(SimulatedCall::kPrepare, &result)) {
    return result;
  }
  if (!Find(handle)) {
    return WaveResult::kInvalidHandle;
  }
  if (header->flags & kWaveHeaderInQueue) {
    return WaveResult::kStillPlaying;
  }
  header->flags |= kWaveHeaderPrepared;
  header->flags &= ~kWaveHeaderDone;
  return WaveResult::kOk;
}

WaveResult SimulatedWaveService::UnprepareHeader(WaveHandle handle, WaveHeader* header) {
  WaveResult result;
  if (Injected(SimulatedCall::kUnprepare, &result)) {
    return result;
  }
  if (!Find(handle)) {
    return WaveResult::kInvalidHandle;
  }
  if (header->flags & kWaveHeaderInQueue) {
    return WaveResult::kStillPlaying;
  }
  header->flags &= ~kWaveHeaderPrepared;
  return WaveResult::kOk;
}

WaveResult SimulatedWaveService::Queue(WaveHandle handle, WaveDirection direction,
                                       WaveHeader* header) {
  Device* device = Find(handle);
  if (!device || device->direction != direction) {
    return WaveResult::kInvalidHandle;
  }
  if (!(header->flags & kWaveHeaderPrepared)) {
    return WaveResult::kUnprepared;
  }
  if (header->flags & kWaveHeaderInQueue) {
    return WaveResult::kStillPlaying;
  }
  if (device->count == kQueueCapacity) {
    return WaveResult::kNoMemory;
  }
  if (direction == WaveDirection::kInput) {
    header->bytesRecorded = 0;
  }
  device->queue[static_cast<size_t>((device->head + device->count) % kQueueCapacity)] = header;
  ++device->count;
  header->flags |= kWaveHeaderInQueue;
  header->flags &= ~kWaveHeaderDone;
  return WaveResult::kOk;
}

WaveResult SimulatedWaveService::AddBuffer(WaveHandle handle, WaveHeader* header) {
  WaveResult result;
  if (Injected(SimulatedCall::kAddBuffer, &result)) {
    return result;
  }
  return Queue(handle, WaveDirection::kInput, header);
}

WaveResult SimulatedWaveService::Start(WaveHandle handle) {
  WaveResult result;
  if (Injected(SimulatedCall::kStart, &result)) {
    return result;
  }
  Device* device = Find(handle);
  if (!device || device->direction != WaveDirection::kInput) {
    return WaveResult::kInvalidHandle;
  }
  device->started = true;
  return WaveResult::kOk;
}

WaveResult SimulatedWaveService::Write(WaveHandle handle, WaveHeader* header) {
  WaveResult result;
  if (Injected(SimulatedCall::kWrite, &result)) {
    return result;
  }
  return Queue(handle, WaveDirection::kOutput, header);
}

void SimulatedWaveService::Finish(Device& device) {
  WaveHeader* header = device.queue[static_cast<size_t>(device.head)];
  device.head = (device.head + 1) % kQueueCapacity;
  --device.count;
  header->flags &= ~kWaveHeaderInQueue;
  header->flags |= kWaveHeaderDone;
  Report(device.direction == WaveDirection::kInput ? WaveMessage::kInputData
                                                   : WaveMessage::kOutputDone,
         device.handle, header);
}

void SimulatedWaveService::Report(WaveMessage message, WaveHandle handle, WaveHeader* header) {
  if (finishedCount_ == static_cast<int32_t>(finished_.size())) {
    return;  // cannot happen
  }
  finished_[static_cast<size_t>((finishedHead_ + finishedCount_) % finished_.size())] =
      Finished{message, handle, header};
  ++finishedCount_;
}

bool SimulatedWaveService::FailDevice(WaveDirection direction, const std::string& reason) {
  for (Device& device : devices_) {
    if (device.open && device.direction == direction && !device.failed) {
      device.failed = true;
      lastError_ = reason;
      Report(WaveMessage::kDeviceFailed, device.handle, nullptr);
      Deliver();
      return true;
    }
  }
  return false;
}

WaveResult SimulatedWaveService::Reset(WaveHandle handle) {
  WaveResult result;
  if (Injected(SimulatedCall::kReset, &result)) {
    return result;
  }
  Device* device = Find(handle);
  if (!device) {
    return WaveResult::kInvalidHandle;
  }
  while (device->count > 0) {
    Finish(*device);
  }
  if (device->direction == WaveDirection::kInput) {
    device->started = false;
  }
  return WaveResult::kOk;
}

WaveResult SimulatedWaveService::Close(WaveHandle handle) {
  WaveResult result;
  if (Injected(SimulatedCall::kClose, &result)) {
    return result;
  }
  Device* device = Find(handle);
  if (!device) {
    return WaveResult::kInvalidHandle;
  }
  for (int32_t i = 0; i < device->count; ++i) {
    device->queue[static_cast<size_t>((device->head + i) % kQueueCapacity)]->flags &=
        ~kWaveHeaderInQueue;
  }
  *device = Device{};
  return WaveResult::kOk;
}

void SimulatedWaveService::SetBusy(WaveDirection direction, int32_t deviceId, bool busy) {
  auto& list = busy_[DirectionIndex(direction)];
  if (deviceId >= 0 && static_cast<size_t>(deviceId) < list.size()) {
    list[static_cast<size_t>(deviceId)] = busy;
  }
}

void SimulatedWaveService::SetFormatCheck(
    std::function<bool(WaveDirection, const WaveDeviceFormat&)> check) {
  formatCheck_ = std::move(check);
}

void SimulatedWaveService::FailNext(SimulatedCall call, WaveResult result, int32_t times,
                                    int32_t skip) {
  failResult_[Index(call)] = result;
  failSkip_[Index(call)] = skip;
  failTimes_[Index(call)] = times;
}

void SimulatedWaveService::SetInputGenerator(
    std::function<void(uint8_t* data, uint32_t bytes)> generator) {
  generator_ = std::move(generator);
}

void SimulatedWaveService::SetOutputObserver(
    std::function<void(const uint8_t* data, uint32_t bytes)> observer) {
  observer_ = std::move(observer);
}

bool SimulatedWaveService::CompleteInput() {
  Device* device = nullptr;
  for (Device& d : devices_) {
    if (d.open && d.direction == WaveDirection::kInput) {
      device = &d;
    }
  }
  if (!device || !device->started || device->failed || device->count == 0) {
    return false;
  }
  WaveHeader* header = device->queue[static_cast<size_t>(device->head)];
  if (generator_) {
    generator_(header->data, header->bufferLength);
  } else {
    std::memset(header->data, 0, header->bufferLength);
  }
  header->bytesRecorded = header->bufferLength;
  Finish(*device);
  Deliver();
  return true;
}

bool SimulatedWaveService::CompleteOutput() {
  Device* device = nullptr;
  for (Device& d : devices_) {
    if (d.open && d.direction == WaveDirection::kOutput) {
      device = &d;
    }
  }
  if (!device || device->failed || device->count == 0) {
    return false;
  }
  WaveHeader* header = device->queue[static_cast<size_t>(device->head)];
  if (observer_) {
    observer_(header->data, header->bufferLength);
  }
  Finish(*device);
  Deliver();
  return true;
}

void SimulatedWaveService::Deliver() {
  while (finishedCount_ > 0) {
    const Finished entry = finished_[static_cast<size_t>(finishedHead_)];
    finishedHead_ = (finishedHead_ + 1) % static_cast<int32_t>(finished_.size());
    --finishedCount_;
    Device* device = Find(entry.handle);
    // A closed device's buffers are gone; a destroyed target hears nothing.
    if (!device || !device->target) {
      continue;
    }
    device->target->OnWaveMessage(entry.message, entry.handle, entry.header);
  }
}

int32_t SimulatedWaveService::OpenDeviceCount() const {
  int32_t n = 0;
  for (const Device& device : devices_) {
    n += device.open ? 1 : 0;
  }
  return n;
}

WaveHandle SimulatedWaveService::OpenHandle(WaveDirection direction) const {
  const Device* device = FindOpen(direction);
  return device ? device->handle : kNoWaveHandle;
}

int32_t SimulatedWaveService::QueuedCount(WaveDirection direction) const {
  const Device* device = FindOpen(direction);
  return device ? device->count : 0;
}

bool SimulatedWaveService::InputRunning() const {
  const Device* device = FindOpen(WaveDirection::kInput);
  return device && device->started;
}

const WaveDeviceFormat& SimulatedWaveService::LastFormat(WaveDirection direction) const {
  return lastFormat_[DirectionIndex(direction)];
}
