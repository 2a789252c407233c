#include "tests/support/wave_builder.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace test_support {

namespace {

void AppendU16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendU32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
}

void AppendId(Bytes& out, const std::string& id) {
  if (id.size() != 4) {
    throw std::invalid_argument("chunk ids have 4 characters");
  }
  out.insert(out.end(), id.begin(), id.end());
}

uint16_t U16(const Bytes& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t U32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace

WaveFormat PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
  WaveFormat format;
  format.formatTag = 1;
  format.channels = channels;
  format.samplesPerSec = rate;
  format.blockAlign = static_cast<uint16_t>(channels * bits / 8);
  format.avgBytesPerSec = rate * format.blockAlign;
  format.bitsPerSample = bits;
  format.extraSize = 0;
  return format;
}

Bytes FormatChunkBody(const WaveFormat& format, uint32_t size) {
  Bytes body;
  AppendU16(body, format.formatTag);
  AppendU16(body, format.channels);
  AppendU32(body, format.samplesPerSec);
  AppendU32(body, format.avgBytesPerSec);
  AppendU16(body, format.blockAlign);
  AppendU16(body, format.bitsPerSample);
  AppendU16(body, format.extraSize);
  body.resize(size, 0);
  return body;
}

Bytes BuildRiff(const std::vector<RiffChunk>& chunks, const std::string& form,
                std::optional<uint32_t> riffSize) {
  Bytes file;
  AppendId(file, "RIFF");
  AppendU32(file, 0);
  AppendId(file, form);
  for (const RiffChunk& chunk : chunks) {
    AppendId(file, chunk.id);
    AppendU32(file, chunk.sizeField.value_or(static_cast<uint32_t>(chunk.body.size())));
    file.insert(file.end(), chunk.body.begin(), chunk.body.end());
    if (chunk.pad && chunk.body.size() % 2 == 1) {
      file.push_back(0);
    }
  }
  const uint32_t size = riffSize.value_or(static_cast<uint32_t>(file.size() - 8));
  std::memcpy(file.data() + 4, &size, 4);  // little-endian host
  return file;
}

Bytes BuildWave(const WaveFormat& format, const Bytes& data) {
  return BuildRiff({{"fmt ", FormatChunkBody(format, 16)}, {"data", data}});
}

Bytes SampleBytes(const std::vector<int16_t>& samples) {
  Bytes bytes;
  bytes.reserve(samples.size() * 2);
  for (const int16_t s : samples) {
    AppendU16(bytes, static_cast<uint16_t>(s));
  }
  return bytes;
}

std::vector<int16_t> SamplesFromBytes(const Bytes& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(U16(bytes, 2 * i));
  }
  return samples;
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ParsedWave ParseWave(const Bytes& file) {
  ParsedWave parsed;
  parsed.fileSize = file.size();
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
    parsed.problem = "not RIFF/WAVE";
    return parsed;
  }
  parsed.riffSize = U32(file, 4);
  if (parsed.riffSize != file.size() - 8) {
    parsed.problem = "RIFF size " + std::to_string(parsed.riffSize) + " for a file of " +
                     std::to_string(file.size()) + " bytes";
    return parsed;
  }
  bool haveFormat = false;
  bool haveData = false;
  size_t at = 12;
  while (at < file.size()) {
    if (at + 8 > file.size()) {
      parsed.problem = "truncated chunk header";
      return parsed;
    }
    const std::string id(file.begin() + static_cast<std::ptrdiff_t>(at),
                         file.begin() + static_cast<std::ptrdiff_t>(at + 4));
    const uint32_t size = U32(file, at + 4);
    const size_t body = at + 8;
    const size_t end = body + size + (size & 1);
    if (end > file.size()) {
      parsed.problem = "chunk \"" + id + "\" runs past the end of the file";
      return parsed;
    }
    parsed.chunkIds.push_back(id);
    if (id == "fmt " && size >= 16) {
      haveFormat = true;
      parsed.formatChunkSize = size;
      parsed.format.formatTag = U16(file, body);
      parsed.format.channels = U16(file, body + 2);
      parsed.format.samplesPerSec = U32(file, body + 4);
      parsed.format.avgBytesPerSec = U32(file, body + 8);
      parsed.format.blockAlign = U16(file, body + 12);
      parsed.format.bitsPerSample = U16(file, body + 14);
      parsed.format.extraSize = size >= 18 ? U16(file, body + 16) : 0;
    } else if (id == "data") {
      haveData = true;
      parsed.data.assign(file.begin() + static_cast<std::ptrdiff_t>(body),
                         file.begin() + static_cast<std::ptrdiff_t>(body + size));
      if ((size & 1) && file[body + size] != 0) {
        parsed.problem = "pad byte is not 0";
        return parsed;
      }
    }
    at = end;
  }
  if (!haveFormat || !haveData) {
    parsed.problem = "format or data chunk missing";
  }
  return parsed;
}

}  // namespace test_support
