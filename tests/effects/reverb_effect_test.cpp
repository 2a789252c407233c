// The reverb: its comb bank design, the echoes in its impulse response, its
// life cycle, and the whole callback against a per-sample reference.

#include "effects/reverb_effect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "effects/effect_factory.h"
#include "tests/dsp/reference_biquad.h"
#include "tests/dsp/test_signals.h"

using test_signals::Block;

namespace {
struct Params {
  float minEcho, maxEcho, lowCut, highCut, time;
  int32_t echoes;
};
constexpr Params kDefaults{20.0f, 25.0f, 100.0f, 4000.0f, 1000.0f, 6};

std::unique_ptr<ReverbEffect> MakeReverb(const Params& p) {
  return std::make_unique<ReverbEffect>(p.minEcho, p.maxEcho, p.lowCut, p.highCut, p.time, p.echoes,
                                        0.707f, 0.707f);
}

std::vector<int32_t> CombDelays(const ReverbSettings& s) {
  std::vector<int32_t> d;
  for (int32_t i = 0; i < s.echoCount; ++i) {
    d.push_back(s.combs[static_cast<size_t>(i)].Delay());
  }
  return d;
}
std::vector<int32_t> CombGains(const ReverbSettings& s) {
  std::vector<int32_t> g;
  for (int32_t i = 0; i < s.echoCount; ++i) {
    g.push_back(s.combs[static_cast<size_t>(i)].gain);
  }
  return g;
}

int32_t Clamp(int64_t v) {
  const auto w = static_cast<int32_t>(v);
  return w > 32767 ? 32767 : (w < -32767 ? -32767 : w);
}

// A delay of `delay` samples over a plain history vector.
struct History {
  std::vector<int32_t> values;
  explicit History(int32_t delay) : values(static_cast<size_t>(delay), 0) {}
  size_t at = 0;
  int32_t Oldest() const { return values[at]; }
  void Push(int32_t v) {
    values[at] = v;
    at = (at + 1) % values.size();
  }
};

// Band-pass, two allpasses (w = x + g w[n-D]; y = w[n-D] - g w), the combs
// (y = v[n-D]; v = x - g y) and the mix, per sample, from the record's design.
Block ReferenceReverb(const ReverbSettings& s, const Block& input) {
  ReferenceDirectForm filter;
  std::copy_n(s.bandPass.coefficients.begin(), 5, filter.c.begin());
  History ap1(s.allpass1.Delay()), ap2(s.allpass2.Delay());
  std::vector<History> combs;
  for (int32_t i = 0; i < s.echoCount; ++i) {
    combs.emplace_back(s.combs[static_cast<size_t>(i)].Delay());
  }
  auto allpass = [](History& h, int32_t x, int32_t g) {
    const int32_t old = h.Oldest();
    const int32_t w = x + ((old * g) >> 8);
    h.Push(w);
    return Clamp(old - ((int64_t{w} * g) >> 8));
  };
  Block out(input.size());
  for (size_t n = 0; n < input.size(); ++n) {
    int32_t x = filter.Step(input[n]);
    x = allpass(ap1, x, s.allpass1.gain);
    x = allpass(ap2, x, s.allpass2.gain);
    int64_t acc = int64_t{s.mix.gains[0]} * input[n];
    for (int32_t i = 0; i < s.echoCount; ++i) {
      History& h = combs[static_cast<size_t>(i)];
      const int32_t y = h.Oldest();
      h.Push(Clamp(x - ((y * s.combs[static_cast<size_t>(i)].gain) >> 8)));
      acc += int64_t{s.mix.gains[static_cast<size_t>(i + 1)]} * y;
    }
    out[n] = static_cast<int16_t>(Clamp(static_cast<int32_t>(acc) >> 8));
  }
  return out;
}

Block RunReverb(ReverbEffect& reverb, const Block& input, const std::vector<int32_t>& pattern) {
  return test_signals::RunInBlocks(input, pattern,
                                   [&](const int16_t* src, int16_t* dst, int32_t n) {
                                     ReverbEffect::ProcessCallback(src, dst, reverb.settings, n);
                                   });
}
}  // namespace

TEST(AvoidSmallDivisors, StepsPastEachSmallDivisorOnceInOrder) {
  for (int32_t a = 2; a <= 100; ++a) {
    EXPECT_EQ(AvoidSmallDivisors(a), 101) << a;
  }
  EXPECT_EQ(AvoidSmallDivisors(440), 443);
  EXPECT_EQ(AvoidSmallDivisors(462), 463);
  EXPECT_EQ(AvoidSmallDivisors(221), 223);
  EXPECT_EQ(AvoidSmallDivisors(101), 101);
  EXPECT_EQ(AvoidSmallDivisors(1), 1);
}

