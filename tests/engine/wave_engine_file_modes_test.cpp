// Play mode (file to device) and record mode (device to file) on the
// simulated wave service.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/engine/wave_engine_fixture.h"
#include "tests/support/file_size_limit.h"

namespace wave_engine_test {
namespace {

namespace msg = wave_engine_messages;
using test_support::Bytes;

Bytes Counting(uint32_t bytes) {
  Bytes data(bytes);
  for (uint32_t i = 0; i < bytes; ++i) {
    data[i] = static_cast<uint8_t>(i * 7 + i / 256);
  }
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
    engine->settings.bufferCount = buffers;
    engine->settings.inputIsFile = true;
    engine->settings.inputFileName = WriteInputFile("in.wav", data, channels, bits);
    engine->settings.outputIsFile = false;
    if (!engine->StartRun()) {
      return -1;
    }
    int32_t completions = 0;
    while (engine->outputOpen && completions < 10000) {
      if (!sim->CompleteOutput()) {
        return -2;
      }
      ++completions;
    }
    return completions;
  }
};

// The file's own blocks prime the ring: play starts with the file, however
// short it is and however many buffers there are, and ends when it has
// been played.
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
    ASSERT_EQ(completions, blocks) << c.bytes;
    ASSERT_EQ(static_cast<int32_t>(played.size()), blocks);
    Bytes heard;
    for (const Bytes& block : played) {
      heard.insert(heard.end(), block.begin(), block.end());
    }
    EXPECT_EQ(heard, data) << c.bytes;
    // The meter saw every block played.
    EXPECT_EQ(engine->Levels().Run().level[kMeterOutput][1].peak,
              PeakOf(test_support::SamplesFromBytes(data), 1));
    // No block was sent after the reader had run dry.
    EXPECT_EQ(sim->CallCount(SimulatedCall::kWrite), blocks);
    EXPECT_EQ(runEnds, 1);
    EXPECT_TRUE(notifier.messages.empty());
    ExpectIdle();
  }
}

TEST_F(PlayTest, EffectsRunAtTheFilesOwnRateWhateverTheRunSettings) {
  for (const uint32_t rate : {8000u, 22050u, 48000u, 96000u}) {
    MakeEngine();
    engine->settings.sampleRate = 44100;
    engine->settings.inputIsFile = true;
    engine->settings.inputFileName = WriteInputFile("in.wav", Counting(3000), 2, 16, rate);
    ASSERT_TRUE(engine->StartRun());
    EXPECT_EQ(sim->LastFormat(WaveDirection::kOutput).samplesPerSec, rate);
    EXPECT_EQ(left.sampleRate, static_cast<int32_t>(rate));
    EXPECT_EQ(right.sampleRate, static_cast<int32_t>(rate));
    engine->StopRun();
  }
}

TEST_F(PlayTest, ARateTheDeviceCannotPlayIsRefusedAtStartNamingIt) {
  sim->SetFormatCheck(
      [](WaveDirection, const WaveDeviceFormat& format) { return format.samplesPerSec <= 48000; });
  engine->settings.inputIsFile = true;
  engine->settings.inputFileName = WriteInputFile("in.wav", Counting(3000), 2, 16, 96000);
  EXPECT_FALSE(engine->StartRun());
  EXPECT_EQ(notifier.messages, std::vector<std::string>{msg::kOutputBadFormat});
  EXPECT_EQ(
      notifier.details,
      std::vector<std::string>{"Simulated Output 1: 96000 Hz, 16 bits, stereo cannot be opened"});
  ExpectIdle();
}

TEST_F(PlayTest, EightBitMonoPlaysInItsOwnFormat) {
  Bytes data(3000);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<uint8_t>(1 + i % 255);  // 0 would come back as 1
  }
  PlayFile(data, 4, 1, 8);
  ASSERT_EQ(played.size(), 3u);
  EXPECT_EQ(played[0], Bytes(data.begin(), data.begin() + 1024));
  EXPECT_EQ(sim->LastFormat(WaveDirection::kOutput).bitsPerSample, 8);
  EXPECT_EQ(sim->LastFormat(WaveDirection::kOutput).channels, 1);
  EXPECT_EQ(sim->LastFormat(WaveDirection::kOutput).samplesPerSec, 22050u);
}

