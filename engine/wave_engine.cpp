#include "engine/wave_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "engine/file_run.h"
#include "engine/wave_window.h"

namespace msg = wave_engine_messages;

// The message each failing wave service result of one operation shows. A
// result whose entry is null shows `other`, and nothing when that is null too.
struct ResultMessages {
  const char* badDeviceId = nullptr;
  const char* allocated = nullptr;
  const char* invalidHandle = nullptr;
  const char* noDriver = nullptr;
  const char* noMemory = nullptr;
  const char* badFormat = nullptr;
  const char* unprepared = nullptr;
  const char* other = nullptr;
};

namespace {

class StderrNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& text, const std::string& detail = {}) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (!detail.empty())
      std::fprintf(stderr, "%s\n", detail.c_str());
  }
};

int32_t Advance(int32_t index, int32_t ringSize) {
  return index + 1 == ringSize ? 0 : index + 1;
}

WaveDeviceFormat DeviceFormat(const WaveFormat& format) {
  WaveDeviceFormat device;
  device.formatTag = format.formatTag;
  device.channels = format.channels;
  device.samplesPerSec = format.samplesPerSec;
  device.avgBytesPerSec = format.avgBytesPerSec;
  device.blockAlign = format.blockAlign;
  device.bitsPerSample = format.bitsPerSample;
  return device;
}

WaveBlock BlockOf(const WaveHeader& header) {
  return WaveBlock{header.data, header.bufferLength, header.bytesRecorded};
}

const ResultMessages kInputOpenMessages{.badDeviceId = msg::kInputBadDeviceId,
                                        .allocated = msg::kInputAllocated,
                                        .noDriver = msg::kInputNoDriver,
                                        .noMemory = msg::kInputNoMemoryOpen,
                                        .badFormat = msg::kInputBadFormat,
                                        .other = msg::kInputOpenOther};
const ResultMessages kOutputOpenMessages{.badDeviceId = msg::kOutputBadDeviceId,
                                         .allocated = msg::kOutputAllocated,
                                         .noDriver = msg::kOutputNoDriver,
                                         .noMemory = msg::kOutputNoMemoryOpen,
                                         .badFormat = msg::kOutputBadFormat,
                                         .other = msg::kOutputOpenOther};
// A header that cannot be prepared shows these and nothing else.
const ResultMessages kInputPrepareMessages{.invalidHandle = msg::kPrepareInvalidHandle,
                                           .noDriver = msg::kInputNoDriver,
                                           .noMemory = msg::kInputNoMemory};
const ResultMessages kOutputPrepareMessages{.invalidHandle = msg::kPrepareInvalidHandle,
                                            .noDriver = msg::kOutputNoDriver,
                                            .noMemory = msg::kOutputNoMemory};
const ResultMessages kAddBufferMessages{.invalidHandle = msg::kInvalidDeviceId,
                                        .noDriver = msg::kInputNoDriver,
                                        .noMemory = msg::kInputNoMemory,
                                        .unprepared = msg::kInputUnprepared,
                                        .other = msg::kRecordError};
const ResultMessages kWriteMessages{.invalidHandle = msg::kInvalidDeviceId,
                                    .noDriver = msg::kOutputNoDriver,
                                    .noMemory = msg::kOutputNoMemory,
                                    .unprepared = msg::kOutputUnprepared,
                                    .other = msg::kPlayError};
const ResultMessages kStartMessages{.invalidHandle = msg::kInvalidDeviceId,
                                    .noDriver = msg::kInputNoDriver,
                                    .noMemory = msg::kInputNoMemory,
                                    .other = msg::kRecordError};

// "48000 Hz, 16 bits, stereo"
std::string FormatText(const WaveDeviceFormat& format) {
  return std::to_string(format.samplesPerSec) + " Hz, " + std::to_string(format.bitsPerSample) +
         " bits, " + (format.channels == 1 ? "mono" : "stereo");
}

const char* MessageFor(WaveResult result, const ResultMessages& messages) {
  switch (result) {
    case WaveResult::kOk:
      return nullptr;
    case WaveResult::kBadDeviceId:
      return messages.badDeviceId ? messages.badDeviceId : messages.other;
    case WaveResult::kAllocated:
      return messages.allocated ? messages.allocated : messages.other;
    case WaveResult::kInvalidHandle:
      return messages.invalidHandle ? messages.invalidHandle : messages.other;
    case WaveResult::kNoDriver:
      return messages.noDriver ? messages.noDriver : messages.other;
    case WaveResult::kNoMemory:
      return messages.noMemory ? messages.noMemory : messages.other;
    case WaveResult::kBadFormat:
      return messages.badFormat ? messages.badFormat : messages.other;
    case WaveResult::kUnprepared:
      return messages.unprepared ? messages.unprepared : messages.other;
    default:
      return messages.other;
  }
}

}  // namespace

