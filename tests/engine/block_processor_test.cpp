// Block processing: the conversions into and out of 16-bit channels, which
// chain runs on which channel, the buffer roles across blocks, and the levels
// a block leaves in a meter.

#include "engine/block_processor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/signals.h"
#include "tests/support/test_effects.h"
#include "tests/support/wave_builder.h"

using namespace test_support;

namespace {

// A run's worth of block processing state for one stream layout.
struct Stream {
  Stream(int32_t bits, int32_t channels, int32_t blockBytes) {
    parameters.bitsPerSample = bits;
    parameters.channels = channels;
    parameters.framesPerBlock = FramesPerBlock(blockBytes, bits, channels);
    work.Allocate(parameters.framesPerBlock);
  }
  // Processes `source` (whole frames) and returns the destination bytes.
  Bytes Run(const Bytes& source, LevelMeter* meter = nullptr) {
    Bytes destination(source.size(), 0xEE);
    ProcessBlock(parameters, left, right, work, source.data(), destination.data(),
                 FrameCount(static_cast<uint32_t>(source.size()), parameters.bitsPerSample,
                            parameters.channels),
                 meter);
    return destination;
  }
  StreamParameters parameters;
  EffectChain left;
  EffectChain right;
  WorkBuffers work;
};

Bytes AllByteValues() {
  Bytes bytes(256);
  for (int i = 0; i < 256; ++i) {
    bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  }
  return bytes;
}

}  // namespace

TEST(BlockProcessor, FramesPerBlockAndFrameCounts) {
  EXPECT_EQ(FramesPerBlock(1024, 16, 2), 256);
  EXPECT_EQ(FramesPerBlock(1024, 16, 1), 512);
  EXPECT_EQ(FramesPerBlock(1024, 8, 2), 512);
  EXPECT_EQ(FramesPerBlock(128, 8, 1), 128);
  // Every whole frame of a short last block counts.
  EXPECT_EQ(FrameCount(7, 8, 1), 7);
  EXPECT_EQ(FrameCount(6, 8, 2), 3);
  EXPECT_EQ(FrameCount(10, 8, 2), 5);
  EXPECT_EQ(FrameCount(6, 16, 2), 1);
  EXPECT_EQ(FrameCount(7, 16, 1), 3);
}

TEST(BlockProcessor, SixteenBitSamplesPassAnEmptyChainBitForBit) {
  for (const int32_t channels : {1, 2}) {
    Stream stream(16, channels, 2048);
    const Bytes source = SampleBytes(Noise(1024, 7));
    EXPECT_EQ(stream.Run(source), source) << channels << " channel(s)";
  }
}

TEST(BlockProcessor, EightBitValuesRoundTripThroughTheSixteenBitRange) {
  // Into 16 bits: (byte - 128) x 256. Out: (v >> 8) limited to -127..127, + 128.
  Stream stream(8, 1, 256);
  OffsetEffect probe(0);
  LinkedTestEffects linked(stream.left, {&probe});
  const Bytes out = stream.Run(AllByteValues());
  ASSERT_EQ(probe.state.log.size(), 1u);
  const int16_t* converted = probe.state.log[0].source;
  EXPECT_EQ(converted[0x00], -32768);
  EXPECT_EQ(converted[0x80], 0);
  EXPECT_EQ(converted[0xFF], 32512);
  EXPECT_EQ(converted[0x01], -32512);
  for (int i = 0; i < 256; ++i) {
    // Only 0x00 changes: it comes back as 0x01, so an output byte is never 0.
    EXPECT_EQ(out[static_cast<size_t>(i)], i == 0 ? 1 : i) << "byte " << i;
  }
}

TEST(BlockProcessor, EightBitOutputRoundsTowardMinusInfinityAndNeverReachesZero) {
  Stream stream(8, 2, 16);
  OffsetEffect shift(-1);       // 0 -> -1, whose >> 8 is -1: byte 127
  OffsetEffect lowest(-32767);  // everything at or near the bottom: byte 1
  LinkedTestEffects left(stream.left, {&shift});
  LinkedTestEffects right(stream.right, {&lowest});
  const Bytes out = stream.Run({0x80, 0x80, 0x00, 0x00, 0xFF, 0xFF});
  EXPECT_EQ(out, (Bytes{127, 1, 1, 1, 254, 127}));
}

TEST(BlockProcessor, StereoRoutesChannelZeroToTheLeftChainAndOneToTheRight) {
  for (const int32_t bits : {8, 16}) {
    Stream stream(bits, 2, 64);
    OffsetEffect leftEffect(256);
    OffsetEffect rightEffect(-512);
    LinkedTestEffects left(stream.left, {&leftEffect});
    LinkedTestEffects right(stream.right, {&rightEffect});
    if (bits == 16) {
      const Bytes out = stream.Run(SampleBytes({100, 200, -300, 400}));
      EXPECT_EQ(SamplesFromBytes(out), (std::vector<int16_t>{356, -312, -44, -112}));
    } else {
      const Bytes out = stream.Run({0x80, 0x80, 0x90, 0x10});
      EXPECT_EQ(out, (Bytes{0x81, 0x7E, 0x91, 0x0E}));
    }
    EXPECT_EQ(leftEffect.state.calls, 1);
    EXPECT_EQ(rightEffect.state.calls, 1);
  }
}

