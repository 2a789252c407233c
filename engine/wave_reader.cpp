#include "engine/wave_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

using riff::GetU32;
using riff::IdIs;
using riff::ReadAt;

// Reads a RIFF body's chunk headers through one buffer, so that a file of
// many small chunks costs one system call per buffer, not one per chunk.
class ChunkScanner {
 public:
  ChunkScanner(int fd, uint64_t fileSize) : fd_(fd), fileSize_(fileSize), buffer_(kBytes) {}

  // Copies the 8 bytes at `offset`; false when the file ends first.
  bool ReadHeader(uint64_t offset, uint8_t* out) {
    if (!Holds(offset, 8) && (!Fill(offset) || !Holds(offset, 8))) {
      return false;
    }
    std::memcpy(out, buffer_.data() + (offset - start_), 8);
    return true;
  }

  // The offset of the first byte at or after `offset` that is not zero, or
  // the file size. Holes of a sparse file are stepped over without reading.
  uint64_t NextNonZeroByte(uint64_t offset) {
    while (offset < fileSize_) {
      if (!Holds(offset, 1)) {
        const off_t data = lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
        if (data < 0 && errno == ENXIO) {
          return fileSize_;  // nothing but a hole up to the end
        }
        if (data > static_cast<off_t>(offset)) {
          offset = static_cast<uint64_t>(data);
          continue;
        }
        if (!Fill(offset)) {
          return fileSize_;
        }
      }
      const uint8_t* p = buffer_.data() + (offset - start_);
      const uint8_t* end = buffer_.data() + fill_;
      for (uint64_t word = 0; end - p >= 8; p += 8) {
        std::memcpy(&word, p, 8);
        if (word != 0) {
          break;
        }
      }
      while (p < end && *p == 0) {
        ++p;
      }
      if (p < end) {
        return start_ + static_cast<uint64_t>(p - buffer_.data());
      }
      offset = start_ + fill_;
    }
    return fileSize_;
  }

 private:
  static constexpr uint64_t kBytes = 64 * 1024;
  bool Holds(uint64_t offset, uint64_t count) const {
    return offset >= start_ && offset + count <= start_ + fill_;
  }
  bool Fill(uint64_t offset) {
    start_ = offset;
    fill_ = ReadAt(fd_, buffer_.data(), kBytes, offset);
    return fill_ > 0;
  }

  int fd_;
  uint64_t fileSize_;
  std::vector<uint8_t> buffer_;
  uint64_t start_ = 0;
  uint64_t fill_ = 0;
};

// Looks for the chunk `id` among the chunks that start at `*offset` and end
// before `end`, skipping others with their pad bytes. On success `*offset` is
// the chunk's first data byte and `*size` its size.
bool FindChunk(ChunkScanner& scanner, const char* id, uint64_t end, uint64_t* offset,
               uint32_t* size) {
  static constexpr uint8_t kEmptyChunk[8] = {};
  uint64_t at = *offset;
  while (at + 8 <= end) {
    uint8_t header[8];
    if (!scanner.ReadHeader(at, header)) {
      return false;
    }
    if (std::memcmp(header, kEmptyChunk, 8) == 0) {
      // A run of zeros is a run of empty chunks with a zero id: go straight
      // to the chunk that holds the next byte that is not zero.
      at += (scanner.NextNonZeroByte(at + 8) - at) / 8 * 8;
      continue;
    }
    const uint32_t chunkSize = GetU32(header + 4);
    if (IdIs(header, id)) {
      *offset = at + 8;
      *size = chunkSize;
      return true;
    }
    at += 8 + static_cast<uint64_t>(chunkSize) + (chunkSize & 1);
  }
  return false;
}

bool IsUsableFormat(const WaveFormat& f) {
  return f.formatTag == kWaveFormatPcm && (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
         (f.channels == 1 || f.channels == 2) && f.samplesPerSec >= kMinWaveRate &&
         f.samplesPerSec <= kMaxWaveRate;
}

// A block at least this large is read straight into the caller's area.
constexpr uint64_t kReadBufferBytes = 64 * 1024;

}  // namespace

WaveFileStatus WaveReader::Refuse(WaveFileStatus status, std::string detail) {
  Close();
  refusalDetail_ = std::move(detail);
  return status;
}