WaveEngine::WaveEngine(Notifier* notifier, std::unique_ptr<WaveService> service)
    : notifier_(notifier), service_(std::move(service)) {
  if (!notifier_) {
    ownNotifier_ = std::make_unique<StderrNotifier>();
    notifier_ = ownNotifier_.get();
  }
  if (!service_)
    service_ = CreateWaveService();
  inputDeviceCount = service_->DeviceCount(WaveDirection::kInput);
  outputDeviceCount = service_->DeviceCount(WaveDirection::kOutput);
  inputCaps.resize(static_cast<size_t>(std::max(inputDeviceCount, 0)));
  for (int32_t i = 0; i < inputDeviceCount; ++i) {
    service_->DeviceCaps(WaveDirection::kInput, i, &inputCaps[static_cast<size_t>(i)]);
  }
  outputCaps.resize(static_cast<size_t>(std::max(outputDeviceCount, 0)));
  for (int32_t i = 0; i < outputDeviceCount; ++i) {
    service_->DeviceCaps(WaveDirection::kOutput, i, &outputCaps[static_cast<size_t>(i)]);
  }
}

WaveEngine::~WaveEngine() {
  // Nothing may reach the loop while the run is taken down.
  DestroyNotifyWindow();
  if (outputOpen)
    CloseOutput();
  if (inputOpen)
    CloseInput();
}

bool WaveEngine::Report(WaveResult result, const ResultMessages& messages) {
  if (const char* text = MessageFor(result, messages)) {
    notifier_->ShowMessage(text);
  }
  return result == WaveResult::kOk;
}

void WaveEngine::CreateNotifyWindow(QObject* owner) {
  if (windowCreated)
    return;
  window_ = std::make_unique<WaveWindow>(*this);
  window_->setObjectName(QStringLiteral("WAVECLASS"));
  (void)owner;  // the engine owns the target; it needs no parent
  windowCreated = true;
}

void WaveEngine::DestroyNotifyWindow() {
  if (!windowCreated)
    return;
  window_.reset();
  windowCreated = false;
}

void WaveEngine::SetProgress(int32_t position) {
  if (progress)
    progress->SetProgress(position);
}

void WaveEngine::UpdateProgress() {
  if (state_.total == 0)
    return;
  const double share = static_cast<double>(state_.bytesDone) / static_cast<double>(state_.total);
  SetProgress(static_cast<int32_t>(share * ProgressSink::kProgressRange));
}

void WaveEngine::OpenInput() {
  if (inputOpen)
    return;
  state_.inputIsFile = inputIsFile;
  state_.ringSize = std::clamp(bufferCount, kMinBufferCount, kMaxRingBuffers);
  bool opened = false;
  if (inputIsFile) {
    reader_.emplace(static_cast<uint32_t>(blockBytes));
    if (ReadWaveFile(*reader_, kWaveOpen, inputFileName, nullptr, *notifier_) == kWaveDone) {
      state_.inputFormat = reader_->Format();
      state_.stream.bitsPerSample = state_.inputFormat.bitsPerSample;
      state_.stream.channels = state_.inputFormat.channels;
      state_.total = reader_->Total();
      opened = true;
    } else {
      reader_.reset();
    }
  } else {
    WaveFormat format;
    format.formatTag = kWaveFormatPcm;
    format.channels = static_cast<uint16_t>(channels);
    format.samplesPerSec = static_cast<uint32_t>(sampleRate);
    format.blockAlign = static_cast<uint16_t>(bitsPerSample * channels / 8);
    format.avgBytesPerSec = format.blockAlign * static_cast<uint32_t>(sampleRate);
    format.bitsPerSample = static_cast<uint16_t>(bitsPerSample);
    format.extraSize = 0;
    state_.inputFormat = format;
    state_.stream.bitsPerSample = bitsPerSample;
    state_.stream.channels = channels;
    WaveHandle handle = kNoWaveHandle;
    const WaveResult result = service_->Open(WaveDirection::kInput, inputDeviceId,
                                             DeviceFormat(format), window_.get(), &handle);
    if (result == WaveResult::kOk) {
      state_.inputDevice = handle;
      opened = true;
    } else {
      ReportOpenFailure(WaveDirection::kInput, result, DeviceFormat(format));
    }
  }
  if (opened) {
    inputOpen = true;
    PrepareInputBuffers();
    // The effects run at the rate the samples have: a file's own rate, which
    // the output device is opened with too.
    const auto rate = static_cast<int32_t>(state_.inputFormat.samplesPerSec);
    Left().Prepare(state_.stream.framesPerBlock, rate);
    Right().Prepare(state_.stream.framesPerBlock, rate);
  }
  state_.failure = nullptr;
  state_.failureDetail.clear();
  if (inputIsFile) {
    SetProgress(0);
    state_.bytesDone = 0;
    state_.bytesSent = 0;
    state_.endOfInput = false;
    state_.readFailed = false;
  }
}

