// The compressor against a per-sample model of envelope, gain lookup and mix,
// and the anchors of its window and gain curve.

#include "effects/compression_effect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "effect_test_signals.h"
#include "effects/effect_factory.h"

using namespace effect_test;

namespace {

std::vector<int16_t> ModelCompression(const CompressionSettings& s, int32_t windowLength,
                                      const std::vector<int16_t>& x) {
  ModelEnvelope envelope(windowLength, static_cast<float>(1.6 / (windowLength + 1)));
  std::vector<int16_t> y(x.size());
  for (size_t n = 0; n < x.size(); ++n) {
    const int32_t level = envelope.Step(x[n]);
    const float gained = static_cast<float>(x[n]) * s.gainTable[level / 128];
    const auto wet = static_cast<int16_t>(Clamp16(std::llrint(gained)));
    y[n] = MixSample(s.dryInputGain, x[n], s.dryOutputGain, wet);
  }
  return y;
}

int32_t WindowLength(float ms, int32_t rate) {
  return static_cast<int32_t>(ms * static_cast<float>(rate) * 0.002) + 1;
}

const CurvePoint kFlat0[] = {{0.0f, 0.0f}, {32768.0f, 0.0f}};
const CurvePoint kDown40[] = {{0.0f, 0.0f}, {32768.0f, -40.0f}};
const CurvePoint kKnee[] = {{0.0f, -40.0f}, {2000.0f, 12.0f}, {16000.0f, 0.0f}, {32768.0f, -30.0f}};
const CurvePoint kLoud[] = {{0.0f, 40.0f}, {32768.0f, 40.0f}};

}  // namespace

TEST(CompressionEffect, FactoryDefaults) {
  auto node = CreateEffect(kCompressionEffectId);
  ASSERT_NE(node, nullptr);
  EXPECT_STREQ(node->Name(), "Compression Effect");
  auto& s = *static_cast<CompressionSettings*>(node->settings);
  EXPECT_EQ(s.envelopeDelayMs, 20.0f);
  EXPECT_EQ(s.curve.Count(), 2);
  EXPECT_EQ(s.curve.Points()[0].y, 1.0f);
  EXPECT_EQ(s.curve.Points()[1].x, 32767.0f);
  EXPECT_EQ(s.dryInputGain, 180);
  node->Prepare(node->settings, 256, 44100);
  // Flat +1 dB: e^0.115.
  EXPECT_NEAR(s.gainTable[0], std::exp(0.115), 1e-6);
}

TEST(CompressionEffect, WindowLengths) {
  const struct {
    float ms;
    int32_t rate;
    int32_t length;
  } cases[] = {{20.0f, 44100, 1765}, {1.0f, 8000, 17}, {50.0f, 44100, 4411}, {5.0f, 44100, 442}};
  for (const auto& c : cases) {
    CompressionEffect effect(c.ms);
    effect.Prepare(effect.settings, 128, c.rate);
    EXPECT_EQ(effect.record.envelope.Length(), c.length);
    EXPECT_EQ(effect.record.envelope.readPosition, 2);
    EXPECT_EQ(effect.record.envelope.scale, static_cast<float>(1.6 / (c.length + 1)));
  }
}

TEST(CompressionEffect, GainTableFollowsTheCurveInDecibels) {
  CompressionEffect effect(20.0f);
  effect.SetCurve(kDown40);
  effect.Prepare(effect.settings, 128, 44100);
  for (int32_t k = 0; k <= 256; k += 15) {
    EXPECT_NEAR(effect.record.gainTable[k], std::exp(0.115 * -40.0 * k / 256), 1e-6) << k;
  }
  // A curve handed over while prepared is in the table at once.
  effect.SetCurve(kFlat0);
  EXPECT_TRUE(std::all_of(effect.record.gainTable.begin(), effect.record.gainTable.end(),
                          [](float g) { return g == 1.0f; }));
}

TEST(CompressionEffect, MatchesThePerSampleModel) {
  const std::span<const CurvePoint> curves[] = {kFlat0, kDown40, kKnee, kLoud};
  for (int32_t rate : {8000, 22050, 44100}) {
    for (int32_t c = 0; c < 4; ++c) {
      for (float ms : {1.0f, 5.0f, 20.0f}) {
        for (int32_t block : {1, 100, 1024}) {
          for (const auto& x : TestSignals(4000)) {
            CompressionEffect effect(ms);
            effect.SetCurve(curves[c]);
            effect.record.dryInputGain = c == 2 ? 0 : 90;
            effect.record.dryOutputGain = c == 1 ? 361 : 256;
            effect.Prepare(effect.settings, block, rate);
            const auto want = ModelCompression(effect.record, WindowLength(ms, rate), x);
            const auto got = RunInBlocks(effect, x, block);
            ASSERT_EQ(got, want) << "rate " << rate << " curve " << c << " ms " << ms << " block "
                                 << block;
            EXPECT_EQ(std::count(got.begin(), got.end(), int16_t{-32768}), 0);
          }
        }
      }
    }
  }
}

TEST(CompressionEffect, FlatZeroDecibelsScalesByTheOutputGain) {
  CompressionEffect effect(20.0f);
  effect.SetCurve(kFlat0);
  effect.SetDryInputMix(0);
  effect.SetDryOutputMix(256);
  effect.Prepare(effect.settings, 256, 44100);
  const auto x = Noise(2048, 4);
  const auto y = RunInBlocks(effect, x, 256);
  for (size_t n = 0; n < x.size(); ++n) {
    ASSERT_EQ(y[n], std::max(-32767, (180 * x[n]) >> 8)) << n;
  }
}

TEST(CompressionEffect, MinusFortyDecibelsAtFullLevelAttenuatesTo00102) {
  CompressionEffect effect(20.0f);
  effect.SetCurve(kDown40);
  effect.record.dryInputGain = 0;
  effect.record.dryOutputGain = 256;
  effect.Prepare(effect.settings, 1024, 44100);
  const auto y = RunInBlocks(effect, Sine(44100, 441.0 / 44100, 32767.0), 1024);
  int32_t peak = 0;
  for (size_t n = 4000; n < y.size(); ++n) {
    peak = std::max(peak, std::abs(static_cast<int32_t>(y[n])));
  }
  EXPECT_NEAR(peak / 32767.0, std::exp(0.115 * -40.0 * 255 / 256), 1e-4);
  EXPECT_NEAR(peak / 32767.0, 0.0102, 0.0002);
}

TEST(CompressionEffect, SilenceStaysSilence) {
  CompressionEffect effect(5.0f);
  effect.SetCurve(kLoud);
  effect.Prepare(effect.settings, 128, 44100);
  const auto y = RunInBlocks(effect, std::vector<int16_t>(1024, 0), 128);
  EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](int16_t v) { return v == 0; }));
}
