// The writer: the exact layout it produces, odd data with its pad byte, and
// what a failure at each point of the file leaves behind, writing each block
// as it comes and gathering blocks.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/wave_file.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/recorders.h"
#include "tests/support/test_files.h"
#include "tests/support/wave_builder.h"

using namespace test_support;

namespace {

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  return text;
}

// Creates `path` with `format`, writes the blocks and closes; returns every
// result and message as text, one per line.
std::string WriteFile(const std::string& path, const std::vector<Bytes>& blocks,
                      const WaveFormat& format = PcmFormat(2, 44100, 16),
                      uint32_t gatherBytes = 0) {
  RecordingNotifier notifier;
  WaveWriter writer(format, gatherBytes);
  std::string log =
      "create " + std::to_string(WriteWaveFile(writer, kWaveCreate, path, nullptr, notifier));
  for (Bytes block : blocks) {
    const WaveBlock descriptor{block.data(), static_cast<uint32_t>(block.size()),
                               static_cast<uint32_t>(block.size())};
    log += " write " +
           std::to_string(WriteWaveFile(writer, kWaveTransfer, path, &descriptor, notifier));
  }
  log += " failed " + std::to_string(writer.WriteFailed() ? 1 : 0);
  log += " close " + std::to_string(WriteWaveFile(writer, kWaveClose, path, nullptr, notifier));
  if (writer.WriteFailed() || writer.WrittenBytes() > 0) {
    log += " kept " + std::to_string(writer.WrittenBytes());
  }
  return log + "\n" + Join(notifier.messages);
}

Bytes Counting(size_t n, uint8_t start = 1) {
  Bytes data(n);
  for (size_t i = 0; i < n; ++i) {
    data[i] = static_cast<uint8_t>(start + i * 3);
  }
  return data;
}

uint32_t SizeField(const Bytes& file, size_t offset) {
  return static_cast<uint32_t>(file.at(offset) | file.at(offset + 1) << 8 |
                               file.at(offset + 2) << 16 | file.at(offset + 3) << 24);
}

class WaveWriterTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.File("out.wav");
};

}  // namespace

TEST_F(WaveWriterTest, WritesTheFixedHeaderWithAnEighteenByteFormatChunk) {
  WaveFormat format = PcmFormat(2, 44100, 16);
  format.extraSize = 22;          // never carried into a file
  format.avgBytesPerSec = 12345;  // copied as it stands
  ASSERT_EQ(WriteFile(path, {Counting(8)}, format), "create 0 write 0 failed 0 close 0 kept 8\n");
  const Bytes file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 54u);
  const uint8_t expected[46] = {'R',  'I',  'F', 'F', 46,   0,    0, 0, 'W', 'A', 'V', 'E',
                                'f',  'm',  't', ' ', 18,   0,    0, 0, 1,   0,   2,   0,
                                0x44, 0xAC, 0,   0,   0x39, 0x30, 0, 0, 4,   0,   16,  0,
                                0,    0,    'd', 'a', 't',  'a',  8, 0, 0,   0};
  EXPECT_EQ(std::memcmp(file.data(), expected, 46), 0);
  EXPECT_EQ(Bytes(file.begin() + 46, file.end()), Counting(8));
}

TEST_F(WaveWriterTest, AFileWithoutBlocksClosesToAValidFortySixByteFile) {
  ASSERT_EQ(WriteFile(path, {}), "create 0 failed 0 close 0\n");
  const ParsedWave parsed = ParseWave(ReadFileBytes(path));
  EXPECT_EQ(parsed.problem, "");
  EXPECT_EQ(parsed.fileSize, 46u);
  EXPECT_TRUE(parsed.data.empty());
}

TEST_F(WaveWriterTest, BlocksAreAppendedInOrderAndOddDataGetsAPadByte) {
  const std::vector<Bytes> blocks = {Counting(256, 1), Counting(256, 2), Counting(33, 3)};
  for (const uint32_t gather : {0u, 300u, 600u}) {
    ASSERT_EQ(WriteFile(path, blocks, PcmFormat(2, 44100, 16), gather),
              "create 0 write 0 write 0 write 0 failed 0 close 0 kept 545\n")
        << "gathering " << gather;
  }
  const Bytes file = ReadFileBytes(path);
  const ParsedWave parsed = ParseWave(file);
  ASSERT_EQ(parsed.problem, "");
  Bytes all;
  for (const Bytes& b : blocks) {
    all.insert(all.end(), b.begin(), b.end());
  }
  EXPECT_EQ(parsed.data, all);
  EXPECT_EQ(file.size(), 46u + 545 + 1);
  EXPECT_EQ(file.back(), 0);
  EXPECT_EQ(parsed.riffSize, 46u + 545 + 1 - 8);
  EXPECT_EQ(parsed.chunkIds, (std::vector<std::string>{"fmt ", "data"}));
  EXPECT_EQ(parsed.formatChunkSize, 18u);
}

