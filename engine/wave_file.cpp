#include "engine/wave_file.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>

#include "engine/riff_io.h"

namespace msg = wave_messages;

const char* WaveFileMessage(WaveFileStatus status) {
  switch (status) {
    case WaveFileStatus::kCannotRead:
      return msg::kCannotReadFile;
    case WaveFileStatus::kBadWaveFormat:
      return msg::kBadWaveFormat;
    case WaveFileStatus::kBadRiffFormat:
      return msg::kBadRiffFormat;
    case WaveFileStatus::kUnsupportedFormat:
      return msg::kUnsupportedFormat;
    case WaveFileStatus::kNoDataChunk:
      return msg::kNoDataChunk;
    case WaveFileStatus::kNoWaveData:
      return msg::kNoWaveData;
    case WaveFileStatus::kCannotOpen:
      return msg::kErrorOpeningFile;
    case WaveFileStatus::kCannotCreateRiff:
      return msg::kCannotCreateRiff;
    case WaveFileStatus::kCannotCreateFormat:
      return msg::kCannotCreateFormat;
    case WaveFileStatus::kCannotWriteFormat:
      return msg::kCannotWriteFormat;
    case WaveFileStatus::kCannotCreateData:
      return msg::kCannotCreateData;
    case WaveFileStatus::kCannotFinishHeader:
      return msg::kCannotFlushHeader;
    case WaveFileStatus::kCannotFinishData:
      return msg::kCannotFinishData;
    case WaveFileStatus::kCannotFinishRiff:
      return msg::kCannotFinishRiff;
    case WaveFileStatus::kDone:
    case WaveFileStatus::kNoData:
    case WaveFileStatus::kReadError:
    case WaveFileStatus::kCannotCreate:
    case WaveFileStatus::kWriteFailed:
      break;
  }
  return nullptr;
}

int32_t ReadWaveFile(WaveReader& reader, int32_t op, const std::string& fileName, WaveBlock* block,
                     Notifier& notifier) {
  switch (op) {
    case kWaveOpen: {
      const WaveFileStatus status = reader.Open(fileName);
      if (status == WaveFileStatus::kDone) {
        return kWaveDone;
      }
      notifier.ShowMessage(WaveFileMessage(status), FileDetail(fileName, reader.RefusalDetail()));
      return kWaveFailed;
    }
    case kWaveTransfer:
      switch (reader.Read(block)) {
        case WaveFileStatus::kDone:
          return kWaveDone;
        case WaveFileStatus::kNoData:
          return kWaveNoData;
        default:
          return kWaveFailed;
      }
    case kWaveClose:
      reader.Close();
      return kWaveDone;
    default:
      return kWaveDone;
  }
}

int32_t WriteWaveFile(WaveWriter& writer, int32_t op, const std::string& fileName,
                      const WaveBlock* block, Notifier& notifier) {
  switch (op) {
    case kWaveCreate: {
      const WaveFileStatus status = writer.Create(fileName);
      if (status == WaveFileStatus::kDone) {
        return kWaveDone;
      }
      if (const char* text = WaveFileMessage(status)) {
        notifier.ShowMessage(text, FileErrorDetail(fileName, writer.Error()));
      }
      return kWaveFailed;
    }
    case kWaveTransfer:
      return writer.Write(*block) == WaveFileStatus::kDone ? kWaveDone : kWaveWriteFailed;
    case kWaveClose: {
      const WaveFileStatus status = writer.Close();
      if (status == WaveFileStatus::kDone) {
        return kWaveDone;
      }
      if (status == WaveFileStatus::kWriteFailed) {
        return kWaveWriteFailed;
      }
      notifier.ShowMessage(WaveFileMessage(status), FileErrorDetail(writer.Path(), writer.Error()));
      return kWaveFailed;
    }
    default:
      return kWaveDone;
  }
}

bool ProbeWaveFile(const std::string& fileName, WaveFormat* format, Notifier& notifier) {
  riff::FileDescriptor file = riff::OpenForReading(fileName);
  if (!file.IsOpen()) {
    notifier.ShowMessage(msg::kErrorOpeningFile,
                         FileDetail(fileName, riff::SystemErrorText(errno)));
    return false;
  }
  auto refuse = [&](WaveFileStatus status, const std::string& reason = {}) {
    file.Close();
    notifier.ShowMessage(WaveFileMessage(status), FileDetail(fileName, reason));
    return false;
  };
  const int fd = file.Get();
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return refuse(WaveFileStatus::kCannotOpen, "not a regular file");
  }
  uint8_t header[12 + 8 + kWaveFormatBytes];
  if (riff::ReadAt(fd, header, 12, 0) != 12 || !riff::IdIs(header, "RIFF") ||
      !riff::IdIs(header + 8, "WAVE")) {
    return refuse(WaveFileStatus::kBadWaveFormat);
  }
  if (riff::ReadAt(fd, header + 12, 8, 12) != 8 || !riff::IdIs(header + 12, "fmt ")) {
    return refuse(WaveFileStatus::kBadRiffFormat);
  }
  if (riff::ReadAt(fd, header + 20, kWaveFormatBytes, 20) != kWaveFormatBytes) {
    return refuse(WaveFileStatus::kBadRiffFormat);
  }
  *format = riff::DecodeFormat(header + 20);
  if (riff::GetU32(header + 16) < kWaveFormatBytes) {
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

std::string FileDetail(const std::string& path, const std::string& reason) {
  return reason.empty() ? path : path + ": " + reason;
}

std::string FileErrorDetail(const std::string& path, int error) {
  return error == 0 ? std::string() : path + ": " + riff::SystemErrorText(error);
}

std::string WriteErrorDetail(const WaveWriter& writer) {
  return FileErrorDetail(writer.Path(), writer.Error()) + " (" +
         std::to_string(writer.WrittenBytes()) + " bytes of sound kept)";
}
