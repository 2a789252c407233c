// The file-to-file run: what the output holds after a complete run and after
// each failure, the progress it reports, what it leaves prepared, and the
// tails it adds after the input.

#include "engine/file_run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "engine/wave_file.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/recorders.h"
#include "tests/support/signals.h"
#include "tests/support/test_effects.h"
#include "tests/support/test_files.h"
#include "tests/support/wave_builder.h"

using namespace test_support;

namespace {

class FileRunTest : public ::testing::Test {
 protected:
  FileRunSettings Settings(int32_t blockBytes = 1024) {
    FileRunSettings settings;
    settings.inputFileName = input;
    settings.outputFileName = output;
    settings.blockBytes = blockBytes;
    settings.leftChain = &left;
    settings.rightChain = &right;
    settings.notifier = &notifier;
    settings.progress = &progress;
    return settings;
  }
  ParsedWave Output() const { return ParseWave(ReadFileBytes(output)); }

  TempDir dir;
  std::string input = dir.File("in.wav");
  std::string output = dir.File("out.wav");
  EffectChain left;
  EffectChain right;
  RecordingNotifier notifier;
  RecordingProgress progress;
};

// y[n] = x[n] + (factor y[n-1] >> shift): a decay that settles at 0 from
// above and, since the shift rounds down, below 0 at the largest y for which
// factor y >> shift is y again: -1 for a half, -15 for fifteen sixteenths.
struct DecaySettings {
  int32_t factor = 1;
  int32_t shift = 1;
  int32_t last = 0;
};

int16_t Decay(int32_t input, DecaySettings& s) {
  s.last = std::clamp(input + ((s.last * s.factor) >> s.shift), -32767, 32767);
  return static_cast<int16_t>(s.last);
}

class DecayEffect : public Effect {
 public:
  DecayEffect(int32_t factor, int32_t shift) : Effect("Decay", 0, &state, &DecayEffect::Run) {
    state.factor = factor;
    state.shift = shift;
    enabled = 1;
  }
  void Prepare(void*, int32_t, int32_t) override {
    state.last = 0;
    prepared = 1;
  }
  void Release() override { prepared = 0; }
  static int32_t Run(const int16_t* source, int16_t* destination, void* settings, int32_t count) {
    auto& s = *static_cast<DecaySettings*>(settings);
    for (int32_t i = 0; i < count; ++i) {
      destination[i] = Decay(source[i], s);
    }
    return 0;
  }
  DecaySettings state;
};

std::vector<int16_t> Offset(std::vector<int16_t> samples, int32_t offset, size_t start = 0,
                            size_t step = 1) {
  for (size_t i = start; i < samples.size(); i += step) {
    samples[i] = static_cast<int16_t>(std::clamp(samples[i] + offset, -32767, 32767));
  }
  return samples;
}

}  // namespace

TEST_F(FileRunTest, ACompleteRunCopiesSixteenBitDataBitForBitWithEmptyChains) {
  const Bytes data = SampleBytes(Noise(2 * 3000 + 2, 11));  // not a block multiple
  WaveFormat format = PcmFormat(2, 32000, 16);
  WriteFileBytes(input, BuildWave(format, data));
  EXPECT_EQ(ProcessFileToFile(Settings(512)), FileRunResult::kCompleted);
  EXPECT_TRUE(notifier.messages.empty());
  const ParsedWave out = Output();
  ASSERT_EQ(out.problem, "");
  EXPECT_EQ(out.data, data);
  EXPECT_EQ(out.format.channels, 2);
  EXPECT_EQ(out.format.samplesPerSec, 32000u);
  EXPECT_EQ(out.format.bitsPerSample, 16);
  EXPECT_EQ(out.format.blockAlign, 4);
  EXPECT_EQ(out.format.avgBytesPerSec, 128000u);
  EXPECT_EQ(out.formatChunkSize, 18u);
  EXPECT_EQ(out.format.extraSize, 0);
}

