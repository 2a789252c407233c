#include "engine/wave_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

namespace msg = wave_messages;

// Header offsets of the layout the writer produces.
constexpr uint32_t kRiffSizeOffset = 4;
constexpr uint32_t kDataSizeOffset = 42;
constexpr uint32_t kHeaderBytes = 46;
// RIFF size = "WAVE" + fmt chunk (8 + 18) + data chunk header (8) + data + pad.
constexpr uint64_t kRiffOverhead = 4 + 8 + kWaveFormatBytes + 8;
constexpr uint64_t kMaxRiffSize = 0xFFFFFFFFull;

uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}
bool IdIs(const uint8_t* p, const char* id) {
  return std::memcmp(p, id, 4) == 0;
}

WaveFormat DecodeFormat(const uint8_t* p) {
  WaveFormat f;
  f.formatTag = GetU16(p);
  f.channels = GetU16(p + 2);
  f.samplesPerSec = GetU32(p + 4);
  f.avgBytesPerSec = GetU32(p + 8);
  f.blockAlign = GetU16(p + 12);
  f.bitsPerSample = GetU16(p + 14);
  f.extraSize = GetU16(p + 16);
  return f;
}

void EncodeFormat(const WaveFormat& f, uint8_t* p) {
  PutU16(p, f.formatTag);
  PutU16(p + 2, f.channels);
  PutU32(p + 4, f.samplesPerSec);
  PutU32(p + 8, f.avgBytesPerSec);
  PutU16(p + 12, f.blockAlign);
  PutU16(p + 14, f.bitsPerSample);
  PutU16(p + 16, f.extraSize);
}

// Reads up to `count` bytes at `offset`; fewer only at the end of the file or
// on an error.
uint64_t ReadAt(int fd, void* buffer, uint64_t count, uint64_t offset) {
  auto* out = static_cast<uint8_t*>(buffer);
  uint64_t done = 0;
  while (done < count) {
    const ssize_t got = pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    done += static_cast<uint64_t>(got);
  }
  return done;
}

// Writes all `count` bytes at `offset`, or reports failure.
bool WriteAt(int fd, const void* buffer, uint64_t count, uint64_t offset) {
  const auto* in = static_cast<const uint8_t*>(buffer);
  uint64_t done = 0;
  while (done < count) {
    const ssize_t put = pwrite(fd, in + done, count - done, static_cast<off_t>(offset + done));
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      return false;
    }
    done += static_cast<uint64_t>(put);
  }
  return true;
}

void CloseFile(int& fd) {
  if (fd >= 0) {
    close(fd);
    fd = -1;
  }
}

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

// The reader reads sample data through a buffer of its own, so that small
// blocks do not each cost a system call; a block at least as large as the
// buffer is read straight into the caller's area.
constexpr uint64_t kReadBufferBytes = 64 * 1024;

struct Reader {
  int fd = -1;
  uint64_t position = 0;  // next sample byte
  std::vector<uint8_t> buffer;
  uint64_t bufferStart = 0;  // file offset of buffer[0]
  uint64_t bufferFill = 0;   // valid bytes in the buffer
};

struct Writer {
  int fd = -1;
  std::string path;
  bool created = false;         // the file did not exist before this writer made it
  uint64_t dataBytes = 0;       // data bytes written by successful block writes
  uint64_t sizedBytes = 0;      // the data size the header holds
  uint64_t bytesPerSecond = 1;  // how often the header is brought up to date
};

Reader reader;
Writer writer;

void CloseReader() {
  CloseFile(reader.fd);
  std::vector<uint8_t>().swap(reader.buffer);
  reader.bufferFill = 0;
}

// Reads `count` sample bytes from the reader's position; fewer only at the
// end of the file or on an error.
uint64_t ReadSampleBytes(uint8_t* out, uint64_t count) {
  uint64_t done = 0;
  while (done < count) {
    const bool buffered = reader.position >= reader.bufferStart &&
                          reader.position < reader.bufferStart + reader.bufferFill;
    if (!buffered) {
      if (count - done >= kReadBufferBytes) {
        const uint64_t got = ReadAt(reader.fd, out + done, count - done, reader.position);
        reader.position += got;
        return done + got;
      }
      reader.bufferStart = reader.position;
      reader.bufferFill =
          ReadAt(reader.fd, reader.buffer.data(), reader.buffer.size(), reader.position);
      if (reader.bufferFill == 0) {
        break;
      }
    }
    const uint64_t offset = reader.position - reader.bufferStart;
    const uint64_t n = std::min(count - done, reader.bufferFill - offset);
    std::memcpy(out + done, reader.buffer.data() + offset, n);
    done += n;
    reader.position += n;
  }
  return done;
}