TEST(ReverbEffect, FactoryBuildsTheDefaultReverb) {
  const std::unique_ptr<Effect> node = CreateEffect(kReverbEffectId);
  ASSERT_NE(node, nullptr);
  auto& reverb = static_cast<ReverbEffect&>(*node);
  EXPECT_STREQ(reverb.Name(), "Reverb Effect");
  EXPECT_EQ(reverb.typeId, 11);
  EXPECT_EQ(reverb.settings, &reverb.record);
  const ReverbSettings& s = reverb.record;
  EXPECT_EQ(s.minEchoMs, 20.0f);
  EXPECT_EQ(s.maxEchoMs, 25.0f);
  EXPECT_EQ(s.lowCutHz, 100.0f);
  EXPECT_EQ(s.highCutHz, 4000.0f);
  EXPECT_EQ(s.reverbTimeMs, 1000.0f);
  EXPECT_EQ(s.echoCount, 6);
  EXPECT_EQ(s.requestedEchoCount, 6);
  EXPECT_EQ(s.mix.gains.size(), 17u);
}

TEST(ReverbEffect, DefaultBankAt22000) {
  auto reverb = MakeReverb(kDefaults);
  reverb->Prepare(reverb->settings, 512, 22000);
  const ReverbSettings& s = reverb->record;
  EXPECT_EQ(CombDelays(s), (std::vector<int32_t>{443, 463, 487, 509, 533, 554}));
  EXPECT_EQ(CombGains(s), (std::vector<int32_t>{215, 213, 211, 208, 206, 204}));
  for (int32_t i = 0; i < 6; ++i) {
    const CombDelay& c = s.combs[static_cast<size_t>(i)];
    EXPECT_EQ(c.Length(), c.Delay() + 1);
    EXPECT_EQ(c.writePosition, 0);
    EXPECT_EQ(c.readPosition, 1);
    EXPECT_EQ(s.mix.gains[static_cast<size_t>(i + 1)], 60);
  }
  EXPECT_EQ(s.mix.gains[0], 180);
  EXPECT_EQ(s.allpass1.Delay(), 101);
  EXPECT_EQ(s.allpass2.Delay(), 101);
  EXPECT_EQ(s.allpass1.gain, 180);
  EXPECT_EQ(s.mix.signalCount, 7);
  EXPECT_EQ(s.bandPass.kind, FilterKind::BandPass);
  EXPECT_EQ(s.bandPass.gain, 0.5f);
}

TEST(ReverbEffect, AllpassDelaysAre101AtTheUsualRates) {
  for (const int32_t rate : {8000, 11025, 22050, 44100, 48000, 96000}) {
    auto reverb = MakeReverb(kDefaults);
    reverb->Prepare(reverb->settings, 64, rate);
    EXPECT_EQ(reverb->record.allpass1.Delay(), 101) << rate;
    EXPECT_EQ(reverb->record.allpass2.Delay(), 101) << rate;
  }
}

TEST(ReverbEffect, EchoTimesSpreadFromTheMinimumToTheMaximum) {
  auto two = MakeReverb({20.0f, 40.0f, 100.0f, 4000.0f, 1000.0f, 2});
  two->Prepare(two->settings, 64, 10000);
  EXPECT_EQ(CombDelays(two->record),
            (std::vector<int32_t>{AvoidSmallDivisors(200), AvoidSmallDivisors(400)}));

  auto same = MakeReverb({30.0f, 30.0f, 100.0f, 4000.0f, 1000.0f, 4});
  same->Prepare(same->settings, 64, 10000);
  EXPECT_EQ(CombDelays(same->record), std::vector<int32_t>(4, AvoidSmallDivisors(300)));
  // Equal delays still get decreasing feedback.
  EXPECT_GE(same->record.combs[0].gain, same->record.combs[3].gain);
}

TEST(ReverbEffect, FeedbackFollowsTheReverberationTime) {
  auto longTail = MakeReverb({20.0f, 25.0f, 100.0f, 4000.0f, 4000.0f, 6});
  longTail->Prepare(longTail->settings, 64, 22000);
  EXPECT_EQ(longTail->record.combs[0].gain, 245);

  auto dead = MakeReverb({20.0f, 100.0f, 100.0f, 4000.0f, 100.0f, 6});
  dead->Prepare(dead->settings, 64, 22000);
  EXPECT_EQ(CombGains(dead->record), std::vector<int32_t>(6, 0));
}

