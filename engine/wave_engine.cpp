#include "engine/wave_engine.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include <QTimer>

#include "engine/jack_run.h"
#include "engine/wave_window.h"

namespace msg = wave_engine_messages;

namespace {

class StderrNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& text, const std::string& detail = {}) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (!detail.empty()) {
      std::fprintf(stderr, "%s\n", detail.c_str());
    }
  }
};

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

// The format a device source records in: PCM with the run's settings.
WaveFormat RecordingFormat(const WaveRunSettings& settings) {
  return PcmWaveFormat(settings.channels, settings.sampleRate, settings.bitsPerSample);
}

// "48000 Hz, 16 bits, stereo"
std::string FormatText(const WaveDeviceFormat& format) {
  return std::to_string(format.samplesPerSec) + " Hz, " + std::to_string(format.bitsPerSample) +
         " bits, " + (format.channels == 1 ? "mono" : "stereo");
}

}  // namespace

WaveEngine::WaveEngine(Notifier* notifier, std::unique_ptr<WaveService> service,
                       JackPortListing jack)
    : notifier_(notifier), service_(std::move(service)) {
  if (!notifier_) {
    ownNotifier_ = std::make_unique<StderrNotifier>();
    notifier_ = ownNotifier_.get();
  }
  bool listJackPorts = jack == JackPortListing::kListed;
  if (!service_) {
    service_ = CreateWaveService();
    listJackPorts = jack == JackPortListing::kWithOwnBackend && !SimulatedWaveBackendChosen();
  }
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
  if (listJackPorts) {
    ListJackPorts();
  }
}

WaveEngine::~WaveEngine() {
  CloseJackRun();
  // Nothing may reach the loop while the run is taken down.
  DestroyNotifyWindow();
  if (outputOpen) {
    CloseOutput();
  }
  if (inputOpen) {
    CloseInput();
  }
}

bool WaveEngine::StartRun() {
  if (Running()) {
    return true;
  }
  if (SettingsUseJack()) {
    return StartJackRun();
  }
  lastStatus_ = RunStatus{};
  xrunsAtStart_ = service_->XrunCount();
  CreateNotifyWindow();
  OpenInput();
  if (inputOpen) {
    OpenOutput();
  }
  // A start that cannot stream has shown why; it is closed again.
  if (inputOpen && outputOpen && StartInput() && StartOutput()) {
    return true;
  }
  DestroyNotifyWindow();
  CloseInput();
  CloseOutput();
  return false;
}

void WaveEngine::StopRun() {
  if (!Running()) {
    return;
  }
  if (jackRun_) {
    CloseJackRun();
  } else {
    lastStatus_ = Status();
    DestroyNotifyWindow();
    CloseInput();
    CloseOutput();
  }
  SetProgress(0);
  if (runEnded) {
    runEnded();
  }
}

FileRunResult WaveEngine::ProcessFileToFile(FileRunBlockHook afterBlock) {
  FileRunSettings run;
  run.inputFileName = settings.inputFileName;
  run.outputFileName = settings.outputFileName;
  run.blockBytes = settings.blockBytes;
  run.leftChain = &Left();
  run.rightChain = &Right();
  run.notifier = notifier_;
  run.progress = progress;
  run.afterBlock = std::move(afterBlock);
  run.tail = settings.tail;
  run.meter = &levels_;
  run.summary = &lastFileRun_;
  return ::ProcessFileToFile(run);
}

bool WaveEngine::Report(DeviceOperation operation, WaveResult result) {
  if (const char* text = DeviceMessage(operation, result)) {
    const bool input =
        operation == DeviceOperation::kOpenInput || operation == DeviceOperation::kPrepareInput ||
        operation == DeviceOperation::kAddBuffer || operation == DeviceOperation::kStartInput;
    notifier_->ShowMessage(text,
                           DeviceDetail(input ? WaveDirection::kInput : WaveDirection::kOutput,
                                        service_->LastError()));
  }
  return result == WaveResult::kOk;
}

void WaveEngine::CreateNotifyWindow() {
  if (windowCreated) {
    return;
  }
  window_ = std::make_unique<WaveWindow>(*this);
  window_->setObjectName(QStringLiteral("WAVECLASS"));
  windowCreated = true;
}

void WaveEngine::DestroyNotifyWindow() {
  if (!windowCreated) {
    return;
  }
  window_.reset();
  windowCreated = false;
}

void WaveEngine::SetProgress(int32_t position) {
  if (progress) {
    progress->SetProgress(position);
  }
}

void WaveEngine::UpdateProgress() {
  if (state_.total == 0) {
    return;
  }
  const double share = static_cast<double>(state_.bytesDone) / static_cast<double>(state_.total);
  SetProgress(static_cast<int32_t>(share * ProgressSink::kProgressRange));
}

