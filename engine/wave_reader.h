#pragma once
// Reads a RIFF/WAVE file: opens and checks it, finds its format and its
// sample data, and hands the data out block by block, straight into the
// caller's buffer (a run's own, or a device buffer). Blocks are raw bytes in
// the file's own PCM layout.
//
// Chunks other than "fmt " and "data" are skipped wherever they stand. Only
// regular files are read; anything else is refused without blocking. A data
// size of 0xFFFFFFFF (streaming writers' "length unknown") means the data
// runs to the end of the file, of which the whole frames are taken.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/riff_io.h"
#include "engine/wave_format.h"

class WaveReader {
 public:
  // `blockBytes`: the length of the blocks Read hands out (0 for a reader
  // that only opens files to tell their format).
  explicit WaveReader(uint32_t blockBytes = 0) : blockBytes_(blockBytes) {}

  // Opens and checks `fileName`: kDone, or the reason it was refused
  // (nothing then stays open; RefusalDetail may say more).
  WaveFileStatus Open(const std::string& fileName);
  // The next block into block->data, its length in block->bufferLength. A
  // short last block is padded with silence (0x80 for 8-bit data, 0
  // otherwise) up to the block length. kNoData when nothing is left (the
  // block untouched); kReadError when the file ends before its data does
  // (the file is then closed).
  WaveFileStatus Read(WaveBlock* block);
  void Close();

  bool IsOpen() const { return fd_.IsOpen(); }
  // The open file's format record.
  const WaveFormat& Format() const { return format_; }
  // The data size, and the bytes not handed out yet.
  uint32_t Total() const { return total_; }
  uint32_t Remaining() const { return remaining_; }
  // The system's reason for the last refused Open, when it gave one.
  const std::string& RefusalDetail() const { return refusalDetail_; }
  // Why the last Read failed: the system's reason, or that the file ends
  // before its data does.
  const std::string& ReadFailure() const { return readFailure_; }

 private:
  WaveFileStatus Refuse(WaveFileStatus status, std::string detail = {});
  uint64_t ReadSampleBytes(uint8_t* out, uint64_t count);

  uint32_t blockBytes_;
  riff::FileDescriptor fd_;
  WaveFormat format_;
  uint32_t total_ = 0;
  uint32_t remaining_ = 0;
  std::string refusalDetail_;
  std::string readFailure_;
  // Sample data is read through a buffer of the reader's own, so that small
  // blocks do not each cost a system call.
  uint64_t position_ = 0;  // the next sample byte
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
  uint64_t bufferFill_ = 0;   // valid bytes in buffer_
};
