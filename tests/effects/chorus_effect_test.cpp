// The chorus: its sweep scaling, its echoes, its life cycle, and the whole
// callback against a reference that runs every stage sample by sample.

#include "effects/chorus_effect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "effects/effect_factory.h"
#include "tests/dsp/reference_biquad.h"
#include "tests/dsp/test_signals.h"

using test_signals::Block;

namespace {
struct Params {
  float cutoff, initial, final, period, feedback;
};
constexpr Params kPageDefaults{8000.0f, 5.0f, 10.0f, 2000.0f, 25.0f};
constexpr Params kConstructorDefaults{4000.0f, 5.0f, 10.0f, 4000.0f, 0.5f};

std::unique_ptr<ChorusEffect> MakeChorus(const Params& p) {
  return std::make_unique<ChorusEffect>(p.cutoff, p.initial, p.final, p.period, p.feedback, 0.707f,
                                        0.707f);
}

// The sweep scaling from its definition.
struct Scaling {
  int32_t lineLength, increment, depth, feedbackCoef;
};
Scaling ReferenceScaling(const Params& p, int32_t rate, int32_t block) {
  const double sr = static_cast<float>(rate);
  Scaling s{};
  s.lineLength =
      static_cast<int32_t>(static_cast<double>(p.final * static_cast<float>(sr)) * 0.001) + block;
  const auto m =
      static_cast<int32_t>(static_cast<double>(p.period * static_cast<float>(sr)) * 0.0005);
  int64_t sum = 0;
  for (int32_t k = 0; k <= m; ++k) {
    sum += static_cast<int32_t>(
        std::sin(static_cast<double>(k) / static_cast<double>(m) * 3.1415926535) * 4096.0);
  }
  const double period = static_cast<double>(p.period * static_cast<float>(sr)) * 0.001;
  s.increment = static_cast<int32_t>(256.0 / period * 4096.0);
  const double sweep = static_cast<double>((p.final - p.initial) * static_cast<float>(sr)) * 0.001;
  s.depth = static_cast<int32_t>(sweep / (static_cast<double>(sum) / 4096.0) * 4096.0);
  s.feedbackCoef = static_cast<int32_t>(static_cast<double>(p.feedback) * 2.56);
  return s;
}

int16_t Clamp(int64_t v) {
  const auto w = static_cast<int32_t>(v);
  return static_cast<int16_t>(w > 32767 ? 32767 : (w < -32767 ? -32767 : w));
}

// Every stage per sample: filter, oscillator, line with interpolated read and
// feedback, mix. The read position is held within the line (one line length
// minus one sample behind the write at most).
Block ReferenceChorus(const Params& p, int32_t rate, int32_t block, const Block& input,
                      const std::array<int32_t, 6>& coefficients, int32_t g0, int32_t g1) {
  const Scaling s = ReferenceScaling(p, rate, block);
  ReferenceDirectForm filter;
  std::copy_n(coefficients.begin(), 5, filter.c.begin());
  std::array<int32_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    table[static_cast<size_t>(i)] =
        static_cast<int32_t>(std::sin(i * 0.02454369260546875) * 4096.0);
  }
  const int32_t length = s.lineLength;
  std::vector<int16_t> line(static_cast<size_t>(length), 0);
  int32_t oscP = 0, oscF = 0;
  int32_t w = 0, r = block, frac = 0, lastWet = 0;
  Block out(input.size());
  for (size_t n = 0; n < input.size(); ++n) {
    const int32_t x = filter.Step(input[n]);
    const int32_t y0 = table[static_cast<size_t>(oscP)];
    const int32_t dy = table[static_cast<size_t>((oscP + 1) % 256)] - y0;
    const auto m = static_cast<int16_t>((s.depth * (y0 + ((dy * oscF) >> 12))) >> 12);
    oscF += s.increment;
    if (oscF >= 4096) {
      oscP = (oscP + (oscF >> 12)) % 256;
      oscF &= 4095;
    }

    // The fed-back share is truncated toward zero.
    line[static_cast<size_t>(w)] = Clamp(x + int64_t{s.feedbackCoef} * lastWet / 256);
    w = (w + 1) % length;
    const int32_t d = line[static_cast<size_t>(r)];
    const int32_t h = line[static_cast<size_t>((r + 1) % length)] - d;
    // 32-bit product, as the line computes it.
    lastWet = static_cast<int32_t>(d + (static_cast<int32_t>(int64_t{frac} * h) >> 12));
    const int16_t wet = Clamp(lastWet);
    frac += m + 4096;
    if (frac >= 4096) {
      r = (r + (frac >> 12)) % length;
      frac &= 4095;
    }
    if (r == w) {
      r = (r + 1) % length;
    }
    out[n] = Clamp((int64_t{g0} * input[n] + int64_t{g1} * wet) >> 8);
  }
  return out;
}

