#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "effects/effect_chain.h"
#include "effects/effect_factory.h"
#include "engine/file_run.h"
#include "engine/wave_file.h"

namespace fuzz_support {
namespace {

// A folder of its own in memory where there is one, removed at exit.
struct Folder {
  Folder() {
    const char* tmp = std::getenv("TMPDIR");
    for (const std::string& base : {std::string("/dev/shm"), std::string(tmp ? tmp : "/tmp")}) {
      std::string pattern = base + "/tonalith-fuzz-XXXXXX";
      if (mkdtemp(pattern.data())) {
        path = pattern;
        break;
      }
    }
    Require(!path.empty(), "a temporary folder");
    input = path + "/in.wav";
    output = path + "/out.wav";
  }
  ~Folder() {
    unlink(input.c_str());
    unlink(output.c_str());
    rmdir(path.c_str());
  }
  std::string path;
  std::string input;
  std::string output;
};

Folder& Files() {
  static Folder folder;
  return folder;
}

void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  Require(fd >= 0, "the input file");
  size_t done = 0;
  while (done < size) {
    const ssize_t put = write(fd, data + done, size - done);
    Require(put > 0, "writing the input file");
    done += static_cast<size_t>(put);
  }
  close(fd);
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    return bytes;
  }
  uint8_t buffer[65536];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  std::fclose(file);
  return bytes;
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

// The writer's fixed layout with sizes that match the file; returns the data size.
uint32_t CheckWrittenWave(const std::vector<uint8_t>& file) {
  Require(file.size() >= 46, "output shorter than its header");
  const uint32_t dataSize = U32(file, 42);
  const uint64_t pad = dataSize & 1;
  Require(file.size() == 46 + uint64_t{dataSize} + pad, "output length and data size differ");
  Require(U32(file, 4) == file.size() - 8, "RIFF size is not the file length - 8");
  static constexpr uint8_t kIds[][4] = {
      {'R', 'I', 'F', 'F'}, {'W', 'A', 'V', 'E'}, {'f', 'm', 't', ' '}, {'d', 'a', 't', 'a'}};
  static constexpr size_t kAt[] = {0, 8, 12, 38};
  for (size_t i = 0; i < 4; ++i) {
    for (size_t k = 0; k < 4; ++k) {
      Require(file[kAt[i] + k] == kIds[i][k], "chunk id");
    }
  }
  Require(U32(file, 16) == 18, "format chunk size");
  return dataSize;
}

}  // namespace

void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}

bool IsOneLine(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      return false;
    }
  }
  return true;
}

void CheckingNotifier::ShowMessage(const std::string& text, const std::string& detail) {
  Require(!text.empty() && IsOneLine(text), "a message is one line");
  Require(IsOneLine(detail), "a detail is one line");
}

void RunWaveFile(const uint8_t* data, size_t size, bool allEffects) {
  static constexpr int32_t kBlocks[] = {128, 256, 512, 1024, 2048, 4096, 8192};
  static constexpr int32_t kEffects[] = {
      kEqualizerEffectId,      kCompressionEffectId,      kDistortionEffectId, kDelayEffectId,
      kEnvelopeFilterEffectId, kFilterModulationEffectId, kChorusEffectId,     kReverbEffectId};
  const Folder& files = Files();
  WriteInput(files.input, data, size);
  unlink(files.output.c_str());

  CheckingNotifier notifier;
  WaveFormat format;
  ProbeWaveFile(files.input, &format, notifier);

  EffectChain left;
  EffectChain right;
  if (allEffects) {
    for (const int32_t type : kEffects) {
      for (EffectChain* chain : {&left, &right}) {
        chain->SetEnabled(chain->Append(type), 1);
      }
    }
  }
  FileRunSettings settings;
  settings.inputFileName = files.input;
  settings.outputFileName = files.output;
  settings.blockBytes = kBlocks[size % 7];
  settings.leftChain = &left;
  settings.rightChain = &right;
  settings.notifier = &notifier;
  const FileRunResult result = ProcessFileToFile(settings);

  struct stat info {};
  const bool written = stat(files.output.c_str(), &info) == 0;
  switch (result) {
    case FileRunResult::kInputRefused:
    case FileRunResult::kOutputRefused:
      Require(!written, "a refused run leaves no output");
      break;
    case FileRunResult::kCompleted: {
      WaveReader input;
      Require(input.Open(files.input) == WaveFileStatus::kDone, "a completed run's input opens");
      Require(CheckWrittenWave(ReadAll(files.output)) == input.Total(),
              "a complete run writes the input's data length");
      break;
    }
    case FileRunResult::kCloseFailed:
      break;  // the file system refused the sizes: not something an input does
    default:
      Require(written, "a run that got going keeps its output");
      CheckWrittenWave(ReadAll(files.output));
      break;
  }
}

}  // namespace fuzz_support