TEST_F(WaveWriterTest, AFileThatCannotBeCreatedFailsWithoutAMessage) {
  EXPECT_EQ(WriteFile(dir.File("no/such/folder.wav"), {}), "create 1 failed 0 close 0\n");
}

TEST_F(WaveWriterTest, EachHeaderPieceThatCannotBeWrittenHasItsMessage) {
  const struct {
    uint64_t limit;
    const char* message;
  } cases[] = {
      {0, "Cannot create wave format chunk!"}, {11, "Cannot create wave format chunk!"},
      {12, "Cannot create format chunk!"},     {20, "Cannot write wave format data!"},
      {37, "Cannot write wave format data!"},  {38, "Cannot create data chunk!"},
  };
  for (const auto& c : cases) {
    const std::string log =
        RunWithFileSizeLimit(c.limit, [this] { return WriteFile(path, {Counting(4)}); });
    EXPECT_EQ(log, std::string("create 1 write 4 failed 1 close 0 kept 0\n") + c.message + "\n")
        << "limit " << c.limit;
  }
}

TEST_F(WaveWriterTest, AFailedWriteLeavesExactlyWhatWasWrittenBeforeAndSaysHowMuch) {
  // Three blocks of 512 bytes. Gathered blocks reach the file only when they
  // are written out together: the failure comes with the write or the close
  // that does it, the file keeps every whole block that reached it, and after
  // a failure nothing more is taken.
  constexpr uint64_t kTwoAndAHalfBlocks = 46 + 2 * 512 + 256;
  const struct {
    uint64_t limit;
    uint32_t gather;
    const char* log;
    int blocksKept;
  } cases[] = {
      {kTwoAndAHalfBlocks, 0, "create 0 write 0 write 0 write 4 failed 1 close 0 kept 1024\n", 2},
      // A block as large as the room is written straight away.
      {kTwoAndAHalfBlocks, 512, "create 0 write 0 write 0 write 4 failed 1 close 0 kept 1024\n", 2},
      {kTwoAndAHalfBlocks, 1024, "create 0 write 0 write 0 write 0 failed 0 close 4 kept 1024\n",
       2},
      // All three written out at the close: the two whole blocks that fit stay.
      {kTwoAndAHalfBlocks, 64 * 1024,
       "create 0 write 0 write 0 write 0 failed 0 close 4 kept 1024\n", 2},
      {46 + 256, 600, "create 0 write 0 write 4 write 4 failed 1 close 0 kept 0\n", 0},
  };
  for (const auto& c : cases) {
    const std::string log = RunWithFileSizeLimit(c.limit, [this, &c] {
      return WriteFile(path, {Counting(512, 1), Counting(512, 2), Counting(512, 3)},
                       PcmFormat(2, 44100, 16), c.gather);
    });
    EXPECT_EQ(log, c.log) << "gathering " << c.gather;
    const ParsedWave parsed = ParseWave(ReadFileBytes(path));
    ASSERT_EQ(parsed.problem, "");
    Bytes expected;
    for (int i = 0; i < c.blocksKept; ++i) {
      const Bytes block = Counting(512, static_cast<uint8_t>(1 + i));
      expected.insert(expected.end(), block.begin(), block.end());
    }
    EXPECT_EQ(parsed.data, expected) << "gathering " << c.gather;
  }
}

TEST_F(WaveWriterTest, AFailedWriteIsReportedWithTheFileTheReasonAndTheBytesKept) {
  const std::string log = RunWithFileSizeLimit(46 + 1000, [this] {
    RecordingNotifier notifier;
    WaveWriter writer(PcmFormat(1, 8000, 8), 0);
    WriteWaveFile(writer, kWaveCreate, path, nullptr, notifier);
    Bytes block = Counting(600);
    const WaveBlock descriptor{block.data(), 600, 600};
    WriteWaveFile(writer, kWaveTransfer, path, &descriptor, notifier);
    WriteWaveFile(writer, kWaveTransfer, path, &descriptor, notifier);
    return WriteErrorDetail(writer);
  });
  EXPECT_EQ(log, path + ": File too large (600 bytes of sound kept)");
}

