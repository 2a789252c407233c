// The delay effect: its line geometry, the echo it adds, live changes of the
// delay time, and its life cycle, against a reference that indexes the input
// history directly.

#include "effects/delay_effect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "effects/effect_factory.h"
#include "tests/dsp/test_signals.h"

using test_signals::Block;

namespace {
int16_t Clamp(int32_t v) {
  return static_cast<int16_t>(v > 32767 ? 32767 : (v < -32767 ? -32767 : v));
}

// out[n] = (g0 x[n] + g1 x[n - D]) >> 8, with silence before the start.
Block ReferenceDelay(const Block& input, int32_t delay, int32_t g0, int32_t g1) {
  Block out(input.size());
  for (size_t n = 0; n < input.size(); ++n) {
    const int32_t delayed =
        n >= static_cast<size_t>(delay) ? input[n - static_cast<size_t>(delay)] : 0;
    out[n] = Clamp((g0 * input[n] + g1 * delayed) >> 8);
  }
  return out;
}

Block RunDelay(DelayEffect& effect, const Block& input, const std::vector<int32_t>& pattern) {
  return test_signals::RunInBlocks(input, pattern,
                                   [&](const int16_t* src, int16_t* dst, int32_t n) {
                                     DelayEffect::ProcessCallback(src, dst, effect.settings, n);
                                   });
}
}  // namespace

TEST(DelayEffect, FactoryBuildsTheDefaultDelay) {
  const std::unique_ptr<Effect> node = CreateEffect(kDelayEffectId);
  ASSERT_NE(node, nullptr);
  auto& delay = static_cast<DelayEffect&>(*node);
  EXPECT_STREQ(delay.Name(), "Delay Effect");
  EXPECT_EQ(delay.typeId, 15);
  EXPECT_EQ(delay.settings, &delay.record);
  EXPECT_EQ(delay.process, &DelayEffect::ProcessCallback);
  EXPECT_EQ(delay.enabled, 0);
  EXPECT_EQ(delay.prepared, 0);
  EXPECT_EQ(delay.record.delayMs, 10.0f);
  EXPECT_EQ(delay.record.dryInputMix, 0.707f);
  EXPECT_EQ(delay.record.dryOutputMix, 0.707f);
}

TEST(DelayEffect, LineGeometryAt22000) {
  DelayEffect delay(10.0f, 0.707f, 0.707f);
  delay.Prepare(delay.settings, 256, 22000);
  EXPECT_EQ(delay.prepared, 1);
  EXPECT_EQ(delay.record.line.Length(), 11001);
  EXPECT_EQ(delay.record.line.writePosition, 0);
  EXPECT_EQ(delay.record.line.readPosition, 10781);  // 220 samples behind
  EXPECT_EQ(delay.record.line.buffer.size(), 11001u);
  EXPECT_EQ(delay.record.mix.gains[0], 180);
  EXPECT_EQ(delay.record.mix.gains[1], 180);
}

TEST(DelayEffect, ImpulseReturnsDelaySamplesLaterAtTheOutputGain) {
  DelayEffect delay(10.0f, 0.707f, 0.707f);
  delay.SetDryInputMix(128);   // level 0.3535, gain 90
  delay.SetDryOutputMix(400);  // level 1.1047, gain 282
  delay.Prepare(delay.settings, 512, 22000);
  const Block out = RunDelay(delay, test_signals::Impulse(1024, 20000), {512});
  EXPECT_EQ(out[0], (90 * 20000) >> 8);
  EXPECT_EQ(out[220], (282 * 20000) >> 8);
  for (size_t n = 1; n < out.size(); ++n) {
    if (n != 220) {
      EXPECT_EQ(out[n], 0) << n;
    }
  }
}

TEST(DelayEffect, MatchesTheReferenceAcrossRatesDelaysBlocksAndMixes) {
  struct Case {
    int32_t rate;
    float ms;
    int32_t in, out;
  };
  for (const Case c :
       {Case{22000, 10.0f, 256, 256}, Case{8000, 0.0f, 512, 512}, Case{44100, 100.0f, 300, 100},
        Case{48000, 57.3f, 0, 512}, Case{11025, 1.0f, 512, 0}, Case{96000, 33.0f, 77, 450}}) {
    for (const auto& [name, input] : test_signals::Catalogue(12000)) {
      for (const auto& pattern : test_signals::BlockPatterns()) {
        DelayEffect delay(c.ms, 0.707f, 0.707f);
        delay.SetDryInputMix(c.in);
        delay.SetDryOutputMix(c.out);
        delay.Prepare(delay.settings, 1000, c.rate);
        const auto samples = static_cast<int32_t>(static_cast<float>(c.rate) * c.ms * 0.001);
        const Block out = RunDelay(delay, input, pattern);
        ASSERT_EQ(out, ReferenceDelay(input, samples, delay.record.mix.gains[0],
                                      delay.record.mix.gains[1]))
            << name << " rate " << c.rate << " ms " << c.ms;
        EXPECT_TRUE(test_signals::NeverMinus32768(out)) << name;
      }
    }
  }
}

