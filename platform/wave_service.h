#pragma once
// The wave audio service: numbered input and output devices with readable
// product names, opened with a PCM format and a notification target, driven
// with buffer headers that are prepared, queued (input) or written (output),
// and reported back one by one when the device has finished with them.
//
// Every finished buffer is reported to the target on the thread that runs the
// Qt event loop, from the loop itself (never from inside a call into the
// service), in the order the buffers were queued. A target that has been
// destroyed gets nothing. Backends never start threads of their own.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>

// Results of every service call, named and numbered after the wave service
// codes the engine's messages are keyed on.
enum class WaveResult : int32_t {
  kOk = 0,
  kOther = 1,          // any failure without a code of its own
  kBadDeviceId = 2,    // no device with that number
  kAllocated = 4,      // the device is busy
  kInvalidHandle = 5,  // the handle is not an open device
  kNoDriver = 6,       // no driver, PCM or sound server behind the device
  kNoMemory = 7,       // memory could not be allocated or locked
  kBadFormat = 32,     // the device refuses the format
  kStillPlaying = 33,  // the header is still queued on the device
  kUnprepared = 34,    // the header has not been prepared
};

// Which list a device number refers to.
enum class WaveDirection : int32_t { kInput, kOutput };

// A device's entry in the service's lists.
struct WaveDeviceCaps {
  std::string productName;  // what a person picks the device by
  std::string pcmName;      // how the backend opens it (informational)
  // An entry the engine adds after the service's devices for a port of a
  // running JACK server; pcmName is then the port's full name.
  bool jackPort = false;
};

// The PCM format a device is opened with (the fields of a wave format record
// the devices use).
struct WaveDeviceFormat {
  uint16_t formatTag = 1;  // 1 = PCM, the only tag devices take
  uint16_t channels = 2;
  uint32_t samplesPerSec = 22000;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 16;  // 8 (unsigned) or 16 (signed little-endian)
};

// Header flags.
inline constexpr uint32_t kWaveHeaderDone = 0x01;      // the device has finished with it
inline constexpr uint32_t kWaveHeaderPrepared = 0x02;  // prepared for the device
inline constexpr uint32_t kWaveHeaderInQueue = 0x10;   // queued on the device

// A buffer header. Its first three fields have the layout of a block
// descriptor, so a device buffer can go to a file reader or writer as it is.
struct WaveHeader {
  uint8_t* data = nullptr;     // the buffer
  uint32_t bufferLength = 0;   // bytes the buffer holds (output) or may take (input)
  uint32_t bytesRecorded = 0;  // input: bytes the device filled
  uintptr_t user = 0;
  uint32_t flags = 0;
  uint32_t loops = 1;
  WaveHeader* next = nullptr;
  uintptr_t reserved = 0;
};

// An open device; 0 is never a valid handle.
using WaveHandle = uint32_t;
inline constexpr WaveHandle kNoWaveHandle = 0;

// What a finished buffer is reported as.
enum class WaveMessage : int32_t {
  kInputData,   // an input buffer has been filled (or returned by a reset)
  kOutputDone,  // an output buffer has been played (or returned by a reset)
  // The device stopped working and could not be recovered (its sound server
  // went away, it was unplugged); the header is null and LastError says why.
  // The device stays open until it is closed, but moves no more sound and
  // reports nothing more.
  kDeviceFailed,
};

// Receives the finished buffers of the devices opened with it.
class WaveEventTarget : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  // `header` is the one the device has finished with; the device may have
  // been reset or closed since the call that queued it.
  virtual void OnWaveMessage(WaveMessage message, WaveHandle handle, WaveHeader* header) = 0;
};

class WaveService {
 public:
  virtual ~WaveService() = default;

  // Device lists, numbered from 0; an ALSA list starts with the default.
  virtual int32_t DeviceCount(WaveDirection direction) = 0;
  // kBadDeviceId for a number outside the list.
  virtual WaveResult DeviceCaps(WaveDirection direction, int32_t deviceId,
                                WaveDeviceCaps* caps) = 0;

  // Opens device `deviceId` of the list; its finished buffers go to `target`.
  virtual WaveResult Open(WaveDirection direction, int32_t deviceId, const WaveDeviceFormat& format,
                          WaveEventTarget* target, WaveHandle* handle) = 0;
  // Readies a header for the device (sets kWaveHeaderPrepared, clears kWaveHeaderDone).
  virtual WaveResult PrepareHeader(WaveHandle handle, WaveHeader* header) = 0;
  // Gives a header back; kStillPlaying while it is queued.
  virtual WaveResult UnprepareHeader(WaveHandle handle, WaveHeader* header) = 0;
  // Input: queues an empty buffer to be filled.
  virtual WaveResult AddBuffer(WaveHandle handle, WaveHeader* header) = 0;
  // Input: starts recording into the queued buffers.
  virtual WaveResult Start(WaveHandle handle) = 0;
  // Output: queues a buffer to be played after those queued before.
  virtual WaveResult Write(WaveHandle handle, WaveHeader* header) = 0;
  // Stops the device and returns every queued buffer (each reported as
  // finished, input buffers with what they hold so far). The device stays
  // open: input must be started again, output plays what is written next.
  virtual WaveResult Reset(WaveHandle handle) = 0;
  // Closes the device. Buffers still queued are dropped unreported, so that a
  // device is never left open behind a failed start.
  virtual WaveResult Close(WaveHandle handle) = 0;

  // The system's reason for the last failed call or failed device, in words
  // ("Connection refused"); empty when the backend cannot tell.
  virtual std::string LastError() const { return {}; }
  // Overruns and underruns the devices have reported since construction.
  virtual int32_t XrunCount() const { return 0; }
  // Frames that stand between the program and the sound at an open device:
  // output, the frames of written buffers that wait for the device plus the
  // delay the device reports; input, the frames it has captured and not yet
  // handed over. 0 when it cannot tell.
  virtual int32_t PendingFrames(WaveHandle /*handle*/) { return 0; }
};

// The backend for this process: ALSA, or the simulated one when the
// environment variable TONALITH_WAVE_BACKEND is "simulated".
std::unique_ptr<WaveService> CreateWaveService();
// Whether CreateWaveService gives the simulated backend, which stands for
// every sound system (no JACK server is then looked for either).
bool SimulatedWaveBackendChosen();

// A service with empty device lists, for a process that opens no device (a
// file-to-file render): the sound system is never touched. (Merely listing
// ALSA's devices can start a sound server's client library, which makes
// files of its own.)
std::unique_ptr<WaveService> CreateDevicelessWaveService();