std::string WaveEngine::DeviceDetail(WaveDirection direction, const std::string& reason) const {
  const bool input = direction == WaveDirection::kInput;
  const std::vector<WaveDeviceCaps>& caps = input ? inputCaps : outputCaps;
  const int32_t id = input ? inputDeviceId : outputDeviceId;
  if (id < 0 || id >= static_cast<int32_t>(caps.size()))
    return reason;
  const std::string& name = caps[static_cast<size_t>(id)].productName;
  return reason.empty() ? name : name + ": " + reason;
}

void WaveEngine::ReportOpenFailure(WaveDirection direction, WaveResult result,
                                   const WaveDeviceFormat& format) {
  const bool input = direction == WaveDirection::kInput;
  const char* text = MessageFor(result, input ? kInputOpenMessages : kOutputOpenMessages);
  // A refused format says which; other failures give the system's reason.
  std::string reason = service_->LastError();
  if (result == WaveResult::kBadFormat && reason.empty())
    reason = FormatText(format) + " cannot be opened";
  notifier_->ShowMessage(text, reason.empty() ? std::string() : DeviceDetail(direction, reason));
}

void WaveEngine::AllocateRing(WaveRing& ring) {
  const uint8_t silence = state_.stream.bitsPerSample == 8 ? 0x80 : 0x00;
  const auto count = static_cast<size_t>(state_.ringSize);
  ring.buffers.resize(count);
  ring.headers.assign(count, WaveHeader{});
  for (size_t i = 0; i < count; ++i) {
    ring.buffers[i].assign(2 * static_cast<size_t>(ring.blockBytes), silence);
    WaveHeader& header = ring.headers[i];
    header.data = ring.buffers[i].data();
    header.bufferLength = static_cast<uint32_t>(ring.blockBytes);
    header.loops = 1;
  }
  ring.next = 0;
  ring.nextDone = 0;
  ring.primeCount = 0;
}

void WaveEngine::FreeRing(WaveRing& ring) {
  ring.headers = {};
  ring.buffers = {};
  ring.next = 0;
  ring.nextDone = 0;
  ring.primeCount = 0;
}

void WaveEngine::PrepareInputBuffers() {
  state_.stream.framesPerBlock =
      FramesPerBlock(blockBytes, state_.stream.bitsPerSample, state_.stream.channels);
  state_.work.Allocate(state_.stream.framesPerBlock);
  state_.input.blockBytes = blockBytes;
  AllocateRing(state_.input);
  if (state_.inputIsFile)
    return;
  for (WaveHeader& header : state_.input.headers) {
    Report(service_->PrepareHeader(state_.inputDevice, &header), kInputPrepareMessages);
  }
}

void WaveEngine::OpenOutput() {
  if (outputOpen)
    return;
  state_.outputFormat = state_.inputFormat;
  state_.outputIsFile = outputIsFile;
  if (outputIsFile) {
    writer_.emplace(state_.outputFormat);
    if (WriteWaveFile(*writer_, kWaveCreate, outputFileName, nullptr, *notifier_) == kWaveDone) {
      outputOpen = true;
      PrepareOutputBuffers();
    } else {
      writer_.reset();
      notifier_->ShowMessage(msg::kOpenOutputFile);
    }
    SetProgress(0);
    state_.total = DiskFreeBytes(outputFileName);
    state_.bytesDone = 0;
    return;
  }
  WaveHandle handle = kNoWaveHandle;
  const WaveDeviceFormat format = DeviceFormat(state_.outputFormat);
  const WaveResult result =
      service_->Open(WaveDirection::kOutput, outputDeviceId, format, window_.get(), &handle);
  if (result != WaveResult::kOk) {
    ReportOpenFailure(WaveDirection::kOutput, result, format);
    return;
  }
  state_.outputDevice = handle;
  outputOpen = true;
  PrepareOutputBuffers();
}