TEST_F(FileRunTest, EffectsRunPerChannelAtTheFileRateAndAreReleasedAtTheEnd) {
  const std::vector<int16_t> samples = Interleave(Sine(700, 300, 11025, 30000), Noise(700, 5));
  WriteFileBytes(input, BuildWave(PcmFormat(2, 11025, 16), SampleBytes(samples)));
  OffsetEffect plus(300);
  OffsetEffect minus(-300);
  LinkedTestEffects l(left, {&plus});
  LinkedTestEffects r(right, {&minus});
  ASSERT_EQ(ProcessFileToFile(Settings(256)), FileRunResult::kCompleted);
  EXPECT_EQ(SamplesFromBytes(Output().data), Offset(Offset(samples, 300, 0, 2), -300, 1, 2));
  EXPECT_EQ(plus.state.preparedBlockLength, 64);  // 256 bytes of 16-bit stereo
  EXPECT_EQ(plus.state.preparedRate, 11025);
  EXPECT_EQ(plus.state.prepares, 1);
  EXPECT_EQ(plus.state.releases, 1);
  EXPECT_EQ(minus.state.releases, 1);
  EXPECT_EQ(left.prepared, 0);
  EXPECT_EQ(right.prepared, 0);
  EXPECT_EQ(plus.state.calls, 11);  // 2800 bytes in blocks of 256
}

TEST_F(FileRunTest, EightBitStereoStaysEightBitStereoAndEveryWholeFrameIsConverted) {
  // 8-bit stereo of 4k+2 bytes: the short last block holds one whole frame
  // more than a halving rule would count.
  Bytes data(2 * 128 + 2);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<uint8_t>(0x40 + i % 64);
  }
  WriteFileBytes(input, BuildWave(PcmFormat(2, 8000, 8), data));
  OffsetEffect plus(256);
  LinkedTestEffects l(left, {&plus});
  ASSERT_EQ(ProcessFileToFile(Settings(128)), FileRunResult::kCompleted);
  const ParsedWave out = Output();
  ASSERT_EQ(out.problem, "");
  EXPECT_EQ(out.format.bitsPerSample, 8);
  EXPECT_EQ(out.format.channels, 2);
  EXPECT_EQ(plus.state.preparedRate, 8000);
  ASSERT_EQ(out.data.size(), data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    const uint8_t expected = i % 2 == 0 ? static_cast<uint8_t>(data[i] + 1) : data[i];
    ASSERT_EQ(out.data[i], expected) << "byte " << i;
  }
}

TEST_F(FileRunTest, AnIncompleteLastFramePassesAsRead) {
  const Bytes data = SampleBytes({1, 2, 3, 4, 5});  // 16-bit stereo: half a frame at the end
  WriteFileBytes(input, BuildWave(PcmFormat(2, 8000, 16), data));
  OffsetEffect plus(10);
  LinkedTestEffects l(left, {&plus});
  ASSERT_EQ(ProcessFileToFile(Settings(128)), FileRunResult::kCompleted);
  EXPECT_EQ(SamplesFromBytes(Output().data), (std::vector<int16_t>{11, 2, 13, 4, 5}));
}

TEST_F(FileRunTest, ProgressRisesToItsEndWithTheLastBlockAndReturnsToZero) {
  for (const uint32_t bytes : {4096u, 4097u}) {  // a block multiple, and one byte more
    progress.positions.clear();
    WriteFileBytes(input, BuildWave(PcmFormat(1, 8000, 8), Bytes(bytes, 0x80)));
    ASSERT_EQ(ProcessFileToFile(Settings(1024)), FileRunResult::kCompleted);
    // trunc(bytes done / total x 32768), the last block counted with its own length.
    std::vector<int32_t> expected = {0};
    for (uint32_t done = 1024; done < bytes + 1024; done += 1024) {
      expected.push_back(
          static_cast<int32_t>(static_cast<double>(std::min(done, bytes)) / bytes * 32768));
    }
    EXPECT_EQ(expected[expected.size() - 1], 32768);
    expected.push_back(0);
    EXPECT_EQ(progress.positions, expected) << bytes;
    EXPECT_EQ(Output().data.size(), bytes);
  }
}

TEST_F(FileRunTest, ARefusedInputCreatesNoOutput) {
  WriteFileBytes(input, BuildWave(PcmFormat(2, 44100, 24), Bytes(60, 0)));
  EXPECT_EQ(ProcessFileToFile(Settings()), FileRunResult::kInputRefused);
  EXPECT_EQ(notifier.messages, std::vector<std::string>{"UnSupported Wave Format!"});
  EXPECT_FALSE(FileExists(output));
  EXPECT_TRUE(progress.positions.empty());
}