Block RunChorus(ChorusEffect& chorus, const Block& input, const std::vector<int32_t>& pattern) {
  return test_signals::RunInBlocks(input, pattern,
                                   [&](const int16_t* src, int16_t* dst, int32_t n) {
                                     ChorusEffect::ProcessCallback(src, dst, chorus.settings, n);
                                   });
}

// Delay of the line in samples: how far the read position is behind the write.
int32_t LineDelay(const ChorusSettings& s) {
  return ((s.writeIndex - s.readIndex) % s.lineLength + s.lineLength) % s.lineLength;
}
}  // namespace

TEST(ChorusEffect, FactoryBuildsTheDefaultChorus) {
  const std::unique_ptr<Effect> node = CreateEffect(kChorusEffectId);
  ASSERT_NE(node, nullptr);
  auto& chorus = static_cast<ChorusEffect&>(*node);
  EXPECT_STREQ(chorus.Name(), "Chorus Effect");
  EXPECT_EQ(chorus.typeId, 7);
  EXPECT_EQ(chorus.settings, &chorus.record);
  EXPECT_EQ(chorus.record.preFilterHz, 4000.0f);
  EXPECT_EQ(chorus.record.initialDelayMs, 5.0f);
  EXPECT_EQ(chorus.record.finalDelayMs, 10.0f);
  EXPECT_EQ(chorus.record.modLengthMs, 4000.0f);
  EXPECT_EQ(chorus.record.feedbackPercent, 0.5f);
  EXPECT_EQ(chorus.GetDryInputMix(), 256);
  EXPECT_EQ(chorus.GetDryOutputMix(), 256);
}

TEST(ChorusEffect, SweepScalingForThePageAndConstructorDefaultsAt22000) {
  auto page = MakeChorus(kPageDefaults);
  page->Prepare(page->settings, 512, 22000);
  const ChorusSettings& s = page->record;
  EXPECT_EQ(s.lineLength, 732);
  EXPECT_EQ(LineDelay(s), 220);
  EXPECT_EQ(s.lfo.increment, 23);
  EXPECT_EQ(s.lfo.depth, 32);
  EXPECT_EQ(s.feedbackCoef, 64);
  EXPECT_EQ(s.lfo.Length(), 256);
  EXPECT_EQ(s.lfo.wrap, 256);
  EXPECT_EQ(s.lfo.table[64], 4096);
  EXPECT_EQ(s.lfo.table[192], -4096);
  EXPECT_EQ(s.preFilter.kind, FilterKind::LowPass);
  EXPECT_EQ(s.preFilter.f1, 2.0f * 8000.0f / 22000.0f);

  auto ctor = MakeChorus(kConstructorDefaults);
  ctor->Prepare(ctor->settings, 512, 22000);
  EXPECT_EQ(ctor->record.lfo.increment, 11);
  EXPECT_EQ(ctor->record.lfo.depth, 16);
  EXPECT_EQ(ctor->record.feedbackCoef, 1);
}