TEST(ReverbEffect, OutputMixIsSpreadOverTheCombs) {
  auto reverb = MakeReverb(kDefaults);
  reverb->SetDryOutputMix(256);
  EXPECT_EQ(std::vector<int32_t>(reverb->record.mix.gains.begin() + 1,
                                 reverb->record.mix.gains.begin() + 7),
            std::vector<int32_t>(6, 60));
  auto sixteen = MakeReverb({20.0f, 25.0f, 100.0f, 4000.0f, 1000.0f, 16});
  sixteen->Prepare(sixteen->settings, 64, 22000);
  sixteen->SetDryOutputMix(256);
  for (int32_t i = 1; i <= 16; ++i) {
    EXPECT_EQ(sixteen->record.mix.gains[static_cast<size_t>(i)], 22);
  }
  EXPECT_EQ(sixteen->GetDryOutputMix(), 256);
}

TEST(ReverbEffect, ImpulseResponseShowsEachCombDelay) {
  auto reverb = MakeReverb(kDefaults);
  reverb->Prepare(reverb->settings, 1200, 22000);
  const Block input = test_signals::Impulse(1200, 30000);
  Block out(input.size());
  ReverbEffect::ProcessCallback(input.data(), out.data(), reverb->settings, 1200);
  const ReverbSettings& s = reverb->record;
  // What the combs were fed: the first sample leaves the allpasses at once.
  Block fed(1200);
  {
    auto probe = MakeReverb(kDefaults);
    probe->Prepare(probe->settings, 1200, 22000);
    ReverbSettings& p = probe->record;
    Block tmp(1200);
    RunBiquad(input.data(), tmp.data(), &p.bandPass, 1200);
    RunAllpass(tmp.data(), fed.data(), &p.allpass1, 1200);
    RunAllpass(fed.data(), tmp.data(), &p.allpass2, 1200);
    fed = tmp;
  }
  ASSERT_NE(fed[0], 0);
  for (int32_t i = 0; i < 6; ++i) {
    const int16_t* comb = s.mix.extraSignals.data() + static_cast<size_t>(i) * 1200;
    const int32_t d = s.combs[static_cast<size_t>(i)].Delay();
    for (int32_t n = 0; n < d; ++n) {
      ASSERT_EQ(comb[n], 0) << "comb " << i << " sample " << n;
    }
    // The first echo is the comb's input exactly one delay earlier.
    for (int32_t n = d; n < std::min(2 * d, 1200); ++n) {
      ASSERT_EQ(comb[n], fed[static_cast<size_t>(n - d)]) << "comb " << i << " sample " << n;
    }
  }
  // The dry impulse, then nothing from the combs until the shortest echo.
  EXPECT_EQ(out[0], (180 * 30000) >> 8);
  for (int32_t n = 1; n < 443; ++n) {
    ASSERT_EQ(out[n], 0) << n;
  }
  EXPECT_NE(out[443], 0);
}

TEST(ReverbEffect, MatchesTheReferenceAcrossRatesBlocksAndParameters) {
  const std::vector<Params> params = {kDefaults,
                                      {1.0f, 100.0f, 50.0f, 22000.0f, 4000.0f, 16},
                                      {10.0f, 11.0f, 500.0f, 1000.0f, 100.0f, 2},
                                      {33.0f, 70.0f, 200.0f, 8000.0f, 2500.0f, 9}};
  for (const Params& p : params) {
    for (const int32_t rate : {8000, 22050, 44100}) {
      for (const auto& pattern : {std::vector<int32_t>{512}, std::vector<int32_t>{100, 1, 37}}) {
        for (const auto& [name, input] : test_signals::Catalogue(static_cast<size_t>(rate) / 3)) {
          auto reverb = MakeReverb(p);
          reverb->SetDryInputMix(300);
          reverb->SetDryOutputMix(450);
          reverb->Prepare(reverb->settings, 512, rate);
          const Block expected = ReferenceReverb(reverb->record, input);
          const Block out = RunReverb(*reverb, input, pattern);
          ASSERT_EQ(out, expected) << name << " rate " << rate << " combs " << p.echoes;
          EXPECT_TRUE(test_signals::NeverMinus32768(out)) << name;
        }
      }
    }
  }
}