void WaveEngine::PrepareOutputBuffers() {
  state_.output.blockBytes = blockBytes;
  AllocateRing(state_.output);
  if (state_.outputIsFile)
    return;
  // With a file source the loop prepares the last two headers when it first
  // sends them.
  const int32_t prepared = state_.inputIsFile ? state_.ringSize - 2 : state_.ringSize;
  for (int32_t i = 0; i < prepared; ++i) {
    WaveHeader& header = state_.output.headers[static_cast<size_t>(i)];
    Report(service_->PrepareHeader(state_.outputDevice, &header), kOutputPrepareMessages);
  }
}

bool WaveEngine::StartInput() {
  if (!inputOpen)
    return false;
  WaveRing& ring = state_.input;
  ring.nextDone = 0;
  ring.next = state_.ringSize - 2;
  if (state_.inputIsFile)
    return true;
  int32_t queued = 0;
  for (int32_t i = 0; i < state_.ringSize - 2; ++i) {
    inputStarted =
        Report(service_->AddBuffer(state_.inputDevice, &ring.headers[static_cast<size_t>(i)]),
               kAddBufferMessages);
    queued += inputStarted ? 1 : 0;
  }
  const WaveResult started = service_->Start(state_.inputDevice);
  if (started != WaveResult::kOk) {
    // A device that does not record would give a run without sound.
    notifier_->ShowMessage(MessageFor(started, kStartMessages),
                           DeviceDetail(WaveDirection::kInput, service_->LastError()));
    return false;
  }
  // Without a single buffer on the device nothing would ever arrive.
  return queued > 0;
}

bool WaveEngine::StartOutput() {
  if (!outputOpen)
    return false;
  WaveRing& ring = state_.output;
  ring.nextDone = 0;
  if (state_.inputIsFile && !state_.outputIsFile) {
    // A file needs no head start of silence: its own blocks prime the ring,
    // so play starts at once however short the file is. (The input ring,
    // unused with a file, lends a buffer to read them into.)
    ring.next = 0;
    uint8_t* readArea = state_.input.buffers[0].data();
    for (int32_t i = 0; i < state_.ringSize - 2 && !state_.endOfInput; ++i) {
      outputStarted = SendNextBlock(readArea, true) || outputStarted;
    }
    if (outputStarted)
      return true;
    if (state_.readFailed)
      notifier_->ShowMessage(msg::kReadInputFile);
    return false;
  }
  ring.next = state_.ringSize - 2;
  if (state_.outputIsFile)
    return true;
  ring.primeCount = 0;
  for (int32_t i = 0; i < state_.ringSize - 2; ++i) {
    outputStarted =
        Report(service_->Write(state_.outputDevice, &ring.headers[static_cast<size_t>(i)]),
               kWriteMessages);
    ring.primeCount += outputStarted ? 1 : 0;
  }
  return true;
}

void WaveEngine::CloseInput() {
  if (inputOpen) {
    if (state_.inputIsFile) {
      ReadWaveFile(*reader_, kWaveClose, inputFileName, nullptr, *notifier_);
      reader_.reset();
    } else {
      if (inputStarted)
        service_->Reset(state_.inputDevice);
      service_->Close(state_.inputDevice);
      state_.inputDevice = kNoWaveHandle;
    }
    inputOpen = false;
    inputStarted = false;
    FreeRing(state_.input);
    state_.work.Free();
  }
  Left().Release();
  Right().Release();
}

void WaveEngine::CloseOutput() {
  if (!outputOpen)
    return;
  if (state_.outputIsFile) {
    WriteWaveFile(*writer_, kWaveClose, writer_->Path(), nullptr, *notifier_);
    writer_.reset();
  } else {
    if (outputStarted)
      service_->Reset(state_.outputDevice);
    service_->Close(state_.outputDevice);
    state_.outputDevice = kNoWaveHandle;
  }
  outputOpen = false;
  outputStarted = false;
  FreeRing(state_.output);
}

