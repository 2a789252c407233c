#include "engine/wave_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

using riff::PutU32;
using riff::WriteAt;

// Header offsets of the layout the writer produces.
constexpr uint32_t kRiffSizeOffset = 4;
constexpr uint32_t kFormatChunkOffset = 12;
constexpr uint32_t kFormatRecordOffset = 20;
constexpr uint32_t kDataChunkOffset = 38;
constexpr uint32_t kDataSizeOffset = 42;
constexpr uint32_t kHeaderBytes = 46;
// RIFF size = "WAVE" + fmt chunk (8 + 18) + data chunk header (8) + data + pad.
constexpr uint64_t kRiffOverhead = 4 + 8 + kWaveFormatBytes + 8;
constexpr uint64_t kMaxRiffSize = 0xFFFFFFFFull;

// Opens the output for writing without truncating a file that is there;
// creates it when it is not (`*created` then true). Not open, errno set, on
// failure.
riff::FileDescriptor OpenOutputFile(const std::string& fileName, bool* created) {
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
  return riff::FileDescriptor(fd);
}

// A chunk header: its id and its size.
void PutChunkHeader(uint8_t* p, const char* id, uint32_t size) {
  std::memcpy(p, id, 4);
  PutU32(p + 4, size);
}

}  // namespace

WaveWriter::WaveWriter(const WaveFormat& format, uint32_t gatherBytes)
    : format_(format),
      bytesPerSecond_(std::max<uint64_t>(
          1, uint64_t{format.samplesPerSec} * format.channels * (format.bitsPerSample / 8u))),
      gatherBytes_(gatherBytes) {
  format_.extraSize = 0;
  if (gatherBytes_ > 0) {
    gathered_ = std::make_unique_for_overwrite<uint8_t[]>(gatherBytes_);
    gatheredEnds_ = std::make_unique_for_overwrite<uint32_t[]>(kMaxGatheredBlocks);
  }
}

WaveWriter::~WaveWriter() {
  Close();
}

void WaveWriter::Abandon(int error) {
  fd_.Close();
  if (created_) {
    unlink(path_.c_str());
  }
  error_ = error;
}

WaveFileStatus WaveWriter::Create(const std::string& fileName) {
  fd_.Close();
  path_ = fileName;
  fileBytes_ = 0;
  sizedBytes_ = 0;
  gatheredBytes_ = 0;
  gatheredBlocks_ = 0;
  writeFailed_ = false;
  error_ = 0;
  fd_ = OpenOutputFile(fileName, &created_);
  if (!fd_.IsOpen()) {
    error_ = errno;
    return WaveFileStatus::kCannotCreate;
  }
  const int fd = fd_.Get();
  auto fail = [this](WaveFileStatus status) {
    Abandon(errno);
    return status;
  };
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    return fail(WaveFileStatus::kCannotCreateRiff);
  }
  const bool truncate = !created_ && S_ISREG(info.st_mode);
  // A file that is there keeps every byte until the whole header is sure to
  // fit: the space is taken first, where the file system can tell.
  if (truncate && info.st_size < static_cast<off_t>(kHeaderBytes)) {
    const int reserved = posix_fallocate(fd, 0, kHeaderBytes);
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
      errno = reserved;
      return fail(WaveFileStatus::kCannotCreateRiff);
    }
  }

  // Each piece of the header is written on its own, in file order, so a
  // failure names the piece that could not be written.
  uint8_t riffHeader[12];
  PutChunkHeader(riffHeader, "RIFF", static_cast<uint32_t>(kRiffOverhead));
  std::memcpy(riffHeader + 8, "WAVE", 4);
  if (!WriteAt(fd, riffHeader, sizeof riffHeader, 0)) {
    return fail(WaveFileStatus::kCannotCreateRiff);
  }
  uint8_t formatHeader[8];
  PutChunkHeader(formatHeader, "fmt ", kWaveFormatBytes);
  if (!WriteAt(fd, formatHeader, sizeof formatHeader, kFormatChunkOffset)) {
    return fail(WaveFileStatus::kCannotCreateFormat);
  }
  uint8_t record[kWaveFormatBytes];
  riff::EncodeFormat(format_, record);
  if (!WriteAt(fd, record, sizeof record, kFormatRecordOffset)) {
    return fail(WaveFileStatus::kCannotWriteFormat);
  }
  uint8_t dataHeader[8];
  PutChunkHeader(dataHeader, "data", 0);
  if (!WriteAt(fd, dataHeader, sizeof dataHeader, kDataChunkOffset)) {
    return fail(WaveFileStatus::kCannotCreateData);
  }
  if (truncate && ftruncate(fd, kHeaderBytes) != 0) {
    return fail(WaveFileStatus::kCannotFinishHeader);
  }
  return WaveFileStatus::kDone;
}