TEST(ChorusEffect, FeedbackCoefficientAtTheEndsOfItsRange) {
  for (const auto& [percent, coef] : {std::pair{1.0f, 2}, std::pair{100.0f, 256}}) {
    auto chorus = MakeChorus({8000.0f, 5.0f, 10.0f, 2000.0f, percent});
    chorus->Prepare(chorus->settings, 64, 44100);
    EXPECT_EQ(chorus->record.feedbackCoef, coef) << percent;
  }
}

TEST(ChorusEffect, MatchesTheReferenceAcrossRatesBlocksAndParameters) {
  const std::vector<Params> params = {kPageDefaults,
                                      kConstructorDefaults,
                                      {16000.0f, 1.0f, 100.0f, 100.0f, 100.0f},
                                      {500.0f, 30.0f, 31.0f, 10000.0f, 1.0f},
                                      {3000.0f, 2.0f, 40.0f, 250.0f, 60.0f}};
  for (const Params& p : params) {
    for (const int32_t rate : {8000, 22050, 44100}) {
      for (const int32_t block : {64, 512}) {
        const auto signals = test_signals::Catalogue(static_cast<size_t>(rate) / 2);
        for (const auto& [name, input] : signals) {
          auto chorus = MakeChorus(p);
          chorus->SetDryOutputMix(300);
          chorus->Prepare(chorus->settings, block, rate);
          const Scaling s = ReferenceScaling(p, rate, block);
          ASSERT_EQ(chorus->record.lineLength, s.lineLength);
          ASSERT_EQ(chorus->record.lfo.increment, s.increment);
          ASSERT_EQ(chorus->record.lfo.depth, s.depth);
          ASSERT_EQ(chorus->record.feedbackCoef, s.feedbackCoef);
          std::array<int32_t, 6> c{};
          std::copy_n(chorus->record.preFilter.coefficients.begin(), 6, c.begin());
          const Block expected = ReferenceChorus(
              p, rate, block, input, c, chorus->record.mix.gains[0], chorus->record.mix.gains[1]);
          const Block out = RunChorus(*chorus, input, {block, 1, block / 2 + 3});
          ASSERT_EQ(out, expected)
              << name << " rate " << rate << " block " << block << " period " << p.period;
          EXPECT_TRUE(test_signals::NeverMinus32768(out));
        }
      }
    }
  }
}

TEST(ChorusEffect, ImpulseEchoesDecayByTheFeedbackCoefficientPerPass) {
  // No sweep (initial delay = final delay): the line delays by exactly F
  // samples, and the fed-back wet sample joins one sample later, so echoes
  // arrive every F + 1 samples, each feedbackCoef/256 of the one before.
  for (const float percent : {25.0f, 50.0f, 100.0f}) {
    auto chorus = MakeChorus({16000.0f, 10.0f, 10.0f, 2000.0f, percent});
    chorus->SetDryInputMix(0);
    chorus->SetDryOutputMix(512);  // gain 361
    chorus->Prepare(chorus->settings, 256, 32000);
    ASSERT_EQ(chorus->record.lfo.depth, 0);
    const int32_t coef = chorus->record.feedbackCoef;
    const int32_t f = chorus->record.lineLength - 256;
    ASSERT_EQ(f, 320);
    // Echo k leaves the line at k (F + 1) - 1, spread over a few samples by
    // the pre-filter; sum each pass over a window of F + 1 starting just before.
    const Block out = RunChorus(*chorus, test_signals::Impulse(321 * 6, 16000), {256});
    std::vector<double> pass(7, 0.0);
    for (size_t n = 0; n < out.size(); ++n) {
      pass[(n + 11) / 321] += out[n];
    }
    EXPECT_EQ(pass[0], 0.0);
    EXPECT_GT(pass[1], 16000.0);
    for (size_t k = 2; k < 6 && pass[k - 1] >= 3000.0; ++k) {
      EXPECT_NEAR(pass[k] / pass[k - 1], coef / 256.0, 0.03) << percent << " pass " << k;
    }
  }
}