void WaveEngine::ResetInput() {
  service_->Reset(state_.inputDevice);
  // The buffers the reset returns are queued again as their messages come in.
  const WaveResult started = service_->Start(state_.inputDevice);
  if (started != WaveResult::kOk && !state_.failure) {
    state_.failure = MessageFor(started, kStartMessages);
    state_.failureDetail = DeviceDetail(WaveDirection::kInput, service_->LastError());
  }
}

void WaveEngine::ResetOutput() {
  service_->Reset(state_.outputDevice);
}

int32_t WaveEngine::WaveWindowProc(WaveMessage message, WaveHandle handle, WaveHeader* header) {
  if (!windowCreated)
    return 0;
  if (message == WaveMessage::kDeviceFailed) {
    HandleDeviceFailed(handle);
    return 0;
  }
  if (!header)
    return 0;
  const bool play = state_.inputIsFile && !state_.outputIsFile;
  if (message == WaveMessage::kOutputDone) {
    if (play && outputOpen && handle == state_.outputDevice)
      HandlePlayed(header);
  } else if (!state_.inputIsFile && inputOpen && outputOpen && handle == state_.inputDevice) {
    HandleRecorded(header);
  }
  if (state_.failure && outputOpen) {
    const char* text = std::exchange(state_.failure, nullptr);
    EndRun(text, std::exchange(state_.failureDetail, {}));
  }
  return 0;
}

void WaveEngine::HandleDeviceFailed(WaveHandle handle) {
  if (!outputOpen || handle == kNoWaveHandle)
    return;
  const bool input = handle == state_.inputDevice;
  if (!input && handle != state_.outputDevice)
    return;
  // Taken before the run is closed, which may make the service fail again.
  const std::string detail =
      DeviceDetail(input ? WaveDirection::kInput : WaveDirection::kOutput, service_->LastError());
  EndRun(input ? msg::kInputDeviceFailed : msg::kOutputDeviceFailed, detail);
}

void WaveEngine::EndRun(const char* text, const std::string& detail) {
  // The run is closed first, so that nothing of it reaches the loop while
  // the message is on the screen.
  if (outputOpen && !state_.outputIsFile)
    ResetOutput();
  StopRun();
  if (text)
    notifier_->ShowMessage(text, detail);
}

void WaveEngine::HandlePlayed(WaveHeader* played) {
  if (service_->UnprepareHeader(state_.outputDevice, played) != WaveResult::kOk)
    ResetOutput();
  state_.bytesDone += played->bufferLength;
  UpdateProgress();
  if (state_.bytesDone >= state_.total) {
    EndRun(nullptr);  // the whole file has been played
    return;
  }
  // h served its block; it now takes the next one from the file.
  if (!state_.endOfInput && !SendNextBlock(played->data, false) && !state_.endOfInput &&
      state_.bytesDone >= state_.bytesSent) {
    // The device took nothing and holds nothing that could bring it back.
    EndRun(msg::kPlayError, DeviceDetail(WaveDirection::kOutput, "it takes no more sound"));
    return;
  }
  // The end of what could be read: the run ends once all of it has played.
  if (state_.endOfInput && state_.bytesDone >= state_.bytesSent)
    EndRun(state_.readFailed ? msg::kReadInputFile : nullptr);
}

bool WaveEngine::SendNextBlock(uint8_t* readArea, bool priming) {
  const auto readBytes = static_cast<uint32_t>(state_.input.blockBytes);
  WaveBlock block{readArea, readBytes, readBytes};
  const int32_t result = ReadWaveFile(*reader_, kWaveTransfer, inputFileName, &block, *notifier_);
  if (result != kWaveDone) {
    state_.endOfInput = true;
    state_.readFailed = result != kWaveNoData;
    return false;
  }
  WaveRing& out = state_.output;
  const StreamParameters& stream = state_.stream;
  const int32_t frames = FrameCount(block.bufferLength, stream.bitsPerSample, stream.channels);
  const auto k = static_cast<size_t>(out.next);
  WaveHeader& send = out.headers[k];
  ProcessBlock(stream, Left(), Right(), state_.work, readArea, out.buffers[k].data(), frames);
  send.data = out.buffers[k].data();
  send.bufferLength = block.bufferLength;
  if (priming) {
    // Prepared with the ring. At the start a failure is shown, and the next
    // block takes k.
    if (!Report(service_->Write(state_.outputDevice, &send), kWriteMessages))
      return false;
  } else {
    send.flags = 0;
    if (service_->PrepareHeader(state_.outputDevice, &send) != WaveResult::kOk)
      ResetOutput();
    if (service_->Write(state_.outputDevice, &send) != WaveResult::kOk) {
      // The block is lost; k stays for the next one.
      ResetOutput();
      return false;
    }
  }
  out.next = Advance(out.next, state_.ringSize);
  state_.bytesSent += block.bufferLength;
  return true;
}

