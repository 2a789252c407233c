#include "effects/effect_chain.h"

#include <gtest/gtest.h>

TEST(EffectChain, EmptyChainPreparesAndReleases) {
  EffectChain chain;
  chain.Prepare(256, 22000);
  EXPECT_EQ(chain.prepared, 1);
  EXPECT_EQ(chain.blockLength, 256);
  chain.Release();
  EXPECT_EQ(chain.prepared, 0);
  EXPECT_EQ(chain.count, 0);
  EXPECT_EQ(chain.Append(0), nullptr);
}
