// The wave shaper against a per-sample model of pre-filter, table lookup with
// feedback, and mix; and the behaviour a listener relies on.

#include "effects/distortion_effect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "effect_test_signals.h"
#include "effects/effect_factory.h"

using namespace effect_test;

namespace {

// Pre-filter, shaping and mix written out sample by sample from the
// effect's designed coefficients and table.
std::vector<int16_t> ModelDistortion(const DistortionSettings& s, const std::vector<int16_t>& x) {
  const int32_t* c = s.preFilter.section.coefficients.data();
  const std::vector<int32_t>& t = s.shapeTable;
  ModelBiquad filter;
  int64_t previous = 0;
  std::vector<int16_t> y(x.size());
  for (size_t n = 0; n < x.size(); ++n) {
    const int32_t filtered = filter.Step(c, x[n]);
    // The fed-back share is truncated toward zero.
    const int32_t v = Low32(Low32(int64_t{s.feedback} * previous) / 256 + int64_t{filtered});
    const int32_t u = std::min(65535, std::max(0, v + 32768));
    const int32_t i = u / 256;
    const int32_t f = u % 256;
    const int32_t shaped = t[i] + (((t[i + 1] - t[i]) * f) >> 8);
    previous = shaped;
    y[n] = MixSample(s.dryInputGain, x[n], s.dryOutputGain, static_cast<int16_t>(shaped));
  }
  return y;
}

const CurvePoint kFuzz[] = {{-32768.0f, -32767.0f}, {-4000.0f, -30000.0f}, {-100.0f, 0.0f},
                            {100.0f, 0.0f},         {3000.0f, 32767.0f},   {32768.0f, 20000.0f}};

}  // namespace

TEST(DistortionEffect, FactoryDefaults) {
  auto node = CreateEffect(kDistortionEffectId);
  ASSERT_NE(node, nullptr);
  EXPECT_STREQ(node->Name(), "Distorsion Effect");
  auto& s = *static_cast<DistortionSettings*>(node->settings);
  EXPECT_EQ(s.feedback, 0);
  EXPECT_EQ(s.preFilter.preFilterHz, 8000.0f);
  EXPECT_EQ(s.curve.Count(), 2);
  EXPECT_EQ(s.curve.Points()[0].x, -32767.0f);
  EXPECT_EQ(s.curve.Points()[1].y, 32767.0f);
  EXPECT_EQ(node->GetDryInputMix(), 254);
  node->SetDryOutputMix(512);
  EXPECT_EQ(s.dryOutputGain, 361);
  EXPECT_EQ(node->GetDryOutputMix(), 510);
}

TEST(DistortionEffect, IdentityTableEntries) {
  DistortionEffect effect;
  effect.Update(effect.settings, 44100);  // not prepared: nothing to rebuild
  EXPECT_TRUE(effect.record.shapeTable.empty());
  effect.Prepare(effect.settings, 256, 44100);
  const auto& t = effect.record.shapeTable;
  ASSERT_EQ(t.size(), 257u);
  for (int32_t k = 0; k <= 256; ++k) {
    EXPECT_EQ(t[k], std::lround(-32767.0 + k * 65534.0 / 256.0)) << k;
  }
  EXPECT_EQ(t[128], 0);
  EXPECT_EQ(t[256], 32767);
}

TEST(DistortionEffect, MatchesThePerSampleModel) {
  const std::vector<const CurvePoint*> curves = {nullptr, kFuzz};
  struct Params {
    int32_t feedback;
    float preFilterHz;
    int32_t inGain, outGain;
  };
  const Params params[] = {{0, 8000.0f, 180, 180},
                           {128, 500.0f, 0, 256},
                           {-128, 16000.0f, 361, 361},
                           {37, 3000.0f, 90, 200}};
  for (int32_t rate : {8000, 22050, 44100, 96000}) {
    for (const auto* curve : curves) {
      for (const Params& p : params) {
        for (int32_t block : {1, 77, 512}) {
          for (const auto& x : TestSignals(3000)) {
            DistortionEffect effect;
            if (curve) {
              effect.SetCurve({curve, 6});
            }
            effect.record.feedback = p.feedback;
            effect.record.preFilter.preFilterHz = p.preFilterHz;
            effect.record.dryInputGain = p.inGain;
            effect.record.dryOutputGain = p.outGain;
            effect.Prepare(effect.settings, block, rate);
            const auto want = ModelDistortion(effect.record, x);
            const auto got = RunInBlocks(effect, x, block);
            ASSERT_EQ(got, want) << "rate " << rate << " feedback " << p.feedback << " block "
                                 << block;
            EXPECT_EQ(std::count(got.begin(), got.end(), int16_t{-32768}), 0);
          }
        }
      }
    }
  }
}

TEST(DistortionEffect, SilenceStaysSilence) {
  DistortionEffect effect;
  effect.record.feedback = -128;
  effect.Prepare(effect.settings, 256, 44100);
  const auto y = RunInBlocks(effect, std::vector<int16_t>(2048, 0), 256);
  EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](int16_t v) { return v == 0; }));
}

TEST(DistortionEffect, FullFeedbackApproachesTwiceTheInputAndSaturates) {
  for (const int16_t level : {int16_t{8000}, int16_t{20000}, int16_t{-20000}}) {
    DistortionEffect effect;
    effect.record.feedback = 128;
    effect.SetDryInputMix(0);
    effect.record.dryOutputGain = 256;  // the shaped signal alone
    effect.Prepare(effect.settings, 512, 44100);
    const auto y = RunInBlocks(effect, std::vector<int16_t>(4096, level), 512);
    if (level == 8000) {
      EXPECT_NEAR(y.back(), 16000, 3);
    } else {
      // Runs into the end of the table and stays there, without wrapping.
      EXPECT_NEAR(std::abs(y.back()), 32767, 130);
      for (size_t i = 100; i < y.size(); ++i) {
        ASSERT_EQ(y[i] > 0, level > 0) << i;
      }
    }
  }
}

TEST(DistortionEffect, MixSaturatesAndFullScaleInputsStayInTheTable) {
  DistortionEffect effect;
  effect.Prepare(effect.settings, 64, 44100);
  // 180 x 32767 + 180 x 32767 >> 8 = 46078, clamped.
  const auto y = RunInBlocks(effect, std::vector<int16_t>(640, 32767), 64);
  EXPECT_EQ(y.back(), 32767);
  const auto z = RunInBlocks(effect, std::vector<int16_t>(640, -32768), 64);
  EXPECT_EQ(z.back(), -32767);
}

TEST(DistortionEffect, ReleaseAndPrepareAgain) {
  DistortionEffect effect;
  effect.Prepare(effect.settings, 128, 44100);
  const int32_t* table = effect.record.shapeTable.data();
  effect.Prepare(effect.settings, 4096, 8000);  // already prepared: nothing changes
  EXPECT_EQ(effect.record.shapeTable.data(), table);
  EXPECT_EQ(effect.record.filtered.size(), 128u);
  effect.Release();
  EXPECT_EQ(effect.prepared, 0);
  EXPECT_TRUE(effect.record.filtered.empty());
  EXPECT_EQ(effect.record.curve.Count(), 2);
}
