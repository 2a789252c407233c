// The chain's list surgery and its record mirror: what the streaming code and
// the Config page rely on.

#include "effects/effect_chain.h"

#include <gtest/gtest.h>

#include <vector>

#include "effects/effect_factory.h"

namespace {

std::vector<int32_t> TypeOrder(const EffectChain& chain) {
  std::vector<int32_t> order;
  for (Effect* node = chain.head; node; node = node->next) {
    order.push_back(node->typeId);
  }
  return order;
}

// The records must mirror the list, entry for entry.
void ExpectRecordsMirrorList(const EffectChain& chain) {
  int32_t i = 0;
  for (Effect* node = chain.head; node; node = node->next, ++i) {
    ASSERT_LT(i, chain.count);
    EXPECT_EQ(chain.records[i].settings, node->settings);
    EXPECT_EQ(chain.records[i].process, node->process);
    EXPECT_EQ(chain.records[i].enabled, node->enabled);
  }
  EXPECT_EQ(i, chain.count);
}

}  // namespace

TEST(EffectChain, UnknownTypeIdsAppendNothing) {
  EffectChain chain;
  for (int32_t id : {0, 4, 20, -1}) {
    EXPECT_EQ(CreateEffect(id), nullptr);
    EXPECT_EQ(chain.Append(id), nullptr);
  }
  EXPECT_EQ(chain.count, 0);
  EXPECT_EQ(chain.head, nullptr);
  EXPECT_EQ(chain.records, nullptr);
}

TEST(EffectChain, EmptyChainOnlySetsItsFields) {
  EffectChain chain;
  chain.Prepare(256, 22000);
  EXPECT_EQ(chain.prepared, 1);
  EXPECT_EQ(chain.blockFrames, 256);
  EXPECT_EQ(chain.sampleRate, 22000);
  chain.RebuildRecords();
  chain.Release();
  EXPECT_EQ(chain.prepared, 0);
  EXPECT_EQ(chain.count, 0);
  chain.SelectPosition(1);
  EXPECT_EQ(chain.cursor, nullptr);
}

// Three distinct effect types, so that the order of a chain can be read back
// from its nodes' type ids.
class EffectChainWithNodes : public ::testing::Test {
 protected:
  const std::vector<int32_t> ids_ = {kDelayEffectId, kChorusEffectId, kReverbEffectId};
};

TEST_F(EffectChainWithNodes, AppendLinksAtTailDisabledAndUnprepared) {
  EffectChain chain;
  Effect* first = chain.Append(ids_[0]);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(chain.head, first);
  EXPECT_EQ(chain.tail, first);
  EXPECT_EQ(first->enabled, 0);
  EXPECT_EQ(first->prepared, 0);
  EXPECT_EQ(chain.FindPrevious(first), nullptr);
  chain.SelectPosition(1);
  EXPECT_EQ(chain.cursor, first);

  Effect* second = chain.Append(ids_[1]);
  EXPECT_EQ(chain.tail, second);
  EXPECT_EQ(first->next, second);
  EXPECT_EQ(chain.count, 2);
  EXPECT_EQ(chain.FindPrevious(second), first);
  ExpectRecordsMirrorList(chain);
}

TEST_F(EffectChainWithNodes, SelectPositionIsOneBasedAndIgnoresOutOfRange) {
  EffectChain chain;
  std::vector<Effect*> nodes;
  for (int32_t id : ids_) {
    nodes.push_back(chain.Append(id));
  }
  chain.SelectPosition(3);
  EXPECT_EQ(chain.cursor, nodes[2]);
  chain.SelectPosition(0);
  chain.SelectPosition(4);
  EXPECT_EQ(chain.cursor, nodes[2]);  // unchanged
  EXPECT_EQ(chain.Advance(), nullptr);
}

