#include "engine/jack_run.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/file_run.h"

namespace msg = jack_run_messages;

namespace {

// Seconds of sound each ring holds: what the event loop may fall behind by
// before frames are lost.
constexpr int32_t kRingSeconds = 2;
// Frames the event loop moves between the file and the ring at a time.
constexpr int32_t kFileBlockFrames = 4096;
// Bytes read from a play file at a time: kFileBlockFrames frames at the most,
// whatever the file's format (8-bit mono has one byte a frame).
constexpr uint32_t kReadBytes = kFileBlockFrames;
// Polls between two looks at the ports' latencies (connections may change).
constexpr int32_t kPollsPerLatency = 50;
constexpr int32_t kBytesPerSample = 2;

}  // namespace

int16_t SampleFromFloat(float value) {
  const float scaled = value * 32768.0f;
  if (scaled != scaled) {
    return 0;
  }
  if (scaled >= 32767.0f) {
    return 32767;
  }
  if (scaled <= -32767.0f) {
    return -32767;
  }
  // std::round, not adding 0.5: the largest float below 0.5 plus 0.5 rounds
  // up to 1 in float arithmetic.
  return static_cast<int16_t>(std::round(scaled));
}

std::unique_ptr<JackRun> JackRun::Start(const JackRunSetup& setup, Notifier& notifier,
                                        ProgressSink* progress) {
  std::unique_ptr<JackRun> run(new JackRun(setup, notifier, progress));
  if (!run->Open()) {
    run->Close();
    return nullptr;
  }
  return run;
}

JackRun::JackRun(const JackRunSetup& setup, Notifier& notifier, ProgressSink* progress)
    : setup_(setup),
      notifier_(notifier),
      progress_(progress),
      left_(setup.leftChain ? *setup.leftChain : emptyLeft_),
      right_(setup.rightChain ? *setup.rightChain : emptyRight_),
      serverName_(DefaultJackServerName()) {}

JackRun::~JackRun() {
  Close();
}

