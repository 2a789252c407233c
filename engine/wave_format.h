#pragma once
// What the WAV reader, writer and probe have in common: the 18-byte format
// record, the block descriptor blocks travel in, and the result every file
// operation comes to.

#include <cstdint>

// The 18-byte wave format record, field for field as it is stored in a file.
struct WaveFormat {
  uint16_t formatTag = 0;  // 1 = PCM, the only tag the reader accepts
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;  // copied, not validated
  uint16_t blockAlign = 0;      // copied, not validated
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;  // 0 in every record the engine writes
};
inline constexpr uint32_t kWaveFormatBytes = 18;
inline constexpr uint16_t kWaveFormatPcm = 1;

// The PCM record of `channels` x `bitsPerSample` at `sampleRate`: block align
// trunc(bits x channels / 8), bytes per second block align x rate.
inline WaveFormat PcmWaveFormat(int32_t channels, int32_t sampleRate, int32_t bitsPerSample) {
  WaveFormat format;
  format.formatTag = kWaveFormatPcm;
  format.channels = static_cast<uint16_t>(channels);
  format.samplesPerSec = static_cast<uint32_t>(sampleRate);
  format.blockAlign = static_cast<uint16_t>(bitsPerSample * channels / 8);
  format.avgBytesPerSec = format.blockAlign * static_cast<uint32_t>(sampleRate);
  format.bitsPerSample = static_cast<uint16_t>(bitsPerSample);
  return format;
}

// What the reader accepts: anything else is "UnSupported Wave Format!".
inline constexpr uint32_t kMinWaveRate = 1000;
inline constexpr uint32_t kMaxWaveRate = 384000;

// The data size by which streaming writers mark a length they do not know.
inline constexpr uint32_t kWaveUnknownDataSize = 0xFFFFFFFF;

// The first three fields of a wave buffer header, so a device buffer header
// passes to the reader and writer unchanged. `data` must have room for one
// block.
struct WaveBlock {
  uint8_t* data = nullptr;     // reader: destination; writer: source
  uint32_t bufferLength = 0;   // reader out: bytes actually read
  uint32_t bytesRecorded = 0;  // writer in: bytes to write
};

// What a reader, writer or probe operation came to. Each refusal and each
// failure that the user is told about has a value of its own, which
// WaveFileMessage turns into its text.
enum class WaveFileStatus {
  kDone,
  // Reader.
  kNoData,     // nothing left to read; the block is untouched
  kReadError,  // the file ended before its data did, or could not be read
  kCannotRead,
  kBadWaveFormat,      // the first chunk is not RIFF/WAVE
  kBadRiffFormat,      // no usable format chunk
  kUnsupportedFormat,  // not 8- or 16-bit PCM, mono or stereo, at a usable rate
  kNoDataChunk,
  kNoWaveData,
  // Probe.
  kCannotOpen,
  // Writer.
  kCannotCreate,  // the file itself could not be made (the caller reports it)
  kCannotCreateRiff,
  kCannotCreateFormat,
  kCannotWriteFormat,
  kCannotCreateData,
  kCannotFinishHeader,
  kWriteFailed,  // blocks did not reach the file, which keeps what was written before
  kCannotFinishData,
  kCannotFinishRiff,
};