TEST_F(PlayTest, ProgressFollowsThePlayedBytesAndReturnsToZero) {
  const uint32_t size = 4 * 1024 + 300;
  PlayFile(Counting(size), 4);
  std::vector<int32_t> expected{0};  // the input opened
  for (const uint64_t done : {1024u, 2048u, 3072u, 4096u, 4396u}) {
    expected.push_back(Position(done, size));
  }
  expected.push_back(0);  // the run ended
  EXPECT_EQ(progress.positions, expected);
  EXPECT_EQ(progress.positions[progress.positions.size() - 2], 32768);
}

TEST_F(PlayTest, ReadErrorPlaysTheBlocksReadBeforeItThenEndsWithItsMessage) {
  // The data chunk claims 8192 bytes; the file ends after 5000, so the fifth
  // block cannot be read.
  const Bytes body = Counting(5000);
  test_support::WriteFileBytes(
      dir.File("short.wav"),
      test_support::BuildRiff(
          {{"fmt ", test_support::FormatChunkBody(test_support::PcmFormat(2, 22050, 16))},
           {"data", body, 8192u, true}},
          "WAVE", 4 + 8 + 16 + 8 + 8192));
  for (const int32_t buffers : {4, 8}) {
    MakeEngine();
    engine->settings.bufferCount = buffers;
    engine->settings.inputIsFile = true;
    engine->settings.inputFileName = dir.File("short.wav");
    ASSERT_TRUE(engine->StartRun());
    while (engine->outputOpen && sim->CompleteOutput()) {
      // No message while the blocks read before the failure still play.
      if (engine->outputOpen) {
        EXPECT_TRUE(notifier.messages.empty());
      }
    }
    Bytes heard;
    for (const Bytes& block : played) {
      heard.insert(heard.end(), block.begin(), block.end());
    }
    EXPECT_EQ(heard, Bytes(body.begin(), body.begin() + 4096)) << buffers;
    EXPECT_EQ(notifier.messages, std::vector<std::string>{file_run_messages::kReadError});
    EXPECT_EQ(notifier.details, std::vector<std::string>{dir.File("short.wav") +
                                                         ": the file ends before its data does"});
    EXPECT_EQ(runEnds, 1);
    EXPECT_EQ(progress.positions.back(), 0);
    ExpectIdle();
  }
}

TEST_F(PlayTest, AReadErrorAtTheFirstBlockRefusesTheStart) {
  test_support::WriteFileBytes(
      dir.File("short.wav"),
      test_support::BuildRiff(
          {{"fmt ", test_support::FormatChunkBody(test_support::PcmFormat(2, 22050, 16))},
           {"data", Counting(500), 8192u, true}},
          "WAVE", 4 + 8 + 16 + 8 + 8192));
  engine->settings.inputIsFile = true;
  engine->settings.inputFileName = dir.File("short.wav");
  EXPECT_FALSE(engine->StartRun());
  EXPECT_EQ(notifier.messages, std::vector<std::string>{file_run_messages::kReadError});
  ExpectIdle();
}

// Failed writes lose their block but never the end of the run; a device
// that takes nothing more, with nothing left on it, ends the run.
TEST_F(PlayTest, FailedWritesStillLetTheRunEnd) {
  struct Case {
    int32_t skip;   // writes that go through first (6 prime an 8-buffer ring)
    int32_t times;  // writes that fail then
    bool message;   // the run ends with "Error playing wave!"
  };
  for (const Case c : {Case{0, 1, false}, Case{3, 2, false}, Case{7, 1, false}, Case{8, 3, false},
                       Case{0, 6, true}, Case{7, 100, true}}) {
    MakeEngine();
    engine->settings.bufferCount = 8;
    engine->settings.inputIsFile = true;
    engine->settings.inputFileName = WriteInputFile("in.wav", Counting(20 * 1024));
    sim->FailNext(SimulatedCall::kWrite, WaveResult::kOther, c.times, c.skip);
    if (!engine->StartRun()) {
      EXPECT_TRUE(c.message && c.skip == 0) << c.skip << " " << c.times;
      ExpectIdle();
      continue;
    }
    // Failed priming writes are shown at the start.
    const size_t shownAtStart = notifier.messages.size();
    int32_t completions = 0;
    while (engine->outputOpen && completions < 100 && sim->CompleteOutput()) {
      ++completions;
    }
    EXPECT_FALSE(engine->outputOpen) << c.skip << " " << c.times;
    EXPECT_EQ(runEnds, 1);
    const bool ended =
        notifier.messages.size() > shownAtStart && notifier.messages.back() == msg::kPlayError;
    EXPECT_EQ(ended, c.message) << c.skip << " " << c.times;
    ExpectIdle();
  }
}