TEST_F(EffectChainWithNodes, MoveUpOfTailMakesMiddleTheTailAndAppendFollowsIt) {
  EffectChain chain;
  std::vector<Effect*> nodes;
  for (int32_t id : ids_) {
    nodes.push_back(chain.Append(id));
  }
  chain.MoveUp(nodes[2]);
  EXPECT_EQ(TypeOrder(chain), (std::vector<int32_t>{ids_[0], ids_[2], ids_[1]}));
  EXPECT_EQ(chain.tail, nodes[1]);
  ExpectRecordsMirrorList(chain);

  Effect* appended = chain.Append(ids_[0]);
  EXPECT_EQ(nodes[1]->next, appended);
  EXPECT_EQ(chain.tail, appended);

  chain.MoveUp(nodes[2]);  // now second: becomes the head
  EXPECT_EQ(chain.head, nodes[2]);
  EXPECT_EQ(TypeOrder(chain), (std::vector<int32_t>{ids_[2], ids_[0], ids_[1], ids_[0]}));
  ExpectRecordsMirrorList(chain);
}

TEST_F(EffectChainWithNodes, MoveDownOfHeadOfTwoSwapsHeadAndTail) {
  EffectChain chain;
  Effect* a = chain.Append(ids_[0]);
  Effect* b = chain.Append(ids_[1]);
  chain.MoveDown(a);
  EXPECT_EQ(chain.head, b);
  EXPECT_EQ(chain.tail, a);
  EXPECT_EQ(a->next, nullptr);
  ExpectRecordsMirrorList(chain);

  Effect* c = chain.Append(ids_[2]);
  chain.MoveDown(b);  // back to the original order
  EXPECT_EQ(TypeOrder(chain), (std::vector<int32_t>{ids_[0], ids_[1], ids_[2]}));
  chain.MoveDown(b);
  EXPECT_EQ(chain.tail, b);
  EXPECT_EQ(c->next, b);
  ExpectRecordsMirrorList(chain);
}

TEST_F(EffectChainWithNodes, SetEnabledPatchesTheLiveRecordInPlace) {
  EffectChain chain;
  std::vector<Effect*> nodes;
  for (int32_t id : ids_) {
    nodes.push_back(chain.Append(id));
  }
  chain.Prepare(128, 22000);
  chain.SelectPosition(3);
  const EffectRecord* live = chain.records.get();
  chain.SetEnabled(nodes[1], true);
  EXPECT_EQ(chain.records.get(), live);  // same array, not rebuilt
  EXPECT_EQ(live[1].enabled, 1);
  EXPECT_EQ(live[0].enabled, 0);
  EXPECT_EQ(live[2].enabled, 0);
  EXPECT_EQ(nodes[1]->enabled, 1);
  EXPECT_EQ(chain.cursor, nodes[2]);  // the walk leaves the selected node alone

  EffectChain other;
  Effect* foreign = other.Append(ids_[0]);
  chain.SetEnabled(foreign, true);
  EXPECT_EQ(foreign->enabled, 0);
  for (int32_t i = 0; i < chain.count; ++i) {
    EXPECT_EQ(live[i].enabled, i == 1 ? 1 : 0);
  }
  EXPECT_EQ(chain.FindPrevious(foreign), nullptr);
  chain.Release();
}

TEST_F(EffectChainWithNodes, PrepareAndReleaseReachEveryNode) {
  EffectChain chain;
  for (int32_t id : ids_) {
    chain.Append(id);
  }
  chain.Prepare(512, 44100);
  for (Effect* node = chain.head; node; node = node->next) {
    EXPECT_EQ(node->prepared, 1) << node->Name();
  }
  chain.Release();
  for (Effect* node = chain.head; node; node = node->next) {
    EXPECT_EQ(node->prepared, 0) << node->Name();
  }
  chain.Clear();
  EXPECT_EQ(chain.count, 0);
  EXPECT_EQ(chain.head, nullptr);
  EXPECT_EQ(chain.tail, nullptr);
}