bool JackRun::Open() {
  int32_t channels = std::clamp(setup_.channels, 1, JackClient::kMaxChannels);
  int32_t bits = setup_.bitsPerSample == 8 ? 8 : 16;
  if (setup_.inputIsFile) {
    reader_.emplace(kReadBytes);
    if (ReadWaveFile(*reader_, kWaveOpen, setup_.inputFileName, nullptr, notifier_) != kWaveDone) {
      reader_.reset();
      return false;
    }
    channels = reader_->Format().channels == 2 ? 2 : 1;
    bits = reader_->Format().bitsPerSample == 8 ? 8 : 16;
  }

  std::string reason;
  client_ = JackClient::Open(setup_.clientName, channels, &reason);
  if (!client_) {
    notifier_.ShowMessage(msg::kNoServer, "server \"" + serverName_ + "\": " + reason);
    return false;
  }
  sampleRate_ = client_->SampleRate();
  const int32_t period = client_->PeriodFrames();
  if (reader_ && static_cast<int32_t>(reader_->Format().samplesPerSec) != sampleRate_) {
    notifier_.ShowMessage(msg::kRateMismatch, setup_.inputFileName + ": " +
                                                  std::to_string(reader_->Format().samplesPerSec) +
                                                  " Hz; server \"" + serverName_ +
                                                  "\": " + std::to_string(sampleRate_) + " Hz");
    return false;
  }

  fileFormat_ = PcmWaveFormat(channels, sampleRate_, bits);
  if (setup_.outputIsFile) {
    writer_.emplace(fileFormat_);
    if (WriteWaveFile(*writer_, kWaveCreate, setup_.outputFileName, nullptr, notifier_) !=
        kWaveDone) {
      const std::string detail = FileErrorDetail(setup_.outputFileName, writer_->Error());
      writer_.reset();
      notifier_.ShowMessage(file_run_messages::kCannotOpenOutput, detail);
      return false;
    }
    total_ = DiskFreeBytes(setup_.outputFileName);
  } else if (reader_) {
    total_ = static_cast<uint64_t>(reader_->Total()) / (bits / 8) * kBytesPerSample;
  }

  // The chains: the window's are prepared as in every run (its pages work on
  // them), the twins the callback runs are made from them first.
  stream_.bitsPerSample = 16;
  stream_.channels = channels;
  stream_.framesPerBlock = period;
  live_ = std::make_unique<LiveChains>(left_, right_);
  left_.Prepare(period, sampleRate_);
  right_.Prepare(period, sampleRate_);
  live_->Prepare(period, sampleRate_);
  chainsPrepared_ = true;
  if (setup_.meter) {
    setup_.meter->BeginRun(channels);
  }

  const size_t periodBytes = static_cast<size_t>(period) * static_cast<size_t>(channels) *
                             static_cast<size_t>(kBytesPerSample);
  work_.Allocate(period);
  inBytes_.assign(periodBytes, 0);
  outBytes_.assign(periodBytes, 0);
  if (setup_.inputIsFile || setup_.outputIsFile) {
    const size_t frameBytes = static_cast<size_t>(channels) * kBytesPerSample;
    const size_t ringFrames = std::max<size_t>(static_cast<size_t>(sampleRate_) * kRingSeconds,
                                               8 * static_cast<size_t>(period));
    ring_ = std::make_unique<ByteRing>(ringFrames * frameBytes);
    fileBlock_.assign(static_cast<size_t>(kFileBlockFrames) * frameBytes, 0);
    ringBlock_.assign(static_cast<size_t>(kFileBlockFrames) * frameBytes, 0);
  }
  SetProgress(0, 1);
  if (reader_) {
    FillPlayRing();  // the first seconds wait in the ring before the start
  }

  if (!client_->Activate(this, &reason)) {
    notifier_.ShowMessage(msg::kCannotStart, "server \"" + serverName_ + "\": " + reason);
    return false;
  }
  if (!Connect()) {
    return false;
  }
  // Ports can only be connected once the client runs: the file's first
  // frames wait for them.
  connected_.store(true, std::memory_order_release);
  latencyFrames_ = client_->LatencyFrames();
  return true;
}

bool JackRun::Connect() {
  std::string reason;
  const int32_t channels = stream_.channels;
  // A channel without a port of its own shares the last one given.
  auto portFor = [](const std::vector<std::string>& ports, int32_t c) {
    return ports[std::min(static_cast<size_t>(c), ports.size() - 1)];
  };
  for (int32_t c = 0; c < channels; ++c) {
    if (!setup_.inputIsFile && !setup_.inputPorts.empty() &&
        !client_->ConnectInput(c, portFor(setup_.inputPorts, c), &reason)) {
      notifier_.ShowMessage(msg::kCannotConnect, reason);
      return false;
    }
    if (!setup_.outputIsFile && !setup_.outputPorts.empty() &&
        !client_->ConnectOutput(c, portFor(setup_.outputPorts, c), &reason)) {
      notifier_.ShowMessage(msg::kCannotConnect, reason);
      return false;
    }
  }
  return true;
}

void JackRun::Close() {
  if (closed_) {
    return;
  }
  closed_ = true;
  // Closing the client stops the server's calls: from here on the callback's
  // state belongs to this thread.
  client_.reset();
  if (writer_) {
    // What the callback left in the ring goes into the file first; a write
    // that fails here is told as one during the run is.
    if (ring_ && !writer_->WriteFailed() && !DrainRecordRing()) {
      notifier_.ShowMessage(file_run_messages::kWriteError, WriteErrorDetail(*writer_));
    }
    WriteWaveFile(*writer_, kWaveClose, writer_->Path(), nullptr, notifier_);
    writer_.reset();
  }
  if (reader_) {
    ReadWaveFile(*reader_, kWaveClose, setup_.inputFileName, nullptr, notifier_);
    reader_.reset();
  }
  live_.reset();
  left_.Release();
  right_.Release();
  work_.Free();
  SetProgress(0, 1);
}