WaveFileStatus WaveWriter::Write(const WaveBlock& block) {
  if (!fd_.IsOpen() || writeFailed_) {
    if (!writeFailed_) {
      error_ = EBADF;
    }
    writeFailed_ = true;
    return WaveFileStatus::kWriteFailed;
  }
  const uint32_t count = block.bytesRecorded;
  if (!WaveBlockFits(fileBytes_ + gatheredBytes_, count)) {
    error_ = EFBIG;  // the RIFF size cannot pass 4 GiB
    writeFailed_ = true;
    return WaveFileStatus::kWriteFailed;
  }
  if ((gatheredBytes_ + uint64_t{count} > gatherBytes_ || gatheredBlocks_ == kMaxGatheredBlocks) &&
      !WriteGathered()) {
    return WaveFileStatus::kWriteFailed;
  }
  if (count >= gatherBytes_) {
    // Nothing gathered is left before it: straight from the caller's buffer.
    if (!AppendData(block.data, count, {})) {
      return WaveFileStatus::kWriteFailed;
    }
  } else {
    std::memcpy(gathered_.get() + gatheredBytes_, block.data, count);
    gatheredBytes_ += count;
    gatheredEnds_[gatheredBlocks_++] = gatheredBytes_;
  }
  if (fileBytes_ + gatheredBytes_ - sizedBytes_ >= bytesPerSecond_) {
    if (!WriteGathered()) {
      return WaveFileStatus::kWriteFailed;
    }
    // Up to date once per second of audio; a failure here is left to the
    // close, which writes the same two fields.
    WriteSizes(fileBytes_, 0);
  }
  return WaveFileStatus::kDone;
}

bool WaveWriter::WriteGathered() {
  const uint32_t count = std::exchange(gatheredBytes_, 0);
  const uint32_t blocks = std::exchange(gatheredBlocks_, 0);
  return count == 0 || AppendData(gathered_.get(), count, {gatheredEnds_.get(), blocks});
}

bool WaveWriter::AppendData(const uint8_t* bytes, uint64_t count,
                            std::span<const uint32_t> blockEnds) {
  const uint64_t end = kHeaderBytes + fileBytes_;
  errno = 0;
  const uint64_t written = riff::WritePartAt(fd_.Get(), bytes, count, end);
  if (written == count) {
    fileBytes_ += count;
    return true;
  }
  error_ = errno != 0 ? errno : ENOSPC;
  // The whole blocks that reached the file stay; the part of the block that
  // did not fit goes. Should the cut fail, the sizes patched at close still
  // cover only the whole blocks.
  uint64_t kept = 0;
  for (const uint32_t blockEnd : blockEnds) {
    if (blockEnd > written) {
      break;
    }
    kept = blockEnd;
  }
  fileBytes_ += kept;
  [[maybe_unused]] const int ignored = ftruncate(fd_.Get(), static_cast<off_t>(end + kept));
  writeFailed_ = true;
  return false;
}

WaveFileStatus WaveWriter::WriteSizes(uint64_t dataBytes, uint64_t pad) {
  uint8_t size[4];
  PutU32(size, static_cast<uint32_t>(dataBytes));
  if (!WriteAt(fd_.Get(), size, 4, kDataSizeOffset)) {
    return WaveFileStatus::kCannotFinishData;
  }
  PutU32(size, static_cast<uint32_t>(kRiffOverhead + dataBytes + pad));
  if (!WriteAt(fd_.Get(), size, 4, kRiffSizeOffset)) {
    return WaveFileStatus::kCannotFinishRiff;
  }
  sizedBytes_ = dataBytes;
  return WaveFileStatus::kDone;
}

WaveFileStatus WaveWriter::Close() {
  if (!fd_.IsOpen()) {
    return WaveFileStatus::kDone;
  }
  WaveFileStatus result = WaveFileStatus::kDone;
  int error = 0;
  if (!WriteGathered()) {
    result = WaveFileStatus::kWriteFailed;
    error = error_;
  }
  // The sizes are patched even when the pad byte cannot be written; the RIFF
  // size then ends with the data, as the file does.
  uint64_t pad = fileBytes_ & 1;
  const uint8_t zero = 0;
  if (pad && !WriteAt(fd_.Get(), &zero, 1, kHeaderBytes + fileBytes_)) {
    result = WaveFileStatus::kCannotFinishData;
    error = errno;
    pad = 0;
  }
  const WaveFileStatus sizes = WriteSizes(fileBytes_, pad);
  if (sizes != WaveFileStatus::kDone) {
    result = sizes;
    error = errno;
    Abandon(error);
  } else {
    fd_.Close();
    error_ = error;
  }
  return result;
}

bool WaveBlockFits(uint64_t dataBytes, uint64_t blockBytes) {
  const uint64_t data = dataBytes + blockBytes;
  return kRiffOverhead + data + (data & 1) <= kMaxRiffSize;
}
