// The weighted mix of the block input with extra signals.

#include "dsp/mix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/dsp/test_signals.h"

using test_signals::Block;

namespace {
Block ReferenceMix(const Block& input, const std::vector<Block>& extras,
                   const std::vector<int32_t>& gains) {
  Block out(input.size());
  for (size_t i = 0; i < input.size(); ++i) {
    int64_t acc = int64_t{gains[0]} * input[i];
    for (size_t k = 0; k < extras.size(); ++k) {
      acc += int64_t{gains[k + 1]} * extras[k][i];
    }
    int32_t y = static_cast<int32_t>(acc) >> 8;
    out[i] = static_cast<int16_t>(y > 32767 ? 32767 : (y < -32767 ? -32767 : y));
  }
  return out;
}
}  // namespace

TEST(MixSignals, SingleSignalAtUnityCopiesAndSaturatesMinus32768) {
  Block input = test_signals::Noise(300, 4);
  input[10] = -32768;
  MixStage stage;
  stage.gains = {256};
  stage.AllocateBlocks(1, static_cast<int32_t>(input.size()));
  Block out(input.size());
  MixSignals(input.data(), out.data(), &stage, static_cast<int32_t>(input.size()));
  for (size_t i = 0; i < input.size(); ++i) {
    EXPECT_EQ(out[i], input[i] == -32768 ? -32767 : input[i]);
  }
}

TEST(MixSignals, MatchesTheReferenceForSeveralSignalCountsAndGains) {
  for (int32_t k : {1, 2, 3, 7, 17}) {
    for (const size_t count : {1u, 5u, 512u}) {
      test_signals::Lcg rng(static_cast<uint32_t>(k * 1000 + count));
      const Block input = test_signals::Noise(count, rng.Next());
      std::vector<Block> extras;
      Block flat;
      for (int32_t e = 1; e < k; ++e) {
        extras.push_back(e % 2 ? test_signals::FullScaleSquare(count, 3)
                               : test_signals::Noise(count, rng.Next()));
        flat.insert(flat.end(), extras.back().begin(), extras.back().end());
      }
      std::vector<int32_t> gains;
      for (int32_t e = 0; e < k; ++e) {
        gains.push_back(rng.Uniform(-400, 400));
      }
      MixStage stage;
      stage.gains = gains;
      stage.AllocateBlocks(k, static_cast<int32_t>(count));
      std::copy(flat.begin(), flat.end(), stage.extraSignals.begin());
      Block out(count);
      MixSignals(input.data(), out.data(), &stage, static_cast<int32_t>(count));
      EXPECT_EQ(out, ReferenceMix(input, extras, gains)) << "K " << k << " count " << count;
      EXPECT_TRUE(test_signals::NeverMinus32768(out));
    }
  }
}

TEST(MixSignals, FullScaleSumClampsAt32767) {
  Block input(4, 32767);
  Block delayed(4, 32767);
  MixStage stage;
  stage.gains = {180, 180};
  stage.AllocateBlocks(2, 4);
  std::copy(delayed.begin(), delayed.end(), stage.extraSignals.begin());
  Block out(4);
  MixSignals(input.data(), out.data(), &stage, 4);
  EXPECT_EQ(out, Block(4, 32767));
  stage.gains[1] = 0;
  MixSignals(input.data(), out.data(), &stage, 4);
  EXPECT_EQ(out, Block(4, static_cast<int16_t>((180 * 32767) >> 8)));
}