WaveFileStatus WaveReader::Open(const std::string& fileName) {
  Close();
  format_ = WaveFormat{};
  total_ = 0;
  refusalDetail_.clear();
  fd_ = riff::OpenForReading(fileName);
  if (!fd_.IsOpen()) {
    return Refuse(WaveFileStatus::kCannotRead, riff::SystemErrorText(errno));
  }
  const int fd = fd_.Get();
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    return Refuse(WaveFileStatus::kCannotRead, riff::SystemErrorText(errno));
  }
  if (!S_ISREG(info.st_mode)) {
    return Refuse(WaveFileStatus::kCannotRead, "not a regular file");
  }
  const auto fileSize = static_cast<uint64_t>(info.st_size);

  // The first chunk: its header, and the form type when it is a RIFF chunk.
  uint8_t riff[12];
  if (ReadAt(fd, riff, 8, 0) != 8) {
    return Refuse(WaveFileStatus::kCannotRead);
  }
  if (IdIs(riff, "RIFF") && ReadAt(fd, riff + 8, 4, 8) != 4) {
    return Refuse(WaveFileStatus::kCannotRead);
  }
  if (!IdIs(riff, "RIFF") || !IdIs(riff + 8, "WAVE")) {
    return Refuse(WaveFileStatus::kBadWaveFormat);
  }
  const uint64_t riffEnd = 8 + static_cast<uint64_t>(GetU32(riff + 4));

  ChunkScanner scanner(fd, fileSize);
  uint64_t offset = 12;
  uint32_t formatSize = 0;
  if (!FindChunk(scanner, "fmt ", riffEnd, &offset, &formatSize)) {
    return Refuse(WaveFileStatus::kBadRiffFormat);
  }
  // The record is read as 18 bytes from the chunk's start. A chunk too short
  // to hold the fields up to the bit depth is malformed.
  uint8_t record[kWaveFormatBytes];
  if (formatSize < 16 || ReadAt(fd, record, kWaveFormatBytes, offset) != kWaveFormatBytes) {
    return Refuse(WaveFileStatus::kBadRiffFormat);
  }
  WaveFormat format = riff::DecodeFormat(record);
  if (formatSize < kWaveFormatBytes) {
    format.extraSize = 0;  // those two bytes belong to the next chunk
  }
  if (!IsUsableFormat(format)) {
    return Refuse(WaveFileStatus::kUnsupportedFormat);
  }
  offset += static_cast<uint64_t>(formatSize) + (formatSize & 1);

  uint32_t dataSize = 0;
  if (!FindChunk(scanner, "data", riffEnd, &offset, &dataSize)) {
    return Refuse(WaveFileStatus::kNoDataChunk);
  }
  if (dataSize == kWaveUnknownDataSize) {
    // Written by a stream that did not know its length: the data runs to the
    // end of the file, of which the whole frames are taken.
    const uint64_t frameBytes = (format.bitsPerSample / 8u) * format.channels;
    const uint64_t available =
        std::min<uint64_t>(fileSize > offset ? fileSize - offset : 0, kWaveUnknownDataSize);
    dataSize = static_cast<uint32_t>(available - available % frameBytes);
  }
  if (dataSize == 0) {
    return Refuse(WaveFileStatus::kNoWaveData);
  }

  format_ = format;
  total_ = dataSize;
  remaining_ = dataSize;
  position_ = offset;
  buffer_.resize(kReadBufferBytes);
  bufferFill_ = 0;
  return WaveFileStatus::kDone;
}

WaveFileStatus WaveReader::Read(WaveBlock* block) {
  if (remaining_ == 0 || !fd_.IsOpen()) {
    return WaveFileStatus::kNoData;
  }
  if (blockBytes_ == 0) {
    // A reader without a block length cannot read anything safely.
    readFailure_ = "no block length";
    Close();
    return WaveFileStatus::kReadError;
  }
  if (remaining_ > blockBytes_) {
    block->bufferLength = blockBytes_;
  } else {
    // The last block: whatever the file does not fill stays silent.
    block->bufferLength = remaining_;
    std::memset(block->data, format_.bitsPerSample == 8 ? 0x80 : 0, blockBytes_);
  }
  errno = 0;
  if (ReadSampleBytes(block->data, block->bufferLength) != block->bufferLength) {
    readFailure_ = errno != 0 ? riff::SystemErrorText(errno) : "the file ends before its data does";
    Close();
    return WaveFileStatus::kReadError;
  }
  remaining_ -= block->bufferLength;
  return WaveFileStatus::kDone;
}

void WaveReader::Close() {
  fd_.Close();
  remaining_ = 0;
  std::vector<uint8_t>().swap(buffer_);
  bufferFill_ = 0;
}

uint64_t WaveReader::ReadSampleBytes(uint8_t* out, uint64_t count) {
  uint64_t done = 0;
  while (done < count) {
    const bool buffered = position_ >= bufferStart_ && position_ < bufferStart_ + bufferFill_;
    if (!buffered) {
      if (count - done >= kReadBufferBytes) {
        const uint64_t got = ReadAt(fd_.Get(), out + done, count - done, position_);
        position_ += got;
        return done + got;
      }
      bufferStart_ = position_;
      bufferFill_ = ReadAt(fd_.Get(), buffer_.data(), buffer_.size(), position_);
      if (bufferFill_ == 0) {
        break;
      }
    }
    const uint64_t offset = position_ - bufferStart_;
    const uint64_t n = std::min(count - done, bufferFill_ - offset);
    std::memcpy(out + done, buffer_.data() + offset, n);
    done += n;
    position_ += n;
  }
  return done;
}
