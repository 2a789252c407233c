// The streaming loop of a run with a device: each buffer a device has
// finished with brings the next block from the source, through ProcessBlock,
// to the sink, and re-arms the buffers of both rings.
//
//   live   device to device: driven by recorded buffers
//   record device to file:   driven by recorded buffers
//   play   file to device:   driven by played buffers
//
// Failures of the wave service here are not shown: the device concerned is
// reset and the loop goes on. What ends a run (the end of the file, a failed
// write, a device that stopped working) ends it through EndRun.

#include <algorithm>
#include <utility>

#include "engine/wave_engine.h"

namespace msg = wave_engine_messages;

namespace {

int32_t Advance(int32_t index, int32_t ringSize) {
  return index + 1 == ringSize ? 0 : index + 1;
}

}  // namespace

int32_t WaveEngine::WaveWindowProc(WaveMessage message, WaveHandle handle, WaveHeader* header) {
  if (!windowCreated) {
    return 0;
  }
  if (message == WaveMessage::kDeviceFailed) {
    HandleDeviceFailed(handle);
    return 0;
  }
  if (!header) {
    return 0;
  }
  const bool play = state_.inputIsFile && !state_.outputIsFile;
  if (message == WaveMessage::kOutputDone) {
    if (play && outputOpen && handle == state_.outputDevice) {
      HandlePlayed(header);
    }
  } else if (!state_.inputIsFile && inputOpen && outputOpen && handle == state_.inputDevice) {
    if (state_.outputIsFile) {
      HandleRecordedToFile(header);
    } else {
      HandleRecordedLive(header);
    }
  }
  if (state_.failure && outputOpen) {
    const char* text = std::exchange(state_.failure, nullptr);
    EndRun(text, std::exchange(state_.failureDetail, {}));
  }
  return 0;
}

void WaveEngine::HandleDeviceFailed(WaveHandle handle) {
  if (!outputOpen || handle == kNoWaveHandle) {
    return;
  }
  const bool input = handle == state_.inputDevice;
  if (!input && handle != state_.outputDevice) {
    return;
  }
  // Taken before the run is closed, which may make the service fail again.
  const std::string detail =
      DeviceDetail(input ? WaveDirection::kInput : WaveDirection::kOutput, service_->LastError());
  EndRun(input ? msg::kInputDeviceFailed : msg::kOutputDeviceFailed, detail);
}

void WaveEngine::EndRun(const char* text, const std::string& detail) {
  // The run is closed first, so that nothing of it reaches the loop while
  // the message is on the screen.
  if (outputOpen && !state_.outputIsFile) {
    ResetOutput();
  }
  StopRun();
  if (text) {
    notifier_->ShowMessage(text, detail);
  }
}

void WaveEngine::ResetInput() {
  service_->Reset(state_.inputDevice);
  // The buffers the reset returns are queued again as their messages come in.
  const WaveResult started = service_->Start(state_.inputDevice);
  if (started != WaveResult::kOk && !state_.failure) {
    state_.failure = DeviceMessage(DeviceOperation::kStartInput, started);
    state_.failureDetail = DeviceDetail(WaveDirection::kInput, service_->LastError());
  }
}

void WaveEngine::ResetOutput() {
  service_->Reset(state_.outputDevice);
}

void WaveEngine::HandlePlayed(WaveHeader* played) {
  if (service_->UnprepareHeader(state_.outputDevice, played) != WaveResult::kOk) {
    ResetOutput();
  }
  state_.bytesDone += played->bufferLength;
  UpdateProgress();
  if (state_.bytesDone >= state_.total) {
    EndRun(nullptr);  // the whole file has been played
    return;
  }
  // The played header served its block; it now takes the next one from the
  // file.
  if (!state_.endOfInput && !SendNextBlock(played->data, false) && !state_.endOfInput &&
      state_.bytesDone >= state_.bytesSent) {
    // The device took nothing and holds nothing that could bring it back.
    EndRun(msg::kPlayError, DeviceDetail(WaveDirection::kOutput, "it takes no more sound"));
    return;
  }
  // The end of what could be read: the run ends once all of it has played.
  if (state_.endOfInput && state_.bytesDone >= state_.bytesSent) {
    if (state_.readFailed) {
      EndRun(file_run_messages::kReadError,
             FileDetail(settings.inputFileName, reader_->ReadFailure()));
    } else {
      EndRun(nullptr);
    }
  }
}