TEST(ChorusEffect, SilenceStaysSilentWithFeedback) {
  auto chorus = MakeChorus({8000.0f, 5.0f, 20.0f, 300.0f, 100.0f});
  chorus->Prepare(chorus->settings, 128, 44100);
  EXPECT_EQ(RunChorus(*chorus, test_signals::Silence(50000), {128}), test_signals::Silence(50000));
}

TEST(ChorusEffect, FullFeedbackSaturatesWithoutEverReachingMinus32768) {
  auto chorus = MakeChorus({16000.0f, 1.0f, 3.0f, 100.0f, 100.0f});
  chorus->SetDryInputMix(512);
  chorus->SetDryOutputMix(512);
  chorus->Prepare(chorus->settings, 256, 22050);
  for (const auto& [name, input] : test_signals::Catalogue(40000)) {
    const Block out = RunChorus(*chorus, input, {256});
    EXPECT_TRUE(test_signals::NeverMinus32768(out)) << name;
    for (const int16_t v : chorus->record.line) {
      ASSERT_NE(v, -32768) << name;
    }
  }
}

TEST(ChorusEffect, FastWideSweepHoldsTheReadPositionAndExtrapolatesWithinRange) {
  // A 99 ms sweep over a 100 ms period drives the modulation below -4096:
  // the read position stands still and the fraction goes negative.
  const Params p{16000.0f, 1.0f, 100.0f, 100.0f, 100.0f};
  auto chorus = MakeChorus(p);
  chorus->SetDryInputMix(0);
  chorus->SetDryOutputMix(512);
  chorus->Prepare(chorus->settings, 256, 44100);
  const Block input = test_signals::FullScaleSquare(44100, 5);
  Block out(input.size());
  int32_t lowestFraction = 0;
  for (size_t n = 0; n < input.size(); ++n) {
    ChorusEffect::ProcessCallback(&input[n], &out[n], chorus->settings, 1);
    lowestFraction = std::min(lowestFraction, chorus->record.readFraction);
  }
  EXPECT_LT(lowestFraction, 0);
  EXPECT_TRUE(test_signals::NeverMinus32768(out));
  std::array<int32_t, 6> c{};
  std::copy_n(chorus->record.preFilter.coefficients.begin(), 6, c.begin());
  EXPECT_EQ(out, ReferenceChorus(p, 44100, 256, input, c, 0, chorus->record.mix.gains[1]));
}

TEST(ChorusEffect, SweepStaysInsideTheLineOverLongRuns) {
  // The sweep's truncations make the delay creep up by some samples per
  // period; over minutes it must stay a sweep inside the line rather than
  // wrap round to the newest samples.
  auto chorus = MakeChorus({8000.0f, 5.0f, 10.0f, 2000.0f, 25.0f});
  chorus->Prepare(chorus->settings, 64, 44100);
  Block in(64, 0), out(64);
  int32_t previous = LineDelay(chorus->record);
  int32_t lowest = previous, highest = previous;
  for (int64_t n = 0; n < 44100LL * 240; n += 64) {
    ChorusEffect::ProcessCallback(in.data(), out.data(), chorus->settings, 64);
    const int32_t delay = LineDelay(chorus->record);
    ASSERT_GT(delay, 0) << "sample " << n;
    ASSERT_LE(std::abs(delay - previous), 64 * 2) << "sample " << n;
    lowest = std::min(lowest, delay);
    highest = std::max(highest, delay);
    previous = delay;
  }
  EXPECT_EQ(highest, chorus->record.lineLength - 1);
  // A full sweep of 220 samples is still there.
  EXPECT_LE(lowest, highest - 220);
}