TEST(BlockProcessor, MonoNeverRunsTheRightChain) {
  for (const int32_t bits : {8, 16}) {
    Stream stream(bits, 1, 64);
    OffsetEffect leftEffect(256);
    OffsetEffect rightEffect(1000);
    LinkedTestEffects left(stream.left, {&leftEffect});
    LinkedTestEffects right(stream.right, {&rightEffect});
    stream.Run(Bytes(bits == 8 ? 10 : 20, 0x80));
    stream.Run(Bytes(bits == 8 ? 10 : 20, 0x80));
    EXPECT_EQ(leftEffect.state.calls, 2);
    EXPECT_EQ(rightEffect.state.calls, 0);
  }
}

TEST(BlockProcessor, DisabledAndMissingEffectsLeaveTheChannelUnchanged) {
  Stream stream(16, 2, 256);
  OffsetEffect off(5000, 0);
  LinkedTestEffects left(stream.left, {&off});  // right chain: empty
  const Bytes source = SampleBytes(Interleave(Sine(64, 440, 8000, 20000), Noise(64, 3)));
  EXPECT_EQ(stream.Run(source), source);
  EXPECT_EQ(off.state.calls, 0);
}

TEST(BlockProcessor, EffectsRunInRecordOrderOnSwappingBuffers) {
  Stream stream(16, 1, 64);
  OffsetEffect a(1);
  OffsetEffect b(10);
  OffsetEffect c(100);
  LinkedTestEffects linked(stream.left, {&a, &b, &c});
  int16_t* first = stream.work.current[0];
  int16_t* second = stream.work.spare[0];
  EXPECT_EQ(SamplesFromBytes(stream.Run(SampleBytes({0, 5}))), (std::vector<int16_t>{111, 116}));
  // Each effect reads what the one before wrote, into the other buffer.
  EXPECT_EQ(a.state.log[0].source, first);
  EXPECT_EQ(a.state.log[0].destination, second);
  EXPECT_EQ(b.state.log[0].source, second);
  EXPECT_EQ(b.state.log[0].destination, first);
  EXPECT_EQ(c.state.log[0].source, first);
  EXPECT_EQ(c.state.log[0].destination, second);
  EXPECT_EQ(c.state.log[0].count, 2);
}

TEST(BlockProcessor, AnOddNumberOfEnabledEffectsCarriesTheSwappedRolesIntoTheNextBlock) {
  Stream stream(16, 2, 64);
  OffsetEffect a(1);
  OffsetEffect skipped(1000, 0);
  OffsetEffect b(10);
  OffsetEffect c(100);
  LinkedTestEffects left(stream.left, {&a, &skipped, &b, &c});
  int16_t* startCurrent = stream.work.current[0];
  int16_t* startSpare = stream.work.spare[0];
  int16_t* rightCurrent = stream.work.current[1];
  stream.Run(SampleBytes({0, 0}));
  // Three enabled effects: the output ended in the buffer that was spare.
  EXPECT_EQ(stream.work.current[0], startSpare);
  EXPECT_EQ(stream.work.spare[0], startCurrent);
  EXPECT_EQ(stream.work.current[1], rightCurrent);  // empty right chain: no swap
  stream.Run(SampleBytes({0, 0}));
  EXPECT_EQ(a.state.log[1].source, startSpare);  // the next input goes there
  EXPECT_EQ(stream.work.current[0], startCurrent);
}

TEST(BlockProcessor, RecordsAreReadAfreshForEveryBlock) {
  Stream stream(16, 1, 64);
  OffsetEffect a(1);
  OffsetEffect b(10);
  LinkedTestEffects linked(stream.left, {&a, &b});
  EXPECT_EQ(SamplesFromBytes(stream.Run(SampleBytes({0}))), std::vector<int16_t>{11});
  stream.left.SetEnabled(&b, 0);  // in place
  EXPECT_EQ(SamplesFromBytes(stream.Run(SampleBytes({0}))), std::vector<int16_t>{1});
  stream.left.SetEnabled(&b, 1);
  stream.left.MoveDown(&a);  // order b, a: a fresh record array
  EXPECT_EQ(SamplesFromBytes(stream.Run(SampleBytes({0}))), std::vector<int16_t>{11});
  EXPECT_EQ(b.state.log.back().destination, a.state.log.back().source);  // b ran first
}