TEST_F(PlayTest, StopDuringPlayClosesTheFileAndTheDeviceAtOnce) {
  for (int32_t completions = 0; completions < 8; ++completions) {
    MakeEngine();
    engine->settings.bufferCount = 4;
    engine->settings.inputIsFile = true;
    engine->settings.inputFileName = WriteInputFile("in.wav", Counting(4000));
    ASSERT_TRUE(engine->StartRun());
    for (int32_t i = 0; i < completions && engine->outputOpen; ++i) {
      sim->CompleteOutput();
    }
    engine->StopRun();
    ExpectIdle();
    EXPECT_FALSE(sim->CompleteOutput());
    EXPECT_TRUE(notifier.messages.empty());
  }
}

class RecordTest : public WaveEngineTest {
 protected:
  void StartRecording(int32_t buffers) {
    engine->settings.bufferCount = buffers;
    engine->settings.outputIsFile = true;
    engine->settings.outputFileName = dir.File("out.wav");
    ASSERT_TRUE(engine->StartRun());
  }
};

TEST_F(RecordTest, WritesEveryRecordedBlockOnceInOrder) {
  for (const int32_t buffers : {4, 8, 32}) {
    MakeEngine();
    StartRecording(buffers);
    EXPECT_EQ(sim->QueuedCount(WaveDirection::kInput), buffers - 2);
    const int32_t messages = 2 * buffers + 3;
    for (int32_t i = 0; i < messages; ++i) {
      ASSERT_TRUE(sim->CompleteInput());
    }
    engine->StopRun();
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
  // The free space of the output's file system at the start. Other programs
  // may write to it meanwhile: asked again, it is the same give or take what
  // they wrote.
  const uint64_t now = DiskFreeBytes(dir.File("out.wav"));
  EXPECT_LT(std::max(total, now) - std::min(total, now), uint64_t{1} << 28);
  for (int32_t i = 0; i < 5; ++i) {
    ASSERT_TRUE(sim->CompleteInput());
  }
  std::vector<int32_t> expected{0};
  for (uint64_t i = 1; i <= 5; ++i) {
    expected.push_back(Position(i * 1024, total));
  }
  EXPECT_EQ(progress.positions, expected);
  engine->StopRun();
}

// A full disk (here a file-size limit) ends the run with the message, the
// file and the reason, and leaves a valid file with the blocks written.
TEST_F(RecordTest, FailedWriteEndsTheRunWithItsMessageAndAValidFile) {
  const std::string path = dir.File("out.wav");
  const std::string report = test_support::RunWithFileSizeLimit(46 + 3 * 1024, [&] {
    StartRecording(8);
    int32_t messages = 0;
    while (engine->outputOpen && messages < 20) {
      sim->CompleteInput();
      ++messages;
    }
    std::string text = std::to_string(messages) + " " + std::to_string(runEnds) + " " +
                       std::to_string(sim->OpenDeviceCount()) + " " +
                       std::to_string(progress.positions.back());
    for (size_t i = 0; i < notifier.messages.size(); ++i) {
      text += "|" + notifier.messages[i] + "|" + notifier.details[i];
    }
    return text;
  });
  EXPECT_EQ(report, "4 1 0 0|Error writing output file!!!|" + path +
                        ": File too large (3072 bytes of sound kept)");
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
  engine->settings.outputIsFile = true;
  engine->settings.outputFileName = dir.File("missing-folder/out.wav");
  EXPECT_FALSE(engine->StartRun());
  ASSERT_FALSE(notifier.messages.empty());
  EXPECT_EQ(notifier.messages.back(), file_run_messages::kCannotOpenOutput);
  EXPECT_EQ(notifier.details.back(),
            engine->settings.outputFileName + ": No such file or directory");
  ExpectIdle();
}

}  // namespace
}  // namespace wave_engine_test
