#pragma once
// A deterministic wave service for tests. Nothing happens by itself: the test
// decides when the oldest queued buffer of a device completes (filling input
// buffers from its generator and showing played output buffers to its
// observer), and can make devices busy, refuse formats and fail calls.
//
// Finished buffers are kept in one queue and reported, in order, when the test
// calls Deliver (CompleteInput and CompleteOutput deliver at once), standing
// in for the event loop. Nothing is allocated after construction, so a
// streaming run on this service allocates only what the engine does.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/wave_service.h"

// The service calls a test can make fail.
enum class SimulatedCall : int32_t {
  kOpen,
  kPrepare,
  kUnprepare,
  kAddBuffer,
  kStart,
  kWrite,
  kReset,
  kClose,
  kCount
};

class SimulatedWaveService : public WaveService {
 public:
  // Lists of `inputs` and `outputs` devices named "Simulated Input 1", ...
  explicit SimulatedWaveService(int32_t inputs = 2, int32_t outputs = 2);

  int32_t DeviceCount(WaveDirection direction) override;
  WaveResult DeviceCaps(WaveDirection direction, int32_t deviceId, WaveDeviceCaps* caps) override;
  WaveResult Open(WaveDirection direction, int32_t deviceId, const WaveDeviceFormat& format,
                  WaveEventTarget* target, WaveHandle* handle) override;
  WaveResult PrepareHeader(WaveHandle handle, WaveHeader* header) override;
  WaveResult UnprepareHeader(WaveHandle handle, WaveHeader* header) override;
  WaveResult AddBuffer(WaveHandle handle, WaveHeader* header) override;
  WaveResult Start(WaveHandle handle) override;
  WaveResult Write(WaveHandle handle, WaveHeader* header) override;
  WaveResult Reset(WaveHandle handle) override;
  WaveResult Close(WaveHandle handle) override;
  std::string LastError() const override { return lastError_; }

  // Test controls.
  // A busy device refuses to open with kAllocated.
  void SetBusy(WaveDirection direction, int32_t deviceId, bool busy);
  // Formats for which this returns false are refused with kBadFormat.
  void SetFormatCheck(std::function<bool(WaveDirection, const WaveDeviceFormat&)> check);
  // After `skip` more calls of `call` have gone through, the next `times`
  // return `result` and change nothing; LastError then says "Simulated failure".
  void FailNext(SimulatedCall call, WaveResult result, int32_t times = 1, int32_t skip = 0);
  // The open device of `direction` fails for good: it reports kDeviceFailed
  // (delivered at once, after any finished buffers) with `reason` as
  // LastError, and completes nothing more. False when none is open.
  bool FailDevice(WaveDirection direction, const std::string& reason);
  // Fills a recorded buffer (default: zeros).
  void SetInputGenerator(std::function<void(uint8_t* data, uint32_t bytes)> generator);
  // Sees each output buffer when it has been played.
  void SetOutputObserver(std::function<void(const uint8_t* data, uint32_t bytes)> observer);

  // Completes the oldest buffer queued on the open input (a started one) or
  // output device and delivers every finished buffer. False when there was
  // nothing to complete.
  bool CompleteInput();
  bool CompleteOutput();
  // Reports every finished buffer not yet reported (e.g. after a reset).
  void Deliver();

  // Observations.
  int32_t OpenDeviceCount() const;
  WaveHandle OpenHandle(WaveDirection direction) const;
  int32_t QueuedCount(WaveDirection direction) const;
  bool InputRunning() const;
  int32_t CallCount(SimulatedCall call) const { return calls_[Index(call)]; }
  const WaveDeviceFormat& LastFormat(WaveDirection direction) const;

 private:
  static constexpr int32_t kQueueCapacity = 128;
  struct Device {
    bool open = false;
    WaveDirection direction = WaveDirection::kInput;
    int32_t deviceId = 0;
    WaveHandle handle = kNoWaveHandle;
    QPointer<WaveEventTarget> target;
    bool started = false;
    bool failed = false;
    std::array<WaveHeader*, kQueueCapacity> queue{};
    int32_t head = 0;
    int32_t count = 0;
  };
  struct Finished {
    WaveMessage message;
    WaveHandle handle;
    WaveHeader* header;
  };
  static int32_t Index(SimulatedCall call) { return static_cast<int32_t>(call); }
  bool Injected(SimulatedCall call, WaveResult* result);
  Device* Find(WaveHandle handle);
  const Device* FindOpen(WaveDirection direction) const;
  // What AddBuffer and Write share: the checks, then `header` at the end of
  // the queue of device `handle`, which must be open for `direction`.
  WaveResult Queue(WaveHandle handle, WaveDirection direction, WaveHeader* header);
  void Finish(Device& device);
  void Report(WaveMessage message, WaveHandle handle, WaveHeader* header);

  std::array<int32_t, 2> deviceCounts_;
  std::array<std::vector<bool>, 2> busy_;
  std::function<bool(WaveDirection, const WaveDeviceFormat&)> formatCheck_;
  std::function<void(uint8_t*, uint32_t)> generator_;
  std::function<void(const uint8_t*, uint32_t)> observer_;
  std::array<WaveResult, static_cast<int32_t>(SimulatedCall::kCount)> failResult_{};
  std::array<int32_t, static_cast<int32_t>(SimulatedCall::kCount)> failTimes_{};
  std::array<int32_t, static_cast<int32_t>(SimulatedCall::kCount)> failSkip_{};
  std::array<int32_t, static_cast<int32_t>(SimulatedCall::kCount)> calls_{};
  std::array<Device, 4> devices_;
  std::array<WaveDeviceFormat, 2> lastFormat_;
  std::string lastError_;
  WaveHandle nextHandle_ = 1;
  std::array<Finished, 2 * kQueueCapacity> finished_{};
  int32_t finishedHead_ = 0;
  int32_t finishedCount_ = 0;
};
