#include "engine/file_run.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/block_processor.h"
#include "engine/file_identity.h"
#include "engine/wave_file.h"

namespace {

namespace msg = file_run_messages;

void SetProgress(ProgressSink* progress, int32_t position) {
  if (progress) {
    progress->SetProgress(position);
  }
}

// trunc(done / total x range); the bytes done never pass the total, so the
// bar ends exactly at its range with the last block.
int32_t ProgressPosition(uint64_t done, uint64_t total) {
  if (total == 0) {
    return 0;
  }
  const double fraction = static_cast<double>(std::min(done, total)) / static_cast<double>(total);
  return static_cast<int32_t>(fraction * ProgressSink::kProgressRange);
}

bool IsQuiet(int16_t sample) {
  return sample >= -kQuietLevel && sample <= kQuietLevel;
}

// The most silence the tail may add.
uint64_t MaxTailFrames(const RunTail& tail, uint32_t rate) {
  switch (tail.mode) {
    case TailMode::kNone:
      return 0;
    case TailMode::kUntilQuiet:
      return static_cast<uint64_t>(kMaxTailSeconds * rate);
    case TailMode::kFixed:
      break;
  }
  const double seconds = std::clamp(tail.seconds, 0.0, kMaxTailSeconds);
  return static_cast<uint64_t>(std::llround(seconds * rate));
}

}  // namespace

QuietWatch::QuietWatch(uint32_t sampleRate)
    : neededFrames_(static_cast<int64_t>(sampleRate) * kQuietMilliseconds / 1000) {}

void QuietWatch::Follow(const int16_t* left, const int16_t* right, int32_t frames) {
  for (int32_t i = 0; i < frames; ++i) {
    const bool quiet = IsQuiet(left[i]) && (!right || IsQuiet(right[i]));
    quietFrames_ = quiet ? quietFrames_ + 1 : 0;
  }
}

int32_t QuietWatch::FindEnd(const int16_t* left, const int16_t* right, int32_t frames) {
  for (int32_t i = 0; i < frames; ++i) {
    if (Reached()) {
      return i;
    }
    const bool quiet = IsQuiet(left[i]) && (!right || IsQuiet(right[i]));
    quietFrames_ = quiet ? quietFrames_ + 1 : 0;
  }
  return Reached() ? frames : -1;
}

