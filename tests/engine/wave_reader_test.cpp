// The reader: what it accepts, every refusal with its message, and how it
// hands the data out block by block.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/wave_file.h"
#include "tests/support/recorders.h"
#include "tests/support/test_files.h"
#include "tests/support/wave_builder.h"

using namespace test_support;

namespace {

class WaveReaderTest : public ::testing::Test {
 protected:
  // Writes `file` and opens it with a reader of the given block length.
  int32_t Open(const Bytes& file, uint32_t blockBytes = 1024) {
    path = dir.File("in.wav");
    WriteFileBytes(path, file);
    reader = std::make_unique<WaveReader>(blockBytes);
    return ReadWaveFile(*reader, kWaveOpen, path, nullptr, notifier);
  }
  int32_t Read(WaveBlock* block) {
    return ReadWaveFile(*reader, kWaveTransfer, path, block, notifier);
  }

  // Opens `file`, expecting a refusal with exactly `message`.
  void ExpectRefused(const Bytes& file, const std::string& message) {
    notifier.messages.clear();
    EXPECT_EQ(Open(file), kWaveFailed);
    EXPECT_EQ(notifier.messages, std::vector<std::string>{message});
    // Nothing stays open: a transfer finds no data.
    std::vector<uint8_t> buffer(1024);
    WaveBlock block{buffer.data(), 7, 7};
    EXPECT_EQ(Read(&block), kWaveNoData);
    EXPECT_EQ(block.bufferLength, 7u);
    EXPECT_FALSE(reader->IsOpen());
  }

  TempDir dir;
  std::string path;
  RecordingNotifier notifier;
  std::unique_ptr<WaveReader> reader = std::make_unique<WaveReader>();
};

Bytes Counting(size_t n) {
  Bytes data(n);
  for (size_t i = 0; i < n; ++i) {
    data[i] = static_cast<uint8_t>(i * 7 + 3);
  }
  return data;
}

const WaveFormat kStereo16 = PcmFormat(2, 44100, 16);

}  // namespace

TEST_F(WaveReaderTest, OpensACanonicalFileAndTellsItsFormatAndDataSize) {
  ASSERT_EQ(Open(BuildWave(PcmFormat(1, 22050, 8), Counting(100))), kWaveDone);
  EXPECT_TRUE(notifier.messages.empty());
  const WaveFormat& format = reader->Format();
  EXPECT_EQ(format.formatTag, 1);
  EXPECT_EQ(format.channels, 1);
  EXPECT_EQ(format.samplesPerSec, 22050u);
  EXPECT_EQ(format.bitsPerSample, 8);
  EXPECT_EQ(format.blockAlign, 1);
  EXPECT_EQ(format.avgBytesPerSec, 22050u);
  EXPECT_EQ(format.extraSize, 0);  // a 16-byte chunk has none
  EXPECT_EQ(reader->Total(), 100u);
  EXPECT_EQ(reader->Remaining(), 100u);
}

TEST_F(WaveReaderTest, RefusesEveryMalformedFileWithItsMessage) {
  const Bytes fmt = FormatChunkBody(kStereo16);
  const Bytes data = Counting(16);
  ExpectRefused({}, "Cannot read file!");
  ExpectRefused({'R', 'I', 'F', 'F', 4, 0}, "Cannot read file!");
  // A RIFF header without room for its form type.
  ExpectRefused({'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A'}, "Cannot read file!");
  ExpectRefused(BuildRiff({{"fmt ", fmt}, {"data", data}}, "AVI "), "Bad Wave Format!");
  Bytes list = BuildWave(kStereo16, data);
  list[0] = 'L';
  list[1] = 'I';
  list[2] = 'S';
  list[3] = 'T';
  ExpectRefused(list, "Bad Wave Format!");
  ExpectRefused(BuildRiff({{"data", data}}), "Bad Riff Format!");
  ExpectRefused(BuildRiff({{"fmt ", Bytes(14, 0)}, {"data", data}}), "Bad Riff Format!");
  // A format chunk at the very end, whose 18 bytes cannot all be read.
  ExpectRefused(BuildRiff({{"fmt ", fmt}}), "Bad Riff Format!");
  ExpectRefused(BuildRiff({{"fmt ", FormatChunkBody(kStereo16, 18)}}), "Bad Format in Wave file!");
  ExpectRefused(BuildRiff({{"fmt ", fmt}, {"data", {}}}), "No wave data!");
  // The data chunk must follow the format chunk.
  ExpectRefused(BuildRiff({{"data", data}, {"fmt ", fmt}, {"LIST", Bytes(8, 0)}}),
                "Bad Format in Wave file!");
}