int32_t OpenReader(const std::string& fileName, Notifier& notifier) {
  CloseReader();
  WaveFileState& state = WaveFiles();
  state.remaining = 0;
  state.total = 0;

  // Without O_NONBLOCK a FIFO would block here until a writer comes.
  reader.fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (reader.fd < 0) {
    notifier.ShowMessage(msg::kCannotReadFile, std::strerror(errno));
    return kWaveFailed;
  }
  auto refuse = [&notifier](const char* text, const std::string& detail = {}) {
    CloseReader();
    notifier.ShowMessage(text, detail);
    return kWaveFailed;
  };
  struct stat info {};
  if (fstat(reader.fd, &info) != 0) {
    return refuse(msg::kCannotReadFile, std::strerror(errno));
  }
  if (!S_ISREG(info.st_mode)) {
    return refuse(msg::kCannotReadFile, "not a regular file");
  }
  const auto fileSize = static_cast<uint64_t>(info.st_size);

  // The first chunk: its header, and the form type when it is a RIFF chunk.
  uint8_t riff[12];
  if (ReadAt(reader.fd, riff, 8, 0) != 8) {
    return refuse(msg::kCannotReadFile);
  }
  if (IdIs(riff, "RIFF") && ReadAt(reader.fd, riff + 8, 4, 8) != 4) {
    return refuse(msg::kCannotReadFile);
  }
  if (!IdIs(riff, "RIFF") || !IdIs(riff + 8, "WAVE")) {
    return refuse(msg::kBadWaveFormat);
  }
  const uint64_t riffEnd = 8 + static_cast<uint64_t>(GetU32(riff + 4));

  ChunkScanner scanner(reader.fd, fileSize);
  uint64_t offset = 12;
  uint32_t formatSize = 0;
  if (!FindChunk(scanner, "fmt ", riffEnd, &offset, &formatSize)) {
    return refuse(msg::kBadRiffFormat);
  }
  // The record is read as 18 bytes from the chunk's start. A chunk too short
  // to hold the fields up to the bit depth is malformed.
  uint8_t record[kWaveFormatBytes];
  if (formatSize < 16 || ReadAt(reader.fd, record, kWaveFormatBytes, offset) != kWaveFormatBytes) {
    return refuse(msg::kBadRiffFormat);
  }
  WaveFormat format = DecodeFormat(record);
  if (formatSize < kWaveFormatBytes) {
    format.extraSize = 0;  // those two bytes belong to the next chunk
  }
  if (!IsUsableFormat(format)) {
    return refuse(msg::kUnsupportedFormat);
  }
  offset += static_cast<uint64_t>(formatSize) + (formatSize & 1);

  uint32_t dataSize = 0;
  if (!FindChunk(scanner, "data", riffEnd, &offset, &dataSize)) {
    return refuse(msg::kNoDataChunk);
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
    return refuse(msg::kNoWaveData);
  }

  reader.position = offset;
  reader.buffer.resize(kReadBufferBytes);
  reader.bufferFill = 0;
  state.inputFormat = format;
  state.remaining = dataSize;
  state.total = dataSize;
  state.outputFormat = format;
  state.outputFormat.extraSize = 0;
  return kWaveDone;
}

int32_t ReadBlock(WaveBlock* block) {
  WaveFileState& state = WaveFiles();
  if (state.remaining == 0 || reader.fd < 0) {
    return kWaveNoData;
  }
  if (state.blockLength == 0) {
    // No block length was set: nothing can be read safely.
    CloseReader();
    state.remaining = 0;
    return kWaveFailed;
  }
  if (state.remaining > state.blockLength) {
    block->bufferLength = state.blockLength;
  } else {
    // The last block: whatever the file does not fill stays silent.
    block->bufferLength = state.remaining;
    std::memset(block->data, state.bitsPerSample == 8 ? 0x80 : 0, state.blockLength);
  }
  if (ReadSampleBytes(block->data, block->bufferLength) != block->bufferLength) {
    CloseReader();
    state.remaining = 0;
    return kWaveFailed;
  }
  state.remaining -= block->bufferLength;
  return kWaveDone;
}