bool WaveEngine::SendNextBlock(uint8_t* readArea, bool priming) {
  const auto blockBytes = static_cast<uint32_t>(state_.input.blockBytes);
  WaveBlock block{readArea, blockBytes, blockBytes};
  const int32_t result =
      ReadWaveFile(*reader_, kWaveTransfer, settings.inputFileName, &block, *notifier_);
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
  ProcessBlock(stream, Left(), Right(), state_.work, readArea, out.buffers[k].data(), frames,
               &levels_);
  send.data = out.buffers[k].data();
  send.bufferLength = block.bufferLength;
  if (priming) {
    // Prepared with the ring. At the start a failure is shown, and the next
    // block takes k.
    if (!Report(DeviceOperation::kWrite, service_->Write(state_.outputDevice, &send))) {
      return false;
    }
  } else {
    send.flags = 0;
    if (service_->PrepareHeader(state_.outputDevice, &send) != WaveResult::kOk) {
      ResetOutput();
    }
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

void WaveEngine::HandleRecordedLive(WaveHeader* recorded) {
  WaveRing& out = state_.output;
  QueueSpareInput();
  // The block processed at the previous message goes out now.
  if (service_->Write(state_.outputDevice, &out.headers[static_cast<size_t>(out.next)]) ==
      WaveResult::kOk) {
    out.next = Advance(out.next, state_.ringSize);
  } else {
    ResetOutput();
  }
  WaveHeader& processed = ProcessRecorded(recorded);
  // The oldest output buffer has been played: it is prepared again when its
  // turn comes.
  if (service_->UnprepareHeader(state_.outputDevice,
                                &out.headers[static_cast<size_t>(out.nextDone)]) !=
      WaveResult::kOk) {
    ResetOutput();
  }
  out.nextDone = Advance(out.nextDone, state_.ringSize);
  if (service_->PrepareHeader(state_.outputDevice, &processed) != WaveResult::kOk) {
    ResetOutput();
  }
}

void WaveEngine::HandleRecordedToFile(WaveHeader* recorded) {
  WaveRing& out = state_.output;
  QueueSpareInput();
  out.next = Advance(out.next, state_.ringSize);
  const WaveHeader& processed = ProcessRecorded(recorded);
  out.nextDone = Advance(out.nextDone, state_.ringSize);
  // The recorded header now describes the processed block; its own buffer
  // comes back when it is re-armed as a spare.
  recorded->data = processed.data;
  recorded->bytesRecorded = processed.bufferLength;
  state_.bytesDone += processed.bufferLength;
  UpdateProgress();
  const WaveBlock block{recorded->data, recorded->bufferLength, recorded->bytesRecorded};
  if (WriteWaveFile(*writer_, kWaveTransfer, writer_->Path(), &block, *notifier_) != kWaveDone) {
    // A full disk, say: the file keeps every block written before.
    EndRun(file_run_messages::kWriteError, WriteErrorDetail(*writer_));
  }
}

void WaveEngine::QueueSpareInput() {
  WaveRing& in = state_.input;
  if (service_->AddBuffer(state_.inputDevice, &in.headers[static_cast<size_t>(in.next)]) ==
      WaveResult::kOk) {
    in.next = Advance(in.next, state_.ringSize);
  } else {
    ResetInput();
  }
}

WaveHeader& WaveEngine::ProcessRecorded(WaveHeader* recorded) {
  WaveRing& in = state_.input;
  WaveRing& out = state_.output;
  // What the device filled: a whole buffer, or less for one a reset returned.
  const uint32_t length = std::min(recorded->bytesRecorded, recorded->bufferLength);
  const StreamParameters& stream = state_.stream;
  const int32_t frames = FrameCount(length, stream.bitsPerSample, stream.channels);
  const auto k = static_cast<size_t>(out.next);
  WaveHeader& done = in.headers[static_cast<size_t>(in.nextDone)];
  ProcessBlock(stream, Left(), Right(), state_.work, done.data, out.buffers[k].data(), frames,
               &levels_);

  if (service_->UnprepareHeader(state_.inputDevice, &done) != WaveResult::kOk) {
    ResetInput();
  }
  in.nextDone = Advance(in.nextDone, state_.ringSize);

  WaveHeader& spare = in.headers[static_cast<size_t>(in.next)];
  spare.data = in.buffers[static_cast<size_t>(in.next)].data();
  spare.bufferLength = static_cast<uint32_t>(in.blockBytes);
  spare.flags = 0;
  if (service_->PrepareHeader(state_.inputDevice, &spare) != WaveResult::kOk) {
    ResetInput();
  }

  WaveHeader& processed = out.headers[k];
  processed.data = out.buffers[k].data();
  processed.bufferLength = length;
  processed.flags = 0;
  return processed;
}