TEST_F(WaveReaderTest, RefusesFormatsItCannotProcess) {
  WaveFormat format = kStereo16;
  format.formatTag = 3;  // IEEE float
  ExpectRefused(BuildWave(format, Counting(16)), "UnSupported Wave Format!");
  format.formatTag = 0xFFFE;  // extensible
  ExpectRefused(BuildWave(format, Counting(16)), "UnSupported Wave Format!");
  for (const uint16_t bits : {0, 4, 12, 24, 32, 64}) {
    ExpectRefused(BuildWave(PcmFormat(2, 44100, bits), Counting(16)), "UnSupported Wave Format!");
  }
  for (const uint16_t channels : {0, 3, 6}) {
    ExpectRefused(BuildWave(PcmFormat(channels, 44100, 16), Counting(16)),
                  "UnSupported Wave Format!");
  }
  for (const uint32_t rate : {0u, 999u, 384001u, 0xFFFFFFFFu}) {
    ExpectRefused(BuildWave(PcmFormat(1, rate, 16), Counting(16)), "UnSupported Wave Format!");
  }
  for (const uint32_t rate : {1000u, 384000u}) {
    EXPECT_EQ(Open(BuildWave(PcmFormat(1, rate, 16), Counting(16))), kWaveDone);
  }
}

TEST_F(WaveReaderTest, SkipsForeignChunksBeforeBetweenAndAfterWithTheirPadBytes) {
  const Bytes data = Counting(33);  // odd: padded
  const Bytes file = BuildRiff({{"LIST", Counting(5)},
                                {"JUNK", Counting(1)},
                                {"fmt ", FormatChunkBody(PcmFormat(1, 8000, 8), 18)},
                                {"fact", Counting(3)},
                                {"data", data},
                                {"cue ", Counting(9)}});
  ASSERT_EQ(Open(file), kWaveDone);
  std::vector<uint8_t> buffer(1024);
  WaveBlock block{buffer.data(), 0, 0};
  ASSERT_EQ(Read(&block), kWaveDone);
  ASSERT_EQ(block.bufferLength, 33u);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 33), data);
  EXPECT_EQ(Read(&block), kWaveNoData);
}

TEST_F(WaveReaderTest, ReadsAnEighteenByteFormatChunkWithItsExtraSize) {
  WaveFormat format = PcmFormat(2, 48000, 16);
  format.extraSize = 0;
  Bytes body = FormatChunkBody(format, 18);
  ASSERT_EQ(Open(BuildRiff({{"fmt ", body}, {"data", Counting(8)}})), kWaveDone);
  EXPECT_EQ(reader->Format().samplesPerSec, 48000u);
  // A larger format chunk (extensible-sized) is skipped whole.
  ASSERT_EQ(Open(BuildRiff({{"fmt ", FormatChunkBody(format, 40)}, {"data", Counting(8)}})),
            kWaveDone);
  EXPECT_EQ(reader->Total(), 8u);
}

TEST_F(WaveReaderTest, ExactMultipleOfTheBlockEndsWithAFullBlockThenNoData) {
  const Bytes data = Counting(3 * 256);
  ASSERT_EQ(Open(BuildWave(kStereo16, data), 256), kWaveDone);
  std::vector<uint8_t> buffer(512, 0xAA);
  Bytes got;
  for (int i = 0; i < 3; ++i) {
    WaveBlock block{buffer.data(), 0, 0};
    ASSERT_EQ(Read(&block), kWaveDone);
    ASSERT_EQ(block.bufferLength, 256u);
    got.insert(got.end(), buffer.begin(), buffer.begin() + 256);
  }
  EXPECT_EQ(got, data);
  EXPECT_EQ(reader->Remaining(), 0u);
  WaveBlock untouched{buffer.data(), 99, 99};
  EXPECT_EQ(Read(&untouched), kWaveNoData);
  EXPECT_EQ(untouched.bufferLength, 99u);
  EXPECT_EQ(buffer[256], 0xAA);  // nothing written past the block length
}