TEST(BlockProcessor, ZeroFramesAndFramesBeyondTheBuffersAreNotProcessed) {
  Stream stream(16, 1, 16);  // 8 frames; the buffers hold 16
  OffsetEffect a(1);
  LinkedTestEffects linked(stream.left, {&a});
  Bytes destination(64, 0xEE);
  const Bytes source(64, 0);
  ProcessBlock(stream.parameters, stream.left, stream.right, stream.work, source.data(),
               destination.data(), 0);
  EXPECT_EQ(a.state.calls, 0);
  EXPECT_EQ(destination, Bytes(64, 0xEE));
  ProcessBlock(stream.parameters, stream.left, stream.right, stream.work, source.data(),
               destination.data(), 32);
  EXPECT_EQ(a.state.log.at(0).count, 16);
  EXPECT_EQ(destination[31], 0);
  EXPECT_EQ(destination[32], 0xEE);
}

TEST(BlockProcessor, MetersASineAtMinusSixDbfsOnBothChannels) {
  Stream stream(16, 2, 8192);
  LevelMeter meter;
  meter.BeginRun(2);
  const double amplitude = kFullScale * std::pow(10.0, -6.0 / 20);
  const std::vector<int16_t> sine = Sine(1000, 1000, 48000, amplitude);
  stream.Run(SampleBytes(Interleave(sine, sine)), &meter);
  const RunLevels run = meter.Run();
  for (const int32_t point : {kMeterInput, kMeterOutput}) {
    for (const ChannelLevel& level : run.level[point]) {
      EXPECT_EQ(level.peak, 16422);  // the sine's crest, truncated
      EXPECT_NEAR(PeakDbfs(level.peak), -6.0, 0.005);
      EXPECT_EQ(level.clipped, 0u);
    }
  }
  EXPECT_EQ(OutputPeakText(run), "peak -6.0 dBFS left, -6.0 dBFS right");
  EXPECT_EQ(OutputClippedText(run), "no samples clipped");
}

TEST(BlockProcessor, CountsEverySampleTheChainsSaturatedAtEitherEnd) {
  // A square of +-20000, 500 samples each way: the left chain lifts it by
  // 20000 and saturates its upper half, the right lowers it and saturates its
  // lower half. A full-scale square at the input counts there.
  Stream stream(16, 2, 8192);
  std::vector<int16_t> square = Square(1000, 100);
  for (int16_t& sample : square) {
    sample = static_cast<int16_t>(sample > 0 ? 20000 : -20000);
  }
  OffsetEffect up(20000);
  OffsetEffect down(-20000);
  LinkedTestEffects left(stream.left, {&up});
  LinkedTestEffects right(stream.right, {&down});
  LevelMeter meter;
  meter.BeginRun(2);
  stream.Run(SampleBytes(Interleave(square, square)), &meter);
  RunLevels run = meter.Run();
  EXPECT_EQ(run.level[kMeterInput][0].clipped, 0u);
  EXPECT_EQ(run.level[kMeterInput][0].peak, 20000);
  EXPECT_EQ(run.level[kMeterOutput][0].clipped, 500u);
  EXPECT_EQ(run.level[kMeterOutput][1].clipped, 500u);
  EXPECT_EQ(run.level[kMeterOutput][0].peak, kFullScale);
  EXPECT_EQ(OutputPeakText(run), "peak 0.0 dBFS left, 0.0 dBFS right");
  EXPECT_EQ(OutputClippedText(run), "1000 samples clipped");

  meter.BeginRun(1);
  Stream mono(16, 1, 8192);
  mono.Run(SampleBytes(Square(300, 10)), &meter);
  run = meter.Run();
  EXPECT_EQ(run.level[kMeterInput][0].clipped, 300u);
  EXPECT_EQ(run.level[kMeterOutput][0].clipped, 300u);
  EXPECT_EQ(OutputPeakText(run), "peak 0.0 dBFS");
}

TEST(LevelMeter, TheDisplayTakesEachPeakOnceAndClipCountsRunOnAcrossRuns) {
  LevelMeter meter;
  meter.BeginRun(2);
  BlockLevels block;
  block.level[kMeterOutput][1] = {kFullScale, 3};
  meter.Add(block);
  block.level[kMeterOutput][1] = {100, 0};
  meter.Add(block);
  LevelMeter::Reading reading = meter.Take();
  EXPECT_EQ(reading.peak[kMeterOutput][1], kFullScale);
  EXPECT_EQ(reading.clipped[kMeterOutput][1], 3u);
  reading = meter.Take();
  EXPECT_EQ(reading.peak[kMeterOutput][1], 0);  // taken
  EXPECT_EQ(reading.clipped[kMeterOutput][1], 3u);
  // A new run: its totals start from nothing; the display's counts go on.
  meter.BeginRun(1);
  meter.Add(block);
  EXPECT_EQ(meter.Run().level[kMeterOutput][1].peak, 100);
  EXPECT_EQ(meter.Run().OutputClipped(), 0u);
  EXPECT_EQ(meter.Take().clipped[kMeterOutput][1], 3u);
  EXPECT_EQ(meter.Take().channels, 1);
}