FileRunResult ProcessFileToFile(const FileRunSettings& settings) {
  Notifier& notifier = *settings.notifier;
  const std::string& input = settings.inputFileName;
  const std::string& output = settings.outputFileName;
  const auto blockBytes = static_cast<uint32_t>(std::max(settings.blockBytes, 1));
  // Creating the output would truncate the input before it is read.
  if (SameFile(input, output)) {
    notifier.ShowMessage(msg::kOutputIsInput, input);
    return FileRunResult::kOutputIsInput;
  }

  WaveReader reader(blockBytes);
  if (ReadWaveFile(reader, kWaveOpen, input, nullptr, notifier) != kWaveDone) {
    return FileRunResult::kInputRefused;
  }
  const WaveFormat format = reader.Format();
  WaveWriter writer(format, WaveWriter::kRunGatherBytes);
  if (WriteWaveFile(writer, kWaveCreate, output, nullptr, notifier) != kWaveDone) {
    notifier.ShowMessage(msg::kCannotOpenOutput, FileErrorDetail(output, writer.Error()));
    ReadWaveFile(reader, kWaveClose, input, nullptr, notifier);
    return FileRunResult::kOutputRefused;
  }

  StreamParameters stream;
  stream.bitsPerSample = format.bitsPerSample;
  stream.channels = format.channels;
  stream.framesPerBlock =
      FramesPerBlock(static_cast<int32_t>(blockBytes), stream.bitsPerSample, stream.channels);

  const size_t bytesPerFrame = (stream.bitsPerSample == 8 ? 1 : 2) * (stream.channels == 2 ? 2 : 1);
  std::vector<uint8_t> inputBuffer(2 * static_cast<size_t>(blockBytes));
  std::vector<uint8_t> outputBuffer(2 * static_cast<size_t>(blockBytes));
  WorkBuffers work;
  work.Allocate(stream.framesPerBlock);

  EffectChain emptyChain;
  EffectChain& left = settings.leftChain ? *settings.leftChain : emptyChain;
  EffectChain& right = settings.rightChain ? *settings.rightChain : emptyChain;
  const auto rate = static_cast<int32_t>(format.samplesPerSec);
  left.Prepare(stream.framesPerBlock, rate);
  right.Prepare(stream.framesPerBlock, rate);
  if (settings.meter) {
    settings.meter->BeginRun(stream.channels);
  }

  FileRunSummary ownSummary;
  FileRunSummary& summary = settings.summary ? *settings.summary : ownSummary;
  summary = FileRunSummary{};
  summary.sampleRate = format.samplesPerSec;
  summary.inputFrames = reader.Total() / bytesPerFrame;
  const uint64_t maxTailFrames = MaxTailFrames(settings.tail, format.samplesPerSec);
  const bool untilQuiet = settings.tail.mode == TailMode::kUntilQuiet;
  QuietWatch quiet(format.samplesPerSec);
  // The bar covers the longest tail the run may add.
  const uint64_t total = reader.Total() + maxTailFrames * bytesPerFrame;

  SetProgress(settings.progress, 0);
  uint64_t bytesDone = 0;
  int32_t position = 0;
  FileRunResult result = FileRunResult::kCompleted;
  const auto process = [&](int32_t frames) {
    ProcessBlock(stream, left, right, work, inputBuffer.data(), outputBuffer.data(), frames,
                 settings.meter);
  };
  const auto outputChannel = [&](int32_t channel) -> const int16_t* {
    return channel < stream.channels ? work.current[static_cast<size_t>(channel)] : nullptr;
  };
  // Writes `length` bytes of the output buffer and moves the bar on by
  // `blockLength`; false when the run ends here (a failed write, a cancel).
  const auto writeBlock = [&](uint32_t length, uint32_t blockLength) {
    const WaveBlock out{outputBuffer.data(), length, length};
    if (WriteWaveFile(writer, kWaveTransfer, output, &out, notifier) != kWaveDone) {
      notifier.ShowMessage(msg::kWriteError, WriteErrorDetail(writer));
      result = FileRunResult::kWriteError;
      return false;
    }
    bytesDone += blockLength;
    position = ProgressPosition(bytesDone, total);
    SetProgress(settings.progress, position);
    if (settings.afterBlock && settings.afterBlock()) {
      result = FileRunResult::kCancelled;
      return false;
    }
    return true;
  };

  bool inputDone = false;
  for (;;) {
    WaveBlock in{inputBuffer.data(), blockBytes, blockBytes};
    const int32_t read = ReadWaveFile(reader, kWaveTransfer, input, &in, notifier);
    if (read == kWaveFailed) {
      notifier.ShowMessage(msg::kReadError, FileDetail(input, reader.ReadFailure()));
      result = FileRunResult::kReadError;
      break;
    }
    if (read == kWaveNoData) {
      inputDone = true;
      break;
    }
    const int32_t frames = FrameCount(in.bufferLength, stream.bitsPerSample, stream.channels);
    process(frames);
    // Bytes of an incomplete last frame (a malformed data size) pass as read,
    // never as leftovers of an earlier block.
    const size_t converted = static_cast<size_t>(frames) * bytesPerFrame;
    std::copy(inputBuffer.begin() + converted, inputBuffer.begin() + in.bufferLength,
              outputBuffer.begin() + converted);
    summary.framesRead += static_cast<uint64_t>(frames);
    if (untilQuiet) {
      quiet.Follow(outputChannel(0), outputChannel(1), frames);
    }
    if (!writeBlock(in.bufferLength, in.bufferLength)) {
      break;
    }
  }

  // The tail: blocks of silence through the chains.
  uint64_t tailLeft = inputDone ? maxTailFrames : 0;
  if (untilQuiet && quiet.Reached()) {
    tailLeft = 0;  // the output has died away with the input
  }
  std::fill(inputBuffer.begin(), inputBuffer.end(), stream.bitsPerSample == 8 ? 0x80 : 0x00);
  while (tailLeft > 0) {
    const auto frames = static_cast<int32_t>(
        std::min<uint64_t>(tailLeft, static_cast<uint64_t>(stream.framesPerBlock)));
    process(frames);
    int32_t kept = frames;
    if (untilQuiet) {
      const int32_t end = quiet.FindEnd(outputChannel(0), outputChannel(1), frames);
      kept = end >= 0 ? end : frames;
    }
    tailLeft = untilQuiet && quiet.Reached() ? 0 : tailLeft - static_cast<uint64_t>(frames);
    summary.tailFrames += static_cast<uint64_t>(kept);
    const auto length = static_cast<uint32_t>(static_cast<size_t>(kept) * bytesPerFrame);
    if (!writeBlock(length, static_cast<uint32_t>(frames * bytesPerFrame))) {
      break;
    }
  }
  // A tail that died away before its longest: the bar ends with it.
  if (result == FileRunResult::kCompleted && position != ProgressSink::kProgressRange) {
    SetProgress(settings.progress, ProgressSink::kProgressRange);
  }

  ReadWaveFile(reader, kWaveClose, input, nullptr, notifier);
  // The close writes out the last gathered blocks: a failure there is a
  // failed write like any other.
  const int32_t closed = WriteWaveFile(writer, kWaveClose, output, nullptr, notifier);
  if (closed == kWaveWriteFailed) {
    notifier.ShowMessage(msg::kWriteError, WriteErrorDetail(writer));
    result = FileRunResult::kWriteError;
  } else if (closed != kWaveDone && result == FileRunResult::kCompleted) {
    result = FileRunResult::kCloseFailed;
  }
  // What the file holds: blocks gathered but lost to a failed write are not
  // in it.
  summary.framesWritten = writer.WrittenBytes() / bytesPerFrame;
  SetProgress(settings.progress, 0);
  left.Release();
  right.Release();
  work.Free();
  return result;
}