// Opens the output for writing without truncating a file that is there;
// creates it when it is not. -1 with errno set on failure.
int OpenOutput(const std::string& fileName, bool* created) {
  // O_NONBLOCK: opening a FIFO nobody reads fails instead of blocking.
  constexpr int kFlags = O_WRONLY | O_CLOEXEC | O_NONBLOCK;
  *created = false;
  int fd = open(fileName.c_str(), kFlags);
  if (fd < 0 && errno == ENOENT) {
    fd = open(fileName.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
    *created = fd >= 0;
    if (fd < 0 && errno == EEXIST) {
      // Made by someone else meanwhile, or a link to a file yet to be made.
      fd = open(fileName.c_str(), kFlags | O_CREAT, 0666);
    }
  }
  if (fd >= 0) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  return fd;
}

// Ends a writer that could not be made or finished: closes it and removes
// the file if this writer created it.
void AbandonWriter(int error) {
  CloseFile(writer.fd);
  if (writer.created) {
    unlink(writer.path.c_str());
  }
  WaveFiles().outputError = error;
}

// Writes the data size and the RIFF size for `dataBytes` of data followed by
// `pad` pad bytes; 0, or the piece that failed.
const char* WriteSizes(uint64_t dataBytes, uint64_t pad) {
  uint8_t size[4];
  PutU32(size, static_cast<uint32_t>(dataBytes));
  if (!WriteAt(writer.fd, size, 4, kDataSizeOffset)) {
    return msg::kCannotFinishData;
  }
  PutU32(size, static_cast<uint32_t>(kRiffOverhead + dataBytes + pad));
  if (!WriteAt(writer.fd, size, 4, kRiffSizeOffset)) {
    return msg::kCannotFinishRiff;
  }
  writer.sizedBytes = dataBytes;
  return nullptr;
}

int32_t CreateWriter(const std::string& fileName, Notifier& notifier) {
  CloseFile(writer.fd);
  WaveFileState& state = WaveFiles();
  state.outputError = 0;
  writer.path = fileName;
  writer.dataBytes = 0;
  writer.sizedBytes = 0;
  const WaveFormat& format = state.outputFormat;
  writer.bytesPerSecond = std::max<uint64_t>(
      1, uint64_t{format.samplesPerSec} * format.channels * (format.bitsPerSample / 8u));
  writer.fd = OpenOutput(fileName, &writer.created);
  if (writer.fd < 0) {
    state.outputError = errno;
    return kWaveFailed;  // the caller reports it
  }
  auto fail = [&notifier](const char* text) {
    AbandonWriter(errno);
    notifier.ShowMessage(text);
    return kWaveFailed;
  };
  struct stat info {};
  if (fstat(writer.fd, &info) != 0) {
    return fail(msg::kCannotCreateRiff);
  }
  const bool truncate = !writer.created && S_ISREG(info.st_mode);
  // A file that is there keeps every byte until the whole header is sure to
  // fit: the space is taken first, where the file system can tell.
  if (truncate && info.st_size < static_cast<off_t>(kHeaderBytes)) {
    const int reserved = posix_fallocate(writer.fd, 0, kHeaderBytes);
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
      errno = reserved;
      return fail(msg::kCannotCreateRiff);
    }
  }

  // Each piece of the header is written on its own, in file order, so a
  // failure names the piece that could not be written.
  uint8_t riff[12];
  std::memcpy(riff, "RIFF", 4);
  PutU32(riff + 4, static_cast<uint32_t>(kRiffOverhead));
  std::memcpy(riff + 8, "WAVE", 4);
  if (!WriteAt(writer.fd, riff, sizeof riff, 0)) {
    return fail(msg::kCannotCreateRiff);
  }
  uint8_t formatHeader[8];
  std::memcpy(formatHeader, "fmt ", 4);
  PutU32(formatHeader + 4, kWaveFormatBytes);
  if (!WriteAt(writer.fd, formatHeader, sizeof formatHeader, 12)) {
    return fail(msg::kCannotCreateFormat);
  }
  WaveFormat written = format;
  written.extraSize = 0;
  uint8_t record[kWaveFormatBytes];
  EncodeFormat(written, record);
  if (!WriteAt(writer.fd, record, sizeof record, 20)) {
    return fail(msg::kCannotWriteFormat);
  }
  uint8_t dataHeader[8];
  std::memcpy(dataHeader, "data", 4);
  PutU32(dataHeader + 4, 0);
  if (!WriteAt(writer.fd, dataHeader, sizeof dataHeader, 38)) {
    return fail(msg::kCannotCreateData);
  }
  if (truncate && ftruncate(writer.fd, kHeaderBytes) != 0) {
    return fail(msg::kCannotFlushHeader);
  }
  return kWaveDone;
}

