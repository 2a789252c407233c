#pragma once
// The file layer under the WAV reader, writer and probe: an owned file
// descriptor, positioned transfers that go on until every byte has moved,
// and the little-endian fields of a RIFF file.

#include <cstdint>
#include <string>

#include "engine/wave_format.h"

namespace riff {

// A file descriptor that is closed with its owner.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(FileDescriptor&& other) noexcept;
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

 private:
  int fd_ = -1;
};

// Opens `path` read-only. O_NONBLOCK: a FIFO with no writer does not block
// the open (callers then refuse anything but a regular file).
FileDescriptor OpenForReading(const std::string& path);

// Reads up to `count` bytes at `offset`; fewer only at the end of the file or
// on an error.
uint64_t ReadAt(int fd, void* buffer, uint64_t count, uint64_t offset);
// Writes all `count` bytes at `offset`; false (errno set) when it could not.
bool WriteAt(int fd, const void* buffer, uint64_t count, uint64_t offset);
// Writes `count` bytes at `offset`; the bytes that reached the file, fewer
// than `count` (errno set) when the rest could not be written.
uint64_t WritePartAt(int fd, const void* buffer, uint64_t count, uint64_t offset);

// The system's text for the error number `error`; safe on any thread.
std::string SystemErrorText(int error);

uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
void PutU16(uint8_t* p, uint16_t value);
void PutU32(uint8_t* p, uint32_t value);
// Whether the 4-byte chunk id at `p` is `id`.
bool IdIs(const uint8_t* p, const char* id);

WaveFormat DecodeFormat(const uint8_t* p);
void EncodeFormat(const WaveFormat& format, uint8_t* p);

}  // namespace riff
