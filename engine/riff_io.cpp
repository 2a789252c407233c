#include "engine/riff_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace riff {
namespace {

// Moves `count` bytes at `offset` with `transfer` (pread or pwrite), going on
// after interruptions and partial transfers; stops at the first call that
// moves nothing. The bytes moved.
template <typename Byte, typename Transfer>
uint64_t TransferAt(int fd, Byte* bytes, uint64_t count, uint64_t offset, Transfer transfer) {
  uint64_t done = 0;
  while (done < count) {
    const ssize_t moved =
        transfer(fd, bytes + done, count - done, static_cast<off_t>(offset + done));
    if (moved < 0 && errno == EINTR) {
      continue;
    }
    if (moved <= 0) {
      break;
    }
    done += static_cast<uint64_t>(moved);
  }
  return done;
}

}  // namespace

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void FileDescriptor::Close() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}

FileDescriptor OpenForReading(const std::string& path) {
  return FileDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
}

uint64_t ReadAt(int fd, void* buffer, uint64_t count, uint64_t offset) {
  return TransferAt(fd, static_cast<uint8_t*>(buffer), count, offset, pread);
}

bool WriteAt(int fd, const void* buffer, uint64_t count, uint64_t offset) {
  return WritePartAt(fd, buffer, count, offset) == count;
}

uint64_t WritePartAt(int fd, const void* buffer, uint64_t count, uint64_t offset) {
  return TransferAt(fd, static_cast<const uint8_t*>(buffer), count, offset, pwrite);
}

std::string SystemErrorText(int error) {
  char buffer[256];
  // The GNU strerror_r: the text, in `buffer` or in a static table.
  return strerror_r(error, buffer, sizeof buffer);
}

uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutU16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

bool IdIs(const uint8_t* p, const char* id) {
  return std::memcmp(p, id, 4) == 0;
}

WaveFormat DecodeFormat(const uint8_t* p) {
  WaveFormat format;
  format.formatTag = GetU16(p);
  format.channels = GetU16(p + 2);
  format.samplesPerSec = GetU32(p + 4);
  format.avgBytesPerSec = GetU32(p + 8);
  format.blockAlign = GetU16(p + 12);
  format.bitsPerSample = GetU16(p + 14);
  format.extraSize = GetU16(p + 16);
  return format;
}

void EncodeFormat(const WaveFormat& format, uint8_t* p) {
  PutU16(p, format.formatTag);
  PutU16(p + 2, format.channels);
  PutU32(p + 4, format.samplesPerSec);
  PutU32(p + 8, format.avgBytesPerSec);
  PutU16(p + 12, format.blockAlign);
  PutU16(p + 14, format.bitsPerSample);
  PutU16(p + 16, format.extraSize);
}

}  // namespace riff
