#pragma once
// Building WAV files byte for byte (well-formed or deliberately broken) and
// taking written ones apart again with a strict, independent parser.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/wave_file.h"

namespace test_support {

using Bytes = std::vector<uint8_t>;

// A PCM format record with consistent block align and byte rate.
WaveFormat PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits);

// The body of a "fmt " chunk: the record's first `size` bytes (16 or 18),
// padded with zeros if `size` is larger.
Bytes FormatChunkBody(const WaveFormat& format, uint32_t size = 16);

// One chunk of a RIFF file. An odd body gets its pad byte unless `pad` is
// false; `sizeField` overrides the size written in the chunk header.
struct RiffChunk {
  RiffChunk(std::string chunkId, Bytes chunkBody, std::optional<uint32_t> size = std::nullopt,
            bool padded = true)
      : id(std::move(chunkId)), body(std::move(chunkBody)), sizeField(size), pad(padded) {}
  std::string id;  // 4 characters
  Bytes body;
  std::optional<uint32_t> sizeField;
  bool pad = true;
};

// "RIFF" <size> <form> followed by the chunks; `riffSize` overrides the
// computed size (file length - 8).
Bytes BuildRiff(const std::vector<RiffChunk>& chunks, const std::string& form = "WAVE",
                std::optional<uint32_t> riffSize = std::nullopt);

// The canonical file: a 16-byte "fmt " chunk and a "data" chunk.
Bytes BuildWave(const WaveFormat& format, const Bytes& data);

// Little-endian 16-bit samples and back.
Bytes SampleBytes(const std::vector<int16_t>& samples);
std::vector<int16_t> SamplesFromBytes(const Bytes& bytes);

void WriteFileBytes(const std::string& path, const Bytes& bytes);
Bytes ReadFileBytes(const std::string& path);

// A WAV file taken apart. `problem` is empty when the file is valid: the RIFF
// size matches the file length, every chunk (with its pad byte) lies inside
// the file, and both a format and a data chunk are present.
struct ParsedWave {
  std::string problem;
  uint32_t riffSize = 0;
  uint32_t formatChunkSize = 0;
  WaveFormat format;  // the first 16 bytes, plus the extra size if present
  Bytes data;
  std::vector<std::string> chunkIds;  // in file order
  uint64_t fileSize = 0;
};
ParsedWave ParseWave(const Bytes& file);

}  // namespace test_support