TEST(DelayEffect, ZeroDelayPassesTheInputAtBothGains) {
  DelayEffect delay(0.0f, 0.707f, 0.707f);
  delay.Prepare(delay.settings, 64, 22000);
  EXPECT_EQ(delay.record.line.readPosition, 0);
  const Block input = test_signals::Sine(64, 0.05, 15000);
  const Block out = RunDelay(delay, input, {64});
  for (size_t n = 0; n < input.size(); ++n) {
    EXPECT_EQ(out[n], Clamp((360 * input[n]) >> 8));
  }
}

TEST(DelayEffect, FullScaleInputAndEchoClampAt32767) {
  DelayEffect delay(0.0f, 0.707f, 0.707f);
  delay.Prepare(delay.settings, 8, 22000);
  EXPECT_EQ(RunDelay(delay, Block(8, 32767), {8}), Block(8, 32767));
  EXPECT_EQ(RunDelay(delay, Block(8, -32768), {8}), Block(8, -32767));
  delay.SetDryOutputMix(0);
  EXPECT_EQ(RunDelay(delay, Block(8, 32767), {8}),
            Block(8, static_cast<int16_t>((180 * 32767) >> 8)));
}

TEST(DelayEffect, SetDelayTimeMovesTheReadPositionAndBackAgain) {
  DelayEffect delay(10.0f, 0.707f, 0.707f);
  delay.Prepare(delay.settings, 512, 22000);
  // Bring the read position near the start of the line, so the longer delay wraps.
  RunDelay(delay, test_signals::Noise(11001 - 10781 + 100, 5), {512});
  const int32_t before = delay.record.line.readPosition;
  ASSERT_EQ(before, 100);
  delay.SetDelayTime(20.0f, 22000);
  EXPECT_EQ(delay.record.line.readPosition, 100 - 220 + 11001);
  EXPECT_EQ(delay.record.delayMs, 20.0f);
  delay.SetDelayTime(10.0f, 22000);
  EXPECT_EQ(delay.record.line.readPosition, before);
  // The slider's whole range: 100 ms moves the read position back by 1980.
  delay.SetDelayTime(100.0f, 22000);
  EXPECT_EQ(delay.record.line.readPosition, before - 1980 + 11001);
  delay.SetDelayTime(10.0f, 22000);
  EXPECT_EQ(delay.record.line.readPosition, before);
}

TEST(DelayEffect, LongerDelayReplaysOlderSamplesStillInTheLine) {
  const Block input = test_signals::Noise(20000, 77);
  DelayEffect delay(10.0f, 0.707f, 0.707f);
  delay.SetDryInputMix(0);
  delay.Prepare(delay.settings, 10000, 22000);
  Block out(input.size());
  DelayEffect::ProcessCallback(input.data(), out.data(), delay.settings, 10000);
  delay.SetDelayTime(57.0f, 22000);  // 1034 samples more: 1254 in all
  DelayEffect::ProcessCallback(input.data() + 10000, out.data() + 10000, delay.settings, 10000);
  const Block expected = ReferenceDelay(input, 1254, 0, 180);
  for (size_t n = 10000; n < input.size(); ++n) {
    ASSERT_EQ(out[n], expected[n]) << n;
  }
}

TEST(DelayEffect, SetDelayTimeWithoutARateOnlyStoresTheTime) {
  DelayEffect delay(10.0f, 0.707f, 0.707f);
  delay.SetDelayTime(50.0f, 0);
  EXPECT_EQ(delay.record.delayMs, 50.0f);
  EXPECT_EQ(delay.record.line.readPosition, 0);
  delay.Prepare(delay.settings, 64, 22000);
  EXPECT_EQ(delay.record.line.readPosition, 11001 - 1100);
}

TEST(DelayEffect, SecondPrepareKeepsStateAndReleaseStartsFromSilence) {
  const Block input = test_signals::Noise(3000, 8);
  DelayEffect delay(10.0f, 0.707f, 0.707f);
  delay.Prepare(delay.settings, 512, 22000);
  RunDelay(delay, input, {512});
  const int32_t read = delay.record.line.readPosition;
  const int32_t write = delay.record.line.writePosition;
  const std::vector<int16_t> line = delay.record.line.buffer;
  delay.Prepare(delay.settings, 512, 44100);
  EXPECT_EQ(delay.record.line.readPosition, read);
  EXPECT_EQ(delay.record.line.writePosition, write);
  EXPECT_EQ(delay.record.line.buffer, line);

  delay.Release();
  EXPECT_EQ(delay.prepared, 0);
  EXPECT_TRUE(delay.record.line.buffer.empty());
  delay.Release();  // a second release changes nothing
  delay.Prepare(delay.settings, 512, 22000);
  DelayEffect fresh(10.0f, 0.707f, 0.707f);
  fresh.Prepare(fresh.settings, 512, 22000);
  EXPECT_EQ(RunDelay(delay, input, {512}), RunDelay(fresh, input, {512}));
}