TEST_F(FileRunTest, AnOutputThatReachesTheInputIsRefusedBeforeAnythingIsOpened) {
  const Bytes file = BuildWave(PcmFormat(2, 22050, 16), SampleBytes(Noise(4000, 3)));
  WriteFileBytes(input, file);
  ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0700), 0);
  ASSERT_EQ(symlink(input.c_str(), dir.File("symbolic.wav").c_str()), 0);
  ASSERT_EQ(link(input.c_str(), dir.File("hard.wav").c_str()), 0);
  OffsetEffect plus(1);
  LinkedTestEffects l(left, {&plus});
  for (const std::string& name : {input, dir.Path() + "/./in.wav", dir.Path() + "/sub/../in.wav",
                                  dir.File("symbolic.wav"), dir.File("hard.wav")}) {
    notifier.messages.clear();
    output = name;
    EXPECT_EQ(ProcessFileToFile(Settings()), FileRunResult::kOutputIsInput) << name;
    EXPECT_EQ(notifier.messages, std::vector<std::string>{"The output file is the input file!"});
    EXPECT_EQ(notifier.details.back(), input);
    EXPECT_EQ(ReadFileBytes(input), file) << name;
  }
  // A symbolic link taken as the input is refused the same way.
  input = dir.File("symbolic.wav");
  output = dir.File("hard.wav");
  EXPECT_EQ(ProcessFileToFile(Settings()), FileRunResult::kOutputIsInput);
  EXPECT_EQ(plus.state.prepares, 0);
  EXPECT_TRUE(progress.positions.empty());
  EXPECT_EQ(ReadFileBytes(dir.File("in.wav")), file);
}

TEST_F(FileRunTest, AnOutputThatCannotBeCreatedIsReported) {
  WriteFileBytes(input, BuildWave(PcmFormat(1, 8000, 16), Bytes(60, 0)));
  output = dir.File("missing/out.wav");
  OffsetEffect plus(1);
  LinkedTestEffects l(left, {&plus});
  EXPECT_EQ(ProcessFileToFile(Settings()), FileRunResult::kOutputRefused);
  EXPECT_EQ(notifier.messages, std::vector<std::string>{"Error opening output file"});
  EXPECT_EQ(notifier.details, std::vector<std::string>{output + ": No such file or directory"});
  EXPECT_EQ(plus.state.prepares, 0);
}

TEST_F(FileRunTest, AReadErrorKeepsAValidOutputWithTheBlocksBefore) {
  // The data chunk claims more bytes than the file holds.
  const Bytes data = SampleBytes(Noise(1000, 9));  // 2000 bytes
  WriteFileBytes(input, BuildRiff({{"fmt ", FormatChunkBody(PcmFormat(1, 8000, 16))},
                                   {"data", data, /*sizeField=*/5000u}}));
  OffsetEffect plus(1);
  LinkedTestEffects l(left, {&plus});
  EXPECT_EQ(ProcessFileToFile(Settings(512)), FileRunResult::kReadError);
  EXPECT_EQ(notifier.messages, std::vector<std::string>{"Error reading input file!!!"});
  EXPECT_EQ(notifier.details,
            std::vector<std::string>{input + ": the file ends before its data does"});
  const ParsedWave out = Output();
  ASSERT_EQ(out.problem, "");
  const Bytes firstBlocks(data.begin(), data.begin() + 1536);
  EXPECT_EQ(out.data, SampleBytes(Offset(SamplesFromBytes(firstBlocks), 1)));
  EXPECT_EQ(out.data.size(), 1536u);  // three whole blocks; the fourth could not be read
  EXPECT_EQ(plus.state.releases, 1);
  EXPECT_EQ(progress.positions.back(), 0);
}

