// The float form of the mix levels, as the delay, chorus and reverb hold them:
// slider position to level and fixed gain, and back to a position.

#include <gtest/gtest.h>

#include <memory>

#include "effects/chorus_effect.h"
#include "effects/delay_effect.h"
#include "effects/effect_factory.h"
#include "effects/reverb_effect.h"

namespace {
constexpr int32_t kFloatFormIds[] = {kDelayEffectId, kChorusEffectId, kReverbEffectId};

// The gains the effect's mix stage holds for the input and the (first) wet signal.
std::pair<int32_t, int32_t> Gains(Effect& effect) {
  switch (effect.typeId) {
    case kDelayEffectId:
      return {static_cast<DelayEffect&>(effect).record.mix.gains[0],
              static_cast<DelayEffect&>(effect).record.mix.gains[1]};
    case kChorusEffectId:
      return {static_cast<ChorusEffect&>(effect).record.mix.gains[0],
              static_cast<ChorusEffect&>(effect).record.mix.gains[1]};
    default:
      return {static_cast<ReverbEffect&>(effect).record.mix.gains[0],
              static_cast<ReverbEffect&>(effect).record.mix.gains[1]};
  }
}
}  // namespace

TEST(FloatMixLevels, EndsAndMiddleSetTheirGainsAndReadBackExactly) {
  for (const int32_t id : kFloatFormIds) {
    const std::unique_ptr<Effect> effect = CreateEffect(id);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->GetDryInputMix(), 256) << id;
    EXPECT_EQ(effect->GetDryOutputMix(), 256) << id;
    for (const auto& [position, gain] :
         {std::pair{0, 0}, std::pair{256, 180}, std::pair{512, 361}}) {
      effect->SetDryInputMix(position);
      effect->SetDryOutputMix(position);
      EXPECT_EQ(effect->GetDryInputMix(), position) << id;
      EXPECT_EQ(effect->GetDryOutputMix(), position) << id;
      EXPECT_EQ(Gains(*effect).first, gain) << id;
      if (id != kReverbEffectId) {
        EXPECT_EQ(Gains(*effect).second, gain) << id;
      }
    }
  }
}

TEST(FloatMixLevels, ManyPositionsReadBackOneLower) {
  for (const int32_t id : kFloatFormIds) {
    const std::unique_ptr<Effect> effect = CreateEffect(id);
    effect->SetDryInputMix(7);
    EXPECT_EQ(effect->GetDryInputMix(), 6) << id;
    effect->SetDryOutputMix(100);
    EXPECT_EQ(effect->GetDryOutputMix(), 99) << id;
    // Every position reads back as itself or one lower.
    for (int32_t p = 0; p <= 512; ++p) {
      effect->SetDryInputMix(p);
      const int32_t back = effect->GetDryInputMix();
      EXPECT_TRUE(back == p || back == p - 1) << id << " position " << p << " reads " << back;
    }
  }
}

TEST(FloatMixLevels, LevelsSetBeforeARunAreUsedByPrepare) {
  ChorusEffect chorus(4000.0f, 5.0f, 10.0f, 4000.0f, 0.5f, 0.707f, 0.707f);
  chorus.SetDryInputMix(400);
  chorus.SetDryOutputMix(10);
  chorus.Prepare(chorus.settings, 64, 22050);
  EXPECT_EQ(chorus.record.mix.gains[0],
            static_cast<int32_t>(static_cast<float>(400 * 0.00276171875) * 256.0f));
  EXPECT_EQ(chorus.record.mix.gains[1],
            static_cast<int32_t>(static_cast<float>(10 * 0.00276171875) * 256.0f));

  ReverbEffect reverb(20.0f, 25.0f, 100.0f, 4000.0f, 1000.0f, 6, 0.707f, 0.707f);
  reverb.SetDryOutputMix(512);
  reverb.Prepare(reverb.settings, 64, 22050);
  // Each of the six combs carries level / 6 x 512.
  EXPECT_EQ(reverb.record.mix.gains[6],
            static_cast<int32_t>(static_cast<float>(512 * 0.00276171875) / 6.0f * 512.0f));
}