std::optional<JackRunEnd> JackRun::Poll() {
  if (closed_ || !client_) {
    return std::nullopt;
  }
  live_->Publish();
  if (writer_ && !DrainRecordRing()) {
    // The disk is full: the file keeps the blocks that reached it.
    return JackRunEnd{file_run_messages::kWriteError, WriteErrorDetail(*writer_)};
  }
  if (reader_) {
    FillPlayRing();
  }
  if (client_->ShutDown()) {
    return JackRunEnd{msg::kServerShutDown,
                      "server \"" + serverName_ + "\": " + client_->ShutdownReason()};
  }
  if (client_->PeriodChanged() || periodWrong_.load(std::memory_order_relaxed)) {
    return JackRunEnd{msg::kPeriodChanged, "server \"" + serverName_ + "\""};
  }
  if (playedOut_.load(std::memory_order_acquire)) {
    if (readFailed_) {
      return JackRunEnd{file_run_messages::kReadError,
                        FileDetail(setup_.inputFileName, reader_->ReadFailure())};
    }
    return JackRunEnd{};
  }
  if (++pollsSinceLatency_ >= kPollsPerLatency) {
    pollsSinceLatency_ = 0;
    latencyFrames_ = client_->LatencyFrames();
  }
  return std::nullopt;
}

JackRunStatus JackRun::Status() const {
  JackRunStatus status;
  status.serverName = serverName_;
  status.sampleRate = sampleRate_;
  status.periodFrames = stream_.framesPerBlock;
  status.latencyFrames = latencyFrames_;
  status.droppedFrames = droppedFrames_.load(std::memory_order_relaxed);
  if (client_) {
    status.clientName = client_->Name();
    status.xruns = client_->XrunCount();
  }
  return status;
}

void JackRun::SetProgress(uint64_t done, uint64_t total) {
  if (!progress_ || total == 0) {
    return;
  }
  const double share = static_cast<double>(done) / static_cast<double>(total);
  progress_->SetProgress(static_cast<int32_t>(std::min(share, 1.0) * ProgressSink::kProgressRange));
}

bool JackRun::DrainRecordRing() {
  const size_t frameBytes = static_cast<size_t>(stream_.channels) * kBytesPerSample;
  const bool eightBit = fileFormat_.bitsPerSample == 8;
  for (;;) {
    const size_t waiting = std::min(ring_->ReadSpace(), ringBlock_.size());
    const size_t bytes = waiting - waiting % frameBytes;
    if (bytes == 0) {
      return true;
    }
    ring_->Read(ringBlock_.data(), bytes);
    WaveBlock block{ringBlock_.data(), 0, static_cast<uint32_t>(bytes)};
    if (eightBit) {
      const size_t samples = bytes / kBytesPerSample;
      for (size_t i = 0; i < samples; ++i) {
        fileBlock_[i] =
            ByteFromSample(SampleFromLittleEndian(ringBlock_.data() + kBytesPerSample * i));
      }
      block = WaveBlock{fileBlock_.data(), 0, static_cast<uint32_t>(samples)};
    }
    if (WriteWaveFile(*writer_, kWaveTransfer, writer_->Path(), &block, notifier_) != kWaveDone) {
      return false;
    }
    bytesDone_ += block.bytesRecorded;
    SetProgress(bytesDone_, total_);
  }
}