TEST_F(FileRunTest, AWriteErrorKeepsAValidOutputWithEveryWholeBlockThatFitAndSaysHowMuch) {
  // Blocks of 1024 are gathered and written out together; the limit falls in
  // the middle of a write: after more than a second of audio (written out
  // with a header update), or before anything was written (at the close).
  const struct {
    size_t samples;
    uint64_t room;
    uint64_t kept;
  } cases[] = {
      {2 * 100000, 200000, 195 * 1024},
      {2 * 4000, 3 * 1024 + 100, 3 * 1024},
  };
  for (const auto& c : cases) {
    const Bytes data = SampleBytes(Noise(c.samples, 4));
    WriteFileBytes(input, BuildWave(PcmFormat(2, 22050, 16), data));
    const std::string log = RunWithFileSizeLimit(46 + c.room, [this] {
      const FileRunResult result = ProcessFileToFile(Settings(1024));
      std::string text = result == FileRunResult::kWriteError ? "write error" : "other";
      for (size_t i = 0; i < notifier.messages.size(); ++i) {
        text += "|" + notifier.messages[i] + "|" + notifier.details[i];
      }
      return text + "|last progress " + std::to_string(progress.positions.back());
    });
    EXPECT_EQ(log, "write error|Error writing output file!!!|" + output + ": File too large (" +
                       std::to_string(c.kept) + " bytes of sound kept)|last progress 0");
    const ParsedWave out = Output();
    ASSERT_EQ(out.problem, "");
    EXPECT_EQ(out.data, Bytes(data.begin(), data.begin() + static_cast<ptrdiff_t>(c.kept)))
        << "room " << c.room;
  }
}

TEST_F(FileRunTest, TheBlockHookCanCancelAfterABlockLeavingAValidOutput) {
  const Bytes data = SampleBytes(Noise(4096, 2));
  WriteFileBytes(input, BuildWave(PcmFormat(1, 8000, 16), data));
  OffsetEffect plus(0);
  LinkedTestEffects l(left, {&plus});
  FileRunSettings settings = Settings(1024);
  int32_t blocks = 0;
  settings.afterBlock = [&blocks] { return ++blocks == 3; };
  EXPECT_EQ(ProcessFileToFile(settings), FileRunResult::kCancelled);
  EXPECT_TRUE(notifier.messages.empty());
  const ParsedWave out = Output();
  ASSERT_EQ(out.problem, "");
  EXPECT_EQ(out.data, Bytes(data.begin(), data.begin() + 3 * 1024));
  EXPECT_EQ(plus.state.releases, 1);
  EXPECT_EQ(progress.positions.back(), 0);
}

TEST_F(FileRunTest, AnOutputWithoutRoomForItsHeaderIsRemovedAndAnOlderFileKeptWhole) {
  WriteFileBytes(input, BuildWave(PcmFormat(1, 8000, 16), Bytes(600, 1)));
  const auto run = [this] {
    return RunWithFileSizeLimit(20, [this] {
      std::string text =
          ProcessFileToFile(Settings()) == FileRunResult::kOutputRefused ? "refused" : "other";
      for (size_t i = 0; i < notifier.messages.size(); ++i) {
        text += "|" + notifier.messages[i] + "|" + notifier.details[i];
      }
      return text;
    });
  };
  // Made by the run and left unfinished: removed.
  const std::string tooLarge = output + ": File too large";
  EXPECT_EQ(run(), "refused|Cannot write wave format data!|" + tooLarge +
                       "|Error opening output file|" + tooLarge);
  EXPECT_FALSE(FileExists(output));
  // There before the run: not a byte changes while the header cannot be written.
  const Bytes older = {'o', 'l', 'd'};
  WriteFileBytes(output, older);
  EXPECT_EQ(run(), "refused|Cannot create wave format chunk!|" + tooLarge +
                       "|Error opening output file|" + tooLarge);
  EXPECT_EQ(ReadFileBytes(output), older);
}

TEST_F(FileRunTest, AnUnknownDataSizeReadsToTheEndOfTheFileInWholeFrames) {
  // Streaming writers put 0xFFFFFFFF where they do not know the length.
  const std::vector<int16_t> samples = Noise(2 * 700, 6);
  Bytes data = SampleBytes(samples);
  data.insert(data.end(), {9, 9, 9});  // an incomplete last frame
  WriteFileBytes(input, BuildRiff({{"fmt ", FormatChunkBody(PcmFormat(2, 8000, 16))},
                                   {"data", data, /*sizeField=*/0xFFFFFFFFu, /*padded=*/false}},
                                  "WAVE", 0xFFFFFFFFu));
  OffsetEffect plus(100);
  LinkedTestEffects l(left, {&plus});
  EXPECT_EQ(ProcessFileToFile(Settings(1024)), FileRunResult::kCompleted);
  EXPECT_TRUE(notifier.messages.empty());
  const ParsedWave out = Output();
  ASSERT_EQ(out.problem, "");
  EXPECT_EQ(SamplesFromBytes(out.data), Offset(samples, 100, 0, 2));
}