TEST_F(WaveReaderTest, OneByteMoreThanABlockGivesAOneByteBlockPaddedWithSilence) {
  for (const int32_t bits : {8, 16}) {
    const Bytes data = Counting(257);
    ASSERT_EQ(Open(BuildWave(PcmFormat(1, 8000, static_cast<uint16_t>(bits)), data), 256),
              kWaveDone);
    std::vector<uint8_t> buffer(512, 0xAA);
    WaveBlock block{buffer.data(), 0, 0};
    ASSERT_EQ(Read(&block), kWaveDone);
    EXPECT_EQ(block.bufferLength, 256u);
    ASSERT_EQ(Read(&block), kWaveDone);
    EXPECT_EQ(block.bufferLength, 1u);
    EXPECT_EQ(buffer[0], data[256]);
    const uint8_t silence = bits == 8 ? 0x80 : 0x00;
    for (size_t i = 1; i < 256; ++i) {
      ASSERT_EQ(buffer[i], silence) << "bits " << bits << " byte " << i;
    }
    EXPECT_EQ(buffer[256], 0xAA);
    EXPECT_EQ(Read(&block), kWaveNoData);
  }
}

TEST_F(WaveReaderTest, DataSizeBeyondTheEndOfTheFileIsAReadErrorThatClosesTheFile) {
  const Bytes file = BuildRiff(
      {{"fmt ", FormatChunkBody(kStereo16)}, {"data", Counting(300), /*sizeField=*/1000u}});
  ASSERT_EQ(Open(file, 256), kWaveDone);
  EXPECT_EQ(reader->Total(), 1000u);
  std::vector<uint8_t> buffer(512);
  WaveBlock block{buffer.data(), 0, 0};
  ASSERT_EQ(Read(&block), kWaveDone);
  EXPECT_EQ(Read(&block), kWaveFailed);
  EXPECT_TRUE(notifier.messages.empty());  // the caller reports read errors
  EXPECT_EQ(Read(&block), kWaveNoData);
  EXPECT_EQ(ReadWaveFile(*reader, kWaveClose, path, nullptr, notifier), kWaveDone);
}

TEST_F(WaveReaderTest, UnknownOperationsAndRepeatedClosesDoNothing) {
  EXPECT_EQ(ReadWaveFile(*reader, 0, "", nullptr, notifier), kWaveDone);
  EXPECT_EQ(ReadWaveFile(*reader, 9, "", nullptr, notifier), kWaveDone);
  EXPECT_EQ(ReadWaveFile(*reader, kWaveClose, "", nullptr, notifier), kWaveDone);
  EXPECT_EQ(ReadWaveFile(*reader, kWaveClose, "", nullptr, notifier), kWaveDone);
  EXPECT_TRUE(notifier.messages.empty());
}

TEST(WaveProbe, ReadsTheFormatOfAFileWhoseFirstChunkIsTheFormat) {
  TempDir dir;
  RecordingNotifier notifier;
  const std::string path = dir.File("p.wav");
  WriteFileBytes(path, BuildWave(PcmFormat(2, 11025, 8), Counting(10)));
  WaveFormat format;
  ASSERT_TRUE(ProbeWaveFile(path, &format, notifier));
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.samplesPerSec, 11025u);
  EXPECT_EQ(format.bitsPerSample, 8);
  EXPECT_TRUE(notifier.messages.empty());

  // The probe does not look at the format tag.
  WaveFormat floatFormat = PcmFormat(1, 8000, 32);
  floatFormat.formatTag = 3;
  WriteFileBytes(path, BuildWave(floatFormat, Counting(10)));
  ASSERT_TRUE(ProbeWaveFile(path, &format, notifier));
  EXPECT_EQ(format.formatTag, 3);
}

TEST(WaveProbe, RefusesWithItsMessages) {
  TempDir dir;
  const std::string path = dir.File("p.wav");
  const Bytes fmt = FormatChunkBody(PcmFormat(1, 8000, 16));
  const struct {
    Bytes file;
    const char* message;
  } cases[] = {
      {BuildRiff({{"fmt ", fmt}, {"data", Counting(4)}}, "AVI "), "Bad Wave Format!"},
      {Bytes{'R', 'I', 'F', 'F'}, "Bad Wave Format!"},
      // The reader skips a leading foreign chunk; the probe refuses it.
      {BuildRiff({{"LIST", Counting(4)}, {"fmt ", fmt}, {"data", Counting(4)}}),
       "Bad Riff Format!"},
      {BuildRiff({{"fmt ", Bytes(10, 0)}}), "Bad Riff Format!"},
  };
  for (const auto& c : cases) {
    RecordingNotifier notifier;
    WriteFileBytes(path, c.file);
    WaveFormat format;
    EXPECT_FALSE(ProbeWaveFile(path, &format, notifier));
    EXPECT_EQ(notifier.messages, std::vector<std::string>{c.message});
  }
  RecordingNotifier notifier;
  WaveFormat format;
  EXPECT_FALSE(ProbeWaveFile(dir.File("missing.wav"), &format, notifier));
  EXPECT_EQ(notifier.messages, std::vector<std::string>{"Error opening file"});
}

