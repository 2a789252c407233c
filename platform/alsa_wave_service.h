#pragma once
// The wave service on ALSA (the device lists: alsa_device_list.h). PCMs are
// opened non-blocking and their poll descriptors are watched by the Qt event
// loop (QSocketNotifier), together with one timerfd per device, so all transfers
// and all reports happen on the thread running that loop; no threads of ours.
//
// Input: a fresh PCM is opened at Start (a backlog captured since the open
// would only add latency and can stall the PulseAudio plugin); queued buffers
// are filled in order with the frames available; a full buffer is reported.
// Output: written buffers are copied into the PCM as room allows; a buffer is
// reported only once its last frame has been played, as the PCM's delay
// shows (the timerfd wakes the loop when that is due). Its frames all in the
// PCM, a header may be unprepared while they are still playing.
//
// Failures map to the result codes: no such number -> bad device id, busy ->
// allocated, no PCM, driver or server -> no driver, out of memory -> no
// memory, refused access/format/channels/rate -> bad format, else other.
// A device whose errors cannot be recovered from within about half a second
// is reported failed (kDeviceFailed).

#include <memory>
#include <vector>

#include "platform/alsa_device_list.h"
#include "platform/wave_service.h"

class AlsaWaveService : public WaveService {
 public:
  AlsaWaveService();
  ~AlsaWaveService() override;

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
  int32_t XrunCount() const override { return xruns_; }
  int32_t PendingFrames(WaveHandle handle) override;

  struct Device;

 private:
  Device* Find(WaveHandle handle);
  // What AddBuffer and Write share: the checks, then `header` at the end of
  // the queue of device `handle`, which must be open for `direction`.
  WaveResult Queue(WaveHandle handle, WaveDirection direction, WaveHeader* header,
                   Device** queuedOn);
  void Service(WaveHandle handle);
  bool ServiceInput(Device& device);   // true when frames were read
  bool ServiceOutput(Device& device);  // true when frames were written
  void CheckPlayed(Device& device);
  void UpdateNotifiers(Device& device);
  // Reports the finished buffers; true when there was one at least.
  bool Deliver(WaveHandle handle);
  // Recovers from an error. False when the device cannot go on now: it then
  // rests until its timer, or has failed.
  bool Recover(Device& device, long error);
  // Reports the device failed (from the loop) and stops moving its sound.
  void Fail(Device& device, int error);
  void RefreshPollDescriptors(Device& device);

  AlsaDeviceLists lists_;
  std::vector<std::unique_ptr<Device>> devices_;
  WaveHandle nextHandle_ = 1;
  int32_t xruns_ = 0;
  std::string lastError_;
};
