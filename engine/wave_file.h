#pragma once
// RIFF/WAVE files as the streaming code drives them: ReadWaveFile and
// WriteWaveFile take an operation code (open or create, transfer one block,
// close) and return a small integer, so that a run's own buffers and device
// buffers go through the same three steps. They are a thin layer over a
// WaveReader and a WaveWriter, which own the open file; here the results
// become the codes and the user's messages. The probe reads only the format
// record of a file the user has just picked.

#include <cstdint>
#include <string>

#include "engine/notifier.h"
#include "engine/wave_format.h"
#include "engine/wave_reader.h"
#include "engine/wave_writer.h"

// Operation codes of ReadWaveFile and WriteWaveFile.
enum WaveFileOp : int32_t {
  kWaveCreate = 1,    // writer: create the file and write its header
  kWaveOpen = 2,      // reader: open and check the file
  kWaveTransfer = 3,  // read or write one block
  kWaveClose = 4,     // writer: finish the sizes; both: close
};

// Results of ReadWaveFile and WriteWaveFile.
enum WaveFileCode : int32_t {
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
inline constexpr const char* kCannotCreateData = "Cannot create data chunk!";
inline constexpr const char* kCannotFlushHeader = "Unable to write data into file!";
inline constexpr const char* kCannotFinishData = "Cannot ascent out of the data chunk!";
inline constexpr const char* kCannotFinishRiff = "Cannot ascent out of the RIFF chunk!";
inline constexpr const char* kErrorOpeningFile = "Error opening file";
}  // namespace wave_messages

// The message the user is shown for `status`; null for the results that
// show none here (success, the end of the data, read and write errors and a
// file that cannot be created, which the caller reports).
const char* WaveFileMessage(WaveFileStatus status);

// kWaveOpen: 0 opened, 1 refused (a message was shown, nothing stays open).
// kWaveTransfer: 0 read into block->data with block->bufferLength bytes; 1
//   read error (the file is closed, no message); 3 no data left.
// kWaveClose: 0. Other codes: 0. See WaveReader.
int32_t ReadWaveFile(WaveReader& reader, int32_t op, const std::string& fileName, WaveBlock* block,
                     Notifier& notifier);

// kWaveCreate: 0 created; 1 failed (a message, except when the file itself
//   cannot be created).
// kWaveTransfer: writes (or gathers) block->bytesRecorded bytes of
//   block->data; 0 done, 4 failed (no message; the file keeps what was
//   written before, WaveWriter::WrittenBytes).
// kWaveClose: writes out gathered blocks, patches the sizes and closes; 0; 4
//   when gathered blocks could not be written (no message, the file is
//   finished for what it holds); or 1 after a message.
// Other codes: 0. See WaveWriter.
int32_t WriteWaveFile(WaveWriter& writer, int32_t op, const std::string& fileName,
                      const WaveBlock* block, Notifier& notifier);

// Reads the format record of a file whose first chunk is the format chunk.
// False after a message.
bool ProbeWaveFile(const std::string& fileName, WaveFormat* format, Notifier& notifier);

// Free bytes on the file system that holds `path` (a file to be created: its
// folder is asked). 0 when it cannot be told.
uint64_t DiskFreeBytes(const std::string& path);

// The detail line of a message about the file `path`: "path: reason", or
// the path alone when there is no reason.
std::string FileDetail(const std::string& path, const std::string& reason);

// "path: reason" for the system error number `error`, the detail line of a
// message about that file; empty when `error` is 0.
std::string FileErrorDetail(const std::string& path, int error);

// The detail line of a failed write: the file, the reason and how much sound
// the file keeps ("out.wav: No space left on device (1024 bytes of sound
// kept)").
std::string WriteErrorDetail(const WaveWriter& writer);