void WaveEngine::OpenInput() {
  if (inputOpen) {
    return;
  }
  state_.inputIsFile = settings.inputIsFile;
  state_.inputDeviceId = settings.inputDeviceId;
  state_.ringSize = std::clamp(settings.bufferCount, kMinBufferCount, kMaxRingBuffers);
  bool opened = false;
  if (settings.inputIsFile) {
    reader_.emplace(static_cast<uint32_t>(settings.blockBytes));
    if (ReadWaveFile(*reader_, kWaveOpen, settings.inputFileName, nullptr, *notifier_) ==
        kWaveDone) {
      state_.inputFormat = reader_->Format();
      state_.total = reader_->Total();
      opened = true;
    } else {
      reader_.reset();
    }
  } else {
    state_.inputFormat = RecordingFormat(settings);
    const WaveDeviceFormat format = DeviceFormat(state_.inputFormat);
    WaveHandle handle = kNoWaveHandle;
    const WaveResult result = service_->Open(WaveDirection::kInput, settings.inputDeviceId, format,
                                             window_.get(), &handle);
    if (result == WaveResult::kOk) {
      state_.inputDevice = handle;
      opened = true;
    } else {
      ReportOpenFailure(WaveDirection::kInput, result, format);
    }
  }
  if (opened) {
    inputOpen = true;
    state_.stream.bitsPerSample = state_.inputFormat.bitsPerSample;
    state_.stream.channels = state_.inputFormat.channels;
    PrepareInputBuffers();
    levels_.BeginRun(state_.stream.channels);
    // The effects run at the rate the samples have: a file's own rate, which
    // the output device is opened with too.
    const auto rate = static_cast<int32_t>(state_.inputFormat.samplesPerSec);
    Left().Prepare(state_.stream.framesPerBlock, rate);
    Right().Prepare(state_.stream.framesPerBlock, rate);
  }
  state_.failure = nullptr;
  state_.failureDetail.clear();
  if (settings.inputIsFile) {
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
  const int32_t id = input ? state_.inputDeviceId : state_.outputDeviceId;
  if (id < 0 || id >= static_cast<int32_t>(caps.size())) {
    return reason;
  }
  const std::string& name = caps[static_cast<size_t>(id)].productName;
  return reason.empty() ? name : name + ": " + reason;
}

void WaveEngine::ReportOpenFailure(WaveDirection direction, WaveResult result,
                                   const WaveDeviceFormat& format) {
  const bool input = direction == WaveDirection::kInput;
  const char* text =
      DeviceMessage(input ? DeviceOperation::kOpenInput : DeviceOperation::kOpenOutput, result);
  // A refused format says which; other failures give the system's reason.
  std::string reason = service_->LastError();
  if (result == WaveResult::kBadFormat && reason.empty()) {
    reason = FormatText(format) + " cannot be opened";
  }
  notifier_->ShowMessage(text, DeviceDetail(direction, reason));
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
      FramesPerBlock(settings.blockBytes, state_.stream.bitsPerSample, state_.stream.channels);
  state_.work.Allocate(state_.stream.framesPerBlock);
  state_.input.blockBytes = settings.blockBytes;
  AllocateRing(state_.input);
  if (state_.inputIsFile) {
    return;
  }
  for (WaveHeader& header : state_.input.headers) {
    Report(DeviceOperation::kPrepareInput, service_->PrepareHeader(state_.inputDevice, &header));
  }
}

void WaveEngine::OpenOutput() {
  if (outputOpen) {
    return;
  }
  state_.outputFormat = state_.inputFormat;
  state_.outputIsFile = settings.outputIsFile;
  state_.outputDeviceId = settings.outputDeviceId;
  if (settings.outputIsFile) {
    // Each recorded block is written as it comes: a full disk ends the run
    // at the block that did not fit, and nothing waits in memory.
    writer_.emplace(state_.outputFormat);
    if (WriteWaveFile(*writer_, kWaveCreate, settings.outputFileName, nullptr, *notifier_) ==
        kWaveDone) {
      outputOpen = true;
      PrepareOutputBuffers();
    } else {
      const std::string detail = FileErrorDetail(settings.outputFileName, writer_->Error());
      writer_.reset();
      notifier_->ShowMessage(file_run_messages::kCannotOpenOutput, detail);
    }
    SetProgress(0);
    state_.total = DiskFreeBytes(settings.outputFileName);
    state_.bytesDone = 0;
    return;
  }
  WaveHandle handle = kNoWaveHandle;
  const WaveDeviceFormat format = DeviceFormat(state_.outputFormat);
  const WaveResult result = service_->Open(WaveDirection::kOutput, settings.outputDeviceId, format,
                                           window_.get(), &handle);
  if (result != WaveResult::kOk) {
    ReportOpenFailure(WaveDirection::kOutput, result, format);
    return;
  }
  state_.outputDevice = handle;
  outputOpen = true;
  PrepareOutputBuffers();
}

void WaveEngine::PrepareOutputBuffers() {
  state_.output.blockBytes = settings.blockBytes;
  AllocateRing(state_.output);
  if (state_.outputIsFile) {
    return;
  }
  // With a file source the loop prepares the held-back headers when it
  // first sends them.
  const int32_t prepared = state_.inputIsFile ? QueuedBuffers() : state_.ringSize;
  for (int32_t i = 0; i < prepared; ++i) {
    WaveHeader& header = state_.output.headers[static_cast<size_t>(i)];
    Report(DeviceOperation::kPrepareOutput, service_->PrepareHeader(state_.outputDevice, &header));
  }
}

bool WaveEngine::StartInput() {
  if (!inputOpen) {
    return false;
  }
  WaveRing& ring = state_.input;
  ring.nextDone = 0;
  ring.next = QueuedBuffers();
  if (state_.inputIsFile) {
    return true;
  }
  int32_t queued = 0;
  for (int32_t i = 0; i < QueuedBuffers(); ++i) {
    WaveHeader* header = &ring.headers[static_cast<size_t>(i)];
    inputStarted =
        Report(DeviceOperation::kAddBuffer, service_->AddBuffer(state_.inputDevice, header));
    queued += inputStarted ? 1 : 0;
  }
  const WaveResult started = service_->Start(state_.inputDevice);
  if (started != WaveResult::kOk) {
    // A device that does not record would give a run without sound.
    notifier_->ShowMessage(DeviceMessage(DeviceOperation::kStartInput, started),
                           DeviceDetail(WaveDirection::kInput, service_->LastError()));
    return false;
  }
  // Without a single buffer on the device nothing would ever arrive.
  return queued > 0;
}

bool WaveEngine::StartOutput() {
  if (!outputOpen) {
    return false;
  }
  WaveRing& ring = state_.output;
  ring.nextDone = 0;
  if (state_.inputIsFile && !state_.outputIsFile) {
    // A file needs no head start of silence: its own blocks prime the ring,
    // so play starts at once however short the file is. (The input ring,
    // unused with a file, lends a buffer to read them into.)
    ring.next = 0;
    uint8_t* readArea = state_.input.buffers[0].data();
    for (int32_t i = 0; i < QueuedBuffers() && !state_.endOfInput; ++i) {
      outputStarted = SendNextBlock(readArea, true) || outputStarted;
    }
    if (outputStarted) {
      return true;
    }
    if (state_.readFailed) {
      notifier_->ShowMessage(file_run_messages::kReadError,
                             FileDetail(settings.inputFileName, reader_->ReadFailure()));
    }
    return false;
  }
  ring.next = QueuedBuffers();
  if (state_.outputIsFile) {
    return true;
  }
  ring.primeCount = 0;
  for (int32_t i = 0; i < QueuedBuffers(); ++i) {
    WaveHeader* header = &ring.headers[static_cast<size_t>(i)];
    outputStarted = Report(DeviceOperation::kWrite, service_->Write(state_.outputDevice, header));
    ring.primeCount += outputStarted ? 1 : 0;
  }
  return true;
}

void WaveEngine::CloseInput() {
  if (inputOpen) {
    if (state_.inputIsFile) {
      ReadWaveFile(*reader_, kWaveClose, settings.inputFileName, nullptr, *notifier_);
      reader_.reset();
    } else {
      CloseDevice(state_.inputDevice, inputStarted);
    }
    inputOpen = false;
    inputStarted = false;
    FreeRing(state_.input);
    state_.work.Free();
  }
  Left().Release();
  Right().Release();
}

void WaveEngine::CloseDevice(WaveHandle& device, bool started) {
  // A reset gives back the queued buffers before the device goes.
  if (started) {
    service_->Reset(device);
  }
  service_->Close(device);
  device = kNoWaveHandle;
}

void WaveEngine::CloseOutput() {
  if (!outputOpen) {
    return;
  }
  if (state_.outputIsFile) {
    WriteWaveFile(*writer_, kWaveClose, writer_->Path(), nullptr, *notifier_);
    writer_.reset();
  } else {
    CloseDevice(state_.outputDevice, outputStarted);
  }
  outputOpen = false;
  outputStarted = false;
  FreeRing(state_.output);
}