void JackRun::FillPlayRing() {
  if (readerDone_.load(std::memory_order_relaxed)) {
    return;
  }
  const bool eightBit = reader_->Format().bitsPerSample == 8;
  const size_t frameBytes = static_cast<size_t>(stream_.channels) * kBytesPerSample;
  const size_t fileFrameBytes = frameBytes / (eightBit ? 2 : 1);
  while (ring_->WriteSpace() >= ringBlock_.size()) {
    WaveBlock block{fileBlock_.data(), 0, 0};
    const int32_t result =
        ReadWaveFile(*reader_, kWaveTransfer, setup_.inputFileName, &block, notifier_);
    if (result != kWaveDone) {
      // The end of the data, or a read error: what was read plays out first.
      readFailed_ = result == kWaveFailed;
      readerDone_.store(true, std::memory_order_release);
      return;
    }
    const size_t frames = block.bufferLength / fileFrameBytes;
    const size_t samples = frames * static_cast<size_t>(stream_.channels);
    for (size_t i = 0; i < samples; ++i) {
      const int16_t sample = eightBit ? SampleFromByte(fileBlock_[i])
                                      : SampleFromLittleEndian(fileBlock_.data() + 2 * i);
      StoreLittleEndian(ringBlock_.data() + kBytesPerSample * i, sample);
    }
    ring_->Write(ringBlock_.data(), frames * frameBytes);
    bytesDone_ += frames * frameBytes;
  }
  // Played so far: what went into the ring, less what waits there.
  SetProgress(bytesDone_ - ring_->ReadSpace(), total_);
}

void JackRun::ReadPorts(const float* const* inputs, int32_t frames) {
  const int32_t channels = stream_.channels;
  for (int32_t c = 0; c < channels; ++c) {
    const float* in = inputs[c];
    uint8_t* out = inBytes_.data() + kBytesPerSample * c;
    for (int32_t i = 0; i < frames; ++i) {
      StoreLittleEndian(out + static_cast<ptrdiff_t>(kBytesPerSample * channels) * i,
                        SampleFromFloat(in[i]));
    }
  }
}

void JackRun::WritePorts(float* const* outputs, int32_t frames) const {
  const int32_t channels = stream_.channels;
  for (int32_t c = 0; c < channels; ++c) {
    float* out = outputs[c];
    const uint8_t* in = outBytes_.data() + kBytesPerSample * c;
    for (int32_t i = 0; i < frames; ++i) {
      out[i] = FloatFromSample(
          SampleFromLittleEndian(in + static_cast<ptrdiff_t>(kBytesPerSample * channels) * i));
    }
  }
}

void JackRun::SilencePorts(float* const* outputs, int32_t channels, int32_t frames) {
  for (int32_t c = 0; c < channels; ++c) {
    std::fill_n(outputs[c], frames, 0.0f);
  }
}

void JackRun::ProcessPeriod(const float* const* inputs, float* const* outputs, int32_t frames) {
  const int32_t channels = stream_.channels;
  if (frames != stream_.framesPerBlock) {
    // The buffers were made for another period: the run ends (Poll).
    SilencePorts(outputs, channels, frames);
    periodWrong_.store(true, std::memory_order_relaxed);
    return;
  }
  live_->TakeChanges();
  if (!connected_.load(std::memory_order_acquire)) {
    SilencePorts(outputs, channels, frames);
    return;
  }
  const size_t bytes = inBytes_.size();
  const size_t frameBytes = static_cast<size_t>(channels) * kBytesPerSample;
  if (setup_.inputIsFile) {
    // Read before the ring: once the reader is done, all it read is there.
    const bool done = readerDone_.load(std::memory_order_acquire);
    const size_t got = ring_->Read(inBytes_.data(), bytes);
    std::memset(inBytes_.data() + got, 0, bytes - got);
    if (got < bytes && !done) {
      droppedFrames_.fetch_add(static_cast<int64_t>((bytes - got) / frameBytes),
                               std::memory_order_relaxed);
    }
    if (done && ring_->ReadSpace() == 0) {
      playedOut_.store(true, std::memory_order_release);
    }
  } else {
    ReadPorts(inputs, frames);
  }

  ProcessBlock(stream_, live_->RunningLeft(), live_->RunningRight(), work_, inBytes_.data(),
               outBytes_.data(), frames, setup_.meter);

  if (setup_.outputIsFile) {
    if (ring_->WriteSpace() >= bytes) {
      ring_->Write(outBytes_.data(), bytes);
    } else {
      droppedFrames_.fetch_add(frames, std::memory_order_relaxed);
    }
    SilencePorts(outputs, channels, frames);
  } else {
    WritePorts(outputs, frames);
  }
}