TEST(ChorusEffect, SecondPrepareKeepsStateAndReleaseStartsFromSilence) {
  const Block input = test_signals::Noise(5000, 21);
  auto chorus = MakeChorus(kPageDefaults);
  chorus->Prepare(chorus->settings, 256, 22050);
  RunChorus(*chorus, input, {256});
  const ChorusSettings before = chorus->record;
  chorus->Prepare(chorus->settings, 512, 44100);
  EXPECT_EQ(chorus->record.line, before.line);
  EXPECT_EQ(chorus->record.readIndex, before.readIndex);
  EXPECT_EQ(chorus->record.readFraction, before.readFraction);
  EXPECT_EQ(chorus->record.lastWet, before.lastWet);
  EXPECT_EQ(chorus->record.lfo.position, before.lfo.position);

  chorus->Release();
  EXPECT_EQ(chorus->prepared, 0);
  EXPECT_TRUE(chorus->record.line.empty());
  EXPECT_TRUE(chorus->record.lfo.table.empty());
  chorus->Prepare(chorus->settings, 256, 22050);
  auto fresh = MakeChorus(kPageDefaults);
  fresh->Prepare(fresh->settings, 256, 22050);
  EXPECT_EQ(RunChorus(*chorus, input, {256}), RunChorus(*fresh, input, {256}));
}

TEST(ChorusEffect, ParametersWrittenWhileRunningWaitForTheNextPrepare) {
  auto chorus = MakeChorus(kPageDefaults);
  chorus->Prepare(chorus->settings, 256, 22000);
  chorus->record.feedbackPercent = 90.0f;
  chorus->record.finalDelayMs = 50.0f;
  chorus->Prepare(chorus->settings, 256, 22000);
  EXPECT_EQ(chorus->record.feedbackCoef, 64);
  EXPECT_EQ(chorus->record.lineLength, 476);
  chorus->Release();
  chorus->Prepare(chorus->settings, 256, 22000);
  EXPECT_EQ(chorus->record.feedbackCoef, 230);
  EXPECT_EQ(chorus->record.lineLength, 1100 + 256);
}

TEST(ChorusEffect, ValuesOutOfRangeArePreparedAtTheNearestLimit) {
  // Whatever reaches the record, Prepare builds a line longer than a block
  // and an oscillator with a period: each impossible set sounds exactly like
  // the set at the nearest limits.
  constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<std::pair<Params, Params>> cases = {
      {{8000.0f, -60.0f, -50.0f, 2000.0f, 25.0f}, {8000.0f, 1.0f, 1.0f, 2000.0f, 25.0f}},
      {{8000.0f, -5.0f, 40.0f, 0.0f, 25.0f}, {8000.0f, 1.0f, 40.0f, 100.0f, 25.0f}},
      {{8000.0f, 5.0f, 1e9f, -300.0f, 25.0f}, {8000.0f, 5.0f, 100.0f, 100.0f, 25.0f}},
      {{8000.0f, kNan, kNan, kNan, 25.0f}, {8000.0f, 1.0f, 1.0f, 100.0f, 25.0f}},
      {{8000.0f, 5.0f, 10.0f, 1e9f, 25.0f}, {8000.0f, 5.0f, 10.0f, 10000.0f, 25.0f}},
  };
  const Block input = test_signals::Noise(3000, 23);
  for (const auto& [impossible, limited] : cases) {
    auto chorus = MakeChorus(impossible);
    chorus->Prepare(chorus->settings, 256, 22050);
    auto expected = MakeChorus(limited);
    expected->Prepare(expected->settings, 256, 22050);
    EXPECT_EQ(chorus->record.lineLength, expected->record.lineLength) << limited.final;
    EXPECT_EQ(chorus->record.lfo.depth, expected->record.lfo.depth) << limited.period;
    EXPECT_EQ(RunChorus(*chorus, input, {256, 7}), RunChorus(*expected, input, {256, 7}));
  }
}