TEST_F(WaveWriterTest, APadByteThatCannotBeWrittenFailsTheCloseButBothSizesArePatched) {
  const std::string log =
      RunWithFileSizeLimit(46 + 3, [this] { return WriteFile(path, {Counting(3)}); });
  EXPECT_EQ(log,
            "create 0 write 0 failed 0 close 1 kept 3\nCannot ascent out of the data chunk!\n");
  const Bytes file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 49u);
  EXPECT_EQ(SizeField(file, 42), 3u);
  EXPECT_EQ(SizeField(file, 4), 41u);  // the RIFF chunk ends where the file does
}

TEST_F(WaveWriterTest, TheHeaderIsBroughtUpToDateAfterEachSecondOfAudio) {
  // 1000 Hz 8-bit mono: 1000 bytes a second, written in blocks of 400.
  // Gathered blocks reach the file together with each update.
  const struct {
    uint32_t gather;
    std::vector<uint64_t> fileData;
  } cases[] = {
      {0, {400, 800, 1200, 1600, 2000, 2400}},
      {64 * 1024, {0, 0, 1200, 1200, 1200, 2400}},
  };
  for (const auto& c : cases) {
    RecordingNotifier notifier;
    WaveWriter writer(PcmFormat(1, 1000, 8), c.gather);
    ASSERT_EQ(WriteWaveFile(writer, kWaveCreate, path, nullptr, notifier), kWaveDone);
    std::vector<uint32_t> dataSizes;
    std::vector<uint64_t> fileData;
    Bytes block = Counting(400);
    const WaveBlock descriptor{block.data(), 400, 400};
    for (int i = 0; i < 6; ++i) {
      ASSERT_EQ(WriteWaveFile(writer, kWaveTransfer, path, &descriptor, notifier), kWaveDone);
      const Bytes file = ReadFileBytes(path);
      dataSizes.push_back(SizeField(file, 42));
      fileData.push_back(file.size() - 46);
      EXPECT_EQ(SizeField(file, 4), 38 + dataSizes.back());
    }
    EXPECT_EQ(dataSizes, (std::vector<uint32_t>{0, 0, 1200, 1200, 1200, 2400}));
    EXPECT_EQ(fileData, c.fileData) << "gathering " << c.gather;
    EXPECT_EQ(WriteWaveFile(writer, kWaveClose, path, nullptr, notifier), kWaveDone);
  }
}

TEST_F(WaveWriterTest, AWriterLetGoWithItsFileOpenFinishesIt) {
  {
    RecordingNotifier notifier;
    WaveWriter writer(PcmFormat(2, 44100, 16), WaveWriter::kRunGatherBytes);
    ASSERT_EQ(WriteWaveFile(writer, kWaveCreate, path, nullptr, notifier), kWaveDone);
    Bytes block = Counting(33);
    const WaveBlock descriptor{block.data(), 33, 33};
    ASSERT_EQ(WriteWaveFile(writer, kWaveTransfer, path, &descriptor, notifier), kWaveDone);
  }
  const ParsedWave parsed = ParseWave(ReadFileBytes(path));
  EXPECT_EQ(parsed.problem, "");
  EXPECT_EQ(parsed.data, Counting(33));
}

TEST(WaveWriter, NeverLetsTheRiffSizePassFourGigabytes) {
  // RIFF size = 38 + data (+ 1 pad byte when odd) must stay <= 0xFFFFFFFF.
  constexpr uint64_t kLargestData = 0xFFFFFFFFull - 38 - 1;  // even
  EXPECT_TRUE(WaveBlockFits(0, 8192));
  EXPECT_TRUE(WaveBlockFits(kLargestData - 8192, 8192));
  EXPECT_FALSE(WaveBlockFits(kLargestData - 8191, 8192));  // odd: the pad byte passes it
  EXPECT_FALSE(WaveBlockFits(kLargestData, 2));
  EXPECT_FALSE(WaveBlockFits(0xFFFFFFFFull, 0));
}

TEST(WaveWriter, UnknownOperationsAndClosesWithoutAFileDoNothing) {
  RecordingNotifier notifier;
  WaveWriter writer(PcmFormat(2, 44100, 16));
  EXPECT_EQ(WriteWaveFile(writer, 0, "", nullptr, notifier), kWaveDone);
  EXPECT_EQ(WriteWaveFile(writer, 2, "", nullptr, notifier), kWaveDone);
  EXPECT_EQ(WriteWaveFile(writer, kWaveClose, "", nullptr, notifier), kWaveDone);
  EXPECT_TRUE(notifier.messages.empty());
}