TEST(DiskFree, ReportsSpaceOnTheOutputFolder) {
  TempDir dir;
  EXPECT_GT(DiskFreeBytes(dir.File("out.wav")), 0u);
  EXPECT_EQ(DiskFreeBytes("/no/such/folder/out.wav"), 0u);
}

TEST_F(WaveReaderTest, BlocksOfAnySizeComeOutInFileOrderAcrossLongFiles) {
  const Bytes data = Counting(200000 + 3);  // several read-ahead buffers, odd end
  for (const uint32_t blockBytes : {1000u, 8192u, 70000u}) {
    ASSERT_EQ(Open(BuildRiff({{"fmt ", FormatChunkBody(kStereo16)}, {"data", data}}), blockBytes),
              kWaveDone);
    std::vector<uint8_t> buffer(blockBytes);
    Bytes got;
    WaveBlock block{buffer.data(), 0, 0};
    while (Read(&block) == kWaveDone) {
      got.insert(got.end(), buffer.begin(), buffer.begin() + block.bufferLength);
    }
    EXPECT_EQ(got, data) << blockBytes;
  }
}

TEST_F(WaveReaderTest, AnythingButARegularFileIsRefusedWithoutBlocking) {
  const std::string fifo = dir.File("fifo.wav");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& special : {fifo, dir.Path()}) {
    notifier.messages.clear();
    notifier.details.clear();
    EXPECT_EQ(ReadWaveFile(*reader, kWaveOpen, special, nullptr, notifier), kWaveFailed);
    EXPECT_EQ(notifier.messages, std::vector<std::string>{"Cannot read file!"});
    EXPECT_EQ(notifier.details, std::vector<std::string>{special + ": not a regular file"});
    WaveFormat format;
    RecordingNotifier probe;
    EXPECT_FALSE(ProbeWaveFile(special, &format, probe));
    EXPECT_EQ(probe.messages, std::vector<std::string>{"Error opening file"});
    EXPECT_EQ(probe.details, std::vector<std::string>{special + ": not a regular file"});
  }
}

TEST_F(WaveReaderTest, GigabytesOfEmptyChunksAreSteppedOverInTheChunkSearch) {
  // Sparse files: a RIFF/WAVE header, then zeros that read as empty chunks
  // with a zero id. Before the chunk search read in buffers, 4 GiB of them
  // took minutes.
  path = dir.File("sparse.wav");
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  const Bytes header = BuildRiff({}, "WAVE", 0xFFFFFFFFu);
  ASSERT_EQ(write(fd, header.data(), header.size()), static_cast<ssize_t>(header.size()));
  const bool sparse = ftruncate(fd, off_t{4} << 30) == 0;
  close(fd);
  if (!sparse) {
    GTEST_SKIP() << "no room for a 4 GiB sparse file here";
  }
  notifier.messages.clear();
  EXPECT_EQ(ReadWaveFile(*reader, kWaveOpen, path, nullptr, notifier), kWaveFailed);
  EXPECT_EQ(notifier.messages, std::vector<std::string>{"Bad Riff Format!"});

  // Chunks after a long run of zeros are still found where they are.
  Bytes file = BuildRiff({{"fmt ", FormatChunkBody(kStereo16)}}, "WAVE", 0xFFFFFFFFu);
  file.resize(file.size() + (size_t{1} << 20) + 5, 0);  // the data chunk is not 8-aligned
  const Bytes data = BuildRiff({{"data", Counting(4)}});
  file.insert(file.end(), data.begin() + 12, data.end());
  ASSERT_EQ(Open(file), kWaveFailed);  // 5 zeros are not a chunk: the search is off the grid
  Bytes aligned(file.begin(), file.end());
  aligned.erase(aligned.begin() + 36, aligned.begin() + 41);
  ASSERT_EQ(Open(aligned), kWaveDone);
  EXPECT_EQ(reader->Total(), 4u);
}
