#pragma once
// Writes a RIFF/WAVE file of one fixed layout (little-endian):
//   0 "RIFF", 4 RIFF size (file length - 8), 8 "WAVE",
//   12 "fmt ", 16 size 18, 20 the 18-byte format record (extra size 0),
//   38 "data", 42 data size, 46 the sample bytes [+ one pad byte 0 if odd].
// The sizes are patched when the file is closed, and on the way after every
// second of audio written, so that a process killed in the middle leaves a
// file that reads up to its last update. A file never grows past the 32-bit
// RIFF size: a block that would take it there is a failed write.
//
// Blocks are either written straight from the caller's buffer as they come,
// or gathered in memory and written out together (write-behind), which
// spares a file run one system call per block. Gathered blocks reach the
// file at the latest with each update of the sizes and at the close. A write
// that fails keeps the whole blocks that reached the file and cuts off the
// part of the one that did not fit, so the file holds exactly the blocks
// before that one (WrittenBytes); from then on nothing more is written, and
// the close finishes the sizes for what the file holds.
//
// The writer removes a file it created itself when it cannot write its
// header or finish its sizes. A file that existed before is opened without
// truncating it; it is cut to the new header only once that header has been
// written.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "engine/riff_io.h"
#include "engine/wave_format.h"

class WaveWriter {
 public:
  // Bytes a file run gathers before it writes them out.
  static constexpr uint32_t kRunGatherBytes = 256 * 1024;

  // Files are written with `format` (its extra size written as 0). Blocks
  // are gathered up to `gatherBytes` before they are written; with 0 each
  // block is written as it comes, as a recording wants: a block reported
  // written is then in the file.
  explicit WaveWriter(const WaveFormat& format, uint32_t gatherBytes = 0);
  // An open file is finished as Close does.
  ~WaveWriter();
  WaveWriter(const WaveWriter&) = delete;
  WaveWriter& operator=(const WaveWriter&) = delete;

  // Creates `fileName` (or opens the file there) and writes the header:
  // kDone, kCannotCreate when the file itself cannot be opened, else the
  // header piece that could not be written. Nothing stays open on failure.
  WaveFileStatus Create(const std::string& fileName);
  // Appends block.bytesRecorded bytes of block.data: kDone (written, or
  // gathered), or kWriteFailed when this block, or gathered ones before it,
  // did not reach the file, which then holds WrittenBytes of data. After a
  // failure every write fails.
  WaveFileStatus Write(const WaveBlock& block);
  // Writes out the gathered blocks, patches the sizes (with the pad byte of
  // odd data) and closes: kDone; kWriteFailed when gathered blocks could not
  // be written (the file is still finished, for what it holds); or the piece
  // that could not be finished. Nothing when no file is open.
  WaveFileStatus Close();

  bool IsOpen() const { return fd_.IsOpen(); }
  // A block write has failed since the file was created.
  bool WriteFailed() const { return writeFailed_; }
  // The system's error number of the last failure (0 when the file was made
  // and nothing has failed since): the reason a message adds.
  int Error() const { return error_; }
  const std::string& Path() const { return path_; }
  // Bytes of sound that have reached the file (gathered ones not yet).
  uint64_t WrittenBytes() const { return fileBytes_; }

 private:
  // Closes a file that could not be made or finished, and removes it when
  // this writer created it.
  void Abandon(int error);
  // Writes the data size and the RIFF size for `dataBytes` of data and `pad`
  // pad bytes; kDone, or the piece that failed.
  WaveFileStatus WriteSizes(uint64_t dataBytes, uint64_t pad);
  // Appends `count` bytes, made of blocks ending at `blockEnds` (offsets
  // into `bytes`), at the end of the data. On failure the file is cut back to
  // the end of the last whole block that reached it, and the writer takes no
  // more; false.
  bool AppendData(const uint8_t* bytes, uint64_t count, std::span<const uint32_t> blockEnds);
  // Writes out the gathered bytes; false as AppendData.
  bool WriteGathered();

  WaveFormat format_;
  uint64_t bytesPerSecond_;  // how often the header is brought up to date
  riff::FileDescriptor fd_;
  std::string path_;
  bool created_ = false;     // the file did not exist before this writer made it
  uint64_t fileBytes_ = 0;   // data bytes in the file
  uint64_t sizedBytes_ = 0;  // the data size the header holds
  // Blocks gathered at most before they are written out.
  static constexpr uint32_t kMaxGatheredBlocks = 2048;

  std::unique_ptr<uint8_t[]> gathered_;
  std::unique_ptr<uint32_t[]> gatheredEnds_;  // where each gathered block ends
  uint32_t gatherBytes_ = 0;                  // room in gathered_
  uint32_t gatheredBytes_ = 0;
  uint32_t gatheredBlocks_ = 0;
  bool writeFailed_ = false;
  int error_ = 0;
};

// Whether a writer holding `dataBytes` can take `blockBytes` more without the
// RIFF size (with the pad byte) passing 4 GiB - 1.
bool WaveBlockFits(uint64_t dataBytes, uint64_t blockBytes);
