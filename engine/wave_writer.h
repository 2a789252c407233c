#pragma once
// Writes a RIFF/WAVE file of one fixed layout (little-endian):
//   0 "RIFF", 4 RIFF size (file length - 8), 8 "WAVE",
//   12 "fmt ", 16 size 18, 20 the 18-byte format record (extra size 0),
//   38 "data", 42 data size, 46 the sample bytes [+ one pad byte 0 if odd].
// Blocks are written straight from the caller's buffer. The sizes are
// patched when the file is closed, and on the way after every second of
// audio written, so that a process killed in the middle leaves a file that
// reads up to its last update. A file never grows past the 32-bit RIFF size:
// a block that would take it there is a failed write.
//
// The writer removes a file it created itself when it cannot write its
// header or finish its sizes. A file that existed before is opened without
// truncating it; it is cut to the new header only once that header has been
// written.

#include <cstdint>
#include <string>

#include "engine/riff_io.h"
#include "engine/wave_format.h"

class WaveWriter {
 public:
  // Files are written with `format` (its extra size written as 0).
  explicit WaveWriter(const WaveFormat& format);
  // An open file is finished as Close does.
  ~WaveWriter();
  WaveWriter(const WaveWriter&) = delete;
  WaveWriter& operator=(const WaveWriter&) = delete;

  // Creates `fileName` (or opens the file there) and writes the header:
  // kDone, kCannotCreate when the file itself cannot be opened, else the
  // header piece that could not be written. Nothing stays open on failure.
  WaveFileStatus Create(const std::string& fileName);
  // Appends block.bytesRecorded bytes of block.data: kDone, or kWriteFailed
  // with the file holding exactly the blocks written before.
  WaveFileStatus Write(const WaveBlock& block);
  // Patches the sizes (with the pad byte of odd data) and closes: kDone, or
  // the piece that could not be finished. Nothing when no file is open.
  WaveFileStatus Close();

  bool IsOpen() const { return fd_.IsOpen(); }
  // A block write has failed since the file was created.
  bool WriteFailed() const { return writeFailed_; }
  // The system's error number of the last failure (0 when the file was made
  // and nothing has failed since): the reason a message adds.
  int Error() const { return error_; }
  const std::string& Path() const { return path_; }

 private:
  // Closes a file that could not be made or finished, and removes it when
  // this writer created it.
  void Abandon(int error);
  // Writes the data size and the RIFF size for `dataBytes` of data and `pad`
  // pad bytes; kDone, or the piece that failed.
  WaveFileStatus WriteSizes(uint64_t dataBytes, uint64_t pad);

  WaveFormat format_;
  uint64_t bytesPerSecond_;  // how often the header is brought up to date
  riff::FileDescriptor fd_;
  std::string path_;
  bool created_ = false;     // the file did not exist before this writer made it
  uint64_t dataBytes_ = 0;   // data bytes written by successful block writes
  uint64_t sizedBytes_ = 0;  // the data size the header holds
  bool writeFailed_ = false;
  int error_ = 0;
};

// Whether a writer holding `dataBytes` can take `blockBytes` more without the
// RIFF size (with the pad byte) passing 4 GiB - 1.
bool WaveBlockFits(uint64_t dataBytes, uint64_t blockBytes);