int32_t WriteBlock(const WaveBlock* block) {
  WaveFileState& state = WaveFiles();
  const uint64_t end = kHeaderBytes + writer.dataBytes;
  if (writer.fd < 0 || !WaveBlockFits(writer.dataBytes, block->bytesRecorded)) {
    state.outputError = writer.fd < 0 ? EBADF : EFBIG;  // the RIFF size cannot pass 4 GiB
    state.writeFailed = 1;
    return kWaveWriteFailed;
  }
  errno = 0;
  if (!WriteAt(writer.fd, block->data, block->bytesRecorded, end)) {
    state.outputError = errno != 0 ? errno : ENOSPC;
    // Back to the state after the last good block: no partial block stays.
    // Should that fail too, the sizes patched at close still cover only the
    // good blocks.
    [[maybe_unused]] const int ignored = ftruncate(writer.fd, static_cast<off_t>(end));
    state.writeFailed = 1;
    return kWaveWriteFailed;
  }
  writer.dataBytes += block->bytesRecorded;
  if (writer.dataBytes - writer.sizedBytes >= writer.bytesPerSecond) {
    // Up to date once per second of audio; a failure here is left to the
    // close, which writes the same two fields.
    WriteSizes(writer.dataBytes, 0);
  }
  return kWaveDone;
}

int32_t CloseWriter(Notifier& notifier) {
  if (writer.fd < 0) {
    return kWaveDone;
  }
  WaveFileState& state = WaveFiles();
  // The sizes are patched even when the pad byte cannot be written; the RIFF
  // size then ends with the data, as the file does.
  const char* failure = nullptr;
  int error = 0;
  uint64_t pad = writer.dataBytes & 1;
  const uint8_t zero = 0;
  if (pad && !WriteAt(writer.fd, &zero, 1, kHeaderBytes + writer.dataBytes)) {
    failure = msg::kCannotFinishData;
    error = errno;
    pad = 0;
  }
  if (const char* sizes = WriteSizes(writer.dataBytes, pad)) {
    failure = sizes;
    error = errno;
    AbandonWriter(error);
  } else {
    CloseFile(writer.fd);
    state.outputError = error;
  }
  writer.dataBytes = 0;
  if (failure) {
    notifier.ShowMessage(failure, FileErrorDetail(writer.path, error));
    return kWaveFailed;
  }
  return kWaveDone;
}

}  // namespace

WaveFileState& WaveFiles() {
  static WaveFileState state;
  return state;
}

int32_t ReadWaveFile(int32_t op, const std::string& fileName, WaveBlock* block,
                     Notifier& notifier) {
  switch (op) {
    case kWaveOpen:
      return OpenReader(fileName, notifier);
    case kWaveTransfer:
      return ReadBlock(block);
    case kWaveClose:
      CloseReader();
      return kWaveDone;
    default:
      return kWaveDone;
  }
}

int32_t WriteWaveFile(int32_t op, const std::string& fileName, const WaveBlock* block,
                      Notifier& notifier) {
  switch (op) {
    case kWaveCreate:
      return CreateWriter(fileName, notifier);
    case kWaveTransfer:
      return WriteBlock(block);
    case kWaveClose:
      return CloseWriter(notifier);
    default:
      return kWaveDone;
  }
}

bool ProbeWaveFile(const std::string& fileName, WaveFormat* format, Notifier& notifier) {
  int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    notifier.ShowMessage(msg::kErrorOpeningFile, std::strerror(errno));
    return false;
  }
  auto refuse = [&](const char* text, const std::string& detail = {}) {
    CloseFile(fd);
    notifier.ShowMessage(text, detail);
    return false;
  };
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return refuse(msg::kErrorOpeningFile, "not a regular file");
  }
  uint8_t header[12 + 8 + kWaveFormatBytes];
  if (ReadAt(fd, header, 12, 0) != 12 || !IdIs(header, "RIFF") || !IdIs(header + 8, "WAVE")) {
    return refuse(msg::kBadWaveFormat);
  }
  if (ReadAt(fd, header + 12, 8, 12) != 8 || !IdIs(header + 12, "fmt ")) {
    return refuse(msg::kBadRiffFormat);
  }
  if (ReadAt(fd, header + 20, kWaveFormatBytes, 20) != kWaveFormatBytes) {
    return refuse(msg::kBadRiffFormat);
  }
  CloseFile(fd);
  *format = DecodeFormat(header + 20);
  if (GetU32(header + 16) < kWaveFormatBytes) {
    format->extraSize = 0;  // those bytes belong to the next chunk
  }
  return true;
}

uint64_t DiskFreeBytes(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string folder = ".";
  if (slash == 0) {
    folder = "/";
  } else if (slash != std::string::npos) {
    folder = path.substr(0, slash);
  }
  struct statvfs info {};
  if (statvfs(folder.c_str(), &info) != 0) {
    return 0;
  }
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

bool WaveBlockFits(uint64_t dataBytes, uint64_t blockBytes) {
  const uint64_t data = dataBytes + blockBytes;
  return kRiffOverhead + data + (data & 1) <= kMaxRiffSize;
}

std::string FileErrorDetail(const std::string& path, int error) {
  return error == 0 ? std::string() : path + ": " + std::strerror(error);
}
