#include "engine/file_run.h"

#include <algorithm>
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
int32_t ProgressPosition(uint64_t done, uint32_t total) {
  if (total == 0) {
    return 0;
  }
  const double fraction = static_cast<double>(std::min<uint64_t>(done, total)) / total;
  return static_cast<int32_t>(fraction * ProgressSink::kProgressRange);
}

}  // namespace

FileRunResult ProcessFileToFile(const FileRunSettings& settings) {
  Notifier& notifier = *settings.notifier;
  const std::string& input = settings.inputFileName;
  const std::string& output = settings.outputFileName;
  const auto blockBytes = static_cast<uint32_t>(std::max(settings.blockBytes, 1));
  // Creating the output would truncate the input before it is read.
  if (SameFile(input, output)) {
    notifier.ShowMessage(msg::kOutputIsInput);
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

  SetProgress(settings.progress, 0);
  uint64_t bytesDone = 0;

  FileRunResult result = FileRunResult::kCompleted;
  for (;;) {
    WaveBlock in{inputBuffer.data(), blockBytes, blockBytes};
    const int32_t read = ReadWaveFile(reader, kWaveTransfer, input, &in, notifier);
    if (read == kWaveFailed) {
      notifier.ShowMessage(msg::kReadError);
      result = FileRunResult::kReadError;
      break;
    }
    if (read == kWaveNoData) {
      break;
    }
    const int32_t frames = FrameCount(in.bufferLength, stream.bitsPerSample, stream.channels);
    ProcessBlock(stream, left, right, work, inputBuffer.data(), outputBuffer.data(), frames);
    // Bytes of an incomplete last frame (a malformed data size) pass as read,
    // never as leftovers of an earlier block.
    const size_t converted = static_cast<size_t>(frames) * bytesPerFrame;
    std::copy(inputBuffer.begin() + converted, inputBuffer.begin() + in.bufferLength,
              outputBuffer.begin() + converted);

    const WaveBlock out{outputBuffer.data(), in.bufferLength, in.bufferLength};
    if (WriteWaveFile(writer, kWaveTransfer, output, &out, notifier) != kWaveDone) {
      notifier.ShowMessage(msg::kWriteError, WriteErrorDetail(writer));
      result = FileRunResult::kWriteError;
      break;
    }
    bytesDone += in.bufferLength;
    SetProgress(settings.progress, ProgressPosition(bytesDone, reader.Total()));
    if (settings.afterBlock && settings.afterBlock()) {
      result = FileRunResult::kCancelled;
      break;
    }
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
  SetProgress(settings.progress, 0);
  left.Release();
  right.Release();
  work.Free();
  return result;
}