TEST(ReverbEffect, EchoCountChangesWaitForTheNextRunAndReleaseFreesThePreparedCombs) {
  auto reverb = MakeReverb(kDefaults);
  reverb->Prepare(reverb->settings, 256, 22050);
  reverb->record.requestedEchoCount = 12;
  const Block input = test_signals::Noise(2000, 3);
  RunReverb(*reverb, input, {256});
  EXPECT_EQ(reverb->record.echoCount, 6);
  EXPECT_EQ(reverb->record.mix.signalCount, 7);
  reverb->Release();
  for (int32_t i = 0; i < 16; ++i) {
    EXPECT_TRUE(reverb->record.combs[static_cast<size_t>(i)].buffer.empty()) << i;
  }
  reverb->Prepare(reverb->settings, 256, 22050);
  EXPECT_EQ(reverb->record.echoCount, 12);
  EXPECT_EQ(reverb->record.mix.signalCount, 13);
}

TEST(ReverbEffect, SecondPrepareKeepsStateAndReleaseStartsFromSilence) {
  const Block input = test_signals::Sweep(6000);
  auto reverb = MakeReverb(kDefaults);
  reverb->Prepare(reverb->settings, 512, 22050);
  RunReverb(*reverb, input, {512});
  const std::vector<int16_t> firstComb = reverb->record.combs[0].buffer;
  const int32_t read = reverb->record.combs[0].readPosition;
  reverb->record.minEchoMs = 50.0f;
  reverb->Prepare(reverb->settings, 512, 22050);
  EXPECT_EQ(reverb->record.combs[0].buffer, firstComb);
  EXPECT_EQ(reverb->record.combs[0].readPosition, read);

  reverb->Release();
  reverb->record.minEchoMs = 20.0f;
  reverb->Prepare(reverb->settings, 512, 22050);
  auto fresh = MakeReverb(kDefaults);
  fresh->Prepare(fresh->settings, 512, 22050);
  EXPECT_EQ(RunReverb(*reverb, input, {512}), RunReverb(*fresh, input, {512}));
}

TEST(ReverbEffect, LoudInputNeverYieldsMinus32768) {
  auto reverb = MakeReverb({1.0f, 100.0f, 50.0f, 22000.0f, 4000.0f, 16});
  reverb->SetDryInputMix(512);
  reverb->SetDryOutputMix(512);
  reverb->Prepare(reverb->settings, 256, 44100);
  for (const auto& [name, input] : test_signals::Catalogue(30000)) {
    EXPECT_TRUE(test_signals::NeverMinus32768(RunReverb(*reverb, input, {256}))) << name;
  }
}

TEST(ReverbEffect, ValuesOutOfRangeArePreparedAtTheNearestLimit) {
  // Whatever reaches the record, Prepare builds combs of sane lengths: each
  // impossible set sounds exactly like the set at the nearest limits.
  constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<std::pair<Params, Params>> cases = {
      {{-5.0f, -4.0f, 100.0f, 4000.0f, 1000.0f, 6}, {1.0f, 1.0f, 100.0f, 4000.0f, 1000.0f, 6}},
      {{-30.0f, 50.0f, 100.0f, 4000.0f, 1000.0f, 4}, {1.0f, 50.0f, 100.0f, 4000.0f, 1000.0f, 4}},
      {{20.0f, 1e9f, 100.0f, 4000.0f, 1000.0f, 6}, {20.0f, 100.0f, 100.0f, 4000.0f, 1000.0f, 6}},
      {{kNan, kNan, 100.0f, 4000.0f, kNan, 3}, {1.0f, 1.0f, 100.0f, 4000.0f, 100.0f, 3}},
      {{20.0f, 25.0f, 100.0f, 4000.0f, -1.0f, 6}, {20.0f, 25.0f, 100.0f, 4000.0f, 100.0f, 6}},
      {{20.0f, 25.0f, 100.0f, 4000.0f, 0.0f, 6}, {20.0f, 25.0f, 100.0f, 4000.0f, 100.0f, 6}},
  };
  const Block input = test_signals::Noise(3000, 17);
  for (const auto& [impossible, limited] : cases) {
    auto reverb = MakeReverb(impossible);
    reverb->Prepare(reverb->settings, 256, 22050);
    auto expected = MakeReverb(limited);
    expected->Prepare(expected->settings, 256, 22050);
    EXPECT_EQ(CombDelays(reverb->record), CombDelays(expected->record)) << limited.minEcho;
    EXPECT_EQ(CombGains(reverb->record), CombGains(expected->record)) << limited.time;
    EXPECT_EQ(RunReverb(*reverb, input, {256}), RunReverb(*expected, input, {256}));
  }
}