TEST_F(FileRunTest, AnAutomaticTailEndsAHundredMillisecondsAfterTheLastSampleBeyondOne) {
  // Impulses through a decay on each channel, the right one later: the
  // output goes on until both channels have stayed within +-1 for 100 ms
  // (800 frames at 8000 Hz), or for 30 s when it never does. Without effects
  // a loud end gets 100 ms of silence, and a quiet end nothing.
  struct Case {
    int32_t factor;  // of the decay; 0: no effects
    int32_t shift;
    int32_t rightImpulse;  // frame of the right channel's impulse
    int16_t height;
  };
  const Case cases[] = {
      {1, 1, 985, -20000}, {15, 4, 300, -20000}, {0, 0, 999, 5000}, {0, 0, 150, 2}};
  for (const Case c : cases) {
    const int32_t frames = 1000;
    std::vector<int16_t> l = Impulse(frames, 100, 30000);
    std::vector<int16_t> r = Impulse(frames, c.rightImpulse, c.height);
    DecayEffect leftDecay(c.factor, c.shift);
    DecayEffect rightDecay(c.factor, c.shift);
    const bool decay = c.factor != 0;
    LinkedTestEffects ll(left, decay ? std::vector<Effect*>{&leftDecay} : std::vector<Effect*>{});
    LinkedTestEffects lr(right, decay ? std::vector<Effect*>{&rightDecay} : std::vector<Effect*>{});
    WriteFileBytes(input, BuildWave(PcmFormat(2, 8000, 16), SampleBytes(Interleave(l, r))));
    // What the output should be: the input, then silence, through the same
    // decay, up to 800 frames after the last sample beyond +-1.
    l.resize(frames + 30 * 8000);
    r.resize(l.size());
    int32_t lastLoud = 0;
    DecaySettings leftState = leftDecay.state;
    DecaySettings rightState = rightDecay.state;
    for (size_t n = 0; n < l.size(); ++n) {
      if (decay) {
        l[n] = Decay(l[n], leftState);
        r[n] = Decay(r[n], rightState);
      }
      if (std::abs(l[n]) > 1 || std::abs(r[n]) > 1) {
        lastLoud = static_cast<int32_t>(n);
      }
    }
    const size_t length =
        std::min(std::max<size_t>(frames, static_cast<size_t>(lastLoud) + 1 + 800), l.size());
    l.resize(length);
    r.resize(length);

    FileRunSettings settings = Settings(256);
    settings.tail.mode = TailMode::kUntilQuiet;
    FileRunSummary summary;
    settings.summary = &summary;
    progress.positions.clear();
    ASSERT_EQ(ProcessFileToFile(settings), FileRunResult::kCompleted);
    const ParsedWave out = Output();
    ASSERT_EQ(out.problem, "");
    EXPECT_EQ(SamplesFromBytes(out.data), Interleave(l, r)) << c.factor << " " << c.rightImpulse;
    EXPECT_EQ(summary.framesRead, uint64_t{frames});
    EXPECT_EQ(summary.framesWritten, length);
    EXPECT_EQ(summary.tailFrames, length - frames);
    // The bar covers the longest tail and ends with the last block.
    ASSERT_GE(progress.positions.size(), 3u);
    EXPECT_EQ(progress.positions[progress.positions.size() - 2], 32768);
    EXPECT_LT(progress.positions[progress.positions.size() - 3], 32768);
  }
}

TEST_F(FileRunTest, AFixedTailAddsItsLengthOfProcessedSilenceUnderTheBar) {
  WriteFileBytes(input, BuildWave(PcmFormat(1, 8000, 8), Bytes(1000, 0x90)));
  OffsetEffect plus(512);  // two steps of an 8-bit sample
  LinkedTestEffects l(left, {&plus});
  FileRunSettings settings = Settings(128);
  settings.tail = {TailMode::kFixed, 0.25};
  ASSERT_EQ(ProcessFileToFile(settings), FileRunResult::kCompleted);
  Bytes expected(1000 + 2000, 0x82);  // the input, then 0.25 s of offset silence
  std::fill_n(expected.begin(), 1000, 0x92);
  EXPECT_EQ(Output().data, expected);
  // 24 blocks: 8 of the input, then 16 of tail; the bar is at a third after
  // the input.
  ASSERT_EQ(progress.positions.size(), 1u + 24u + 1u);
  EXPECT_EQ(progress.positions[8], 32768 * 1000 / 3000);
  EXPECT_EQ(progress.positions[24], 32768);
}
