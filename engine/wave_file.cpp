#include "engine/wave_file.h"

#include <fcntl.h>
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

// Looks for the chunk `id` among the chunks that start at `*offset` and end
// before `end`, skipping others with their pad bytes. On success `*offset` is
// the chunk's first data byte and `*size` its size.
bool FindChunk(int fd, const char* id, uint64_t end, uint64_t* offset, uint32_t* size) {
  uint64_t at = *offset;
  while (at + 8 <= end) {
    uint8_t header[8];
    if (ReadAt(fd, header, 8, at) != 8) {
      return false;
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
  uint64_t dataBytes = 0;  // data bytes written by successful block writes
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

  reader.fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (reader.fd < 0) {
    notifier.ShowMessage(msg::kCannotReadFile);
    return kWaveFailed;
  }
  auto refuse = [&notifier](const char* text) {
    CloseReader();
    notifier.ShowMessage(text);
    return kWaveFailed;
  };

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

  uint64_t offset = 12;
  uint32_t formatSize = 0;
  if (!FindChunk(reader.fd, "fmt ", riffEnd, &offset, &formatSize)) {
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
  if (!FindChunk(reader.fd, "data", riffEnd, &offset, &dataSize)) {
    return refuse(msg::kNoDataChunk);
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

int32_t CreateWriter(const std::string& fileName, Notifier& notifier) {
  CloseFile(writer.fd);
  writer.dataBytes = 0;
  writer.fd = open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (writer.fd < 0) {
    return kWaveFailed;  // the caller reports it
  }
  auto fail = [&notifier](const char* text) {
    CloseFile(writer.fd);
    notifier.ShowMessage(text);
    return kWaveFailed;
  };

  // Each piece of the header is written on its own, in file order, so a
  // failure names the piece that could not be written.
  uint8_t riff[12];
  std::memcpy(riff, "RIFF", 4);
  PutU32(riff + 4, 0);
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
  WaveFormat written = WaveFiles().outputFormat;
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
  return kWaveDone;
}

int32_t WriteBlock(const WaveBlock* block) {
  WaveFileState& state = WaveFiles();
  const uint64_t end = kHeaderBytes + writer.dataBytes;
  int error = 0;
  if (writer.fd < 0) {
    error = EBADF;
  } else if (!WaveBlockFits(writer.dataBytes, block->bytesRecorded)) {
    error = EFBIG;  // the RIFF size cannot pass 4 GiB
  } else {
    errno = 0;
    if (!WriteAt(writer.fd, block->data, block->bytesRecorded, end)) {
      error = errno != 0 ? errno : ENOSPC;
    }
  }
  if (error != 0) {
    state.writeError = error;
    // Back to the state after the last good block: no partial block stays.
    // Should that fail too, the sizes patched at close still cover only the
    // good blocks.
    if (writer.fd >= 0) {
      [[maybe_unused]] const int ignored = ftruncate(writer.fd, static_cast<off_t>(end));
    }
    state.writeFailed = 1;
    return kWaveWriteFailed;
  }
  writer.dataBytes += block->bytesRecorded;
  return kWaveDone;
}

int32_t CloseWriter(Notifier& notifier) {
  if (writer.fd < 0) {
    return kWaveDone;
  }
  const uint64_t pad = writer.dataBytes & 1;
  const char* failure = nullptr;
  uint8_t size[4];
  PutU32(size, static_cast<uint32_t>(writer.dataBytes));
  const uint8_t zero = 0;
  if ((pad && !WriteAt(writer.fd, &zero, 1, kHeaderBytes + writer.dataBytes)) ||
      !WriteAt(writer.fd, size, 4, kDataSizeOffset)) {
    failure = msg::kCannotFinishData;
  } else {
    PutU32(size, static_cast<uint32_t>(kRiffOverhead + writer.dataBytes + pad));
    if (!WriteAt(writer.fd, size, 4, kRiffSizeOffset)) {
      failure = msg::kCannotFinishRiff;
    }
  }
  CloseFile(writer.fd);
  writer.dataBytes = 0;
  if (failure) {
    notifier.ShowMessage(failure);
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
  int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    notifier.ShowMessage(msg::kErrorOpeningFile);
    return false;
  }
  auto refuse = [&](const char* text) {
    CloseFile(fd);
    notifier.ShowMessage(text);
    return false;
  };
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
