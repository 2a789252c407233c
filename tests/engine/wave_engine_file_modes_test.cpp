// Play mode (file to device) and record mode (device to file) on the
// simulated wave service.
#include <gtest/gtest.h>

#include "tests/engine/wave_engine_fixture.h"
#include "tests/support/file_size_limit.h"

namespace wave_engine_test {
namespace {

namespace msg = wave_engine_messages;
using test_support::Bytes;

Bytes Counting(uint32_t bytes) {
  Bytes data(bytes);
  for (uint32_t i = 0; i < bytes; ++i)
    data[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return data;
}

int32_t Position(uint64_t done, uint64_t total) {
  return static_cast<int32_t>(static_cast<double>(done) / static_cast<double>(total) * 32768);
}

class PlayTest : public WaveEngineTest {
 protected:
  // Plays `data` until the run ends by itself; returns the completions it took.
  int32_t PlayFile(const Bytes& data, int32_t buffers, uint16_t channels = 2, uint16_t bits = 16) {
    MakeEngine();
    engine->bufferCount = buffers;
    engine->inputIsFile = true;
    engine->inputFileName = WriteInputFile("in.wav", data, channels, bits);
    engine->outputIsFile = false;
    if (!Start())
      return -1;
    int32_t completions = 0;
    while (engine->outputOpen && completions < 10000) {
      if (!sim->CompleteOutput())
        return -2;
      ++completions;
    }
    return completions;
  }
};

TEST_F(PlayTest, PlaysTheWholeFileInOrderAndEndsWhenItsLastByteHasPlayed) {
  struct Case {
    uint32_t bytes;
    int32_t buffers;
  };
  for (const Case c :
       {Case{5000, 8}, Case{3 * 1024, 4}, Case{100, 4}, Case{1028, 32}, Case{20 * 1024 + 4, 16}}) {
    const Bytes data = Counting(c.bytes);
    const int32_t completions = PlayFile(data, c.buffers);
    const int32_t blocks = static_cast<int32_t>((c.bytes + 1023) / 1024);
    const int32_t primers = c.buffers - 2;
    ASSERT_EQ(completions, primers + blocks) << c.bytes;
    ASSERT_EQ(static_cast<int32_t>(played.size()), primers + blocks);
    Bytes heard;
    for (int32_t p = 0; p < static_cast<int32_t>(played.size()); ++p) {
      if (p < primers) {
        EXPECT_EQ(played[p], Bytes(1024, 0)) << "primer " << p;
      } else {
        heard.insert(heard.end(), played[p].begin(), played[p].end());
      }
    }
    EXPECT_EQ(heard, data) << c.bytes;
    // No block was sent after the reader had run dry.
    EXPECT_EQ(sim->CallCount(SimulatedCall::kWrite), primers + blocks);
    EXPECT_EQ(button.caption, "Start");
    EXPECT_TRUE(notifier.messages.empty());
    ExpectIdle();
  }
}

TEST_F(PlayTest, EightBitMonoPrimesWithEightBitSilence) {
  const Bytes data = Counting(3000);
  PlayFile(data, 4, 1, 8);
  ASSERT_GE(played.size(), 2u);
  EXPECT_EQ(played[0], Bytes(1024, 0x80));
  EXPECT_EQ(sim->LastFormat(WaveDirection::kOutput).bitsPerSample, 8);
  EXPECT_EQ(sim->LastFormat(WaveDirection::kOutput).channels, 1);
  EXPECT_EQ(sim->LastFormat(WaveDirection::kOutput).samplesPerSec, 22050u);
}

TEST_F(PlayTest, ProgressFollowsThePlayedBytesAndReturnsToZero) {
  const uint32_t size = 4 * 1024 + 300;
  PlayFile(Counting(size), 4);
  std::vector<int32_t> expected{0};  // the input opened
  expected.push_back(0);             // two silent primers
  expected.push_back(0);
  for (const uint64_t done : {1024u, 2048u, 3072u, 4096u, 4396u}) {
    expected.push_back(Position(done, size));
  }
  expected.push_back(0);  // the run ended
  EXPECT_EQ(progress.positions, expected);
  EXPECT_EQ(progress.positions[progress.positions.size() - 2], 32768);
}

TEST_F(PlayTest, ReadErrorEndsTheRunWithItsMessage) {
  // The data chunk claims 4096 bytes; the file ends after 1536.
  const Bytes body = Counting(1536);
  test_support::WriteFileBytes(
      dir.File("short.wav"),
      test_support::BuildRiff(
          {{"fmt ", test_support::FormatChunkBody(test_support::PcmFormat(2, 22050, 16))},
           {"data", body, 4096u, true}},
          "WAVE", 4 + 8 + 16 + 8 + 4096));
  engine->bufferCount = 4;
  engine->inputIsFile = true;
  engine->inputFileName = dir.File("short.wav");
  ASSERT_TRUE(Start());
  int32_t completions = 0;
  while (engine->outputOpen && sim->CompleteOutput())
    ++completions;
  EXPECT_EQ(notifier.messages, std::vector<std::string>{msg::kReadInputFile});
  EXPECT_EQ(button.caption, "Start");
  EXPECT_EQ(progress.positions.back(), 0);
  ExpectIdle();
}

TEST_F(PlayTest, StopDuringPlayClosesTheFileAndTheDeviceAtOnce) {
  for (int32_t completions = 0; completions < 8; ++completions) {
    MakeEngine();
    engine->bufferCount = 4;
    engine->inputIsFile = true;
    engine->inputFileName = WriteInputFile("in.wav", Counting(4000));
    ASSERT_TRUE(Start());
    for (int32_t i = 0; i < completions && engine->outputOpen; ++i)
      sim->CompleteOutput();
    Stop();
    ExpectIdle();
    EXPECT_FALSE(sim->CompleteOutput());
    EXPECT_TRUE(notifier.messages.empty());
  }
}

class RecordTest : public WaveEngineTest {
 protected:
  void StartRecording(int32_t buffers) {
    engine->bufferCount = buffers;
    engine->outputIsFile = true;
    engine->outputFileName = dir.File("out.wav");
    ASSERT_TRUE(Start());
  }
};

TEST_F(RecordTest, WritesEveryRecordedBlockOnceInOrder) {
  for (const int32_t buffers : {4, 8, 32}) {
    MakeEngine();
    StartRecording(buffers);
    EXPECT_EQ(sim->QueuedCount(WaveDirection::kInput), buffers - 2);
    const int32_t messages = 2 * buffers + 3;
    for (int32_t i = 0; i < messages; ++i)
      ASSERT_TRUE(sim->CompleteInput());
    Stop();
    ExpectIdle();
    const test_support::ParsedWave wave =
        test_support::ParseWave(test_support::ReadFileBytes(dir.File("out.wav")));
    ASSERT_EQ(wave.problem, "");
    EXPECT_EQ(wave.format.channels, 2);
    EXPECT_EQ(wave.format.bitsPerSample, 16);
    EXPECT_EQ(wave.format.samplesPerSec, 22000u);
    Bytes expected;
    for (int32_t i = 0; i < messages; ++i) {
      const Bytes block = Block(1024, i);
      expected.insert(expected.end(), block.begin(), block.end());
    }
    EXPECT_EQ(wave.data, expected) << buffers;
    EXPECT_TRUE(notifier.messages.empty());
  }
}

TEST_F(RecordTest, ProgressShowsTheShareOfTheFreeSpaceUsed) {
  StartRecording(4);
  const uint64_t total = engine->Stream().total;
  ASSERT_GT(total, 0u);
  EXPECT_EQ(total, WaveEngine::DiskFreeBytes(dir.File("out.wav")));
  for (int32_t i = 0; i < 5; ++i)
    ASSERT_TRUE(sim->CompleteInput());
  std::vector<int32_t> expected{0};
  for (uint64_t i = 1; i <= 5; ++i)
    expected.push_back(Position(i * 1024, total));
  EXPECT_EQ(progress.positions, expected);
  Stop();
}

TEST_F(RecordTest, FailedWriteEndsTheRunSilentlyWithAValidFile) {
  const std::string path = dir.File("out.wav");
  const std::string report = test_support::RunWithFileSizeLimit(46 + 3 * 1024, [&] {
    StartRecording(8);
    int32_t messages = 0;
    while (engine->outputOpen && messages < 20) {
      sim->CompleteInput();
      ++messages;
    }
    std::string text = std::to_string(messages) + " " + button.caption + " " +
                       std::to_string(notifier.messages.size()) + " " +
                       std::to_string(sim->OpenDeviceCount()) + " " +
                       std::to_string(progress.positions.back());
    return text;
  });
  EXPECT_EQ(report, "4 Start 0 0 0");
  const test_support::ParsedWave wave = test_support::ParseWave(test_support::ReadFileBytes(path));
  ASSERT_EQ(wave.problem, "");
  Bytes expected;
  for (int32_t i = 0; i < 3; ++i) {
    const Bytes block = Block(1024, i);
    expected.insert(expected.end(), block.begin(), block.end());
  }
  EXPECT_EQ(wave.data, expected);
}

TEST_F(RecordTest, UnwritableOutputFileIsRefusedAndTheInputClosedAgain) {
  engine->outputIsFile = true;
  engine->outputFileName = dir.File("missing-folder/out.wav");
  EXPECT_FALSE(Start());
  ASSERT_FALSE(notifier.messages.empty());
  EXPECT_EQ(notifier.messages.back(), msg::kOpenOutputFile);
  ExpectIdle();
}

}  // namespace
}  // namespace wave_engine_test