void WaveEngine::HandleRecorded(WaveHeader* recorded) {
  WaveRing& in = state_.input;
  WaveRing& out = state_.output;
  const int32_t ringSize = state_.ringSize;
  const bool live = !state_.outputIsFile;

  // A fresh empty buffer for the device before anything else.
  if (service_->AddBuffer(state_.inputDevice, &in.headers[static_cast<size_t>(in.next)]) ==
      WaveResult::kOk) {
    in.next = Advance(in.next, ringSize);
  } else {
    ResetInput();
  }
  // Live: the block processed at the previous message goes out now.
  if (live) {
    if (service_->Write(state_.outputDevice, &out.headers[static_cast<size_t>(out.next)]) ==
        WaveResult::kOk) {
      out.next = Advance(out.next, ringSize);
    } else {
      ResetOutput();
    }
  } else {
    out.next = Advance(out.next, ringSize);
  }

  // What the device filled: a whole buffer, or less for one a reset returned.
  const uint32_t length = std::min(recorded->bytesRecorded, recorded->bufferLength);
  const StreamParameters& stream = state_.stream;
  const int32_t frames = FrameCount(length, stream.bitsPerSample, stream.channels);
  const auto k = static_cast<size_t>(out.next);
  WaveHeader& done = in.headers[static_cast<size_t>(in.nextDone)];
  ProcessBlock(stream, Left(), Right(), state_.work, done.data, out.buffers[k].data(), frames);

  if (service_->UnprepareHeader(state_.inputDevice, &done) != WaveResult::kOk)
    ResetInput();
  in.nextDone = Advance(in.nextDone, ringSize);

  WaveHeader& spare = in.headers[static_cast<size_t>(in.next)];
  spare.data = in.buffers[static_cast<size_t>(in.next)].data();
  spare.bufferLength = static_cast<uint32_t>(in.blockBytes);
  spare.flags = 0;
  if (service_->PrepareHeader(state_.inputDevice, &spare) != WaveResult::kOk)
    ResetInput();

  WaveHeader& processed = out.headers[k];
  processed.data = out.buffers[k].data();
  processed.bufferLength = length;
  processed.flags = 0;
  if (live) {
    if (service_->UnprepareHeader(state_.outputDevice,
                                  &out.headers[static_cast<size_t>(out.nextDone)]) !=
        WaveResult::kOk) {
      ResetOutput();
    }
    out.nextDone = Advance(out.nextDone, ringSize);
    if (service_->PrepareHeader(state_.outputDevice, &processed) != WaveResult::kOk) {
      ResetOutput();
    }
    return;
  }

  out.nextDone = Advance(out.nextDone, ringSize);
  // The recorded header now describes the processed block; its own buffer
  // comes back when it is re-armed as a spare.
  recorded->data = processed.data;
  recorded->bytesRecorded = length;
  state_.bytesDone += length;
  UpdateProgress();
  const WaveBlock block = BlockOf(*recorded);
  if (WriteWaveFile(*writer_, kWaveTransfer, writer_->Path(), &block, *notifier_) != kWaveDone) {
    // A full disk, say: the file keeps every block written before.
    EndRun(file_run_messages::kWriteError, FileErrorDetail(writer_->Path(), writer_->Error()));
  }
}

void WaveEngine::StopRun() {
  DestroyNotifyWindow();
  CloseInput();
  CloseOutput();
  if (startButton)
    startButton->SetCaption("Start");
  SetProgress(0);
}

void WaveEngine::ProcessFileToFile() {
  FileRunSettings settings;
  settings.inputFileName = inputFileName;
  settings.outputFileName = outputFileName;
  settings.blockBytes = blockBytes;
  settings.leftChain = &Left();
  settings.rightChain = &Right();
  settings.notifier = notifier_;
  settings.progress = progress;
  ::ProcessFileToFile(settings);
}

uint64_t WaveEngine::DiskFreeBytes(const std::string& path) {
  return ::DiskFreeBytes(path);
}
