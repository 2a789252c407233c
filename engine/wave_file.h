#pragma once
// RIFF/WAVE files: the reader, the writer and the probe.
//
// The reader and the writer are single module-level instances (at most one
// input and one output file are open at a time), each driven through one entry
// point with an operation code: open or create, transfer one block, close. The
// streaming code drives both the same way whether the block lives in a run's
// own buffer or in a device buffer. Blocks are raw bytes in the file's own PCM
// layout; nothing here converts samples.
//
// Written files have one fixed layout (little-endian):
//   0 "RIFF", 4 RIFF size (file length - 8), 8 "WAVE",
//   12 "fmt ", 16 size 18, 20 the 18-byte format record (extra size 0),
//   38 "data", 42 data size, 46 the sample bytes [+ one pad byte 0 if odd].
// The sizes are patched when the file is closed. A file never grows past the
// 32-bit RIFF size: a block that would take it there is a failed write.

#include <cstdint>
#include <string>

#include "engine/notifier.h"

// The 18-byte wave format record, field for field as it is stored in a file.
struct WaveFormat {
  uint16_t formatTag = 0;  // 1 = PCM, the only tag the reader accepts
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;  // copied, not validated
  uint16_t blockAlign = 0;      // copied, not validated
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;  // 0 in every record the engine writes
};
inline constexpr uint32_t kWaveFormatBytes = 18;
inline constexpr uint16_t kWaveFormatPcm = 1;

// What the reader accepts: anything else is "UnSupported Wave Format!".
inline constexpr uint32_t kMinWaveRate = 1000;
inline constexpr uint32_t kMaxWaveRate = 384000;

// The first three fields of a wave buffer header, so a device buffer header
// passes to the reader and writer unchanged. `data` must have room for one
// block length.
struct WaveBlock {
  uint8_t* data = nullptr;     // reader: destination; writer: source
  uint32_t bufferLength = 0;   // reader out: bytes actually read
  uint32_t bytesRecorded = 0;  // writer in: bytes to write
};

// Operation codes of ReadWaveFile and WriteWaveFile.
enum WaveFileOp : int32_t {
  kWaveCreate = 1,    // writer: create the file and write its header
  kWaveOpen = 2,      // reader: open and check the file
  kWaveTransfer = 3,  // read or write one block
  kWaveClose = 4,     // writer: finish the sizes; both: close
};

// Results of ReadWaveFile and WriteWaveFile.
enum WaveFileResult : int32_t {
  kWaveDone = 0,
  kWaveFailed = 1,       // open/create/close failed, or a read error
  kWaveNoData = 3,       // reader: nothing left, the block untouched
  kWaveWriteFailed = 4,  // writer: the block was not written
};

// The messages, exactly as the user sees them.
namespace wave_messages {
inline constexpr const char* kCannotReadFile = "Cannot read file!";
inline constexpr const char* kBadWaveFormat = "Bad Wave Format!";
inline constexpr const char* kBadRiffFormat = "Bad Riff Format!";
inline constexpr const char* kUnsupportedFormat = "UnSupported Wave Format!";
inline constexpr const char* kNoDataChunk = "Bad Format in Wave file!";
inline constexpr const char* kNoWaveData = "No wave data!";
inline constexpr const char* kCannotCreateRiff = "Cannot create wave format chunk!";
inline constexpr const char* kCannotCreateFormat = "Cannot create format chunk!";
inline constexpr const char* kCannotWriteFormat = "Cannot write wave format data!";
inline constexpr const char* kCannotAscendFormat = "Cannot Ascend out of the wave format chunk!";
inline constexpr const char* kCannotCreateData = "Cannot create data chunk!";
inline constexpr const char* kCannotFlushHeader = "Unable to write data into file!";
inline constexpr const char* kCannotFinishData = "Cannot ascent out of the data chunk!";
inline constexpr const char* kCannotFinishRiff = "Cannot ascent out of the RIFF chunk!";
inline constexpr const char* kErrorOpeningFile = "Error opening file";
}  // namespace wave_messages

// The module-level values shared by the reader, the writer and their callers.
struct WaveFileState {
  WaveFormat inputFormat;   // filled by a successful reader open
  WaveFormat outputFormat;  // what the writer writes; a copy of the input's
  // Set by the caller: the reader's block length before kWaveOpen, the bits
  // per sample (which choose the silence of a short last block) after it.
  uint32_t blockLength = 1024;
  int32_t bitsPerSample = 16;
  uint32_t remaining = 0;   // data bytes the reader has not handed out yet
  uint32_t total = 0;       // the input's data size: the progress denominator
  int32_t writeFailed = 0;  // set by a failed block write; cleared by the caller
  int32_t writeError = 0;   // the errno of the last failed block write
};
WaveFileState& WaveFiles();

// kWaveOpen: 0 opened, 1 refused (a message was shown, nothing stays open).
// kWaveTransfer: 0 read into block->data with block->bufferLength bytes (a
//   short last block is padded with silence to the block length); 1 read
//   error (the file is closed, no message); 3 no data left.
// kWaveClose: 0. Other codes: 0.
int32_t ReadWaveFile(int32_t op, const std::string& fileName, WaveBlock* block, Notifier& notifier);

// kWaveCreate: 0 created with the header of WaveFiles().outputFormat; 1 failed
//   (a message, except when the file itself cannot be created).
// kWaveTransfer: writes block->bytesRecorded bytes of block->data; 0 written,
//   4 failed (no message, writeFailed set, the file keeps the earlier blocks).
// kWaveClose: patches the sizes and closes; 0, or 1 after a message.
// Other codes: 0.
int32_t WriteWaveFile(int32_t op, const std::string& fileName, const WaveBlock* block,
                      Notifier& notifier);

// Reads the format record of a file whose first chunk is the format chunk.
// False after a message.
bool ProbeWaveFile(const std::string& fileName, WaveFormat* format, Notifier& notifier);

// Free bytes on the file system that holds `path` (a file to be created: its
// folder is asked). 0 when it cannot be told.
uint64_t DiskFreeBytes(const std::string& path);

// Whether a writer holding `dataBytes` can take `blockBytes` more without the
// RIFF size (with the pad byte) passing 4 GiB - 1.
bool WaveBlockFits(uint64_t dataBytes, uint64_t blockBytes);
